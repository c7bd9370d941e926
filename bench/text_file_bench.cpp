// Reading aircraft.cfg-sized text files in each encoding (the livery scan reads thousands)
// beside reading the same bytes, and one load-modify-save of parameters.xml (every setting
// change in the window does one) beside writing the same bytes through a renamed temporary file.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench_table.h"
#include "file_bytes.h"
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

// The file of one encoding, written once per process.
const fs::path& lf_cfgFile(int code) {
  static std::map<int, fs::path> s_files;
  fs::path& file = s_files[code];
  if (!file.empty()) return file;
  file = fs::temp_directory_path() / ("zendrik_bench_" + std::to_string(code) + ".cfg");
  static const int s_cleanup = std::atexit([] {
    for (const auto& [made, path] : s_files) {
      std::error_code ignored;
      fs::remove(path, ignored);
    }
  });
  (void)s_cleanup;
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

void BM_ReadCfgBytes(benchmark::State& state) {
  const fs::path& file = lf_cfgFile(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(bench::readFileBytes(file).size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(file)));
  bench::markBaseline(state);
}
BENCHMARK(BM_ReadCfgBytes)->Arg(kTextAnsi)->Arg(kTextUtf8Bom)->Arg(kTextUtf16Le);

void BM_ReadCfg(benchmark::State& state) {
  const fs::path& file = lf_cfgFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::vector<std::string> lines;
    lines.reserve(4048);
    benchmark::DoNotOptimize(gf_readExtTextFileToStringVector(file, lines));
    benchmark::DoNotOptimize(lines.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(file)));
  bench::compareWith(state, "BM_ReadCfgBytes/" + std::to_string(state.range(0)));
}
BENCHMARK(BM_ReadCfg)->Arg(kTextAnsi)->Arg(kTextUtf8Bom)->Arg(kTextUtf16Le);

// A complete parameters.xml in a folder of its own, made once per process.
const fs::path& lf_settingsFolder() {
  static const fs::path folder = [] {
    const fs::path made = fs::temp_directory_path() / "zendrik_bench_settings";
    fs::create_directories(made);
    const fs::path saved = g_parametersFile;
    g_parametersFile = made / "parameters.xml";
    lf_initParameterGroups();
    g_parametersFile = saved;
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(fs::temp_directory_path() / "zendrik_bench_settings", ignored);
    });
    return made;
  }();
  return folder;
}

void BM_SaveOneSetting(benchmark::State& state) {
  const fs::path saved = g_parametersFile;
  g_parametersFile = lf_settingsFolder() / "parameters.xml";
  int value = 0;
  for (auto _ : state) {
    g_paramMaxLive.setValue(++value % 300);
    gf_saveIntParameter(g_paramMaxLive);
  }
  g_parametersFile = saved;
  bench::compareWith(state, "BM_WriteSettingsBytes");
}
BENCHMARK(BM_SaveOneSetting);

// Reading parameters.xml's bytes and writing them back through a renamed temporary file.
void BM_WriteSettingsBytes(benchmark::State& state) {
  const fs::path file = lf_settingsFolder() / "parameters.xml";
  const fs::path temporary = lf_settingsFolder() / "parameters.xml.tmp";
  for (auto _ : state) {
    const std::string bytes = bench::readFileBytes(file);
    std::ofstream(temporary, std::ios::binary) << bytes;
    fs::rename(temporary, file);
  }
  bench::markBaseline(state);
}
BENCHMARK(BM_WriteSettingsBytes);

}  // namespace
