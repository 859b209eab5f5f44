#include "download/download.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "download/part_file_sink.h"
#include "platform/event_loop.h"
#include "platform/http/http_engine.h"
#include "ui/qt_text.h"

namespace download {
using ui::ToQString;

namespace {

std::string Utf8(std::string_view gbk) { return ToQString(gbk).toUtf8().toStdString(); }

QString Text(const char* gbk) { return ToQString(gbk); }

QString WriteFailureReason(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return Text("磁盘空间不足，已下载的部分已保留");
    case EACCES:
    case EPERM:
      return Text("没有写入该文件夹的权限");
    case EROFS:
      return Text("该文件夹只读，无法写入");
    case ENOENT:
    case ENOTDIR:
      return Text("保存的文件夹不存在");
    case EFBIG:
      return Text("文件超出了文件系统允许的大小");
    default:
      return Text("无法写入文件：") + QString::fromLocal8Bit(std::strerror(error));
  }
}

// Replaces `to` only when asked to; otherwise an existing file stays and the rename fails
// with EEXIST.
int RenameFile(const std::string& from, const std::string& to, bool replace) {
  if (replace) return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the flag: link and unlink keep the same promise.
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  unlink(from.c_str());
  return 0;
}

}  // namespace

bool IsHttpAddress(std::string_view address) {
  auto startsWith = [&](std::string_view prefix) {
    if (address.size() <= prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
      if ((static_cast<unsigned char>(address[i]) | 0x20) != static_cast<unsigned char>(prefix[i]))
        return false;
    }
    return true;
  };
  return startsWith("http://") || startsWith("https://");
}

// Lets a posted completion find its download while it lives (both on the GUI thread).
struct Download::Token {
  Download* download;
};

Download::Download(DownloadOrder order, QString path, bool replace, QObject* parent)
    : QObject(parent),
      order_(std::move(order)),
      path_(std::move(path)),
      replace_(replace),
      token_(std::make_shared<Token>(Token{this})) {}

Download::~Download() {
  token_.reset();   // completions still on their way are dropped
  engine_.reset();  // aborts a running attempt; its sink closes the file on the loop's thread
}

QString Download::fileName() const { return QFileInfo(path_).fileName(); }
QString Download::folder() const { return QFileInfo(path_).absolutePath(); }

std::string Download::NativePath(const QString& path) const { return QFile::encodeName(path).toStdString(); }

int64_t Download::bytesDone() const {
  return state_ == State::kRunning && sink_ ? sink_->bytesInFile() : bytesDone_;
}

int64_t Download::totalBytes() const {
  if (sink_ && sink_->totalBytes() >= 0) return sink_->totalBytes();
  return totalBytes_;
}

void Download::Fail(Failure failure, const QString& reason) {
  state_ = State::kFailed;
  failure_ = failure;
  reason_ = reason;
}

void Download::RemovePartFile() {
  unlink(NativePath(partPath()).c_str());
  partInHand_ = false;
  validator_.clear();
  bytesDone_ = 0;
  totalBytes_ = -1;
}

void Download::Start() {
  if (state_ != State::kWaiting || ending_) return;
  failure_ = Failure::kNone;
  reason_.clear();
  sink_.reset();
  engine_.reset();
  if (!IsHttpAddress(order_.address)) {
    Fail(Failure::kAddress, Text("只能下载 http 或 https 地址"));
    emit changed();
    return;
  }
  // What this download holds of the file already: its own part file, as long as it is there.
  int64_t offset = 0;
  if (partInHand_) {
    struct stat st;
    if (stat(NativePath(partPath()).c_str(), &st) == 0 && S_ISREG(st.st_mode)) offset = st.st_size;
  }
  if (offset == 0) validator_.clear();

  auto engine = std::make_unique<platform::http::HttpEngine>();
  const int32_t t = order_.phaseTimeoutMs;
  engine->SetTimeouts(t, t, t, t);
  engine->SetCertificateErrorMask(order_.certificateErrorMask);
  if (!engine->Open("GET", Utf8(order_.address))) {
    Fail(Failure::kAddress, Text("地址无效"));
    emit changed();
    return;
  }
  for (const auto& [name, value] : order_.headers) engine->SetRequestHeader(Utf8(name), Utf8(value));
  if (offset > 0) {
    engine->SetRequestHeader("Range", "bytes=" + std::to_string(offset) + "-");
    if (!validator_.empty()) engine->SetRequestHeader("If-Range", validator_);
  }
  auto sink = std::make_shared<PartFileSink>(NativePath(partPath()), offset);
  engine->SetResponseSink(sink);
  const uint64_t attempt = ++attempt_;
  std::weak_ptr<Token> token = token_;
  engine->SetOnEnded([sink, token, attempt] {
    // The loop's thread: the file is closed here, then the GUI thread hears of the end.
    sink->Finish();
    platform::PostToGuiThread([token, attempt] {
      if (std::shared_ptr<Token> t = token.lock()) t->download->AttemptEnded(attempt);
    });
  });
  bytesDone_ = offset;
  engine_ = std::move(engine);
  sink_ = std::move(sink);
  state_ = State::kRunning;
  if (!engine_->Start("")) {
    Fail(Failure::kNetwork, Text("请求无法发出"));
    sink_.reset();
  }
  emit changed();
}

void Download::AttemptEnded(uint64_t attempt) {
  if (attempt != attempt_ || !sink_) return;
  ending_ = false;
  engine_->Wait(0);  // takes the ended request's results
  const PartFileSink::Result& r = sink_->result();
  if (r.opened) partInHand_ = true;
  if (r.outcome == PartFileSink::Outcome::kWritten && (r.startedOver || validator_.empty())) {
    validator_ = r.validator;
  }
  bytesDone_ = sink_->bytesInFile();
  if (sink_->totalBytes() >= 0) totalBytes_ = sink_->totalBytes();
  const bool hasResponse = engine_->hasResponse();
  const QString error = QString::fromStdString(engine_->lastError());
  std::shared_ptr<PartFileSink> sink = std::move(sink_);
  engine_.reset();

  switch (std::exchange(stop_, StopIntent::kNone)) {
    case StopIntent::kCancel:
      RemovePartFile();
      emit changed();
      return;
    case StopIntent::kPause:
      emit changed();
      return;
    case StopIntent::kNone:
      break;
  }
  using Outcome = PartFileSink::Outcome;
  switch (r.outcome) {
    case Outcome::kAlreadyComplete:
      Complete();
      break;
    case Outcome::kWritten:
      if (!hasResponse) {
        const bool timedOut = error.contains(QStringLiteral("timed out"), Qt::CaseInsensitive);
        Fail(timedOut ? Failure::kTimeout : Failure::kNetwork,
             (timedOut ? Text("服务器长时间没有响应，已下载的部分已保留")
                       : Text("连接中断，已下载的部分已保留")) +
                 QStringLiteral(" (") + error + QStringLiteral(")"));
      } else if (totalBytes_ >= 0 && bytesDone_ != totalBytes_) {
        Fail(Failure::kIncomplete, Text("下载的长度与服务器声明的不符"));
      } else {
        Complete();
      }
      break;
    case Outcome::kRefusedStatus:
      Fail(Failure::kStatus, Text("服务器返回状态 ") + QString::number(r.status) + Text("，没有保存"));
      break;
    case Outcome::kBadRange:
      // The server cannot continue this part file: once, it is dropped and fetched anew.
      RemovePartFile();
      if (!startedOverOnce_) {
        startedOverOnce_ = true;
        state_ = State::kWaiting;
        Start();
        return;
      }
      Fail(Failure::kRange, Text("服务器无法从断点继续下载"));
      break;
    case Outcome::kWriteFailed:
      Fail(Failure::kWrite, WriteFailureReason(r.errorNumber));
      break;
    case Outcome::kTooLong:
      Fail(Failure::kIncomplete, Text("服务器发送的数据比它声明的长度多"));
      break;
    case Outcome::kNoResponse: {
      const bool timedOut = error.contains(QStringLiteral("timed out"), Qt::CaseInsensitive);
      Fail(timedOut ? Failure::kTimeout : Failure::kNetwork,
           (timedOut ? Text("服务器长时间没有响应") : Text("无法连接服务器")) + QStringLiteral(" (") + error +
               QStringLiteral(")"));
      break;
    }
  }
  emit changed();
}

void Download::Complete() {
  int error = RenameFile(NativePath(partPath()), NativePath(path_), replace_);
  if (error == EEXIST) {
    Fail(Failure::kExists, Text("同名文件已存在，没有覆盖；下载的内容保留在 .part 文件中"));
    return;
  }
  if (error != 0) {
    Fail(Failure::kWrite, WriteFailureReason(error));
    return;
  }
  partInHand_ = false;
  state_ = State::kDone;
}

void Download::Pause() {
  if (state_ == State::kRunning) {
    stop_ = StopIntent::kPause;
    ending_ = true;
    bytesDone_ = sink_ ? sink_->bytesInFile() : bytesDone_;
    engine_->Abort();
    state_ = State::kPaused;
    emit changed();
  } else if (state_ == State::kWaiting) {
    state_ = State::kPaused;
    emit changed();
  }
}

void Download::Resume() {
  if (state_ != State::kPaused) return;
  state_ = State::kWaiting;
  emit changed();
}

void Download::Cancel() {
  switch (state_) {
    case State::kDone:
    case State::kCancelled:
      return;
    case State::kRunning:
      engine_->Abort();
      ending_ = true;
      stop_ = StopIntent::kCancel;
      break;
    default:
      // A paused attempt that is still ending removes the part file once it has let go.
      if (ending_) {
        stop_ = StopIntent::kCancel;
      } else {
        RemovePartFile();
      }
      break;
  }
  state_ = State::kCancelled;
  failure_ = Failure::kNone;
  reason_.clear();
  emit changed();
}

void Download::Retry() {
  if (state_ != State::kFailed && state_ != State::kCancelled) return;
  startedOverOnce_ = false;
  state_ = State::kWaiting;
  failure_ = Failure::kNone;
  reason_.clear();
  emit changed();
}

}  // namespace download
