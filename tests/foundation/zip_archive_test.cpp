// The zip reader: entries, chunked reads, damaged and foreign archives.
#include "foundation/zip_archive.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>

#include "http_server_helpers.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

const std::string kPayload = "<dbase>" + std::string(3000, 'q') + "</dbase>";

}  // namespace

TEST(ZipArchive, ListsEntriesReadsThemInChunksAndRefusesForeignOnes) {
  TempWorkingFolder work;
  gf_testWriteZip("a.zip", {{"data/", ""}, {"data/db.xml", kPayload}, {"empty.txt", ""}});
  ZipArchive archive("a.zip");
  ASSERT_TRUE(archive.open());
  const auto entries = archive.getEntries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "data/");
  EXPECT_TRUE(entries[0].isDirectory());
  EXPECT_EQ(entries[1].name, "data/db.xml");
  EXPECT_TRUE(entries[1].isFile());
  EXPECT_EQ(entries[1].size, kPayload.size());

  for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, kPayload.size(), kZipChunkBytes}) {
    std::ostringstream out;
    EXPECT_EQ(archive.readContent(entries[1], out, chunk), kZipOk) << chunk;
    EXPECT_EQ(out.str(), kPayload) << chunk;
  }
  EXPECT_EQ(archive.readAsText(entries[1]), kPayload);
  EXPECT_EQ(archive.readAsText(entries[2]), "");
  // Entries of another archive, and streams that cannot take the data, are refused.
  std::ostringstream out;
  EXPECT_EQ(archive.readContent(ZipEntry{"y.txt", 0, 1}, out), kZipInvalidEntry);
  EXPECT_EQ(archive.readContent(ZipEntry{"data/db.xml", 9, 1}, out), kZipInvalidEntry);
  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  EXPECT_EQ(archive.readContent(entries[1], broken), kZipWriteFailed);
  archive.close();
  EXPECT_TRUE(archive.getEntries().empty());
  EXPECT_EQ(archive.readContent(entries[1], out), kZipNotOpen);
}

TEST(ZipArchive, DamagedDataIsAnErrorNotText) {
  TempWorkingFolder work;
  gf_testWriteZip("stored.zip", {{"db.xml", kPayload}}, true);
  // Flip one byte in the middle of the stored data: the checksum no longer matches.
  std::string bytes = gf_testReadAll("stored.zip");
  const auto at = bytes.find(std::string(100, 'q'));
  ASSERT_NE(at, std::string::npos);
  bytes[at + 50] = 'Q';
  gf_testWriteFile("stored.zip", bytes);

  ZipArchive archive("stored.zip");
  ASSERT_TRUE(archive.open());
  const auto entries = archive.getEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(archive.readAsText(entries[0]), std::nullopt);
  EXPECT_EQ(archive.errorCode(), ZIP_ER_CRC);
}

TEST(ZipArchive, MissingTruncatedAndForeignFilesDoNotOpen) {
  TempWorkingFolder work;
  ZipArchive missing("missing.zip");
  EXPECT_FALSE(missing.open());
  EXPECT_NE(missing.errorCode(), 0);
  EXPECT_FALSE(missing.errorText().empty());

  gf_testWriteFile("text.zip", "<html>404 Not Found</html>");
  ZipArchive text("text.zip");
  EXPECT_FALSE(text.open());
  EXPECT_EQ(text.errorCode(), ZIP_ER_NOZIP);

  gf_testWriteZip("whole.zip", {{"db.xml", kPayload}});
  const std::string whole = gf_testReadAll("whole.zip");
  gf_testWriteFile("half.zip", whole.substr(0, whole.size() / 2));
  ZipArchive half("half.zip");
  EXPECT_FALSE(half.open());
}

// An archive whose directory promises another size than its compressed data holds: libzip
// inflates the data without complaint, so only the wrapper's own count tells.
TEST(ZipArchive, EntryOfAnotherSizeThanItsDirectoryPromisesIsRefused) {
  TempWorkingFolder work;
  gf_testWriteZip("good.zip", {{"db.xml", kPayload}});
  const std::string good = gf_testReadAll("good.zip");
  const std::size_t directory = good.find("PK\x01\x02");
  ASSERT_NE(directory, std::string::npos);
  constexpr std::size_t kUncompressedSizeAt = 24;  // in a central directory header
  for (const std::uint32_t promised : {static_cast<std::uint32_t>(kPayload.size() + 50),
                                       static_cast<std::uint32_t>(kPayload.size() - 10)}) {
    SCOPED_TRACE(promised);
    std::string bytes = good;
    for (std::size_t b = 0; b < 4; ++b)
      bytes[directory + kUncompressedSizeAt + b] = static_cast<char>((promised >> (8 * b)) & 0xFF);
    gf_testWriteFile("lying.zip", bytes);
    ZipArchive archive("lying.zip");
    ASSERT_TRUE(archive.open());
    const auto entries = archive.getEntries();
    ASSERT_EQ(entries.size(), 1u);
    ASSERT_EQ(entries[0].size, promised);
    std::ostringstream out;
    EXPECT_EQ(archive.readContent(entries[0], out), kZipSizeMismatch);
    EXPECT_EQ(archive.readAsText(entries[0]), std::nullopt);
    EXPECT_EQ(archive.errorText(), "entry size mismatch");
  }
}
