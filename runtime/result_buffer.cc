#include "runtime/result_buffer.h"

#include <algorithm>

#include "runtime/values.h"

namespace rt {

ResultBuffer::~ResultBuffer() { MemFree(data_); }

void ResultBuffer::MoveTo(uint64_t blockSize) {
  // MemAlloc reports an impossible size (beyond what a value can describe) as heap exhaustion.
  auto* block = static_cast<unsigned char*>(MemAlloc(blockSize));
  if (size_ > 0) std::memcpy(block, data_, std::min<uint64_t>(size_, blockSize));
  MemFree(data_);
  data_ = block;
  capacity_ = static_cast<size_t>(blockSize);
}

void ResultBuffer::Reserve(uint64_t n) {
  if (n > capacity_) MoveTo(n + kSlack);
}

void ResultBuffer::Resize(uint64_t n) {
  if (!(n <= capacity_ && capacity_ - n <= kMaxUnused)) MoveTo(n + kSlack);
  size_ = static_cast<size_t>(n);
}

void ResultBuffer::Grow(uint64_t needed) {
  MoveTo(std::max<uint64_t>(needed, 2 * static_cast<uint64_t>(capacity_)) + kSlack);
}

void ResultBuffer::AppendFill(unsigned char b, uint64_t n) {
  if (n == 0) return;
  if (capacity_ - size_ < n) Grow(static_cast<uint64_t>(size_) + n);
  std::memset(data_ + size_, b, static_cast<size_t>(n));
  size_ += static_cast<size_t>(n);
}

char* ResultBuffer::TakeText() {
  if (size_ == 0) return nullptr;
  // The finished text stays in the buffer's own block, given its zero and trimmed when much
  // is unused: no second block of the same size, and no copy.
  if (capacity_ == size_) MoveTo(static_cast<uint64_t>(size_) + 1);
  data_[size_] = 0;
  void* block = data_;
  if (capacity_ - size_ - 1 > kMaxUnused) block = MemRealloc(data_, static_cast<uint64_t>(size_) + 1);
  data_ = nullptr;
  size_ = capacity_ = 0;
  return static_cast<char*>(block);
}

unsigned char* ResultBuffer::TakeByteSet() const { return NewByteSet(data_, size_); }

}  // namespace rt
