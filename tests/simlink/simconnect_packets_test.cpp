// Golden bytes of every request packet the client builds, read by a raw loopback peer and
// decoded again by the stand-in's strict decoder; send ids, text limits and refusals.
#include <gtest/gtest.h>

#include <functional>

#include "p3d-standin/standin_protocol.h"
#include "simlink/simconnect/simconnect_connection.h"
#include "simlink/simconnect_test_helpers.h"

using simtest::Bytes;

namespace {

constexpr std::uint32_t kVersion = 35;

Bytes lf_header(std::uint32_t size, std::uint32_t type, std::uint32_t sendId) {
  Bytes b;
  b.u32(size).u32(kVersion).u32(0xF0000000u + type).u32(sendId);
  return b;
}

class PacketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(peer.port()));
    h = simtest::gf_openClient();
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(peer.accept(5));
    consumed = 296;
    ASSERT_GE(peer.readAtLeast(consumed, 5).size(), consumed);
  }
  void TearDown() override {
    if (h != nullptr) {
      EXPECT_EQ(SimConnect_Close(h), S_OK);
    }
  }
  // The next packet the peer received, expected to be `size` bytes long.
  std::vector<std::uint8_t> nextPacket(std::size_t size) {
    const auto& all = peer.readAtLeast(consumed + size, 5);
    if (all.size() < consumed + size) return {};
    std::vector<std::uint8_t> p(all.begin() + static_cast<std::ptrdiff_t>(consumed),
                                all.begin() + static_cast<std::ptrdiff_t>(consumed + size));
    consumed += size;
    return p;
  }
  void expectDecodes(const std::vector<std::uint8_t>& packet) {
    p3d::ProtocolError error;
    EXPECT_TRUE(p3d::gf_decodeRequest(packet, error).has_value()) << error.reason;
  }

  simtest::SimConnectEnvironment env;
  simtest::RawPeer peer;
  HANDLE h = nullptr;
  std::size_t consumed = 0;
};

TEST_F(PacketTest, OpenPacketIsByteExact) {
  std::vector<std::uint8_t> open(peer.received().begin(), peer.received().begin() + 296);
  Bytes b = lf_header(296, 0x01, 1);
  b.text("Zendrik_P3D", 256).u32(0).raw({0x00, 0x44, 0x33, 0x50}).u32(5).u32(3).u32(0).u32(0);
  EXPECT_EQ(open, b.take());
  expectDecodes(open);
  DWORD id = 0;
  EXPECT_EQ(SimConnect_GetLastSentPacketID(h, &id), S_OK);
  EXPECT_EQ(id, 1u);
}

struct GoldenCase {
  const char* name;
  std::function<HRESULT(HANDLE)> call;
  std::function<std::vector<std::uint8_t>(std::uint32_t)> expected;
};

std::vector<GoldenCase> lf_goldenCases() {
  static double record[8] = {52.5, 4.75, 0.01, -0.02, 3.1, 1234.5, -12.25, 145.0};
  return {
      {"MapClientEventToSimEvent",
       [](HANDLE h) { return SimConnect_MapClientEventToSimEvent(h, 220, "GEAR_SET"); },
       [](std::uint32_t id) { return lf_header(276, 0x04, id).u32(220).text("GEAR_SET", 256).take(); }},
      {"TransmitClientEvent",
       [](HANDLE h) { return SimConnect_TransmitClientEvent(h, 105, 218, 3072, 301, 0); },
       [](std::uint32_t id) {
         return lf_header(36, 0x05, id).u32(105).u32(218).u32(3072).u32(301).u32(0).take();
       }},
      {"AddClientEventToNotificationGroup",
       [](HANDLE h) { return SimConnect_AddClientEventToNotificationGroup(h, 301, 208, TRUE); },
       [](std::uint32_t id) { return lf_header(28, 0x07, id).u32(301).u32(208).u32(1).take(); }},
      {"SetNotificationGroupPriority",
       [](HANDLE h) { return SimConnect_SetNotificationGroupPriority(h, 301, 1); },
       [](std::uint32_t id) { return lf_header(24, 0x09, id).u32(301).u32(1).take(); }},
      {"AddToDataDefinition",
       [](HANDLE h) {
         return SimConnect_AddToDataDefinition(h, 402, "Plane Latitude", "degree",
                                               SIMCONNECT_DATATYPE_FLOAT64, 0.0f,
                                               SIMCONNECT_UNUSED);
       },
       [](std::uint32_t id) {
         return lf_header(544, 0x0C, id).u32(402).text("Plane Latitude", 256)
             .text("degree", 256).u32(4).f32(0.0f).u32(0xFFFFFFFFu).take();
       }},
      {"AddToDataDefinitionWithoutUnits",
       [](HANDLE h) {
         return SimConnect_AddToDataDefinition(h, 407, "TITLE", nullptr,
                                               SIMCONNECT_DATATYPE_STRINGV, 0.0f,
                                               SIMCONNECT_UNUSED);
       },
       [](std::uint32_t id) {
         return lf_header(544, 0x0C, id).u32(407).text("TITLE", 256).text("", 256).u32(11)
             .f32(0.0f).u32(0xFFFFFFFFu).take();
       }},
      {"RequestDataOnSimObject",
       [](HANDLE h) {
         return SimConnect_RequestDataOnSimObject(h, 108, 409, 0, SIMCONNECT_PERIOD_SECOND, 0,
                                                  0, 0, 0);
       },
       [](std::uint32_t id) {
         return lf_header(48, 0x0E, id).u32(108).u32(409).u32(0).u32(4).u32(0).u32(0).u32(0)
             .u32(0).take();
       }},
      {"RequestDataOnSimObjectType",
       [](HANDLE h) {
         return SimConnect_RequestDataOnSimObjectType(h, 101, 404, 92600,
                                                      SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
       },
       [](std::uint32_t id) { return lf_header(32, 0x0F, id).u32(101).u32(404).u32(92600).u32(2).take(); }},
      {"SetDataOnSimObjectCountZeroIsOne",
       [](HANDLE h) { return SimConnect_SetDataOnSimObject(h, 402, 105, 0, 0, 64, record); },
       [](std::uint32_t id) {
         Bytes b = lf_header(100, 0x10, id);
         b.u32(402).u32(105).u32(0).u32(1).u32(64);
         for (double v : record) b.f64(v);
         return b.take();
       }},
      {"SubscribeToSystemEvent",
       [](HANDLE h) { return SimConnect_SubscribeToSystemEvent(h, 204, "Frame"); },
       [](std::uint32_t id) { return lf_header(276, 0x17, id).u32(204).text("Frame", 256).take(); }},
      {"AICreateNonATCAircraft",
       [](HANDLE h) {
         SIMCONNECT_DATA_INITPOSITION p{52.31, 4.76, 12.5, -1.5, 0.25, 271.0, 1, 12};
         return SimConnect_AICreateNonATCAircraft(h, "Airbus A320 KLM", "KLM1234", p, 104);
       },
       [](std::uint32_t id) {
         return lf_header(344, 0x29, id).text("Airbus A320 KLM", 256).text("KLM1234", 12)
             .f64(52.31).f64(4.76).f64(12.5).f64(-1.5).f64(0.25).f64(271.0).u32(1).u32(12)
             .u32(104).take();
       }},
      {"AIReleaseControl",
       [](HANDLE h) { return SimConnect_AIReleaseControl(h, 105, 103); },
       [](std::uint32_t id) { return lf_header(24, 0x2B, id).u32(105).u32(103).take(); }},
      {"AIRemoveObject",
       [](HANDLE h) { return SimConnect_AIRemoveObject(h, 105, 105); },
       [](std::uint32_t id) { return lf_header(24, 0x2C, id).u32(105).u32(105).take(); }},
      {"AISetAircraftFlightPlan",
       [](HANDLE h) { return SimConnect_AISetAircraftFlightPlan(h, 105, "/tmp/orig_dest/105.pln", 110); },
       [](std::uint32_t id) {
         return lf_header(284, 0x2D, id).u32(105).text("/tmp/orig_dest/105.pln", 260).u32(110)
             .take();
       }},
  };
}

TEST_F(PacketTest, EveryRequestIsByteExactAndDecodes) {
  std::uint32_t sendId = 1;
  for (const GoldenCase& c : lf_goldenCases()) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.call(h), S_OK);
    ++sendId;
    const std::vector<std::uint8_t> expected = c.expected(sendId);
    const std::vector<std::uint8_t> got = nextPacket(expected.size());
    EXPECT_EQ(got, expected);
    expectDecodes(got);
    DWORD last = 0;
    EXPECT_EQ(SimConnect_GetLastSentPacketID(h, &last), S_OK);
    EXPECT_EQ(last, sendId);
  }
}

TEST_F(PacketTest, SendIdWrapsToOneAndNeverZero) {
  simconnect::gf_setSendCounter(h, 0xFFFFFFFEu);
  const std::uint32_t expectedIds[] = {0xFFFFFFFFu, 1u, 2u};
  for (std::uint32_t id : expectedIds) {
    ASSERT_EQ(SimConnect_AIReleaseControl(h, 200, 103), S_OK);
    EXPECT_EQ(nextPacket(24), lf_header(24, 0x2B, id).u32(200).u32(103).take());
  }
}

TEST_F(PacketTest, TextThatDoesNotFitIsRefusedAndNothingIsSent) {
  SIMCONNECT_DATA_INITPOSITION pos{52.0, 4.0, 0, 0, 0, 0, 1, 0};
  const std::string title255(255, 'T');
  const std::string title256(256, 'T');
  struct Case {
    std::string title;
    std::string tail;
    HRESULT result;
  };
  const Case cases[] = {{title256, "PH-ABC", kSimConnectStringTooLong},
                        {"B738", std::string(12, 'X'), kSimConnectStringTooLong},
                        {title255, std::string(11, 'X'), S_OK}};
  for (const Case& c : cases) {
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(h, c.title.c_str(), c.tail.c_str(), pos, 104),
              c.result);
  }
  // The refused packets used up send ids 2 and 3; the one sent carries 4 and is intact.
  const auto packet = nextPacket(344);
  EXPECT_EQ(packet, lf_header(344, 0x29, 4).text(title255, 256).text(std::string(11, 'X'), 12)
                        .f64(52.0).f64(4.0).f64(0).f64(0).f64(0).f64(0).u32(1).u32(0).u32(104)
                        .take());
  EXPECT_EQ(SimConnect_AISetAircraftFlightPlan(h, 7, std::string(260, 'p').c_str(), 110),
            kSimConnectStringTooLong);
  EXPECT_EQ(SimConnect_SubscribeToSystemEvent(h, 1, std::string(256, 'e').c_str()),
            kSimConnectStringTooLong);
  // A null text is an empty field.
  ASSERT_EQ(SimConnect_MapClientEventToSimEvent(h, 5, nullptr), S_OK);
  EXPECT_EQ(nextPacket(276), lf_header(276, 0x04, 7).u32(5).text("", 256).take());
  EXPECT_EQ(peer.readAtLeast(consumed + 1, 0.2).size(), consumed);
}

TEST_F(PacketTest, SetDataWithoutDataOrWithAnImpossibleSizeSendsNothing) {
  EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 402, 105, 0, 0, 64, nullptr), E_FAIL);
  double one = 1.0;
  EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 402, 105, 0, 0xFFFFFFFFu, 0xFFFFFFFFu, &one),
            E_FAIL);
  EXPECT_EQ(SimConnect_SetDataOnSimObject(h, 402, 105, 0, 1, 41088, &one), E_FAIL)
      << "larger than the send buffer";
  EXPECT_EQ(peer.readAtLeast(consumed + 1, 0.2).size(), consumed);
}

TEST(SimConnectApi, RefusesMissingArgumentsAndHandles) {
  simtest::SimConnectEnvironment env;
  HANDLE h = nullptr;
  EXPECT_EQ(SimConnect_Open(nullptr, "x", nullptr, 0, nullptr, 0), kSimConnectInvalidArg);
  EXPECT_EQ(SimConnect_Open(&h, nullptr, nullptr, 0, nullptr, 0), kSimConnectInvalidArg);
  int notAConnection = 0;
  DWORD id = 0;
  EXPECT_EQ(SimConnect_GetLastSentPacketID(&notAConnection, &id), E_FAIL);
  EXPECT_EQ(SimConnect_GetLastSentPacketID(nullptr, &id), E_FAIL);
  EXPECT_EQ(SimConnect_AIRemoveObject(nullptr, 5, 105), E_FAIL);
  EXPECT_EQ(SimConnect_AIRemoveObject(&notAConnection, 5, 105), E_FAIL);
  EXPECT_EQ(SimConnect_CallDispatch(&notAConnection, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(SimConnect_Close(nullptr), E_FAIL);
}

}  // namespace

// A unit size of 0 carries no data: the header-only packet goes out without touching the
// (absent) data pointer.
TEST_F(PacketTest, SetDataWithUnitSizeZeroSendsTheHeaderOnly) {
  ASSERT_EQ(SimConnect_SetDataOnSimObject(h, 401, 7, 0, 0, 0, nullptr), S_OK);
  const auto packet = nextPacket(36);
  ASSERT_EQ(packet.size(), 36u);
  Bytes b = lf_header(36, 0x10, 2);
  b.u32(401).u32(7).u32(0).u32(1).u32(0);
  EXPECT_EQ(packet, b.take());
}
