// The layer over real files that others wrote: case-insensitive names in real add-on trees
// (an "Aircraft.cfg" with a capital A, folders with blanks) resolved and opened, and a real
// scenery.cfg read as a private-profile file.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "files_test_support.h"
#include "platform/paths.h"
#include "platform/win32.h"

namespace fs = std::filesystem;
using platform_test::EnvGuard;

namespace {

const fs::path kRealWorld = fs::path(ZENDRIK_REALWORLD_DIR).lexically_normal();

class RealWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(kRealWorld))
      GTEST_SKIP() << "real-world files not found at " << kRealWorld;
  }
};

TEST_F(RealWorld, AddOnFileNamesResolveIgnoringCase) {
  EnvGuard env;
  env.set("ZENDRIK_DRIVE_D", kRealWorld.string());
  const struct {
    const char* windowsText;
    const char* actual;  // below the real-world folder
  } cases[] = {
      {"D:\\aircraftcfg\\p3d_ai_NBAI_EF2000_Ala14\\SimObjects\\TQL_NBAI_Eurofighter_EF2000_Spain_"
       "Ala_14\\aircraft.cfg",
       "aircraftcfg/p3d_ai_NBAI_EF2000_Ala14/SimObjects/TQL_NBAI_Eurofighter_EF2000_Spain_Ala_14/"
       "Aircraft.cfg"},
      {"D:\\AIRCRAFTCFG\\p3d_user_pmdg777_surair\\simobjects\\airplanes\\pmdg "
       "777-300er\\AIRCRAFT.CFG",
       "aircraftcfg/p3d_user_PMDG777_SurAir/SimObjects/Airplanes/PMDG 777-300ER/aircraft.cfg"},
      {"d:/Misc/Scenery_Cfg/fsx_default_scenery.CFG", "misc/scenery_cfg/FSX_default_scenery.cfg"},
  };
  for (const auto& c : cases) {
    const fs::path resolved = gf_winPath(c.windowsText);
    EXPECT_EQ(resolved, kRealWorld / c.actual) << c.windowsText;
    EXPECT_TRUE(fs::is_regular_file(resolved)) << resolved;
    const HANDLE handle = CreateFileW(gf_toUtf16(c.windowsText).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE) << c.windowsText << ": " << GetLastError();
    CloseHandle(handle);
  }
}

TEST_F(RealWorld, SceneryCfgReadsAsAPrivateProfile) {
  const WString file =
      gf_toUtf16((kRealWorld / "misc/scenery_cfg/FSX_default_scenery.cfg").string());
  WCHAR buffer[128];
  GetPrivateProfileStringW(u"General", u"Title", u"", buffer, 128, file.c_str());
  EXPECT_EQ(WString(buffer), u"FS9 World Scenery");
  GetPrivateProfileStringW(u"Area.001", u"Local", u"", buffer, 128, file.c_str());
  EXPECT_EQ(WString(buffer), u"Scenery\\World");
  EXPECT_EQ(GetPrivateProfileIntW(u"area.002", u"LAYER", -1, file.c_str()), 2u);

  // Every section name: [General] and the 120 areas.
  std::vector<WCHAR> names(16384);
  const DWORD length = GetPrivateProfileStringW(nullptr, nullptr, u"", names.data(),
                                                static_cast<DWORD>(names.size()), file.c_str());
  int sections = 0;
  for (DWORD i = 0; i < length; ++i) sections += names[i] == 0 ? 1 : 0;
  EXPECT_EQ(sections, 121);
}

}  // namespace
