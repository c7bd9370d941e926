// Helpers the stand-file sources share among themselves (and with their tests); not part of the
// subsystem's interface.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "airports/airports.h"

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

// ---- writer ----
bool lf_writeApfHeader(pugi::xml_document& document, const AirportFile& file, bool generated);
void lf_writeParkPos(pugi::xml_node parkpositions, const ParkPos& stand, bool generated);
void lf_writeParkPosOptions(pugi::xml_node parkpos, const ParkPosOption& option);
// "  " when both are negative, "{:2}/{:2}" below 45, else "{:2}" of Qf_real.
std::string lf_qfText(const QfPair& qf);

// ---- reader ----
struct ParkPosEntry {
  std::string cs;
  std::string cs2;
  std::string airl;
  std::string type;
};

// Header parameter lookups: the first "parameter" of "parameters" with that name.
std::optional<bool> lf_readBoolParameter(const pugi::xml_document& document, const std::string& name);
std::optional<int> lf_readIntParameter(const pugi::xml_document& document, const std::string& name);
std::optional<std::string> lf_readTextParameter(const pugi::xml_document& document,
                                                const std::string& name);
// Appends the stand of one "parkpos" element to g_parkStands (none at latitude = longitude = 0).
void lf_readParkPos(const pugi::xml_node& parkpos, const std::string& id, std::uint32_t origin);
void lf_readParkPosEntry(ParkPosEntry& entry, const pugi::xml_node& opt);
// Appends every "parkpos" of the file's "parkpositions"; a repeated id throws user error 94.
void lf_readParkPositions(const pugi::xml_document& document);
// Downloads the server path below the download folder into localFile; "" or the failure text.
std::string lf_download(const std::string& serverPath, const std::filesystem::path& localFile);

// ---- learned files ----
void lf_readLearned(const std::filesystem::path& path, const ApfHeader& header);
bool lf_readLearnedOption(const std::string& id, const pugi::xml_node& parkpos, ParkPos& stand);

// ---- locations ----
std::string lf_apfName(const std::string& icao);
std::filesystem::path lf_linkFileName(const std::string& icao);
bool lf_downloadStockApf(const std::string& icao);
bool lf_readLinkFile(const std::filesystem::path& path, std::string& out);
// Learned path text with '\' separators, as the stand files and logs spell it.
std::string lf_apfPathText(const std::string& standFilePath, const std::string& publisher);
// A Windows-style relative path text ("airports\learned\...") as a path of this system.
std::filesystem::path lf_pathFromText(const std::string& text);

// ---- off-line learning ----
bool lf_suitableForOfflineLearning(const std::string& icao);
