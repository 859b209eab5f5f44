// Little-endian readers and writers for the window data and the controls' type data. The
// reader never reads past the bytes it was given: every read reports failure instead.
//
// Ownership: a ByteReader borrows its bytes; a ByteWriter owns the bytes it builds.
// Thread contract: none (plain values).
#ifndef UI_BYTE_IO_H_
#define UI_BYTE_IO_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class ByteReader {
 public:
  ByteReader(const unsigned char* data, size_t length) : data_(data), length_(data ? length : 0) {}
  explicit ByteReader(std::string_view bytes)
      : ByteReader(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) {}

  size_t position() const { return pos_; }
  size_t remaining() const { return length_ - pos_; }
  bool atEnd() const { return pos_ == length_; }

  bool ReadU32(uint32_t* v) {
    if (remaining() < 4) return false;
    *v = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
         static_cast<uint32_t>(data_[pos_ + 2]) << 16 | static_cast<uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return true;
  }
  bool ReadI32(int32_t* v) {
    uint32_t u;
    if (!ReadU32(&u)) return false;
    *v = static_cast<int32_t>(u);
    return true;
  }
  // n bytes as they stand.
  bool ReadBytes(size_t n, std::string* out) {
    if (remaining() < n) return false;
    if (n == 0) {
      out->clear();
      return true;
    }
    out->assign(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return true;
  }
  // A zero-terminated text; fails when no zero byte follows within the data.
  bool ReadText(std::string* out) {
    if (remaining() == 0) return false;
    const void* zero = std::memchr(data_ + pos_, 0, remaining());
    if (zero == nullptr) return false;
    size_t n = static_cast<size_t>(static_cast<const unsigned char*>(zero) - (data_ + pos_));
    out->assign(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n + 1;
    return true;
  }
  // A 32-bit count that must be non-negative and describe at most `remaining() / unit`
  // entries, so that a damaged count never makes the caller allocate or loop for nothing.
  bool ReadCount(size_t unit, uint32_t* count) {
    int32_t v;
    if (!ReadI32(&v) || v < 0) return false;
    if (unit != 0 && static_cast<uint64_t>(v) * unit > remaining()) return false;
    *count = static_cast<uint32_t>(v);
    return true;
  }
  // Moves to an absolute position within the data.
  bool Seek(size_t pos) {
    if (pos > length_) return false;
    pos_ = pos;
    return true;
  }

 private:
  const unsigned char* data_;
  size_t length_;
  size_t pos_ = 0;
};

class ByteWriter {
 public:
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<unsigned char>(v >> (8 * i)));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Bytes(std::string_view b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
  // The text and its terminating zero. REQUIRES: no zero byte inside `t`.
  void Text(std::string_view t) {
    Bytes(t);
    bytes_.push_back(0);
  }
  // Overwrites 4 bytes at `pos` (for lengths known only later).
  void PatchU32(size_t pos, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[pos + i] = static_cast<unsigned char>(v >> (8 * i));
  }
  size_t size() const { return bytes_.size(); }
  const std::vector<unsigned char>& bytes() const { return bytes_; }
  std::vector<unsigned char> Take() { return std::move(bytes_); }
  std::string str() const { return std::string(bytes_.begin(), bytes_.end()); }

 private:
  std::vector<unsigned char> bytes_;
};

}  // namespace ui

#endif  // UI_BYTE_IO_H_
