// The version file the start-up check downloads: "a.b.c" on its first line, else a JSON object
// with major, minor and patch, possibly over several lines.
// Input: the file's text.
#include <cstdint>
#include <string>

#include "foundation/self_update.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Version version =
      gf_versionOfFileText(std::string(reinterpret_cast<const char*>(data), size));
  fuzz::g_sink += static_cast<std::uint64_t>(version.major) + version.toString().size();
  return 0;
}
