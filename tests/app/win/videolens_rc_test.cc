// videolens.exe's resources, linked into this test program as into the program: the version
// record says the build's version, the icon holds its four sizes, and the manifest is in effect
// (common controls 6, per-monitor resolution awareness) without a UTF-8 ANSI code page.
#include <gtest/gtest.h>
// <windows.h> first: the others need its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cwctype>
#include <set>
#include <string>
#include <vector>

namespace {

HMODULE Self() { return GetModuleHandleW(nullptr); }

std::string_view Resource(int type, int id) {
  HRSRC found = FindResourceW(Self(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(Self(), found);
  return {static_cast<const char*>(LockResource(loaded)), SizeofResource(Self(), found)};
}

TEST(VideolensResourcesTest, TheVersionRecordSaysTheBuildsVersion) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  DWORD ignored = 0;
  std::vector<char> record(GetFileVersionInfoSizeW(path, &ignored));
  ASSERT_FALSE(record.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(record.size()), record.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  unsigned major = 0, minor = 0, patch = 0;
  ASSERT_EQ(sscanf(WL_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
  EXPECT_EQ(fixed->dwFileVersionMS, (major << 16) | minor);
  EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\StringFileInfo\\080404b0\\ProductVersion",
                             reinterpret_cast<void**>(&text), &length));
  const std::string version(WL_VERSION);
  EXPECT_EQ(std::wstring(text), std::wstring(version.begin(), version.end()));
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\StringFileInfo\\080404b0\\FileDescription",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_EQ(std::wstring(text), L"videolens \u89c6\u9891\u89e3\u6790");  // "视频解析", not mangled
}

TEST(VideolensResourcesTest, TheIconHoldsFourSizesInFullColour) {
  // The group's directory: a 6-byte header, then a 14-byte entry per picture (width 0 is 256).
  const std::string_view group = Resource(14, 1);  // RT_GROUP_ICON
  ASSERT_GE(group.size(), 6u);
  const auto count = static_cast<unsigned char>(group[4]);
  ASSERT_EQ(group.size(), 6u + 14u * count);
  std::set<int> widths;
  for (unsigned i = 0; i < count; ++i) {
    const char* entry = group.data() + 6 + 14 * i;
    const int width = static_cast<unsigned char>(entry[0]);
    widths.insert(width == 0 ? 256 : width);
    EXPECT_EQ(static_cast<unsigned char>(entry[6]), 32) << "bits per pixel of " << width;
  }
  EXPECT_EQ(widths, (std::set<int>{16, 32, 48, 256}));
  for (int size : {16, 32, 48, 256}) {
    HICON icon = static_cast<HICON>(LoadImageW(Self(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

TEST(VideolensResourcesTest, TheManifestGivesCommonControls6AndPerMonitorAwarenessButNoUtf8CodePage) {
  const std::string_view manifest = Resource(24, 1);  // RT_MANIFEST
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find("PerMonitorV2, PerMonitor"), std::string_view::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string_view::npos);
  EXPECT_EQ(manifest.find("<activeCodePage"), std::string_view::npos);

  // In effect: the list view's library is version 6, the process aware of each monitor's
  // resolution, the ANSI code page not UTF-8.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
  ASSERT_TRUE(InitCommonControlsEx(&controls));
  // The side-by-side copy of version 6 (Wine's copy there reports 5.81 as its version, so the
  // place tells, not DllGetVersion).
  HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  wchar_t file[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(comctl, file, MAX_PATH), 0u);
  std::wstring place(file);
  for (wchar_t& c : place) c = static_cast<wchar_t>(towlower(c));
  EXPECT_NE(place.find(L"\\winsxs\\"), std::wstring::npos) << place;
  EXPECT_NE(place.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos)
      << place;
  EXPECT_EQ(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()),
            DPI_AWARENESS_PER_MONITOR_AWARE);
  EXPECT_NE(GetACP(), static_cast<UINT>(CP_UTF8));
}

}  // namespace
