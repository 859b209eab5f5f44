// The private growable buffer in which a kernel command builds its result before copying the
// finished bytes into a value block (a text result takes over the buffer's own block).
//
// Growth rule: a block taken from the heap is 128 bytes larger than requested. Resize keeps the
// current block when the new size fits and at most 256 bytes would stay unused; otherwise the
// contents move to a new block of the new size plus 128. Appending beyond the capacity asks
// for at least twice the current capacity, so a result built piece by piece costs a bounded
// number of copies per byte (linear in its length).
// Ownership: the buffer owns its block and releases it when destroyed; TakeText and TakeByteSet hand
// out value blocks owned by the caller. Thread contract: one thread; no sharing.
#ifndef RUNTIME_RESULT_BUFFER_H_
#define RUNTIME_RESULT_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace rt {

class ResultBuffer {
 public:
  static constexpr size_t kSlack = 128;
  static constexpr size_t kMaxUnused = 256;

  ResultBuffer() = default;
  explicit ResultBuffer(size_t reserve) { Reserve(reserve); }
  ~ResultBuffer();
  ResultBuffer(const ResultBuffer&) = delete;
  ResultBuffer& operator=(const ResultBuffer&) = delete;

  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  const unsigned char* data() const { return data_; }
  unsigned char* data() { return data_; }

  // Sets the size by the growth rule; bytes beyond the old size are unspecified.
  void Resize(uint64_t n);
  // Makes room for n bytes without changing the size (a resize request for n).
  void Reserve(uint64_t n);
  void Append(const void* bytes, size_t n) {
    if (n == 0) return;
    if (capacity_ - size_ < n) Grow(static_cast<uint64_t>(size_) + n);
    std::memcpy(data_ + size_, bytes, n);
    size_ += n;
  }
  void AppendByte(unsigned char b) {
    if (size_ == capacity_) Grow(static_cast<uint64_t>(size_) + 1);
    data_[size_++] = b;
  }
  // Appends n copies of the byte.
  void AppendFill(unsigned char b, uint64_t n);

  // Hands the contents over as a text block the caller owns (null when empty) and leaves the
  // buffer empty.
  char* TakeText();
  // A new byte-set block holding the contents (null when empty).
  unsigned char* TakeByteSet() const;

 private:
  void Grow(uint64_t needed);
  void MoveTo(uint64_t blockSize);

  unsigned char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace rt

#endif  // RUNTIME_RESULT_BUFFER_H_
