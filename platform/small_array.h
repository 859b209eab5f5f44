// SmallArray: the elements of one call (its arguments and what goes with them), kept inside
// their owner for the usual few and on the heap beyond that, so that a call with few arguments
// allocates nothing.
//
// Ownership: owns its elements. Not copyable or movable, so pointers into it stay valid.
// Thread contract: none; used by its owner's thread.
#ifndef PLATFORM_SMALL_ARRAY_H_
#define PLATFORM_SMALL_ARRAY_H_

#include <cstddef>
#include <memory>

namespace platform {

template <typename T, size_t N>
class SmallArray {
 public:
  SmallArray() = default;
  SmallArray(const SmallArray&) = delete;
  SmallArray& operator=(const SmallArray&) = delete;

  // n value-initialised elements (all bits zero for plain records) in place of the earlier ones.
  void Reset(size_t n) {
    if (n <= N) {
      heap_.reset();
      data_ = inline_;
    } else {
      heap_ = std::make_unique<T[]>(n);
      data_ = heap_.get();
    }
    size_ = n;
    for (size_t i = 0; i < n; ++i) data_[i] = T{};
  }

  size_t size() const { return size_; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }

 private:
  T inline_[N];
  std::unique_ptr<T[]> heap_;
  T* data_ = inline_;
  size_t size_ = 0;
};

}  // namespace platform

#endif  // PLATFORM_SMALL_ARRAY_H_
