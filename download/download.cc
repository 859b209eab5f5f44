#include "download/download.h"

#include <cerrno>
#include <cstring>

#include "download/file_system.h"
#include "download/part_file_sink.h"
#include "platform/codepage.h"
#include "platform/event_loop.h"
#include "platform/http/http_engine.h"

namespace download {
namespace {

std::string WriteFailureReason(int error) {
  switch (error) {
    case ENOSPC:
#ifdef EDQUOT  // no quotas in Windows' errno values
    case EDQUOT:
#endif
      return "磁盘空间不足，已下载的部分已保留";
    case EACCES:
    case EPERM:
      return "没有写入该文件夹的权限";
    case EROFS:
      return "该文件夹只读，无法写入";
    case ENOENT:
    case ENOTDIR:
      return "保存的文件夹不存在";
    case EFBIG:
      return "文件超出了文件系统允许的大小";
    default: {
      // The system's words are in the locale's encoding: only plain ASCII passes unchanged.
      std::string words = std::strerror(error);
      for (char c : words) {
        if (static_cast<unsigned char>(c) >= 0x80) return "无法写入文件：错误 " + std::to_string(error);
      }
      return "无法写入文件：" + words;
    }
  }
}

bool TimedOut(const std::string& error) {
  std::string lower = error;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower.find("timed out") != std::string::npos;
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

Download::Download(DownloadOrder order, std::string path, bool replace)
    : order_(std::move(order)),
      path_(std::move(path)),
      replace_(replace),
      token_(std::make_shared<Token>(Token{this})) {}

Download::~Download() {
  token_.reset();   // completions still on their way are dropped
  engine_.reset();  // aborts a running attempt; its sink closes the file on the loop's thread
}

std::string Download::fileName() const {
  const size_t slash = path_.rfind('/');
  return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

std::string Download::folder() const {
  const size_t slash = path_.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path_.substr(0, slash);
}

int64_t Download::bytesDone() const {
  return state_ == State::kRunning && sink_ ? sink_->bytesInFile() : bytesDone_;
}

int64_t Download::totalBytes() const {
  if (state_ == State::kRunning && sink_ && sink_->totalBytes() >= 0) return sink_->totalBytes();
  return totalBytes_;
}

bool Download::holdsTarget() const {
  return ownsTarget_ && state_ != State::kDone && state_ != State::kCancelled;
}

void Download::Changed() {
  if (onChanged_) onChanged_();
}

void Download::Fail(Failure failure, std::string reason) {
  state_ = State::kFailed;
  failure_ = failure;
  reason_ = std::move(reason);
}

bool Download::PartComplete() const { return partInHand_ && totalBytes_ >= 0 && bytesDone_ == totalBytes_; }

void Download::RemovePartFile() {
  // Only a part file of its own, and never one that holds the whole file or, once another
  // download has taken the target, that download's.
  if (partInHand_ && ownsTarget_ && !PartComplete()) RemoveFile(partPath());
  partInHand_ = false;
  validator_.clear();
  ifRange_.clear();
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
    Fail(Failure::kAddress, "只能下载 http 或 https 地址");
    Changed();
    return;
  }
  // What this download holds of the file already: its own part file, as long as it is there.
  const int64_t partSize = RegularFileSize(partPath());
  if (partInHand_ && partSize < 0) partInHand_ = false;
  if (!partInHand_ && PathExists(partPath())) {
    if (!adoptFound_) {
      // Not this download's: nothing is emptied or removed before the user says so.
      state_ = State::kPartFound;
      reason_ = "已有同名的 .part 文件（以前未完成的下载）";
      Changed();
      return;
    }
    // Continued as the user chose; no validator is known to tie it to.
    partInHand_ = partSize >= 0;
    validator_.clear();
    ifRange_.clear();
    totalBytes_ = -1;
  }
  adoptFound_ = false;
  const int64_t offset = partInHand_ ? partSize : 0;
  if (offset == 0) {
    validator_.clear();
    ifRange_.clear();
    totalBytes_ = -1;
  }

  auto engine = std::make_unique<platform::http::HttpEngine>();
  const int32_t t = order_.phaseTimeoutMs;
  engine->SetTimeouts(t, t, t, t);
  engine->SetCertificateErrorMask(order_.certificateErrorMask);
  if (!engine->Open("GET", platform::GbkToUtf8(order_.address))) {
    Fail(Failure::kAddress, "地址无效");
    Changed();
    return;
  }
  for (const auto& [name, value] : order_.headers)
    engine->SetRequestHeader(platform::GbkToUtf8(name), platform::GbkToUtf8(value));
  if (offset > 0) {
    engine->SetRequestHeader("Range", "bytes=" + std::to_string(offset) + "-");
    if (!ifRange_.empty()) engine->SetRequestHeader("If-Range", ifRange_);
  }
  auto sink = std::make_shared<PartFileSink>(
      partPath(), PartFileSink::Resume{offset, partInHand_, validator_, offset > 0 ? totalBytes_ : -1});
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
    Fail(Failure::kNetwork, "请求无法发出");
    sink_.reset();
  }
  Changed();
}

void Download::AttemptEnded(uint64_t attempt) {
  if (attempt != attempt_ || !sink_) return;
  ending_ = false;
  engine_->Wait(0);  // takes the ended request's results
  const PartFileSink::Result& r = sink_->result();
  using Outcome = PartFileSink::Outcome;
  if (r.opened) partInHand_ = true;
  if (r.outcome == Outcome::kWritten) {
    // The answer taken names the version the part file holds now (a 206 the same one as before).
    validator_ = r.validator;
    ifRange_ = r.ifRange;
  }
  bytesDone_ = sink_->bytesInFile();
  // This attempt's own length: a whole answer without one leaves it unknown.
  if (r.outcome == Outcome::kWritten || r.outcome == Outcome::kAlreadyComplete ||
      r.outcome == Outcome::kTooLong)
    totalBytes_ = sink_->totalBytes();
  const bool hasResponse = engine_->hasResponse();
  const std::string error = engine_->lastError();
  std::shared_ptr<PartFileSink> sink = std::move(sink_);
  engine_.reset();

  switch (std::exchange(stop_, StopIntent::kNone)) {
    case StopIntent::kCancel:
      RemovePartFile();
      Changed();
      return;
    case StopIntent::kPause:
      Changed();
      return;
    case StopIntent::kNone:
      break;
  }
  switch (r.outcome) {
    case Outcome::kAlreadyComplete:
      Complete();
      break;
    case Outcome::kWritten:
      if (!hasResponse) {
        const bool timedOut = TimedOut(error);
        Fail(timedOut ? Failure::kTimeout : Failure::kNetwork,
             std::string(timedOut ? "服务器长时间没有响应，已下载的部分已保留"
                                  : "连接中断，已下载的部分已保留") +
                 " (" + error + ")");
      } else if (totalBytes_ >= 0 && bytesDone_ != totalBytes_) {
        Fail(Failure::kIncomplete, "下载的长度与服务器声明的不符");
      } else {
        totalBytes_ = bytesDone_;  // without a length, the body's end is the file's
        Complete();
      }
      break;
    case Outcome::kRefusedStatus:
      Fail(Failure::kStatus, "服务器返回状态 " + std::to_string(r.status) + "，没有保存");
      break;
    case Outcome::kBadRange:
    case Outcome::kChanged:
      // The server cannot continue this part file, or holds another version of the file now:
      // once, it is dropped and fetched anew.
      totalBytes_ = -1;
      RemovePartFile();
      if (!startedOverOnce_) {
        startedOverOnce_ = true;
        state_ = State::kWaiting;
        Start();
        return;
      }
      Fail(Failure::kRange, "服务器无法从断点继续下载");
      break;
    case Outcome::kWriteFailed:
      if (r.errorNumber == EEXIST || r.errorNumber == EWOULDBLOCK) {
        Fail(Failure::kPartInUse, "另一个下载正在写入同名的 .part 文件");
      } else {
        Fail(Failure::kWrite, WriteFailureReason(r.errorNumber));
      }
      break;
    case Outcome::kTooLong:
      Fail(Failure::kIncomplete, "服务器发送的数据比它声明的长度多");
      break;
    case Outcome::kNoResponse: {
      const bool timedOut = TimedOut(error);
      Fail(timedOut ? Failure::kTimeout : Failure::kNetwork,
           std::string(timedOut ? "服务器长时间没有响应" : "无法连接服务器") + " (" + error + ")");
      break;
    }
  }
  Changed();
}

void Download::Complete() {
  const int error = RenameFile(partPath(), path_, replace_);
  if (error == EEXIST) {
    state_ = State::kNotReplaced;
    failure_ = Failure::kNone;
    reason_ = "同名文件已存在，没有覆盖；下载的内容保留在 .part 文件中";
    return;
  }
  if (error != 0) {
    Fail(Failure::kWrite, WriteFailureReason(error));
    return;
  }
  partInHand_ = false;
  state_ = State::kDone;
}

void Download::ReplaceNow() {
  if (state_ != State::kNotReplaced) return;
  replace_ = true;
  reason_.clear();
  Complete();
  Changed();
}

void Download::Pause() {
  if (state_ == State::kRunning) {
    stop_ = StopIntent::kPause;
    ending_ = true;
    bytesDone_ = sink_ ? sink_->bytesInFile() : bytesDone_;
    engine_->Abort();
    state_ = State::kPaused;
    Changed();
  } else if (state_ == State::kWaiting) {
    state_ = State::kPaused;
    Changed();
  }
}

void Download::Resume() {
  if (state_ != State::kPaused) return;
  state_ = State::kWaiting;
  Changed();
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
    case State::kNotReplaced:
    case State::kPartFound:
      // The part file holds the whole file, or is not this download's: it stays.
      partInHand_ = false;
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
  Changed();
}

void Download::Retry() {
  if (state_ != State::kFailed && state_ != State::kCancelled) return;
  if (!ownsTarget_) {
    Fail(Failure::kTaken, "另一个下载已使用这个文件名，无法重试");
    Changed();
    return;
  }
  startedOverOnce_ = false;
  state_ = State::kWaiting;
  failure_ = Failure::kNone;
  reason_.clear();
  Changed();
}

void Download::ContinueFoundPart() {
  if (state_ != State::kPartFound) return;
  adoptFound_ = true;
  state_ = State::kWaiting;
  reason_.clear();
  Changed();
}

void Download::StartOverFoundPart() {
  if (state_ != State::kPartFound) return;
  RemoveFile(partPath());  // the user has agreed
  state_ = State::kWaiting;
  reason_.clear();
  Changed();
}

}  // namespace download
