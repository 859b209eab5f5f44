#include "download/part_file_sink.h"

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

namespace {

// The validators of a response (see Result).
void ReadValidators(const std::vector<std::string>& headers, std::string* validator, std::string* ifRange) {
  std::optional<std::string_view> tag = HeaderValue(headers, "etag");
  std::optional<std::string_view> date = HeaderValue(headers, "last-modified");
  if (tag && !tag->empty()) {
    *validator = std::string(*tag);
    // A weak tag cannot tie a range, and a date beside a tag may not either (RFC 9110 13.1.5).
    if (!StartsWithIgnoreCase(*tag, "W/")) *ifRange = *validator;
  } else if (date && !date->empty()) {
    *validator = std::string(*date);
    *ifRange = *validator;
  }
}

}  // namespace

PartFileSink::PartFileSink(std::string partPath, Resume resume)
    : partPath_(std::move(partPath)), resume_(std::move(resume)), offset_(resume_.offset), inFile_(offset_) {}

PartFileSink::~PartFileSink() = default;

bool PartFileSink::Fail(Outcome outcome, int errorNumber) {
  result_.outcome = outcome;
  result_.errorNumber = errorNumber;
  return false;
}

bool PartFileSink::Open(bool truncate) {
  const int error =
      file_.Open(partPath_, resume_.ownPart ? LockedFile::Mode::kOpenExisting : LockedFile::Mode::kCreateNew);
  if (error != 0) return Fail(Outcome::kWriteFailed, error);
  result_.opened = true;
  if (truncate) {
    if (int e = file_.TruncateTo(0)) return Fail(Outcome::kWriteFailed, e);
    written_ = 0;
    return true;
  }
  // Continues after the bytes in hand; a part file shorter than that was changed by someone
  // else, and is not continued.
  const int64_t size = file_.Size();
  if (size < 0) return Fail(Outcome::kWriteFailed, EIO);
  if (size < offset_) return Fail(Outcome::kBadRange);
  if (int e = file_.TruncateTo(offset_)) return Fail(Outcome::kWriteFailed, e);
  written_ = offset_;
  return true;
}

bool PartFileSink::OnResponse(int32_t status, const std::vector<std::string>& headers) {
  result_.status = status;
  const int64_t length = HeaderLength(HeaderValue(headers, "content-length").value_or(""));
  std::string validator, ifRange;
  ReadValidators(headers, &validator, &ifRange);
  // Another version of the file than the one the part file holds.
  auto otherVersion = [&](int64_t total) {
    if (!resume_.validator.empty() && validator != resume_.validator) return true;
    return resume_.totalBytes >= 0 && total >= 0 && total != resume_.totalBytes;
  };
  if (status == 200) {
    result_.startedOver = offset_ > 0;
    if (!Open(true)) return false;
    inFile_.store(0, std::memory_order_relaxed);
    total_.store(length, std::memory_order_relaxed);  // this answer's own length, or none
  } else if (status == 206) {
    ContentRange range;
    std::optional<std::string_view> value = HeaderValue(headers, "content-range");
    if (!value || !ParseContentRange(*value, &range) || range.first != offset_)
      return Fail(Outcome::kBadRange);
    int64_t total = range.total >= 0 ? range.total : (length >= 0 ? offset_ + length : resume_.totalBytes);
    if (otherVersion(total)) return Fail(Outcome::kChanged);
    if (!Open(false)) return false;
    total_.store(total, std::memory_order_relaxed);
  } else if (status == 416 && offset_ > 0) {
    ContentRange range;
    std::optional<std::string_view> value = HeaderValue(headers, "content-range");
    if (value && ParseContentRange(*value, &range) && range.first < 0 && range.total == offset_) {
      if (otherVersion(range.total)) return Fail(Outcome::kChanged);
      total_.store(offset_, std::memory_order_relaxed);
      result_.outcome = Outcome::kAlreadyComplete;
      return false;  // nothing to take: the body is the server's explanation
    }
    return Fail(Outcome::kBadRange);
  } else {
    return Fail(Outcome::kRefusedStatus);
  }
  result_.validator = std::move(validator);
  result_.ifRange = std::move(ifRange);
  buffer_.reserve(kBufferBytes);
  result_.outcome = Outcome::kWritten;
  return true;
}

bool PartFileSink::OnBody(std::string_view bytes) {
  if (!file_.isOpen() || result_.outcome != Outcome::kWritten) return false;
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
  const int error = file_.Write(buffer_.data(), buffer_.size());
  if (error != 0) {
    // What reached the file before the failure is not known to the byte: the file says.
    const int64_t size = file_.Size();
    written_ = size >= 0 ? size : written_;
    inFile_.store(written_, std::memory_order_relaxed);
    buffer_.clear();
    return Fail(Outcome::kWriteFailed, error);
  }
  written_ += static_cast<int64_t>(buffer_.size());
  buffer_.clear();
  return true;
}

void PartFileSink::Finish() {
  if (!file_.isOpen()) return;
  // A failed write is the reason that counts: it is why the part file is shorter.
  if (!buffer_.empty()) Flush();
  const int error = file_.Close();
  if (error != 0 && result_.outcome == Outcome::kWritten) Fail(Outcome::kWriteFailed, error);
}

}  // namespace download
