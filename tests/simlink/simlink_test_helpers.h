// Test scaffolding for the simulator link: a fixture with a private environment, Log.txt open in
// it, the link's state reset and a small aircraft database; builders of the messages the
// simulator sends; and a test worker that runs SimClient against the stand-in as a run does.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/errors.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "simlink/sim_internal.h"
#include "simlink/simconnect_test_helpers.h"

namespace linktest {

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Everything written to Log.txt so far, and its lines that contain a fragment.
  std::string log() const;
  std::vector<std::string> logLines(const std::string& fragment) const;
  // Takes the notices posted so far.
  std::vector<SimObjectNotice> takeNotices();
  std::string windowText(std::string MainWindowState::*field) const;

  simtest::SimConnectEnvironment env;
  // What the stand hooks saw: the stand table answers within 0.01 nm of a stand.
  std::vector<std::pair<LatLon, std::string>> stands;
  std::vector<std::string> reservedStands;
};

// Clears the link, the stop flags and the window texts, as a restart does.
void gf_resetForRun();

// Messages the simulator sends, byte for byte.
std::vector<std::uint8_t> gf_openMessage(const std::string& name,
                                         std::vector<std::uint32_t> version = {5, 3, 17, 28160});
std::vector<std::uint8_t> gf_exceptionMessage(std::uint32_t code, std::uint32_t sendId,
                                              std::uint32_t index);
std::vector<std::uint8_t> gf_eventMessage(std::uint32_t eventId, std::uint32_t data);
std::vector<std::uint8_t> gf_addRemoveMessage(std::uint32_t eventId, std::uint32_t objectId,
                                              std::uint32_t objectType = 2);
std::vector<std::uint8_t> gf_filenameMessage();
std::vector<std::uint8_t> gf_frameMessage(float rate);
std::vector<std::uint8_t> gf_dataMessage(std::uint32_t recvId, std::uint32_t requestId,
                                         std::uint32_t objectId, std::uint32_t defineId,
                                         const std::vector<std::uint8_t>& record);
std::vector<std::uint8_t> gf_userSample(const UserAcData& sample, std::uint32_t objectId = 1);
std::vector<std::uint8_t> gf_acInRange(std::uint32_t objectId, double agl, double groundAlt,
                                       std::int64_t onGround, const std::string& atcId);
std::vector<std::uint8_t> gf_textRecord(const std::string& text, std::size_t field);
// Hands one message of exactly its size to the dispatch.
void gf_dispatch(std::vector<std::uint8_t> message);

// A user sample at a position, otherwise zero.
UserAcData gf_sampleAt(double lat, double lon);

// The test worker: starts SimClient as a run does and plays the engine's part.
class TestWorker {
 public:
  ~TestWorker() { stop(); }
  void start(std::uint32_t majorVersion = 5);
  // Requests the stop on the thread's token and joins it.
  void stop();
  // Waits for a running simulator and a placed user aircraft, asking what a run asks at its
  // start (on-ground state every second, samples, title and model). False when it timed out.
  bool startFlight(double seconds = 10);
  bool running() const { return m_thread.joinable(); }

 private:
  std::jthread m_thread;
};

// Polls pred every millisecond until it holds or the time is up.
bool gf_waitUntil(const std::function<bool()>& pred, double seconds = 10);

// A stand-in scenario with the user parked at EHAM, and its SimConnect.cfg for env.
nlohmann::json gf_parkedScenario(const std::string& simulator = "v5");

}  // namespace linktest
