// Writes the seed corpora of the fuzz targets from the fixture builders:
//   fuzz_seed_writer <corpus folder>     (the committed one is fuzz/corpus)
// Each file is one input as its target takes it, control bytes at the end. A development tool:
// run it when a target's input format changes, check the files, commit them.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "fixtures/ai_package_writer.h"
#include "fixtures/airport_list_builder.h"
#include "fixtures/bgl_builder.h"
#include "fixtures/dbase_builder.h"
#include "fixtures/demo_world.h"
#include "fixtures/stand_file_builder.h"
#include "simlink/sim_internal.h"
#include "simlink/simconnect/simconnect.h"

namespace fs = std::filesystem;
using namespace fixtures;

namespace {

fs::path g_corpus;
fs::path g_scratch;

void lf_seed(const std::string& target, const std::string& name, const std::string& bytes,
             const std::string& control = "") {
  writeFileBytes(g_corpus / target / name, bytes + control);
}

std::string lf_readBack(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string lf_byte(unsigned value) {
  return std::string(1, static_cast<char>(value));
}

void lf_trafficSeeds() {
  const std::string airborne =
      "RTTFC,4958582,51.257366,6.702499,3650,2816,1,230.63,151.3,TKJ3VU,B738,TC-JKV,ESB,DUS,"
      "1724517659.49,X,VF5,X_adsb_icao,3700,166,180,0.268,-0.19,0.18,226.41,229.49,2848,none,"
      "A3,1003.2,20000,39008,225,,0,-8.4,222,29,,,1,3650,,";
  const std::string ground =
      "RTTFC,11234567,33.9425,-118.4081,0,0,0,90,5,AAL12,A321,N123AA,LAX,JFK,1724517659.49,X,"
      "AA12,adsb_icao,0,0,0,0,0,0,0,91,0,none,A3,1013,0,0,0,,0,0,0,0,,,1,0,,";
  // Control: user position index, 8 park airport EDDL, 16 collect callsigns, 32 RealTraffic here.
  lf_seed("traffic_datagram", "airborne_near_eddl", airborne, lf_byte(1 | 32));
  lf_seed("traffic_datagram", "ground_at_klax", ground, lf_byte(0 | 16));
  const std::string groundEddl =
      "RTTFC,11234568,51.2895,6.7668,0,0,0,270,3,EWG9,A320,D-AIBA,DUS,PMI,1724517659.49,X,"
      "EW9,adsb_icao,0,0,0,0,0,0,0,271,0,none,A3,1013,0,0,0,,0,0,0,0,,,1,0,,";
  lf_seed("traffic_datagram", "ground_at_eddl", groundEddl, lf_byte(1 | 8 | 32));
  lf_seed("traffic_datagram", "vehicle", "RTTFC,1,33.94,-118.40,0,0,0,0,0, VEH1", lf_byte(0));
  lf_seed("traffic_datagram", "short_record", "RTTFC,123,1.0,2.0", lf_byte(32));
}

void lf_weatherSeeds() {
  lf_seed("weather_json", "hpa", R"({"ICAO":"EDDL","QNH":1012,"METAR":"EDDL Q1012"})");
  lf_seed("weather_json", "inches", R"({"QNH":2992})");
  lf_seed("weather_json", "text", R"({"QNH":"1009"})");
  lf_seed("weather_json", "fraction", R"({"QNH":1013.7})");
  lf_seed("weather_json", "missing", R"({"ICAO":"KLAX"})");
}

void lf_rtReplySeeds() {
  lf_seed("rt_reply", "professional", R"({"level":2,"version":"10.0.231"})", lf_byte(5));
  lf_seed("rt_reply", "standard", R"({"level":1,"version":"9.0"})", lf_byte(0));
  lf_seed("rt_reply", "not_json", "Qs999=version", lf_byte(2));
}

// One message of the simulator: header and the bytes after it.
std::string lf_message(SIMCONNECT_RECV_ID id, const std::vector<std::uint32_t>& words,
                       const std::string& tail = "") {
  std::string body;
  const auto put = [&body](std::uint32_t w) {
    for (int b = 0; b < 4; ++b) body.push_back(static_cast<char>((w >> (8 * b)) & 0xFF));
  };
  put(static_cast<std::uint32_t>(12 + words.size() * 4 + tail.size()));
  put(kSimConnectProtocolVersion);
  put(id);
  for (std::uint32_t w : words) put(w);
  return body + tail;
}

template <typename T>
std::string lf_record(const T& value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

void lf_simconnectSeeds() {
  std::string open(256, '\0');
  const std::string name = "Lockheed Martin\xC2\xAE Prepar3D\xC2\xAE v5";
  std::memcpy(open.data(), name.data(), name.size());
  const std::string openReply =
      lf_message(SIMCONNECT_RECV_ID_OPEN, {}, open + std::string(40, '\x01'));
  const std::string events =
      lf_message(SIMCONNECT_RECV_ID_EVENT, {SIMCONNECT_UNUSED, kEventSim, 1}) +
      lf_message(SIMCONNECT_RECV_ID_EVENT_FRAME,
                 {SIMCONNECT_UNUSED, kEventFrame, 0, 0x42700000, 0x3F800000}) +
      lf_message(SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE,
                 {SIMCONNECT_UNUSED, kEventObjectAdded, 77, 2}) +
      lf_message(SIMCONNECT_RECV_ID_EXCEPTION, {SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 9, 1}) +
      lf_message(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID, {10001, 77});
  UserAcData user;
  user.latitude = 33.9425;
  user.longitude = -118.4081;
  user.zuluTime = 43200;
  user.zuluDayOfYear = 340;
  user.zuluYear = 2026;
  AcInRangeRecord inRange{};
  inRange.altitudeAboveGround = 1200.0;
  std::memcpy(inRange.atcId, "N123AA", 6);
  const std::string data =
      lf_message(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, {kRequestUserAc, 0, 403, 0, 1, 1, 1},
                 lf_record(user)) +
      std::string(8, '\0') +  // filler between messages
      lf_message(SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, {kRequestAcInRange, 77, 404, 0, 1, 1, 1},
                 lf_record(inRange)) +
      lf_message(SIMCONNECT_RECV_ID_EVENT_FILENAME, {SIMCONNECT_UNUSED, kEventFlightLoaded, 0},
                 std::string(264, '\0')) +
      lf_message(SIMCONNECT_RECV_ID_QUIT, {});
  lf_seed("simconnect_stream", "open_reply", openReply, lf_byte(0) + lf_byte(1));
  lf_seed("simconnect_stream", "events_in_pieces", openReply + events, lf_byte(0) + lf_byte(1));
  lf_seed("simconnect_stream", "data_filler_quit", data, lf_byte(3) + lf_byte(0));
  lf_seed("simconnect_stream", "oversize", openReply, lf_byte(1) + lf_byte(2));
}

void lf_bglSeeds() {
  for (const bool newFormat : {false, true}) {
    const BglBytes bytes =
        bglFileBytes(bglSimpleAirportFile("EDDF", newFormat, 3, 50.03, 8.57, "Fuzz Field"));
    lf_seed("bgl_file", newFormat ? "new_format" : "old_format",
            std::string(bytes.begin(), bytes.end()));
  }
}

std::string lf_cfgText() {
  return generalSection("B738") +
         fltsimSection(0, {"title=Fuzz B738 DLH", "sim=B738", "model=", "texture=DLH",
                           "atc_parking_codes=DLH", "atc_parking_types=GATE", "atc_id=D-ABCD"}) +
         fltsimSection(1, {"title=Fuzz B738 White", "sim=B738", "model=", "texture="});
}

void lf_cfgSeeds() {
  // Name, encoding, and the reader's code for it (the text_file target's forced encoding).
  const std::tuple<const char*, CfgEncoding, unsigned> encodings[] = {
      {"utf8", CfgEncoding::kUtf8, 0},       {"utf8_bom", CfgEncoding::kUtf8Bom, 3},
      {"utf16le", CfgEncoding::kUtf16Le, 1}, {"utf16be", CfgEncoding::kUtf16Be, 2},
      {"cp1252", CfgEncoding::kCp1252, 0}};
  for (const auto& [name, encoding, code] : encodings) {
    lf_seed("aircraft_cfg", name, encodeText(lf_cfgText(), encoding), lf_byte(0));
    lf_seed("text_file", name,
            encodeText("[General]\natc_model=B738\nui=\u00c9t\u00e9\n", encoding), lf_byte(code));
  }
  lf_seed("aircraft_cfg", "model_set", lf_cfgText(), lf_byte(1));
}

void lf_addonSeeds() {
  writeAddOnsCfg(g_scratch / "add-ons.cfg", {"D:\\AI\\PackA", "Add-ons\\PackB"});
  writeAddOnXml(g_scratch, "SimObjects\\Airplanes");
  writeSimObjectsCfg(g_scratch / "simobjects.cfg", {"SimObjects\\Airplanes", "D:\\AI\\PackC"});
  lf_seed("addon_lines", "add-ons.cfg", lf_readBack(g_scratch / "add-ons.cfg"), lf_byte(0));
  lf_seed("addon_lines", "add-on.xml", lf_readBack(g_scratch / "add-on.xml"), lf_byte(1));
  lf_seed("addon_lines", "simobjects.cfg", lf_readBack(g_scratch / "simobjects.cfg"), lf_byte(2));
  // A package folder whose name holds the header word.
  lf_seed("addon_lines", "package_in_path", "[Package.0]\r\nPATH=D:\\AI\\Real Packages\r\n",
          lf_byte(0));
}

void lf_standSeeds() {
  StandFileLayout layout;
  layout.parameters = {{"publisher", "fuzzpub"}, {"altitude", "364"},
                       {"airport_name", "Fuzz"},  {"Qf_real", "40"}};
  StandRow withOptions("g1", 50.03, 8.57, 90.0, 24.0);
  withOptions.options = {
      R"(<opt reg="D-AIBA" airl="DLH" type="A320" day="1" hh="10-12" real="1" cs="DLH4" />)"};
  layout.stands = {withOptions, StandRow("g2", 50.031, 8.571, 180.0, 30.0, true),
                   StandRow("h1", 50.032, 8.572, 0.0, 15.0, false, false, true)};
  lf_seed("stand_file", "stand_file", standFileText(layout), lf_byte(0));
  layout.parameters = {{"handmade", "true"}};
  lf_seed("stand_file", "learned_file", standFileText(layout), lf_byte(1));
}

void lf_airportListSeeds() {
  writeAirportList(g_scratch / "airports_p3d.xml",
                   {{"EDDF", "FRA", 50.0333, 8.5706, 364}, {"KLAX", "LAX", 33.9425, -118.408, 125},
                    {"LEAB", "", 38.9485, -1.8635, 2302}});
  lf_seed("airport_list", "three_airports", lf_readBack(g_scratch / "airports_p3d.xml"));
}

void lf_parametersSeeds() {
  const std::string file =
      "<?xml version=\"1.0\"?>\n<!-- note -->\n<parameters>\n"
      "\t<parameter name=\"LOG\" value=\"true\" />\n"
      "\t<parameter name=\"LATERAL_RANGE\" value=\"500\" />\n"
      "\t<parameter name=\"BLOCK_CALLSIGN\" />\n"
      "\t<parameter name=\"lfolder3\" value=\"\" />\n"
      "\t<parameter name=\"MAX_LIVE\" value=\"0x10\" />\n</parameters>\n";
  for (unsigned operation = 0; operation < 5; ++operation)
    lf_seed("parameters_xml", "operation_" + std::to_string(operation), file, lf_byte(operation));
}

void lf_registrySeeds() {
  lf_seed("registry_store", "prepar3d",
          "\xEF\xBB\xBF; the simulator\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n"
          "\"SetupPath\"=\"/opt/sim/Prepar3D v5/\"\n"
          "[HKCU\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n"
          "\"SimConnect_Port_IPv4\"=\"500\\\\1\\\"x\"\n"
          "\"Count\"=dword:0000002a\n");
}

void lf_zipSeeds() {
  DbaseContent content;
  content.types = {"A320", "B738"};
  content.highPerf = {"F16"};
  content.heavy = {"B744"};
  content.large = {"A320", "B738"};
  content.buzjet = {"C56X"};
  content.rotorcraft = {"EC35"};
  content.cargoTypes = {"B744"};
  content.similarGroups = {{"A319", "A320"}};
  content.icaoAirlines = {"DLH", "KLM"};
  content.cargoOperators = {"FDX"};
  content.publishers = {"fuzzpub"};
  content.wingspans = {{"A320", "35.8"}};
  content.fixes = {{"B737-800", "B738"}};
  content.simaddonAirports = {"EDDF"};
  content.thirdParties = {{"fuzzpub", "EDDF57"}};
  content.regs = {{"D-AIBA", "DLH", "A320", "EWG", "false"}};
  writeDbaseZip(g_scratch, content);
  writeAigRegcodesZip(g_scratch, {{"Fuzz B738 DLH", {"D-ABCD", "D-ABCE"}, "true"}});
  lf_seed("zip_archive", "dbase", lf_readBack(g_scratch / "dbase.zip"), lf_byte(0));
  lf_seed("zip_archive", "aig_regcodes", lf_readBack(g_scratch / "AIG-regcodes.zip"), lf_byte(1));
}

void lf_myParkAirportsSeeds() {
  lf_seed("my_park_airports", "two_airports", "EGLL,A12\nLEAB\n", lf_byte(0));
  lf_seed("my_park_airports", "bom_crlf_unknown", "\xef\xbb\xbfKLAX,\r\nEGLL,,\r\nXXXX,3\r\nkjfk\r\n",
          lf_byte(1));
  lf_seed("my_park_airports", "utf16", std::string("\xff\xfe" "E\0G\0L\0L\0\n\0", 12), lf_byte(1));
}

// The demo world's scenery configuration and version file, and hand-made variants.
void lf_configSeeds() {
  DemoWorldOptions options;
  options.root = g_scratch / "demo";
  options.simConnectPort4 = 500;
  options.simConnectPort6 = 501;
  const DemoWorld world = writeDemoWorld(options);
  const fs::path config = world.driveC / "ProgramData" / "Lockheed Martin" / "Prepar3D v5";
  lf_seed("scenery_cfg", "demo_stock_areas", lf_readBack(config / "scenery.cfg"));
  lf_seed("scenery_cfg", "addon_areas",
          "[General]\r\nTitle=Prepar3D Scenery\r\n\r\n[Area.001]\r\nTitle=Default Terrain\r\n"
          "Local=Scenery\\World\r\nActive=TRUE\r\n\r\n[Area.120]\r\nTitle=Fuzz Field\r\n"
          "Local=D:\\Addons\\Fuzz Field\\Scenery\r\nLayer=120\r\nActive=TRUE\r\n"
          "Required=FALSE\r\n\r\n[Area.121]\r\nLocal=Addons\\Relative\r\nactive=true\r\n");
  lf_seed("scenery_addons_xml", "demo_utf16", lf_readBack(config / "scenery_add-ons.xml"));
  lf_seed("scenery_addons_xml", "split_path",
          "<SceneryAddOns>\n  <AddOn>\n    <Path>D:\\Addons\\One</Path>\n  </AddOn>\n"
          "  <AddOn>\n    <Path>\nD:\\Addons\\Two</Path>\n  </AddOn>\n</SceneryAddOns>\n");
  lf_seed("version_text", "demo_json",
          lf_readBack(world.downloadFolder / "release" / "version_P3D.json"));
  lf_seed("version_text", "dotted", "10.10.9\r\n");
  lf_seed("version_text", "json_lines", "{\n  \"major\": 11,\n  \"minor\": 0,\n  \"patch\": 2\n}\n");
  // Control: the configuration index.
  lf_seed("simconnect_cfg", "standin_ipv4",
          "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=500\n", lf_byte(0));
  lf_seed("simconnect_cfg", "indexed_no_nagle",
          "[SimConnect]\r\nProtocol=Pipe\r\n[SimConnect.2]\r\nProtocol=IPv6\r\nAddress=::1\r\n"
          "Port=501\r\nMaxReceiveSize=4096000\r\nDisableNagle=1\r\n",
          lf_byte(2));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  g_corpus = argv[1];
  g_scratch = fs::temp_directory_path() / "zendrik-seed-scratch";
  fs::create_directories(g_scratch);
  lf_trafficSeeds();
  lf_weatherSeeds();
  lf_rtReplySeeds();
  lf_simconnectSeeds();
  lf_bglSeeds();
  lf_cfgSeeds();
  lf_addonSeeds();
  lf_standSeeds();
  lf_airportListSeeds();
  lf_parametersSeeds();
  lf_registrySeeds();
  lf_zipSeeds();
  lf_myParkAirportsSeeds();
  lf_configSeeds();
  fs::remove_all(g_scratch);
  return 0;
}
