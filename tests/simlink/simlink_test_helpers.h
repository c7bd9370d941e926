// Test scaffolding for the simulator link: a fixture with a private environment, Log.txt open in
// it, the link's state reset, a small aircraft database and recording stand hooks; a builder of
// the messages the simulator sends; a test worker that runs SimClient as a run does.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/errors.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "simlink/sim_internal.h"
#include "simlink/simconnect_test_helpers.h"

namespace linktest {

using Bytes = std::vector<std::uint8_t>;

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::vector<std::string> logLines(const std::string& fragment) const;
  std::vector<SimObjectNotice> takeNotices();
  std::string window(std::string MainWindowState::*field) const {
    return g_mainWindowState.text(field);
  }
  // The text of the UserErrorException that dispatching the message throws, "" for none.
  static std::string dispatchError(Bytes message);

  simtest::SimConnectEnvironment env;
  std::vector<std::pair<LatLon, std::string>> stands;  // answered within 0.01 nm
  std::vector<std::string> reservedStands;
};

// The dispatch tests' fixture, one class for the files that share the suite.
class Dispatch : public LinkTest {};

// Clears the link, the stop flags and the window texts, as a restart does.
void gf_resetForRun();

// A message the simulator sends: header with its size, the words, then the tail bytes.
Bytes gf_message(std::uint32_t id, std::vector<std::uint32_t> words, const Bytes& tail = {});
// A data reply (dwID 8, or 9 for a range reply) with its record.
inline Bytes gf_data(std::uint32_t requestId, const Bytes& record, std::uint32_t objectId = 1,
                     std::uint32_t id = 8) {
  return gf_message(id, {requestId, objectId, 0, 0, 1, 1, 1}, record);
}
template <typename T>
Bytes gf_bytes(const T& value) {
  Bytes b(sizeof value);
  std::memcpy(b.data(), &value, sizeof value);
  return b;
}
// A text field of the given size (longer texts are kept whole).
Bytes gf_textField(const std::string& text, std::size_t field);
// The Open message of a simulator named name, version 5.3.17.28160.
Bytes gf_openMessage(const std::string& name);
Bytes gf_sample(double lat, double lon, std::uint32_t objectId = 1);
Bytes gf_inRange(std::uint32_t objectId, double agl, const std::string& atcId);
void gf_dispatch(Bytes message);

// The test worker: starts SimClient as a run does and plays the engine's part.
class TestWorker {
 public:
  ~TestWorker() { stop(); }
  void start(std::uint32_t majorVersion = 5) {
    gf_initSimConnect(majorVersion);
    m_finished.store(false);
    m_thread = std::jthread([this](std::stop_token stop) {
      SimClient(stop);
      m_finished.store(true);
    });
  }
  // SimClient has returned, whatever ended it.
  bool finished() const { return m_finished.load(); }
  void stop() {  // on the thread's token, as the closing sequence asks it
    m_thread.request_stop();
    if (m_thread.joinable()) m_thread.join();
  }
  // Waits for a running simulator and a placed user aircraft, asking what a run asks at its
  // start (on-ground state every second, samples, title and model).
  bool startFlight();

 private:
  std::atomic<bool> m_finished{false};
  std::jthread m_thread;  // last: joined before the flag it sets goes
};

// True when the fragment is empty or stands in exactly one line of the log (in a LinkTest).
#define EXPECT_LOGGED_ONCE(fragment) \
  EXPECT_TRUE(*(fragment) == '\0' || logLines(fragment).size() == 1) << (fragment)

inline bool gf_waitUntil(const std::function<bool()>& pred, double seconds = 10) {
  return p3d::P3dStandin::waitUntil(pred, seconds);
}
// The user (object 2) parked at EHAM, on a simulator of the given scenario name.
nlohmann::json gf_parkedScenario(const std::string& simulator = "v5");

}  // namespace linktest
