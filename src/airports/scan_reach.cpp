// Where an airports scan looked, and whether a previous stand file's BGL file is certainly gone
// from there (worker thread, after the scan's tasks have ended).
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <pugixml.hpp>

#include "airports/scan.h"
#include "airports/stand_file_internal.h"
#include "foundation/strings.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;

// The path's elements in capitals, "." and ".." resolved, with no empty last element.
std::vector<std::string> lf_upperElements(const std::string& path) {
  std::vector<std::string> elements;
  for (const fs::path& element : gf_pathFromUtf8(path).lexically_normal()) {
    std::string text = gf_pathToUtf8(element);
    if (!text.empty()) {
      std::transform(text.begin(), text.end(), text.begin(), gf_asciiUpper);
      elements.push_back(std::move(text));
    }
  }
  return elements;
}

}  // namespace

bool lf_pathIsBelow(const std::string& path, const std::string& folder) {
  const std::vector<std::string> pathElements = lf_upperElements(path);
  const std::vector<std::string> folderElements = lf_upperElements(folder);
  return !folderElements.empty() && folderElements.size() <= pathElements.size() &&
         std::equal(folderElements.begin(), folderElements.end(), pathElements.begin());
}

bool lf_bglGoneFromReach(const std::string& bglPath, const ScanReach& reach) {
  const auto below = [&](const std::string& folder) { return lf_pathIsBelow(bglPath, folder); };
  if (std::none_of(reach.walked.begin(), reach.walked.end(), below) ||
      std::any_of(reach.passedOver.begin(), reach.passedOver.end(),
                  [&](const PassedOverPlace& place) { return below(place.path); })) {
    return false;
  }
  std::error_code error;
  return !fs::exists(gf_pathFromUtf8(bglPath), error) && !error;
}

std::string lf_recordedBglPath(const fs::path& standFile) {
  pugi::xml_document document;
  if (!document.load_file(standFile.c_str())) {
    return {};
  }
  return lf_readTextParameter(document, "BGLpath").value_or("");
}
