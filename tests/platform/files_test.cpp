// CreateFileW / ReadFile / CloseHandle on real files as the program opens them: the Win32
// error codes, names in other cases and with non-ASCII characters, drive-letter paths.
#include <gtest/gtest.h>

#include <filesystem>

#include "files_test_support.h"
#include "platform/win32.h"

namespace fs = std::filesystem;
using platform_test::EnvGuard;
using platform_test::TempDir;
using platform_test::writeFile;

namespace {

HANDLE openFile(const fs::path& path, DWORD access, DWORD disposition) {
  const WString name = gf_toUtf16(path.string());
  return CreateFileW(name.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(Files, ReadsTheFirstBytesAsTheEncodingProbeDoes) {
  TempDir dir;
  const fs::path file = dir / "Caf\xC3\xA9 d'Air/aircraft.cfg";
  writeFile(file, std::string("\xFF\xFE[\0f\0", 6));
  const HANDLE handle = openFile(file, GENERIC_READ, OPEN_EXISTING);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  char bytes[2] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(handle, bytes, 2, &read, nullptr));
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(bytes[0], '\xFF');
  EXPECT_EQ(bytes[1], '\xFE');
  char rest[16];
  ASSERT_TRUE(ReadFile(handle, rest, sizeof rest, &read, nullptr));
  EXPECT_EQ(read, 4u);
  ASSERT_TRUE(ReadFile(handle, rest, sizeof rest, &read, nullptr));  // at the end: TRUE, 0 bytes
  EXPECT_EQ(read, 0u);
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ReadFile(handle, rest, 1, &read, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Files, OpenFailuresGiveTheWin32Codes) {
  TempDir dir;
  writeFile(dir / "present.txt", "x");
  const struct {
    fs::path path;
    DWORD disposition;
    DWORD error;
  } cases[] = {
      {dir / "absent.txt", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {dir / "no folder/absent.txt", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {dir / "present.txt/below", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {dir.path(), OPEN_EXISTING, ERROR_ACCESS_DENIED},
      {dir / "present.txt", CREATE_NEW, ERROR_FILE_EXISTS},
      {dir / "present.txt", 99, ERROR_INVALID_PARAMETER},
      {"", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(openFile(c.path, GENERIC_READ, c.disposition), INVALID_HANDLE_VALUE) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
  EXPECT_EQ(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Files, NamesMatchIgnoringCaseAndDriveLettersMap) {
  TempDir dir;
  EnvGuard env;
  env.set("ZENDRIK_DRIVE_C", dir.path().string());
  writeFile(dir / "ProgramData/Lockheed Martin/Prepar3D v5/scenery.cfg", "[General]\n");
  for (const fs::path& name :
       {fs::path(dir / "programdata/LOCKHEED MARTIN/prepar3d V5/Scenery.CFG"),
        fs::path("C:\\ProgramData\\Lockheed Martin\\Prepar3D v5\\SCENERY.cfg")}) {
    const HANDLE handle = openFile(name, GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << name;
    char bytes[9];
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(handle, bytes, 9, &read, nullptr));
    EXPECT_EQ(std::string(bytes, read), "[General]");
    CloseHandle(handle);
  }
}

TEST(Files, OverlappedIoAndNullBuffersAreRefused) {
  TempDir dir;
  writeFile(dir / "f", "abc");
  const HANDLE handle = openFile(dir / "f", GENERIC_READ, OPEN_EXISTING);
  OVERLAPPED overlapped{};
  char buffer[3];
  DWORD read = 0;
  EXPECT_FALSE(ReadFile(handle, buffer, 3, &read, &overlapped));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(ReadFile(handle, nullptr, 3, &read, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(CancelIo(handle));
  CloseHandle(handle);
}

}  // namespace
