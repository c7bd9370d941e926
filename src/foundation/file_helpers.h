// Small file-system chores and XML attribute access shared by the subsystems.
// File-system failures other than "does not exist" throw std::filesystem::filesystem_error.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace pugi {
class xml_document;
class xml_node;
struct xml_parse_result;
}  // namespace pugi

// True when the file does not exist, else the result of std::filesystem::remove.
bool gf_removeFile(const std::filesystem::path& file);
// Copies `from` over `to`, as copy_file with overwrite_existing. The target is removed first:
// the Windows build's std::filesystem cannot tell two files apart and refuses every existing
// target. Copying a file onto itself still fails as copy_file does.
bool gf_copyFileOver(const std::filesystem::path& from, const std::filesystem::path& to);
// Why nothing can be written in the folder (read-only, full, missing), or "" when it can: a few
// bytes go to g_writeCheckFileName there, flushed, and the file is removed again.
std::string gf_folderWriteError(const std::filesystem::path& folder);
// The system's words for an errno a failed call left; `unknown` when it left none.
std::string gf_errnoText(int error, const char* unknown);
// Regular files directly in the folder; 0 when the folder does not exist.
std::size_t gf_countFiles(const std::filesystem::path& folder);
// Deletes the regular files directly in the folder; folders in it stay (a user's own park
// airport folder). Nothing when the folder does not exist. A file that is not removed is logged
// "{} could not be removed"; a file-system failure throws UserErrorException 5.
void gf_removeFilesInFolder(const std::filesystem::path& folder);
// Stems of the files directly in the folder whose extension is ".xml" in any case and whose
// stem has exactly four characters (airport codes), in directory order; none when the folder
// does not exist.
std::vector<std::string> gf_getXmlFiles(const std::filesystem::path& folder);
// Why the file cannot be opened for reading, in the system's words ("Permission denied", "Is a
// directory", "No such file or directory"); "" when it opens or the system gives no reason.
std::string gf_fileReadError(const std::filesystem::path& file);
// Whether a failed load read the file: its failure then lies in the file's content.
bool gf_xmlFileWasRead(const pugi::xml_parse_result& result);
// What is wrong with an XML file that did not load, to follow its name in a message: "does not
// exist", "is a folder", "cannot be read: <reason>" or "is damaged: <parser's words> at byte <n>".
std::string gf_xmlLoadProblem(const std::filesystem::path& file,
                              const pugi::xml_parse_result& result);
// Saves the document; logs "\"{}\" saved" or "could not save to \"{}\"".
bool gf_saveXml(const pugi::xml_document& document, const std::filesystem::path& file);
// The attribute's value; "" when the node is empty or lacks it.
std::string gf_getAttribute(const pugi::xml_node& node, const char* name);
