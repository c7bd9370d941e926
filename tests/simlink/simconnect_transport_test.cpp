// Transports and configuration of the client against the stand-in: the pipe, IPv6 and IPv4,
// the SimConnect.cfg search and the fallback chain, reassembly of what arrives over the wire,
// MaxReceiveSize and the stored transport error.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "foundation/log.h"
#include "simlink/simconnect/simconnect_config.h"

#include "simlink/simconnect_test_helpers.h"

using simtest::gf_u32At;
using simtest::Received;

namespace {

constexpr std::size_t kData = kSimObjectDataOffset;

nlohmann::json lf_scenario() {
  return {{"user", {{"path", {{{"t", 0}, {"lat", 47.25}, {"lon", 11.35}, {"alt_ft", 1900}}}}}}};
}

bool lf_gotOpen(const std::vector<Received>& all) {
  for (const auto& r : all) {
    if (r.id == SIMCONNECT_RECV_ID_OPEN) return true;
  }
  return false;
}

std::size_t lf_count(const std::vector<Received>& all, std::uint32_t requestId) {
  std::size_t n = 0;
  for (const auto& r : all) {
    n += r.id == SIMCONNECT_RECV_ID_SIMOBJECT_DATA && gf_u32At(r.bytes, 12) == requestId ? 1 : 0;
  }
  return n;
}

// Opens, declares, creates one AI aircraft and sees it added, then closes.
void lf_runShortSession(p3d::P3dStandin& standin) {
  HANDLE h = simtest::gf_openClient();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(simtest::gf_sendSetupPackets(h), 73);
  SIMCONNECT_DATA_INITPOSITION p{47.26, 11.36, 1900, 0, 0, 80, 1, 0};
  EXPECT_EQ(SimConnect_AICreateNonATCAircraft(h, "Dash 8", "OE-LGA", p, 104), S_OK);
  std::vector<Received> got;
  EXPECT_TRUE(simtest::gf_dispatchUntil(
      h, got,
      [](const std::vector<Received>& all) {
        for (const auto& r : all) {
          if (r.id == SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE) return lf_gotOpen(all);
        }
        return false;
      },
      5));
  EXPECT_EQ(SimConnect_Close(h), S_OK);
  EXPECT_TRUE(standin.violations().empty());
  EXPECT_EQ(standin.clientsSeen(), 1);
}

// The same short session over the pipe, IPv6 and IPv4, without a configuration file: with
// every way open the chain takes the first (pipe, then IPv6, then IPv4), and once that way is
// gone it falls back to the next. With none open the open fails and leaves nothing behind.
// A way is gone for good: the pipe's socket in the test's own folder is removed, and the
// registry names a port that refuses connections, never a port freed by a stand-in, which a
// test running beside this one could take meanwhile.
TEST(FallbackChain, SameSessionOverPipeThenIpv6ThenIpv4) {
  simtest::SimConnectEnvironment env;
  auto pipeSide = simtest::gf_startStandin(lf_scenario(), env.pipeSocket());
  auto v6 = simtest::gf_startStandin(lf_scenario());
  auto v4 = simtest::gf_startStandin(lf_scenario());
  const simtest::RefusingPort v6Gone(AF_INET6);
  const simtest::RefusingPort v4Gone(AF_INET);
  env.writeRegistryPorts(std::to_string(v4->port()), std::to_string(v6->port6()));
  lf_runShortSession(*pipeSide);
  pipeSide->stop();
  lf_runShortSession(*v6);
  env.writeRegistryPorts(std::to_string(v4->port()), std::to_string(v6Gone.port()));
  lf_runShortSession(*v4);
  EXPECT_EQ(v6->clientsSeen(), 1);
  env.writeRegistryPorts(std::to_string(v4Gone.port()), std::to_string(v6Gone.port()));
  HANDLE none = nullptr;
  EXPECT_EQ(SimConnect_Open(&none, "Zendrik_P3D", nullptr, 0, nullptr, 0), E_FAIL);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(v4->clientsSeen(), 1);
}

// The client's close ends its reader even while the simulator keeps its end open, and the
// stand-in refuses a port in use with the port's number but starts on it once it is free.
TEST(SocketEnds, CloseReturnsWhileThePeerKeepsItsEndOpen) {
  simtest::SimConnectEnvironment env;
  simtest::RawPeer peer;
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(peer.port()));
  HANDLE h = simtest::gf_openClient();
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(peer.accept(5));
  EXPECT_EQ(SimConnect_Close(h), S_OK);
  EXPECT_GT(peer.readAtLeast(1, 5).size(), 0u) << "the Open packet came through";
}

TEST(SocketEnds, StandinRefusesAPortInUseAndTakesItOnceFree) {
  simtest::SimConnectEnvironment env;
  auto first = simtest::gf_startStandin(lf_scenario());
  const int port = first->port();
  p3d::StandinOptions options;
  options.port = port;
  p3d::P3dStandin second(options);
  try {
    second.start();
    ADD_FAILURE() << "a second stand-in listens on port " << port;
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("cannot listen on 127.0.0.1 port " + std::to_string(port)),
              std::string::npos)
        << e.what();
  }
  first->stop();
  p3d::P3dStandin third(options);
  ASSERT_NO_THROW(third.start());
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(port));
  HANDLE h = simtest::gf_openClient();
  EXPECT_TRUE(p3d::P3dStandin::waitUntil([&] { return third.connectedClients() == 1; }, 5));
  if (h != nullptr) {
    EXPECT_EQ(SimConnect_Close(h), S_OK);
  }
}

TEST(SimConnectCfg, ConfigurationIndexNeedsItsSection) {
  simtest::SimConnectEnvironment env;
  auto standin = simtest::gf_startStandin(lf_scenario());
  env.writeCfg(env.userDocuments(), "[SimConnect.1]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" +
                                        std::to_string(standin->port()) + "\n");
  HANDLE h = nullptr;
  EXPECT_EQ(SimConnect_Open(&h, "Zendrik_P3D", nullptr, 0, nullptr, 2), kSimConnectInvalidArg);
  ASSERT_EQ(SimConnect_Open(&h, "Zendrik_P3D", nullptr, 0, nullptr, 1), S_OK);
  EXPECT_TRUE(p3d::P3dStandin::waitUntil([&] { return standin->connectedClients() == 1; }, 5));
  EXPECT_EQ(SimConnect_Close(h), S_OK);
}

TEST(SimConnectCfg, PortNamesThePipe) {
  simtest::SimConnectEnvironment env;
  auto standin = simtest::gf_startStandin(lf_scenario(), env.pipeSocket("My Sim Pipe"));
  env.writeCfg(env.currentFolder(), "[SimConnect]\nProtocol=Pipe\nPort=My Sim Pipe\n");
  HANDLE h = simtest::gf_openClient();
  EXPECT_TRUE(p3d::P3dStandin::waitUntil([&] { return standin->connectedClients() == 1; }, 5));
  if (h != nullptr) {
    EXPECT_EQ(SimConnect_Close(h), S_OK);
  }
}

// Reassembly over real sockets: the stand-in fragments its writes, coalesces them and puts zero
// filler before each message; the client still gets every reply whole and in order.
TEST(WireFaults, RepliesArriveWholeAndInOrder) {
  simtest::SimConnectEnvironment env;
  nlohmann::json scenario = lf_scenario();
  scenario["faults"] = {{"fragment", 7}, {"zero_filler", 4}, {"coalesce", true}};
  auto standin = simtest::gf_startStandin(scenario);
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
  HANDLE h = simtest::gf_openClient();
  ASSERT_EQ(simtest::gf_sendSetupPackets(h), 73);
  constexpr int kRequests = 20;
  for (int i = 0; i < kRequests; ++i) {
    ASSERT_EQ(SimConnect_RequestDataOnSimObject(h, 109, 403, 0, SIMCONNECT_PERIOD_ONCE, 0, 0, 0,
                                                0),
              S_OK);
  }
  std::vector<Received> got;
  HRESULT hr = S_OK;
  EXPECT_TRUE(simtest::gf_dispatchUntil(
      h, got, [](const auto& all) { return lf_count(all, 109) == kRequests; }, 10, &hr));
  EXPECT_EQ(hr, S_OK);
  for (const auto& r : got) {
    EXPECT_EQ(r.bytes.size(), gf_u32At(r.bytes, 0));
    if (r.id == SIMCONNECT_RECV_ID_SIMOBJECT_DATA) {
      ASSERT_EQ(r.bytes.size(), kData + 96);
      EXPECT_EQ(simtest::gf_f64At(r.bytes, kData), 47.25);
    }
  }
  EXPECT_TRUE(lf_gotOpen(got));
  EXPECT_EQ(SimConnect_Close(h), S_OK);
}

std::vector<std::uint8_t> lf_event(std::uint32_t eventId, std::uint32_t data) {
  return simtest::Bytes().u32(24).u32(4).u32(SIMCONNECT_RECV_ID_EVENT).u32(0xFFFFFFFFu)
      .u32(eventId).u32(data).take();
}

class RawMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    standin = simtest::gf_startStandin(lf_scenario());
    env.writeCfg(env.currentFolder(), cfg + simtest::gf_ipv4Cfg(standin->port()).substr(12));
  }
  void open() {
    h = simtest::gf_openClient();
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(simtest::gf_dispatchUntil(h, got, lf_gotOpen, 5));
    got.clear();
  }
  std::vector<std::uint32_t> eventData() const {
    std::vector<std::uint32_t> out;
    for (const auto& r : got) {
      if (r.id == SIMCONNECT_RECV_ID_EVENT) out.push_back(gf_u32At(r.bytes, 20));
    }
    return out;
  }

  simtest::SimConnectEnvironment env;
  std::string cfg = "[SimConnect]\n";
  std::unique_ptr<p3d::P3dStandin> standin;
  HANDLE h = nullptr;
  std::vector<Received> got;
};

TEST_F(RawMessages, SplitAndJoinedWritesGiveExactlyTheMessages) {
  open();
  auto a = lf_event(900, 1);
  auto b = lf_event(900, 2);
  auto c = lf_event(900, 3);
  std::vector<std::uint8_t> bc = b;
  bc.insert(bc.end(), c.begin(), c.end());
  // a in three pieces at odd offsets, then b and c in one write, then a short message that is
  // queued but never delivered (under 12 bytes), then zero filler and one more event.
  std::vector<std::uint8_t> tail = {0, 0, 0, 0, 0, 0, 0, 0};
  const auto d = lf_event(900, 4);
  tail.insert(tail.end(), d.begin(), d.end());
  standin->sendRaw({{a.begin(), a.begin() + 3}, {a.begin() + 3, a.begin() + 11},
                    {a.begin() + 11, a.end()}, bc, {8, 0, 0, 0, 1, 2, 3, 4}, tail});
  ASSERT_TRUE(simtest::gf_dispatchUntil(
      h, got, [&](const auto&) { return eventData().size() >= 4; }, 5));
  EXPECT_EQ(eventData(), (std::vector<std::uint32_t>{1, 2, 3, 4}));
  EXPECT_EQ(SimConnect_Close(h), S_OK);
}

TEST_F(RawMessages, SizesOneToThreeBreakTheTransport) {
  open();
  standin->sendRaw({lf_event(900, 1), {2, 0, 0, 0, 0, 0, 0, 0}});
  HRESULT hr = S_OK;
  simtest::gf_dispatchUntil(h, got, [&](const auto&) { return false; }, 0.5, &hr);
  EXPECT_EQ(eventData(), std::vector<std::uint32_t>{1}) << "what came before is delivered";
  EXPECT_EQ(hr, kSimConnectBadMessage);
  EXPECT_EQ(SimConnect_Close(h), S_OK);
}

// An oversize message closes the transport; the next request returns the stored error and
// sends nothing.
TEST_F(RawMessages, OversizeMessageStoresTheErrorForLaterCalls) {
  p3d::Faults faults;
  faults.oversizeAt = 0;
  faults.oversizeBytes = 41089;
  standin->setFaults(faults);
  gf_openLog();  // Log.txt in the test's own current folder
  open();
  HRESULT hr = S_OK;
  simtest::gf_dispatchUntil(h, got, [&](const auto&) { return hr != S_OK; }, 5, &hr);
  EXPECT_EQ(hr, kSimConnectBadMessage);
  gf_closeLog();
  std::ifstream log(env.currentFolder() / "Log.txt");
  const std::string text((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(text.find("===> SimConnect: message of 41089 bytes exceeds MaxReceiveSize 41088"),
            std::string::npos)
      << text;
  const std::size_t before = standin->requests().size();
  EXPECT_EQ(SimConnect_AIRemoveObject(h, 200, 105), kSimConnectBadMessage);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(standin->requests().size(), before);
  EXPECT_EQ(SimConnect_Close(h), S_OK);
}

class LargeLimit : public RawMessages {
 protected:
  void SetUp() override {
    cfg = "[SimConnect]\nMaxReceiveSize=" + std::to_string(limit) + "\n";
    RawMessages::SetUp();
  }
  std::uint32_t limit = 8 * 1024 * 1024;
};

// A configured limit above the read buffer's 1 MiB ceiling: a 2 MiB message is refused as
// oversize instead of leaving the connection waiting for ever; a 60000-byte one is delivered.
TEST_F(LargeLimit, MessagesAboveTheCeilingAreRefusedNotWaitedFor) {
  open();
  std::vector<std::uint8_t> fits(60000, 0x33);
  const std::uint32_t fitsHeader[3] = {60000, 4, 16};
  std::memcpy(fits.data(), fitsHeader, sizeof fitsHeader);
  standin->sendRaw({fits});
  ASSERT_TRUE(simtest::gf_dispatchUntil(
      h, got, [](const auto& all) { return !all.empty() && all[0].bytes.size() == 60000; }, 5));
  std::vector<std::uint8_t> huge(2 * 1024 * 1024, 0x44);
  const std::uint32_t hugeHeader[3] = {static_cast<std::uint32_t>(huge.size()), 4, 16};
  std::memcpy(huge.data(), hugeHeader, sizeof hugeHeader);
  standin->sendRaw({huge});
  HRESULT hr = S_OK;
  EXPECT_TRUE(simtest::gf_dispatchUntil(
      h, got, [&](const auto&) { return hr == kSimConnectBadMessage; }, 5, &hr));
  EXPECT_EQ(SimConnect_Close(h), S_OK);
}

}  // namespace

namespace {

TEST(SimConnectCfg, KeysAreReadAndMergedAcrossFiles) {
  simtest::SimConnectEnvironment env;
  env.writeCfg(env.publicDocuments(),
               "[SimConnect]\nprotocol = IPV6\nAddress=::1\nPort=5001\nMaxReceiveSize=100\n"
               "DisableNagle=1\n[SimConnect.3]\nPort=7\n");
  // Public, then user, then current folder: a later file overrides an earlier one key by key.
  env.writeCfg(env.userDocuments(), "[SimConnect]\nAddress=127.0.0.1\nPort=5003\n");
  simconnect::SimConnectConfig user;
  ASSERT_TRUE(simconnect::gf_readSimConnectConfig(0, user));
  EXPECT_EQ(user.address, "127.0.0.1");
  EXPECT_EQ(user.port, "5003");
  env.writeCfg(env.currentFolder(), "[simconnect]\nPort=\"5002\"\nMaxReceiveSize=90000\n");
  simconnect::SimConnectConfig cfg;
  ASSERT_TRUE(simconnect::gf_readSimConnectConfig(0, cfg));
  EXPECT_EQ(cfg.protocol, "IPV6");
  EXPECT_EQ(cfg.address, "127.0.0.1");
  EXPECT_EQ(cfg.port, "5002");
  EXPECT_EQ(cfg.maxReceiveSize, 90000u) << "only a larger value is kept";
  EXPECT_TRUE(cfg.disableNagle);

  simconnect::SimConnectConfig small;
  env.writeCfg(env.currentFolder(), "[SimConnect]\nMaxReceiveSize=100\n");
  ASSERT_TRUE(simconnect::gf_readSimConnectConfig(0, small));
  EXPECT_EQ(small.maxReceiveSize, 41088u);

  simconnect::SimConnectConfig third;
  EXPECT_TRUE(simconnect::gf_readSimConnectConfig(3, third));
  EXPECT_EQ(third.port, "7");
  EXPECT_FALSE(simconnect::gf_readSimConnectConfig(4, third));
}

TEST(SimConnectCfg, RegistryPortsAndPipeNames) {
  simtest::SimConnectEnvironment env;
  env.writeRegistryPorts("500", "12345678901");
  EXPECT_EQ(simconnect::gf_registryPort("SimConnect_Port_IPv4"), "500");
  EXPECT_EQ(simconnect::gf_registryPort("SimConnect_Port_IPv6"), "") << "over 10 characters";
  EXPECT_EQ(simconnect::gf_simConnectPipeName("", ""),
            "\\\\.\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect");
  EXPECT_EQ(simconnect::gf_simConnectPipeName("host", "Other"), "\\\\host\\pipe\\Other");
}

}  // namespace
