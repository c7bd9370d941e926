// The stand-in's strictness: every malformed request is answered with the simulator's
// exception, recorded as a violation and logged, and the stand-in carries on.
#include <gtest/gtest.h>

#include "simlink/simconnect_test_helpers.h"
#include "tools/p3d_standin_test_support.h"

using standintest::Packet;
using standintest::RawClient;
using standintest::u32At;

namespace {

constexpr std::uint32_t kException = 1;

class StandinProtocol : public ::testing::Test {
 protected:
  void SetUp() override {
    standin = simtest::gf_startStandin(nlohmann::json::object(), "", 50);
    client = std::make_unique<RawClient>(standin->port());
    ASSERT_TRUE(client->connected());
    client->send(standintest::openPacket());
    ASSERT_FALSE(client->next(2).empty()) << "the Open reply";
  }
  // Sends one packet and returns the exception it caused (empty when none came).
  std::vector<std::uint8_t> exceptionFor(const std::vector<std::uint8_t>& packet) {
    client->send(packet);
    return client->next(kException, 1);
  }
  std::uint32_t nextId() { return ++sendId; }

  std::unique_ptr<p3d::P3dStandin> standin;
  std::unique_ptr<RawClient> client;
  std::uint32_t sendId = 1;
};

TEST_F(StandinProtocol, MalformedRequestsGetTheSimulatorsException) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> packet;
    std::uint32_t code;
    std::uint32_t index;
  };
  std::vector<Case> cases;
  auto id = [&] { return nextId(); };
  cases.push_back({"wrong protocol version",
                   Packet(0x2C, id(), 34).u32(200).u32(105).bytes(), 5, 0});
  cases.push_back({"unknown request type", Packet(0xFF, id()).u32(1).bytes(), 1, 0});
  cases.push_back({"size of another request",
                   Packet(0x2C, id()).u32(200).u32(105).u32(0).bytes(), 2, 0});
  cases.push_back({"name without its zero",
                   Packet(0x04, id()).u32(220).text(std::string(256, 'A'), 256).bytes(), 1, 2});
  {
    std::string dirty("GEAR_SET");
    dirty.push_back('\0');
    dirty += "junk";
    cases.push_back({"bytes after the zero", Packet(0x04, id()).u32(220).text(dirty, 256).bytes(),
                     1, 2});
  }
  cases.push_back({"unknown simulation variable",
                   Packet(0x0C, id()).u32(402).text("PLANE WARP FACTOR", 256).text("feet", 256)
                       .u32(4).u32(0).u32(0xFFFFFFFFu).bytes(),
                   7, 2});
  cases.push_back({"units that do not fit",
                   Packet(0x0C, id()).u32(402).text("Plane Latitude", 256).text("knots", 256)
                       .u32(4).u32(0).u32(0xFFFFFFFFu).bytes(),
                   7, 3});
  cases.push_back({"text variable as a number",
                   Packet(0x0C, id()).u32(407).text("TITLE", 256).text("", 256).u32(4).u32(0)
                       .u32(0xFFFFFFFFu).bytes(),
                   18, 4});
  cases.push_back({"data type out of range",
                   Packet(0x0C, id()).u32(402).text("Plane Latitude", 256).text("degree", 256)
                       .u32(12).u32(0).u32(0xFFFFFFFFu).bytes(),
                   18, 4});
  cases.push_back({"set data that does not fill the packet",
                   Packet(0x10, id()).u32(402).u32(1).u32(0).u32(2).u32(64).f64(1).bytes(), 2, 4});
  cases.push_back({"unmapped client event",
                   Packet(0x05, id()).u32(1).u32(299).u32(1).u32(301).u32(0).bytes(), 3, 2});
  cases.push_back({"removal of the user aircraft", Packet(0x2C, id()).u32(1).u32(105).bytes(), 3,
                   1});
  cases.push_back({"data of an unknown definition",
                   Packet(0x0E, id()).u32(109).u32(499).u32(0).u32(1).u32(0).u32(0).u32(0).u32(0)
                       .bytes(),
                   3, 2});
  cases.push_back({"send id going back", Packet(0x2C, 3).u32(200).u32(105).bytes(), 1, 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto ex = exceptionFor(c.packet);
    ASSERT_EQ(ex.size(), 24u);
    EXPECT_EQ(u32At(ex, 12), c.code);
    EXPECT_EQ(u32At(ex, 16), u32At(c.packet, 12)) << "the offending send id";
    EXPECT_EQ(u32At(ex, 20), c.index);
  }
  // Byte-level faults are violations; refusals of well-formed requests are not.
  EXPECT_EQ(standin->violations().size(), 8u);
  EXPECT_EQ(standin->exceptions().size(), cases.size());
  // The stand-in still answers this client.
  client->send(Packet(0x0C, nextId()).u32(409).text("SIM ON GROUND", 256).text("Bool", 256)
                   .u32(2).u32(0).u32(0xFFFFFFFFu).bytes());
  client->send(Packet(0x0E, nextId()).u32(108).u32(409).u32(0).u32(1).u32(0).u32(0).u32(0)
                   .u32(0).bytes());
  const auto data = client->next(8);
  ASSERT_EQ(data.size(), 48u);
  EXPECT_EQ(u32At(data, 12), 108u);
  EXPECT_EQ(u32At(data, 16), 1u);
}

TEST_F(StandinProtocol, UnframeablePacketDropsOnlyThatClient) {
  client->send(Packet(0x2C, nextId()).u32(1).bytes(8));
  EXPECT_TRUE(client->closedByPeer());
  EXPECT_EQ(standin->violations().size(), 1u);
  RawClient second(standin->port());
  second.send(standintest::openPacket());
  EXPECT_EQ(second.next(2).size(), 308u);
}

TEST_F(StandinProtocol, RequestsBeforeOpenAndSecondOpenAreRefused) {
  RawClient fresh(standin->port());
  fresh.send(Packet(0x2C, 1).u32(200).u32(105).bytes());
  EXPECT_EQ(u32At(fresh.next(kException), 12), 4u);
  fresh.send(standintest::openPacket(2));
  EXPECT_EQ(fresh.next(2).size(), 308u);
  fresh.send(standintest::openPacket(3));
  EXPECT_EQ(u32At(fresh.next(kException), 12), 1u);
}

// Data requests by type: one message per object in range, with entry and count.
TEST_F(StandinProtocol, ByTypeAnswersOneMessagePerObjectInRange) {
  auto def = [&](const char* name, const char* units, std::uint32_t type) {
    client->send(Packet(0x0C, nextId()).u32(404).text(name, 256).text(units, 256).u32(type)
                     .u32(0).u32(0xFFFFFFFFu).bytes());
  };
  def("Plane Alt Above Ground", "feet", 4);
  def("ATC ID", "", 6);
  client->send(Packet(0x04, nextId()).u32(1).text("GEAR_SET", 256).bytes());
  for (int i = 0; i < 3; ++i) {
    // Two near the user aircraft (52.3086, 4.7639), one 50 km away.
    const double lat = i < 2 ? 52.31 : 52.75;
    client->send(Packet(0x29, nextId()).text("Any title", 256).text("AI" + std::to_string(i), 12)
                     .f64(lat).f64(4.76).f64(0).f64(0).f64(0).f64(0).u32(1).u32(0).u32(104)
                     .bytes());
    ASSERT_EQ(client->next(12).size(), 20u) << "assigned object id";
  }
  client->send(Packet(0x0F, nextId()).u32(101).u32(404).u32(10000).u32(2).bytes());
  std::vector<std::string> tails;
  for (int i = 0; i < 3; ++i) {
    const auto m = client->next(9);
    ASSERT_EQ(m.size(), 40u + 40u);
    EXPECT_EQ(u32At(m, 28), static_cast<std::uint32_t>(i + 1));
    EXPECT_EQ(u32At(m, 32), 3u);
    tails.emplace_back(reinterpret_cast<const char*>(m.data() + 48));
  }
  EXPECT_EQ(tails, (std::vector<std::string>{"N737SI", "AI0", "AI1"}));
  EXPECT_TRUE(client->next(9, 0.3).empty());
  EXPECT_TRUE(standin->violations().empty());
}

}  // namespace
