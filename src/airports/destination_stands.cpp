// Stand files of airports other than the park airport, read without keeping them: the nearest
// stand at a destination, and whether an archived file is good enough for off-line learning.
// Worker thread; both use fixed scratch files in the working folder.
#include <cstdlib>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/airports.h"
#include "airports/stand_file_internal.h"
#include "foundation/download.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "platform/paths.h"

namespace {

constexpr double kNoStandNm = 100.0;
constexpr int kLearningTrafficWeek = 23;  // least archived traffic that makes learning needless
const std::filesystem::path kDestinationScratch{"airport.xml"};

double lf_attributeNumber(const pugi::xml_node& node, const char* name) {
  return std::strtod(node.attribute(name).value(), nullptr);  // 0 when missing or no number
}

}  // namespace

double gf_readDestApfForClosestStand(const std::string& icao, const LatLon& position, std::string& id) {
  try {
    const std::string path = gf_apfPath(icao);
    if (path.empty()) {
      return kNoStandNm;
    }
    std::filesystem::path file = lf_pathFromText(path);
    if (!path.starts_with(gf_pathToUtf8(g_airportsDir))) {
      if (!lf_download(path, kDestinationScratch).empty()) {
        return kNoStandNm;
      }
      file = kDestinationScratch;
    }
    pugi::xml_document document;
    const pugi::xml_node parkpositions =
        document.load_file(file.c_str()) ? document.child("parkpositions") : pugi::xml_node();
    if (!parkpositions) {
      std::filesystem::remove(kDestinationScratch);
      return kNoStandNm;
    }
    double best = kNoStandNm;
    for (const pugi::xml_node& parkpos : parkpositions.children("parkpos")) {
      const LatLon stand{lf_attributeNumber(parkpos, "latitude"), lf_attributeNumber(parkpos, "longitude")};
      const double distance = gf_distanceNm(position, stand);
      if (distance < best) {
        best = distance;
        id = parkpos.attribute("id").as_string();
      }
    }
    return best;
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{}: {}", "gf_readDestApfForClosestStand", e.what()));
    return kNoStandNm;
  }
}

bool lf_suitableForOfflineLearning(const std::string& icao) {
  curlHolder holder;
  const std::string url = gf_downloadFolderUrl() + "archive/stock/" + lf_apfName(icao);
  const std::filesystem::path local = gf_apfFileName(icao);
  gf_log(url);
  pugi::xml_document document;
  if (!gf_download(holder, url, local, false)) {
    gf_logError(fmt::format("Failed to download {}", gf_pathToUtf8(local)));
  } else if (!document.load_file(local.c_str())) {
    gf_logError(fmt::format("Failed to load {}", gf_pathToUtf8(local)));
  } else {
    std::filesystem::remove(local);
    const int qfReal = lf_readIntParameter(document, "Qf_real").value_or(-1);
    const int qfSoft = lf_readIntParameter(document, "Qf_soft").value_or(-1);
    if (qfReal >= 0 || qfSoft >= 0) {
      const auto trafficWeek = lf_readIntParameter(document, "RT_traffic_week");
      return trafficWeek && *trafficWeek >= kLearningTrafficWeek;
    }
    return false;
  }
  std::filesystem::remove(local);
  gf_logError(fmt::format("{} Not suitable for offline learning", icao));
  return false;
}
