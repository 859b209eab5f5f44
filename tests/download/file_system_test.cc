// The file system calls of downloads, on the system the test runs on (Linux, or Windows under
// Wine): the exclusive hold of a part file, writing and cutting it, the rename that keeps an
// existing file unless told to replace it, the case probe, and how names are folded and counted.
#include "download/file_system.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace download {
namespace {

namespace fs = std::filesystem;

// Path bytes as the program passes them: UTF-8, "/" between parts.
std::string Bytes(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() / ("wl-fs-test-" + std::to_string(stamp));
    ASSERT_TRUE(fs::create_directory(dir_));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Path(const std::string& name) const { return Bytes(dir_) + "/" + name; }
  static std::string Read(const std::string& path) {
    std::ifstream in(fs::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static int MakeFile(const std::string& path, const std::string& content) {
    LockedFile file;
    int error = file.Open(path, LockedFile::Mode::kCreateNew);
    if (error == 0) error = file.Write(content.data(), content.size());
    return error != 0 ? error : file.Close();
  }

  fs::path dir_;
};

TEST_F(FileSystemTest, APartFileIsHeldByOneWriterAndCutWhereItGoesOn) {
  const std::string part = Path("clip.mp4.part");
  LockedFile first;
  ASSERT_EQ(first.Open(part, LockedFile::Mode::kCreateNew), 0);
  ASSERT_TRUE(first.isOpen());

  // A second writer, in this process as in another copy of the program, is kept out.
  LockedFile second;
  EXPECT_EQ(second.Open(part, LockedFile::Mode::kOpenExisting), EWOULDBLOCK);
  EXPECT_EQ(second.Open(part, LockedFile::Mode::kCreateNew), EEXIST);
  EXPECT_FALSE(second.isOpen());

  ASSERT_EQ(first.Write("0123456789", 10), 0);
  EXPECT_EQ(first.Size(), 10);
  ASSERT_EQ(first.TruncateTo(4), 0);
  ASSERT_EQ(first.Write("xy", 2), 0);
  EXPECT_EQ(first.Size(), 6);
  EXPECT_EQ(first.Close(), 0);
  EXPECT_FALSE(first.isOpen());
  EXPECT_EQ(Read(part), "0123xy");
  EXPECT_EQ(RegularFileSize(part), 6);

  // Closed, the file is free again; an existing one opens at its start.
  ASSERT_EQ(second.Open(part, LockedFile::Mode::kOpenExisting), 0);
  ASSERT_EQ(second.Write("AB", 2), 0);
  EXPECT_EQ(second.Close(), 0);
  EXPECT_EQ(Read(part), "AB23xy");

  LockedFile missing;
  EXPECT_EQ(missing.Open(Path("none.part"), LockedFile::Mode::kOpenExisting), ENOENT);
  EXPECT_EQ(missing.Open(Path("no-folder/a.part"), LockedFile::Mode::kCreateNew), ENOENT);
  EXPECT_EQ(RegularFileSize(Path("none.part")), -1);
  EXPECT_EQ(RegularFileSize(Bytes(dir_)), -1);  // a folder has no file length
}

TEST_F(FileSystemTest, RenamingKeepsAnExistingFileUnlessToldToReplaceIt) {
  const std::string part = Path("a.mp4.part"), target = Path("a.mp4");
  ASSERT_EQ(MakeFile(part, "new"), 0);
  ASSERT_EQ(MakeFile(target, "old"), 0);

  EXPECT_EQ(RenameFile(part, target, false), EEXIST);
  EXPECT_EQ(Read(target), "old");
  EXPECT_EQ(Read(part), "new");

  EXPECT_EQ(RenameFile(part, target, true), 0);
  EXPECT_EQ(Read(target), "new");
  EXPECT_FALSE(PathExists(part));

  EXPECT_EQ(RenameFile(part, Path("b.mp4"), false), ENOENT);
  ASSERT_EQ(MakeFile(part, "again"), 0);
  EXPECT_EQ(RenameFile(part, Path("b.mp4"), false), 0);
  EXPECT_EQ(Read(Path("b.mp4")), "again");

  EXPECT_EQ(RemoveFile(target), 0);
  EXPECT_FALSE(PathExists(target));
  EXPECT_EQ(RemoveFile(target), ENOENT);
}

TEST_F(FileSystemTest, NamesOutsideTheCodePageAndTheFolderCaseRule) {
  // UTF-8 path bytes reach the file of that name, whatever the system's code page.
  const std::u8string snow = u8"雪-한국-😀.mp4";
  const std::string name(snow.begin(), snow.end());
  ASSERT_EQ(MakeFile(Path(name), "x"), 0);
  EXPECT_TRUE(fs::exists(dir_ / fs::path(snow)));
  EXPECT_TRUE(PathExists(Path(name)));

#ifdef _WIN32
  // NTFS (and Wine's view of any folder) takes names that differ only in case for one name.
  EXPECT_TRUE(IsCaseBlindFolder(Bytes(dir_)));
  EXPECT_EQ(RenameFile(Path(name), Path("B.MP4"), false), 0);
  ASSERT_EQ(MakeFile(Path("c.part"), "y"), 0);
  EXPECT_EQ(RenameFile(Path("c.part"), Path("b.mp4"), false), EEXIST);
#else
  EXPECT_FALSE(IsCaseBlindFolder(Bytes(dir_)));
#endif
  EXPECT_FALSE(IsCaseBlindFolder(Path("no-folder")));
  // The probe leaves nothing behind.
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) entries += entry.is_regular_file() ? 1 : 0;
#ifdef _WIN32
  EXPECT_EQ(entries, 2);
#else
  EXPECT_EQ(entries, 1);
#endif
}

TEST(FileNameTest, FoldedAndCountedAsTheFileSystemDoes) {
  const std::u8string lower = u8"кот-hd.mp4.part", upper = u8"КОТ-HD.MP4.PART";
  const std::string a(lower.begin(), lower.end()), b(upper.begin(), upper.end());
  EXPECT_EQ(FoldNameCase("Clip-HD.mp4"), FoldNameCase("clip-hd.MP4"));
  EXPECT_NE(FoldNameCase("clip-1.mp4"), FoldNameCase("clip-2.mp4"));
#ifdef _WIN32
  EXPECT_EQ(FoldNameCase(a), FoldNameCase(b));  // NTFS folds every letter
#else
  EXPECT_NE(FoldNameCase(a), FoldNameCase(b));  // ASCII only
#endif

  EXPECT_EQ(FileNameLength("clip.mp4"), 8u);
#ifdef _WIN32
  EXPECT_EQ(FileNameLength("雪-hd.mp4"), 8u);  // UTF-16 units
#else
  EXPECT_EQ(FileNameLength("雪-hd.mp4"), 10u);  // UTF-8 bytes
#endif
}

}  // namespace
}  // namespace download
