// Shared pieces of the fuzz targets: a failed invariant aborts with its name, and texts are
// kept in blocks of exactly their length plus the zero, so a read past the zero is caught.
#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace fuzz_support {

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// A zero-terminated text (the bytes up to their first zero) in a heap block of exactly its
// length plus one.
class ExactText {
 public:
  explicit ExactText(const std::string& bytes) : n_(std::strlen(bytes.c_str())) {
    p_ = std::make_unique<char[]>(n_ + 1);
    std::memcpy(p_.get(), bytes.data(), n_);
    p_[n_] = '\0';
  }
  const char* c_str() const { return p_.get(); }
  std::string str() const { return std::string(p_.get(), n_); }

 private:
  size_t n_;
  std::unique_ptr<char[]> p_;
};

}  // namespace fuzz_support

#endif  // FUZZ_FUZZ_SUPPORT_H_
