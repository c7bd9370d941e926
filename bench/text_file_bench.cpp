// Reading aircraft.cfg-sized text files in each encoding (the livery scan reads thousands), and
// one load-modify-save of parameters.xml (every setting change in the window does one).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/parameters.h"
#include "foundation/settings_file.h"
#include "foundation/text_file.h"

namespace fs = std::filesystem;

namespace {

// About 64 KiB of cfg text: sections of fltsim entries with a few non-ASCII titles.
std::u16string lf_cfgText() {
  std::u16string text;
  for (int i = 0; text.size() < 32768; ++i) {
    text += u"[fltsim." + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u"]\r\n";
    text += u"title=Airbus A320 Caf\u00E9 Airlines \u20AC\r\nmodel=\r\ntexture=KLM\r\n";
    text += u"atc_airline=KLM\r\natc_parking_codes=KLM\r\n\r\n";
  }
  return text;
}

fs::path lf_writeFile(const std::string& name, int code) {
  const fs::path file = fs::temp_directory_path() / name;
  const std::u16string wide = lf_cfgText();
  std::string bytes;
  if (code == kTextUtf16Le) {
    bytes = "\xFF\xFE";
    for (char16_t unit : wide) {
      bytes.push_back(static_cast<char>(unit & 0xFF));
      bytes.push_back(static_cast<char>(unit >> 8));
    }
  } else {
    bytes = (code == kTextUtf8Bom ? "\xEF\xBB\xBF" : "") + Utf16ToUtf8(wide);
  }
  std::ofstream(file, std::ios::binary) << bytes;
  return file;
}

void BM_ReadCfg(benchmark::State& state) {
  const int code = static_cast<int>(state.range(0));
  const fs::path file = lf_writeFile("zendrik_bench_" + std::to_string(code) + ".cfg", code);
  std::size_t bytes = fs::file_size(file);
  for (auto _ : state) {
    std::vector<std::string> lines;
    lines.reserve(4048);
    benchmark::DoNotOptimize(gf_readExtTextFileToStringVector(file, lines));
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  fs::remove(file);
}
BENCHMARK(BM_ReadCfg)->Arg(kTextAnsi)->Arg(kTextUtf8Bom)->Arg(kTextUtf16Le);

void BM_SaveOneSetting(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / "zendrik_bench_settings";
  fs::create_directories(folder);
  const fs::path saved = g_parametersFile;
  g_parametersFile = folder / "parameters.xml";
  lf_initParameterGroups();  // a complete file to rewrite
  int value = 0;
  for (auto _ : state) {
    g_paramMaxLive.setValue(++value % 300);
    gf_saveIntParameter(g_paramMaxLive);
  }
  g_parametersFile = saved;
  fs::remove_all(folder);
}
BENCHMARK(BM_SaveOneSetting);

}  // namespace
