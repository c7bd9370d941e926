// Reads the park airport's stand file into g_parkStands (worker thread): download when it is a
// server path, provenance test, header, stands with their options, the learned file, numbering,
// overlaps, the summary and the window's stand-file values.
#include <set>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/airports.h"
#include "airports/stand_file_internal.h"
#include "foundation/download.h"
#include "foundation/errors.h"
#include "foundation/file_helpers.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/meta_block.h"
#include "foundation/settings_file.h"
#include "liveries/database_queries.h"
#include "platform/paths.h"
#include "platform/win32.h"

std::string g_parkAirportIcao;
LatLon g_parkAirportPos;
double g_parkAirportElev = 0.0;
std::vector<ParkPos> g_parkStands;
std::atomic<bool> g_parkStandsReady{false};
bool g_parkStandsChanged = false;
std::atomic<int> g_lastManualRange{0};
ApfHeader g_parkApfHeader;
std::string g_parkApfPath;
QfPair g_parkAirportQf{-1, -1};
std::int32_t g_parkRtTrafficWeek = 0;
bool g_parkStandFileHandmade = false;
std::vector<CoveredOption> g_parkCoveredOptions;
std::atomic<bool> g_standFileParamsChanged{false};
AirportsShellHooks g_airportsShellHooks;

namespace {

constexpr int kDefaultParkingPercentage = 30;
constexpr double kOverlapFactor = 1.1;
constexpr std::size_t kOptionsReserve = 256;

pugi::xml_node lf_parameterNode(const pugi::xml_document& document, const std::string& name) {
  return document.select_node(gf_parameterXPath(name).c_str()).node();
}

void lf_invalidateWindow() {
  if (HWND window = g_hWnd.load()) {
    InvalidateRect(window, nullptr, TRUE);
  }
}

// Numbers the stands 1..N and lists, for each, the stands whose circles overlap it.
void lf_numberAndOverlap(std::vector<ParkPos>& stands) {
  for (std::size_t i = 0; i < stands.size(); ++i) {
    stands[i].number = static_cast<std::uint32_t>(i + 1);
  }
  for (ParkPos& a : stands) {
    for (const ParkPos& b : stands) {
      if (&a != &b &&
          a.radius + b.radius > kOverlapFactor * gf_distanceNm({a.lat, a.lon}, {b.lat, b.lon})) {
        a.overlaps.push_back(b.number);
      }
    }
    a.overlaps.shrink_to_fit();
  }
}

void lf_noLearnedFile() {
  g_paramParkingPercentage.setValue(kDefaultParkingPercentage);
  if (HWND field = g_paramParkingPercentage.hwnd.load()) {
    EnableWindow(field, FALSE);
  }
  if (g_settingsShellHooks.showIntParameter != nullptr) {
    g_settingsShellHooks.showIntParameter(g_paramParkingPercentage);
  }
  gf_logIndented(fmt::format("{:24}: {}%", g_paramParkingPercentage.name, kDefaultParkingPercentage));
}

void lf_publish(const ApfHeader& header, const QfPair& qf, std::size_t standCount) {
  g_mainWindowState.storeText(&MainWindowState::parkPublisherText, header.publisher, kParkArea);
  g_mainWindowState.parkHandmade.store(g_parkStandFileHandmade ? 1 : 0);
  gf_logIndented(fmt::format("{:24}: {}", "publisher", header.publisher));
  gf_logIndented(fmt::format("{:24}: {} ft", "altitude", header.altitude));
  gf_logIndented(fmt::format("{:24}: {}", "num_parkpos", standCount));
  gf_logIndented(fmt::format("{:24}: {}", "quality factor", lf_qfText(qf)));
  gf_logIndented(fmt::format("{:24}: {}", "RT traffic week", g_parkRtTrafficWeek));
  g_mainWindowState.storeText(&MainWindowState::parkQualityText, lf_qfText(qf), kParkArea);
}

}  // namespace

std::optional<bool> lf_readBoolParameter(const pugi::xml_document& document, const std::string& name) {
  const pugi::xml_node node = lf_parameterNode(document, name);
  return node ? std::optional<bool>(node.attribute("value").as_bool()) : std::nullopt;
}

std::optional<int> lf_readIntParameter(const pugi::xml_document& document, const std::string& name) {
  const pugi::xml_node node = lf_parameterNode(document, name);
  return node ? std::optional<int>(node.attribute("value").as_int()) : std::nullopt;
}

std::optional<std::string> lf_readTextParameter(const pugi::xml_document& document,
                                                const std::string& name) {
  const pugi::xml_node node = lf_parameterNode(document, name);
  return node ? std::optional<std::string>(node.attribute("value").as_string()) : std::nullopt;
}

void lf_readParkPosEntry(ParkPosEntry& entry, const pugi::xml_node& opt) {
  entry = {};
  const std::string cs = opt.attribute("cs").as_string();
  const auto colon = cs.find(':');
  entry.cs = cs.substr(0, colon);
  if (colon != std::string::npos) {
    const std::string second = cs.substr(colon + 1);
    if (second.find(':') == std::string::npos) {
      entry.cs2 = second;
    }
  }
  const std::string reg = opt.attribute("reg").as_string();
  if (const auto info = reg.empty() ? std::nullopt : gf_regInfo(reg)) {
    entry.airl = info->opr.empty() ? info->airl : info->opr;
    entry.type = info->type;
  } else {
    entry.airl = opt.attribute("airl").as_string();
    entry.type = opt.attribute("type").as_string();
  }
}

void lf_readParkPos(const pugi::xml_node& parkpos, const std::string& id, std::uint32_t origin) {
  const double lat = parkpos.attribute("latitude").as_double();
  const double lon = parkpos.attribute("longitude").as_double();
  if (lat == 0.0 && lon == 0.0) {
    return;
  }
  const double radiusMetres = parkpos.attribute("radius").as_double();
  std::vector<ParkPosOption> options;
  options.reserve(kOptionsReserve);
  std::uint32_t optionId = 0;
  for (const pugi::xml_node& opt : parkpos.children("opt")) {
    ParkPosEntry entry;
    lf_readParkPosEntry(entry, opt);
    ParkPosOption& option = options.emplace_back();
    option.airline = entry.airl;
    option.type = entry.type;
    option.reg = opt.attribute("reg").as_string();
    option.cs = entry.cs;
    option.cs2 = entry.cs2;
    option.real = opt.attribute("soft").as_bool() ? 0 : 1;
    option.day = opt.attribute("day").as_uint();
    option.hh = gf_hours2bitset(opt.attribute("hh").as_string());
    option.id = ++optionId;
    option.origin = origin;
  }
  options.shrink_to_fit();
  const bool heli = parkpos.attribute("heli").as_bool();
  const bool ramp = parkpos.attribute("ramp").as_bool();
  const bool cargo = parkpos.attribute("cargo").as_bool();
  const double heading = parkpos.attribute("heading").as_double() * kDegToRad;
  g_parkStands.emplace_back(std::string(id), std::move(options), StandPlace{lat, lon, heading},
                            radiusMetres, !cargo, !ramp, !heli);
}

void lf_readParkPositions(const pugi::xml_document& document) {
  std::set<std::string> ids;
  for (const pugi::xml_node& parkpos : document.child("parkpositions").children("parkpos")) {
    const std::string id = parkpos.attribute("id").as_string();
    if (!ids.insert(id).second) {
      throw qvb::UserErrorException(94, fmt::format("Parking position {} appears more than once?", id));
    }
    lf_readParkPos(parkpos, id, 1);
  }
}

std::string lf_download(const std::string& serverPath, const std::filesystem::path& localFile) {
  curlHolder holder;
  const std::string url = gf_downloadFolderUrl() + serverPath;
  if (gf_download(holder, url, localFile, false)) {
    return {};
  }
  std::string failure = fmt::format("failed to download: \"{}\"", url);
  gf_log(failure);
  return failure;
}

void gf_readApf(std::string& result, const std::string& path, ApfHeader& header, QfPair& qf,
                std::vector<ParkPos>& stands, const std::filesystem::path& downloaded) {
  try {
    if (path.empty()) {
      result = fmt::format("{} xml is empty...", "gf_readApf");
      return;
    }
    if (g_parkAirportIcao.empty()) {
      result = fmt::format("{} no park airport set", "gf_readApf");
      return;
    }
    std::filesystem::path file;
    if (!gf_isServerApfPath(path)) {
      file = lf_pathFromText(path);
    } else if (!downloaded.empty()) {
      file = downloaded;
    } else {
      file = g_airportsDir / "park_airport.xml";
      result = lf_download(path, file);
      if (!result.empty()) {
        return;
      }
    }
    g_parkStandFileHandmade = false;
    g_parkCoveredOptions.clear();

    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_file(file.c_str());
    if (!parsed) {
      result = fmt::format("{} could not be loaded, it {}", gf_pathToUtf8(file),
                           gf_xmlLoadProblem(file, parsed));
      return;
    }
    if (!gf_checkMeta(document)) {
      result = fmt::format("{} but refused to load, copyright problem", gf_pathToUtf8(file));
      return;
    }
    g_parkApfPath = path;
    g_parkRtTrafficWeek = lf_readIntParameter(document, "RT_traffic_week").value_or(0);
    header.publisher = lf_readTextParameter(document, "publisher").value_or("");
    const auto altitude = lf_readIntParameter(document, "altitude");
    if (!altitude) {
      throw qvb::UserErrorException(65, std::string("Parameter ") + "altitude" + " not found");
    }
    header.altitude = *altitude;
    g_parkAirportElev = *altitude;
    header.airport_name = lf_readTextParameter(document, "airport_name").value_or("");

    lf_readParkPositions(document);
    qf = {lf_readIntParameter(document, "Qf_real").value_or(-1),
          lf_readIntParameter(document, "Qf_soft").value_or(-1)};

    const std::string learnedText = lf_apfPathText(path, header.publisher);
    const std::filesystem::path learned = lf_pathFromText(learnedText);
    if (!learned.empty() && std::filesystem::exists(learned)) {
      lf_readLearned(learned, header);
      qf = gf_qualityFactor();
      if (g_parkStandFileHandmade) {
        gf_log("A handmade airport file overruled the archived file!");
      }
    } else {
      lf_noLearnedFile();
    }
    g_mainWindowState.standCount.store(stands.size());
    lf_invalidateWindow();
    lf_numberAndOverlap(stands);
    gf_log(fmt::format("Airport file read from \"{}\" for {}",
                       g_parkStandFileHandmade ? learnedText : path, header.airport_name));
    lf_publish(header, qf, stands.size());
    g_parkStandsReady.exchange(true);
    if (HWND button = g_paramFlushStatic.hwnd.load()) {
      EnableWindow(button, TRUE);
    }
    g_parkStandsChanged = false;
    lf_invalidateWindow();
    result = stands.empty() ? "no stands found" : "";
  } catch (const qvb::UserErrorException&) {
    throw;
  } catch (const std::exception& e) {
    result = fmt::format("{}: {}", "gf_readApf", e.what());
  }
}
