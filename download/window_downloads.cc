#include "download/window_downloads.h"

#include <map>

#include "download/download_dialogs.h"
#include "download/download_manager.h"
#include "download/download_places.h"
#include "download/downloads_window.h"
#include "download/file_system.h"
#include "download/program_window_watch.h"
#include "platform/codepage.h"

namespace download {
namespace {

// The program windows' downloads, by window id.
std::map<int32_t, std::unique_ptr<WindowDownloads>>& Registry() {
  static std::map<int32_t, std::unique_ptr<WindowDownloads>> registry;
  return registry;
}

}  // namespace

WindowDownloads* WindowDownloads::Of(int32_t windowId) {
  auto& registry = Registry();
  auto it = registry.find(windowId);
  if (it != registry.end()) return it->second.get();
  if (!WatchProgramWindow(windowId)) return nullptr;
  std::unique_ptr<WindowDownloads> made(new WindowDownloads(windowId));
  return registry.emplace(windowId, std::move(made)).first->second.get();
}

bool ProgramWindowClosing(int32_t windowId) {
  auto it = Registry().find(windowId);
  return it == Registry().end() || it->second->Closing();
}

void ProgramWindowDestroyed(int32_t windowId) {
  auto it = Registry().find(windowId);
  if (it == Registry().end()) return;
  // Out of the table first: whatever runs while the downloads end finds no half-ended entry.
  std::unique_ptr<WindowDownloads> ending = std::move(it->second);
  Registry().erase(it);
}

WindowDownloads::WindowDownloads(int32_t windowId)
    : windowId_(windowId),
      dialogs_(MakeDesktopDialogs(windowId)),
      manager_(std::make_unique<DownloadManager>()) {}

WindowDownloads::~WindowDownloads() {
  window_.reset();  // the window goes before the list it shows
  manager_.reset();
}

void WindowDownloads::SetDialogs(std::unique_ptr<DownloadDialogs> dialogs) { dialogs_ = std::move(dialogs); }

void WindowDownloads::ShowWindow() {
  if (!window_) {
    window_ = MakeDownloadsWindow(
        manager_.get(), [this](const std::string& path) { OpenPath(path); },
        [this](const std::string& question) {
          return dialogs_->Ask("下载", question, {"替换", "取消"}) == 0;
        },
        windowId_);
  }
  window_->Show();
}

std::string WindowDownloads::AskSavePath(std::string_view title, std::string_view defaultName) {
  return dialogs_->SaveFileName(title, JoinPath(LastFolder(), defaultName));
}

std::string WindowDownloads::AskFolder(std::string_view title) {
  return dialogs_->ExistingFolder(title, LastFolder());
}

int WindowDownloads::Ask(std::string_view title, std::string_view text,
                         const std::vector<std::string>& buttons) {
  return dialogs_->Ask(title, text, buttons);
}

void WindowDownloads::Inform(std::string_view title, std::string_view text) { dialogs_->Inform(title, text); }

bool WindowDownloads::OpenAddress(std::string_view address) {
  return IsHttpAddress(address) && dialogs_->OpenAddress(address);
}

bool WindowDownloads::OpenPath(std::string_view path) { return dialogs_->OpenPath(path); }

std::string WindowDownloads::JoinPath(std::string_view folder, std::string_view fileName) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  return path + platform::GbkToUtf8(fileName);
}

std::string WindowDownloads::FileNameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return platform::Utf8ToGbk(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string WindowDownloads::FolderOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  std::string folder(path.substr(0, slash));
  // The root keeps its "/": "/" on Linux, "C:/" on Windows.
  if (folder.empty() || (folder.size() == 2 && folder[1] == ':')) folder += '/';
  return folder;
}

bool WindowDownloads::Exists(std::string_view path) { return PathExists(std::string(path)); }

size_t WindowDownloads::FileSystemLength(std::string_view fileName) { return FileNameLength(fileName); }

bool WindowDownloads::IsTargetInUse(std::string_view path) const {
  return manager_->IsTargetInUse(std::string(path));
}

std::string WindowDownloads::TargetKey(std::string_view path) const {
  return manager_->TargetKey(std::string(path));
}

void WindowDownloads::RememberFolder(std::string_view folder) {
  lastFolder_ = std::string(folder);
  WriteLastFolder(settingsFile_, folder);
}

std::string WindowDownloads::LastFolder() const {
  std::string folder = lastFolder_;
  if (folder.empty()) folder = ReadLastFolder(settingsFile_);
  if (folder.empty() || !IsFolder(folder)) folder = DefaultDownloadFolder();
  return folder;
}

Download* WindowDownloads::Add(DownloadOrder order, std::string_view path, bool replace) {
  Download* d = manager_->Add(std::move(order), std::string(path), replace);
  if (!windowOpened_) {
    windowOpened_ = true;
    ShowWindow();
  }
  return d;
}

bool WindowDownloads::Closing() {
  if (!manager_->HasUnfinished()) return true;
  if (closeQuestion_ && !closeQuestion_()) return false;  // the window stays
  manager_->StopAll();
  return true;
}

}  // namespace download
