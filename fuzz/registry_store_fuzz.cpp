// The file that stands in for the Windows registry, as the platform layer parses it.
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "platform/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const RegistryContent content = gf_parseRegistry(text, "fuzz");
  fuzz::g_sink += content.keys.size();
  return 0;
}
