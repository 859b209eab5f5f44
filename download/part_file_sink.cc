#include "download/part_file_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "platform/http/header_lines.h"

namespace download {

using platform::http::ContentRange;
using platform::http::HeaderLength;
using platform::http::HeaderValue;
using platform::http::ParseContentRange;
using platform::http::StartsWithIgnoreCase;

PartFileSink::PartFileSink(std::string partPath, int64_t offset)
    : partPath_(std::move(partPath)), offset_(offset), inFile_(offset) {}

PartFileSink::~PartFileSink() {
  if (fd_ >= 0) close(fd_);
}

bool PartFileSink::Fail(Outcome outcome, int errorNumber) {
  result_.outcome = outcome;
  result_.errorNumber = errorNumber;
  return false;
}

bool PartFileSink::Open(bool truncate) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0);
  fd_ = open(partPath_.c_str(), flags, 0644);
  if (fd_ < 0) return Fail(Outcome::kWriteFailed, errno);
  result_.opened = true;
  if (truncate) {
    written_ = 0;
    return true;
  }
  // Continues after the bytes in hand; a part file shorter than that was changed by someone
  // else, and is not continued.
  struct stat st;
  if (fstat(fd_, &st) != 0) return Fail(Outcome::kWriteFailed, errno);
  if (st.st_size < offset_) return Fail(Outcome::kBadRange);
  if (ftruncate(fd_, offset_) != 0 || lseek(fd_, offset_, SEEK_SET) != offset_) {
    return Fail(Outcome::kWriteFailed, errno);
  }
  written_ = offset_;
  return true;
}

bool PartFileSink::OnResponse(int32_t status, const std::vector<std::string>& headers) {
  result_.status = status;
  const int64_t length = HeaderLength(HeaderValue(headers, "content-length").value_or(""));
  if (status == 200) {
    result_.startedOver = offset_ > 0;
    if (!Open(true)) return false;
    inFile_.store(0, std::memory_order_relaxed);
    total_.store(length, std::memory_order_relaxed);
  } else if (status == 206) {
    ContentRange range;
    std::optional<std::string_view> value = HeaderValue(headers, "content-range");
    if (!value || !ParseContentRange(*value, &range) || range.first != offset_)
      return Fail(Outcome::kBadRange);
    int64_t total = range.total >= 0 ? range.total : (length >= 0 ? offset_ + length : -1);
    if (!Open(false)) return false;
    total_.store(total, std::memory_order_relaxed);
  } else if (status == 416 && offset_ > 0) {
    ContentRange range;
    std::optional<std::string_view> value = HeaderValue(headers, "content-range");
    if (value && ParseContentRange(*value, &range) && range.first < 0 && range.total == offset_) {
      total_.store(offset_, std::memory_order_relaxed);
      result_.outcome = Outcome::kAlreadyComplete;
      return false;  // nothing to take: the body is the server's explanation
    }
    return Fail(Outcome::kBadRange);
  } else {
    return Fail(Outcome::kRefusedStatus);
  }
  // What a later range may be tied to: a strong entity tag, else the modification date.
  std::optional<std::string_view> tag = HeaderValue(headers, "etag");
  if (tag && !tag->empty() && !StartsWithIgnoreCase(*tag, "W/")) {
    result_.validator = std::string(*tag);
  } else if (std::optional<std::string_view> date = HeaderValue(headers, "last-modified")) {
    result_.validator = std::string(*date);
  }
  buffer_.reserve(kBufferBytes);
  result_.outcome = Outcome::kWritten;
  return true;
}

bool PartFileSink::OnBody(std::string_view bytes) {
  if (fd_ < 0 || result_.outcome != Outcome::kWritten) return false;
  const int64_t total = total_.load(std::memory_order_relaxed);
  const int64_t have = written_ + static_cast<int64_t>(buffer_.size());
  bool tooLong = false;
  if (total >= 0 && have + static_cast<int64_t>(bytes.size()) > total) {
    // Keep what was announced; the rest belongs to no file.
    bytes = bytes.substr(0, static_cast<size_t>(std::max<int64_t>(total - have, 0)));
    tooLong = true;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  inFile_.fetch_add(static_cast<int64_t>(bytes.size()), std::memory_order_relaxed);
  if (buffer_.size() >= kBufferBytes && !Flush()) return false;
  if (tooLong) return Fail(Outcome::kTooLong);
  return true;
}

bool PartFileSink::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    ssize_t n = write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int error = n < 0 ? errno : EIO;
      written_ += static_cast<int64_t>(done);
      inFile_.store(written_, std::memory_order_relaxed);
      buffer_.clear();
      return Fail(Outcome::kWriteFailed, error);
    }
    done += static_cast<size_t>(n);
  }
  written_ += static_cast<int64_t>(done);
  buffer_.clear();
  return true;
}

void PartFileSink::Finish() {
  if (fd_ < 0) return;
  // A failed write is the reason that counts: it is why the part file is shorter.
  if (!buffer_.empty()) Flush();
  if (close(fd_) != 0 && result_.outcome == Outcome::kWritten) Fail(Outcome::kWriteFailed, errno);
  fd_ = -1;
}

}  // namespace download
