// Default file names of downloads: what is replaced (and what only looks like it), the
// extension of an address's path, names cut to the file system's limit on a character
// boundary, and Windows' own rules. Runs on both builds.
#include "app/download_names.h"

#include <gtest/gtest.h>

#include <string>

#include "download/file_system.h"
#include "platform/codepage.h"

namespace app {
namespace {

size_t FileSystemBytes(const std::string& name) { return download::FileNameLength(name); }

// Whether the text has a byte that starts no character of the code page.
bool HasBrokenCharacter(const std::string& text) {
  return platform::ToUtf16(platform::kCodePageGbk, text).find(u'\xFFFD') != std::u16string::npos;
}

TEST(DownloadNamesTest, CharactersAFileNameCannotHoldAreReplaced) {
  EXPECT_EQ(CleanFileNamePart("a/b\\c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(CleanFileNamePart("tab\there\r\nend\x7f"), "tab_here__end_");
  EXPECT_EQ(CleanFileNamePart("..hidden.name"), "__hidden.name");  // only the leading dots
  EXPECT_EQ(CleanFileNamePart("  spaced out  "), "spaced out");
  // 誠 and 眧 end in the bytes of "\" and "|": whole characters, kept as they are.
  EXPECT_EQ(CleanFileNamePart("\xD5\x5C\xB1\x7C"), "\xD5\x5C\xB1\x7C");
  // A lead byte without a trail byte of the code page is no character.
  EXPECT_EQ(CleanFileNamePart("x\x81/y\xFE"), "x__y_");
  EXPECT_EQ(CleanFileNamePart("猫咪第一次见到雪"), "猫咪第一次见到雪");
}

TEST(DownloadNamesTest, TheExtensionComesFromTheAddressesPath) {
  EXPECT_EQ(AddressExtension("https://vdn.vzuu.com/hd/abc.mp4?auth_key=1-0-0-x.y"), ".mp4");
  EXPECT_EQ(AddressExtension("https://h/a.b/clip.webm#t=1.5"), ".webm");
  EXPECT_EQ(AddressExtension("https://h/dir.d/noext"), "");
  EXPECT_EQ(AddressExtension("https://host.com"), "");
  EXPECT_EQ(AddressExtension("https://h/.hidden"), "");
  EXPECT_EQ(AddressExtension("https://h/a.toolongextension"), "");
  EXPECT_EQ(AddressExtension("https://h/a.m p4"), "");
  EXPECT_EQ(AddressExtension("https://h/a.%2Fmp4"), "");
}

TEST(DownloadNamesTest, TitleQualityAndExtensionMakeTheName) {
  const char* address = "https://vdn.vzuu.com/hd/x.mp4?auth=1";
  EXPECT_EQ(DefaultFileName("猫咪第一次见到雪", "hd", address), "猫咪第一次见到雪-hd.mp4");
  EXPECT_EQ(DefaultFileName("a: b", "", address), "a_ b.mp4");
  EXPECT_EQ(DefaultFileName("", "hd", address), "视频-hd.mp4");
  EXPECT_EQ(DefaultFileName("...", "", "https://h/p"), "___");
  EXPECT_EQ(NumberedFileName("猫-hd.mp4", 2), "猫-hd (2).mp4");
  EXPECT_EQ(NumberedFileName("noext", 3), "noext (3)");
}

TEST(DownloadNamesTest, LongNamesAreCutOnACharacterBoundaryToFitWithTheirPartFile) {
  std::string title;
  for (int i = 0; i < 300; ++i) title += "雪";  // two bytes here, three in the file system
  const std::string name = DefaultFileName(title, "hd", "https://h/a.mp4");
  EXPECT_LE(FileSystemBytes(name), kMaxFileNameBytes);
  EXPECT_GT(FileSystemBytes(name), kMaxFileNameBytes - 3);  // not a character shorter than needed
  EXPECT_EQ(name.substr(name.size() - 7), "-hd.mp4");
  EXPECT_EQ((name.size() - 7) % 2, 0u);  // whole double-byte characters
  EXPECT_FALSE(HasBrokenCharacter(name));

  std::string mixed = "a";
  for (int i = 0; i < 200; ++i) mixed += "雪b";
  const std::string numbered = NumberedFileName(DefaultFileName(mixed, "", "https://h/v.mp4"), 12);
  EXPECT_LE(FileSystemBytes(numbered), kMaxFileNameBytes);
  EXPECT_EQ(numbered.substr(numbered.size() - 9), " (12).mp4");
  EXPECT_FALSE(HasBrokenCharacter(numbered));
}

TEST(DownloadNamesTest, WindowsRulesAlterDeviceNamesAndTrailingDotsAndBlanks) {
  EXPECT_EQ(WindowsFileName("NUL.mp4"), "NUL_.mp4");
  EXPECT_EQ(WindowsFileName("con"), "con_");
  EXPECT_EQ(WindowsFileName("Com7.tar.gz"), "Com7_.tar.gz");
  EXPECT_EQ(WindowsFileName("lpt1 .mp4"), "lpt1 _.mp4");  // blanks before the dot name the device too
  EXPECT_EQ(WindowsFileName("CONOUT$"), "CONOUT$_");
  EXPECT_EQ(WindowsFileName("aux. . "), "aux_");
  EXPECT_EQ(WindowsFileName("clip.mp4.. "), "clip.mp4");
  EXPECT_EQ(WindowsFileName(" . "), "视频");
  // Names that only begin like a device, or end in a trail byte of 0x2E or 0x20: unchanged.
  EXPECT_EQ(WindowsFileName("COM0.mp4"), "COM0.mp4");
  EXPECT_EQ(WindowsFileName("COM10"), "COM10");
  EXPECT_EQ(WindowsFileName("console.mp4"), "console.mp4");
  EXPECT_EQ(WindowsFileName("nul-hd.mp4"), "nul-hd.mp4");
  EXPECT_EQ(WindowsFileName("猫咪"), "猫咪");

  // The default names keep the rules on Windows and stay as they were elsewhere.
  const std::string device = DefaultFileName("nul", "", "https://h/a.mp4");
  if (kWindowsFileNames) {
    EXPECT_EQ(device, "nul_.mp4");
    EXPECT_EQ(DefaultFileName("wait...", "", "https://h/p"), "wait");
    EXPECT_EQ(NumberedFileName("x.", 2), "x (2)");
  } else {
    EXPECT_EQ(device, "nul.mp4");
    EXPECT_EQ(DefaultFileName("wait...", "", "https://h/p"), "wait...");
    EXPECT_EQ(NumberedFileName("x.", 2), "x (2).");
  }
}

}  // namespace
}  // namespace app
