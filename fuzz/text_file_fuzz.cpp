// Text files of every encoding: the encoding test and reading by the mark, reading with an
// encoding forced (a UTF-16 file without its mark), and the plain line reader.
// Input: the file, then one control byte (the forced encoding).
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/text_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path s_file = fuzz::workFolder() / "text file.cfg";
  fuzz::InputCursor input(data, size);
  const int forced = input.takeByte() % 4;  // 0 plain, 1 and 2 UTF-16, 3 UTF-8 with mark
  fuzz::writeFile(s_file, input.rest());
  std::vector<std::string> lines;
  gf_readExtTextFileToStringVector(s_file, lines);
  lines.clear();
  gf_readTextFileToStringVector(forced, s_file, lines);
  TextFile file;
  file.path = s_file;
  gf_readTextFile(file, 16);
  return 0;
}
