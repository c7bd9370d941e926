// LiveriesScanned.xml: writing, reading back, and the reader's failures.

#include <gtest/gtest.h>

#include <fstream>

#include "fixtures/ai_package_writer.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "liveries/livery.h"
#include "liveries/livery_scan_support.h"

namespace {

using liveries_test::ScanEnvironment;

Livery lf_livery(std::string airl, std::string type, std::string title, std::string atcid = "",
                 bool cargo = false, int priority = 0) {
  Livery livery;
  livery.airl = std::move(airl);
  livery.type = std::move(type);
  livery.title = std::move(title);
  livery.atcid = std::move(atcid);
  livery.cargo = cargo;
  livery.priority = priority;
  return livery;
}

std::string lf_fileText() {
  std::ifstream in(g_liveriesScannedFile, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void lf_writeRaw(const std::string& body) {
  fixtures::writeFileBytes(g_liveriesScannedFile, body);
}

const char* const kMeta =
    "<meta><info name=\"author\" value=\"a\"/><info name=\"version\" value=\"1\"/>"
    "<info name=\"date\" value=\"d\"/></meta>";

int lf_readCode() {
  try {
    lf_readLiveriesScanned();
  } catch (const qvb::UserErrorException& e) {
    return std::stoi(e.what());
  }
  return 0;
}

class LiveryFile : public ::testing::Test {
 protected:
  ScanEnvironment env_;
};

TEST(LiveryRecord, EqualityIgnoresPriorityAndOrderIsAirlineTypeTitle) {
  EXPECT_EQ(lf_livery("DLH", "B738", "T", "D-A", true, 1),
            lf_livery("DLH", "B738", "T", "D-A", true, 7));
  EXPECT_FALSE(lf_livery("DLH", "B738", "T", "D-A", true) ==
               lf_livery("DLH", "B738", "T", "D-A", false));
  EXPECT_FALSE(lf_livery("DLH", "B738", "T", "D-A") == lf_livery("DLH", "B738", "T", "D-B"));
  EXPECT_TRUE(lf_livery("AB", "Z", "Z") < lf_livery("ABC", "A", "A"));
  EXPECT_TRUE(lf_livery("DLH", "A320", "Z") < lf_livery("DLH", "B738", "A"));
  EXPECT_TRUE(lf_livery("DLH", "B738", "A") < lf_livery("DLH", "B738", "B"));
  EXPECT_FALSE(lf_livery("DLH", "B738", "A", "X") < lf_livery("DLH", "B738", "A", "Y"));
}

TEST_F(LiveryFile, RoundTripKeepsTheCatalogue) {
  g_liveries = {lf_livery("DLH", "B738", "AI B738 Lufthansa", "D-ABCD", false, 3),
                lf_livery("KLM", "B738", "KLM <Cargo> & \"friends\"", "", true, 1),
                lf_livery("PVT", "DR10", "Jodel A\xE9roclub", "", false, 2)};
  const std::list<Livery> written = g_liveries;
  gf_writeLiveriesScanned();
  const std::string text = lf_fileText();
  EXPECT_NE(text.find("<meta>"), std::string::npos);
  EXPECT_LT(text.find("<meta>"), text.find("<liveries>"));
  EXPECT_NE(
      text.find("<liv airl=\"DLH\" type=\"B738\" title=\"AI B738 Lufthansa\" atcid=\"D-ABCD\" />"),
      std::string::npos);
  EXPECT_NE(text.find("<liv airl=\"KLM\" type=\"B738\" cargo=\"true\" title="), std::string::npos);
  EXPECT_EQ(text.find("priority"), std::string::npos);
  EXPECT_NE(env_.log().find("3 liveries in output/LiveriesScanned.xml"), std::string::npos);

  g_liveries.clear();
  lf_readLiveriesScanned();
  EXPECT_EQ(g_liveries, written);
  for (const Livery& livery : g_liveries) EXPECT_EQ(livery.priority, 0);
  EXPECT_NE(env_.log().find("3 liveries read from output/LiveriesScanned.xml"), std::string::npos);
}

TEST_F(LiveryFile, EmptyCatalogueWritesNothingAndMissingFileIs51) {
  gf_writeLiveriesScanned();
  EXPECT_FALSE(std::filesystem::exists(g_liveriesScannedFile));
  try {
    lf_readLiveriesScanned();
    FAIL() << "no exception";
  } catch (const qvb::UserErrorException& e) {
    EXPECT_STREQ(e.what(), "51: File output/LiveriesScanned.xml not found");
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

  // A broken meta block is only logged; cargo reads as the XML library reads a boolean.
  lf_writeRaw(
      "<meta><info name=\"author\" value=\"a\"/></meta><liveries>"
      "<liv airl=\"B\" type=\"T\" title=\"2\" cargo=\"yes\"/>"
      "<liv airl=\"B\" type=\"T\" title=\"1\" cargo=\"1\"/>"
      "<liv airl=\"A\" type=\"T\" title=\"x\" cargo=\"false\"/>"
      "<liv airl=\"A\" type=\"T\" title=\"x\" cargo=\"\" atcid=\"second\"/>"
      "<liv airl=\"A\" type=\"T\" title=\"x\" atcid=\"third\"/>"
      "<liv airl=\"C\"/></liveries>");
  EXPECT_EQ(lf_readCode(), 0);
  EXPECT_NE(env_.log().find("===> meta data incorrect?"), std::string::npos);
  const std::vector<Livery> read(g_liveries.begin(), g_liveries.end());
  ASSERT_EQ(read.size(), 6u);
  EXPECT_EQ(read[0], lf_livery("A", "T", "x"));
  EXPECT_EQ(read[1].atcid, "second");  // equal keys keep the file's order
  EXPECT_EQ(read[2].atcid, "third");
  EXPECT_EQ(read[3], lf_livery("B", "T", "1", "", true));
  EXPECT_EQ(read[4], lf_livery("B", "T", "2", "", true));
  EXPECT_EQ(read[5], lf_livery("C", "", ""));
}

}  // namespace
