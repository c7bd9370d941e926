// LiveriesScanned.xml: writing, reading back, and the reader's failures.

#include <gtest/gtest.h>

#include <random>

#include "fixtures/ai_package_writer.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery.h"

namespace {

using liveries_test::contains;
using liveries_test::liv;

void lf_writeRaw(const std::string& body) {
  fixtures::writeFileBytes(g_liveriesScannedFile, body);
}

const char* const kMeta =
    "<meta><info name=\"author\" value=\"a\"/><info name=\"version\" value=\"1\"/>"
    "<info name=\"date\" value=\"d\"/></meta>";

int lf_readCode() {
  return liveries_test::userErrorCode([] { lf_readLiveriesScanned(); });
}

class LiveryFile : public ::testing::Test {
 protected:
  liveries_test::LiveriesEnv env_;
};

TEST_F(LiveryFile, RoundTripKeepsTheCatalogue) {
  g_liveries = {liv("DLH", "B738", "AI B738 Lufthansa", "D-ABCD", false, 3),
                liv("KLM", "B738", "KLM <Cargo> & \"friends\"", "", true, 1),
                liv("PVT", "DR10", "Jodel A\xE9roclub", "", false, 2)};
  const std::list<Livery> written = g_liveries;
  gf_writeLiveriesScanned();
  const std::string text = liveries_test::fileText(g_liveriesScannedFile);
  EXPECT_LT(text.find("<meta>"), text.find("<liveries>"));
  EXPECT_TRUE(contains(
      text, "<liv airl=\"DLH\" type=\"B738\" title=\"AI B738 Lufthansa\" atcid=\"D-ABCD\" />"));
  EXPECT_TRUE(contains(text, "<liv airl=\"KLM\" type=\"B738\" cargo=\"true\" title="));
  EXPECT_FALSE(contains(text, "priority"));
  EXPECT_TRUE(contains(env_.log(), "3 liveries in output/LiveriesScanned.xml"));

  g_liveries.clear();
  lf_readLiveriesScanned();
  EXPECT_EQ(g_liveries, written);  // equality leaves the priority out ...
  for (const Livery& livery : g_liveries) EXPECT_EQ(livery.priority, 0);
  EXPECT_FALSE(liv("K", "T", "x", "", true) == liv("K", "T", "x"));  // ... but not the cargo flag
  EXPECT_TRUE(contains(env_.log(), "3 liveries read from output/LiveriesScanned.xml"));
}

TEST_F(LiveryFile, EmptyCatalogueWritesNothingAndMissingFileIs51) {
  gf_writeLiveriesScanned();
  EXPECT_FALSE(std::filesystem::exists(g_liveriesScannedFile));
  EXPECT_EQ(liveries_test::thrownText<qvb::UserErrorException>([] { lf_readLiveriesScanned(); }),
            "51: File output/LiveriesScanned.xml not found");
}

// A damaged catalogue (a write cut short, bytes overwritten) is named as damaged, with the way
// to rebuild it, not as missing.
TEST_F(LiveryFile, DamagedCatalogueSaysHowToRebuildIt) {
  g_liveries = {liv("DLH", "B738", "AI B738 Lufthansa", "D-ABCD"), liv("KLM", "B738", "KLM")};
  gf_writeLiveriesScanned();
  const std::string whole = liveries_test::fileText(g_liveriesScannedFile);
  std::string noise(whole.size(), '\0');
  std::mt19937 random(7);
  for (char& c : noise) c = static_cast<char>(random());
  for (const std::string& bytes : {whole.substr(0, whole.size() / 2), noise}) {
    lf_writeRaw(bytes);
    const std::string text =
        liveries_test::thrownText<qvb::UserErrorException>([] { lf_readLiveriesScanned(); });
    EXPECT_TRUE(text.starts_with("51: File " + g_liveriesScannedFile.string() + " is damaged: "))
        << text;
    EXPECT_TRUE(contains(text, "; a livery scan rebuilds it: tick \"Scan for liveries\"")) << text;
  }
}

TEST_F(LiveryFile, ReaderFailuresAndLenientAttributes) {
  lf_writeRaw(std::string("<?xml version=\"1.0\"?>") + kMeta + "<other><liv airl=\"X\"/></other>");
  EXPECT_EQ(lf_readCode(), 52);
  lf_writeRaw(std::string(kMeta) + "<liveries><other/></liveries><liv title=\"outside\"/>");
  EXPECT_EQ(lf_readCode(), 533);
  EXPECT_TRUE(g_liveries.empty());
  lf_writeRaw(std::string(kMeta) + "<liveries><liv airl=\"A\"");
  EXPECT_EQ(lf_readCode(), 51);

  // A broken meta block is only logged; cargo reads as the XML library reads a boolean; the
  // catalogue is sorted by airline, type and title.
  lf_writeRaw(
      "<meta><info name=\"author\" value=\"a\"/></meta><liveries>"
      "<liv airl=\"B\" type=\"T\" title=\"2\" cargo=\"yes\"/>"
      "<liv airl=\"B\" type=\"T\" title=\"1\" cargo=\"1\"/>"
      "<liv airl=\"A\" type=\"T\" title=\"x\" cargo=\"false\"/>"
      "<liv airl=\"A\" type=\"T\" title=\"x\" cargo=\"\" atcid=\"second\"/>"
      "<liv airl=\"A\" type=\"T\" title=\"x\" atcid=\"third\"/>"
      "<liv airl=\"C\"/></liveries>");
  EXPECT_EQ(lf_readCode(), 0);
  EXPECT_TRUE(contains(env_.log(), "===> meta data incorrect?"));
  const std::vector<Livery> read(g_liveries.begin(), g_liveries.end());
  ASSERT_EQ(read.size(), 6u);
  EXPECT_EQ(read[0], liv("A", "T", "x"));
  EXPECT_EQ(read[1].atcid, "second");  // equal keys keep the file's order
  EXPECT_EQ(read[2].atcid, "third");
  EXPECT_EQ(read[3], liv("B", "T", "1", "", true));
  EXPECT_EQ(read[4], liv("B", "T", "2", "", true));
  EXPECT_EQ(read[5], liv("C", "", ""));
}

}  // namespace
