// Replays fuzz inputs through a target without libFuzzer: every file of the folders (or the
// files) named on the command line, in name order. The regression run of the corpora in the
// sanitizer test tree; a crash or sanitizer report fails the test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> lf_inputFiles(const fs::path& argument) {
  std::vector<fs::path> files;
  if (fs::is_directory(argument)) {
    for (const auto& entry : fs::recursive_directory_iterator(argument)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
  } else if (fs::is_regular_file(argument)) {
    files.push_back(argument);
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  // Targets may change the working folder: resolve every argument first.
  std::vector<fs::path> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(fs::absolute(argv[i]));
  std::size_t replayed = 0;
  for (const fs::path& argument : arguments) {
    const std::vector<fs::path> files = lf_inputFiles(argument);
    if (files.empty()) {
      std::fprintf(stderr, "no input in %s\n", argument.c_str());
      return 1;
    }
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
    std::printf("%zu inputs replayed from %s\n", files.size(), argument.c_str());
  }
  return replayed > 0 ? 0 : 1;
}
