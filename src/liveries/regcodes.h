#pragma once
// Registration-code definitions: which livery title belongs to which real registrations. Read
// from the user's regcode text files and from the downloaded AIG-regcodes.xml. Worker thread,
// during livery processing; no state of its own.

#include <filesystem>
#include <string>
#include <vector>

struct RegcodeDef {
  std::string title;              // livery title exactly as in aircraft.cfg
  std::vector<std::string> regs;  // registration codes, ascending, without repeats; may be empty
  bool special = false;           // use only for its own registrations

  bool operator==(const RegcodeDef&) const = default;
};

// Appends the definitions of every *.txt file (extension in any case) directly in the folder.
// False when any line was rejected or the reading failed; files that cannot be opened or have
// no line add nothing. Files in UTF-8 (with or without byte-order mark) and UTF-16 are read.
bool gf_readRegcodeFiles(const std::filesystem::path& folder, std::vector<RegcodeDef>& list);

// Appends the "livery" definitions of an unpacked AIG-regcodes.xml, registrations unscrambled
// (empty pieces of a list dropped), and keeps two older copies of the file. 1 when the file was
// read, 0 when it could not be loaded. A registration that cannot be unscrambled throws
// std::out_of_range.
int gf_readAigRegcodes(const std::filesystem::path& file, std::vector<RegcodeDef>& list);
