// A loopback server of files for download tests and benchmarks: each path serves a file of
// deterministic bytes (different per path) with Content-Length, an ETag and Range support (206
// with Content-Range, 416 past the end), or one of the faults downloads must survive: reset or
// stall at half the body, 404, ranges ignored, a body longer than its Content-Length, If-Range
// ignored, a Last-Modified date or a weak tag instead of an entity tag, no validator at all, no
// Content-Length (the body ends with the connection). Faults combine (`|`). Serving a path
// again with another version changes its bytes (and its validators). A stall lasts until
// Release(), the client going away or the server stopping. Every connection gets its own
// thread and is closed after one response.
//
// Ownership: the server owns its socket and threads; the destructor stops and joins them.
// Thread contract: Serve before the first request of a path; the rest from any thread.
#ifndef TESTS_SUPPORT_FILE_SERVER_H_
#define TESTS_SUPPORT_FILE_SERVER_H_

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/loopback_socket.h"

namespace testing_support {

class FileServer {
 public:
  enum Fault : unsigned {
    kNone = 0,
    kResetAtHalf = 1,
    kStallAtHalf = 2,
    kMissing = 4,
    kNoRanges = 8,
    kLonger = 16,
    kIgnoresIfRange = 32,
    kDateOnly = 64,  // Last-Modified, no ETag
    kWeakTag = 128,  // a weak ETag and Last-Modified
    kNoValidator = 256,
    kNoLength = 512,  // no Content-Length and no ranges: the body ends with the connection
  };
  friend Fault operator|(Fault a, Fault b) { return static_cast<Fault>(static_cast<unsigned>(a) | b); }
  static constexpr int64_t kLongerExtraBytes = 4096;
  struct Request {
    std::string path;
    std::string range;    // the Range header's value, empty when none
    std::string ifRange;  // the If-Range header's value, empty when none
    std::string head;     // the whole request head as received
  };

  FileServer() {
    listenFd_ = BindLoopback(&port_);
    // One pattern block for every file; a path's bytes start at their own place in it.
    pattern_.resize(kPeriod + kChunk);
    uint32_t x = 2463534242u;
    for (size_t i = 0; i < kPeriod; ++i) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      pattern_[i] = static_cast<char>(x);
    }
    // The block repeats: a piece that starts near its end reads on from its start.
    std::copy(pattern_.begin(), pattern_.begin() + kChunk, pattern_.begin() + kPeriod);
    thread_ = std::thread([this] { Run(); });
  }
  ~FileServer() {
    stop_ = true;
    Release();
    thread_.join();
    for (std::thread& t : workers_) t.join();
    close(listenFd_);
  }
  FileServer(const FileServer&) = delete;
  FileServer& operator=(const FileServer&) = delete;

  void Serve(const std::string& path, int64_t length, Fault fault = Fault::kNone, int version = 0) {
    std::lock_guard<std::mutex> lock(mu_);
    files_[path] =
        File{length, (Seed(path) + static_cast<uint64_t>(version) * 7919) % kPeriod, fault, version};
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // The bytes a path's file (the version served now) holds from `offset`.
  std::string Bytes(const std::string& path, int64_t offset, int64_t count) const {
    std::string out;
    out.reserve(static_cast<size_t>(count));
    uint64_t seed = Seed(path);
    {
      std::lock_guard<std::mutex> lock(mu_);
      auto it = files_.find(path);
      if (it != files_.end()) seed = it->second.seed;
    }
    while (count > 0) {
      const size_t at = static_cast<size_t>((static_cast<uint64_t>(offset) + seed) % kPeriod);
      const size_t n = static_cast<size_t>(std::min<int64_t>(count, kChunk));
      out.append(pattern_.data() + at, n);
      offset += static_cast<int64_t>(n);
      count -= static_cast<int64_t>(n);
    }
    return out;
  }
  // Lets every stalled response go on, now and from now on.
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      released_ = true;
    }
    releasedCv_.notify_all();
  }
  std::vector<Request> Requests() const {
    std::lock_guard<std::mutex> lock(mu_);
    return requests_;
  }
  // Responses being sent right now, and the most at once.
  int active() const { return active_; }
  int mostActive() const { return mostActive_; }

 private:
  static constexpr size_t kPeriod = 1048573;  // a prime: files of different paths never line up
  static constexpr int64_t kChunk = 256 * 1024;
  struct File {
    int64_t length = 0;
    uint64_t seed = 0;
    Fault fault = Fault::kNone;
    int version = 0;
  };

  static uint64_t Seed(const std::string& path) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : path) h = (h ^ c) * 1099511628211ull;
    return h % kPeriod;
  }

  void Run() {
    while (!stop_) {
      int fd = AcceptWithin(listenFd_, 20);
      if (fd < 0) continue;
      std::lock_guard<std::mutex> lock(mu_);
      workers_.emplace_back([this, fd] {
        Serve(fd);
        close(fd);
      });
    }
  }

  std::string ReadHead(int fd) { return ReadHeadUnlessStopped(fd, 250, stop_); }

  static std::string HeaderValue(const std::string& head, const std::string& lowerName) {
    size_t pos = 0;
    while ((pos = head.find("\r\n", pos)) != std::string::npos) {
      pos += 2;
      size_t colon = head.find(':', pos);
      size_t end = head.find("\r\n", pos);
      if (colon == std::string::npos || end == std::string::npos || colon > end) continue;
      std::string name = head.substr(pos, colon - pos);
      for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      if (name != lowerName) continue;
      size_t v = colon + 1;
      while (v < end && head[v] == ' ') ++v;
      return head.substr(v, end - v);
    }
    return std::string();
  }

  bool SendAll(int fd, const char* data, size_t size) { return SendAllUnlessStopped(fd, data, size, stop_); }
  bool SendAll(int fd, const std::string& s) { return SendAll(fd, s.data(), s.size()); }
  bool SendBody(int fd, const File& f, int64_t from, int64_t to) {
    while (from < to) {
      const size_t at = static_cast<size_t>((static_cast<uint64_t>(from) + f.seed) % kPeriod);
      const size_t n = static_cast<size_t>(std::min<int64_t>(to - from, kChunk));
      if (!SendAll(fd, pattern_.data() + at, n)) return false;
      from += static_cast<int64_t>(n);
    }
    return true;
  }
  // Holds the connection until Release(), the peer closing or the server stopping.
  void Stall(int fd) {
    std::unique_lock<std::mutex> lock(mu_);
    while (!released_ && !stop_) {
      releasedCv_.wait_for(lock, std::chrono::milliseconds(20));
      lock.unlock();
      pollfd p{fd, POLLIN, 0};
      char c;
      bool gone = poll(&p, 1, 0) > 0 && recv(fd, &c, 1, MSG_PEEK) <= 0;
      lock.lock();
      if (gone) return;
    }
  }

  void Serve(int fd) {
    std::string head = ReadHead(fd);
    size_t sp1 = head.find(' '), sp2 = sp1 == std::string::npos ? sp1 : head.find(' ', sp1 + 1);
    if (sp2 == std::string::npos) return;
    Request r{head.substr(sp1 + 1, sp2 - sp1 - 1), HeaderValue(head, "range"), HeaderValue(head, "if-range"),
              head};
    File f;
    bool known;
    {
      std::lock_guard<std::mutex> lock(mu_);
      requests_.push_back(r);
      auto it = files_.find(r.path);
      known = it != files_.end();
      if (known) f = it->second;
    }
    if (!known || (f.fault & kMissing)) {
      const std::string body = "<html><body>404 not found</body></html>";
      SendAll(fd, "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
      return;
    }
    int64_t from = -1;
    if (!(f.fault & (kNoRanges | kNoLength)) && r.range.rfind("bytes=", 0) == 0 && r.range.back() == '-') {
      from = std::stoll(r.range.substr(6));
    }
    std::string tag = "\"" + std::to_string(f.seed) + "-" + std::to_string(f.length) + "\"";
    const std::string date = "Thu, 01 Jan 2026 00:00:" + std::to_string(10 + f.version % 50) + " GMT";
    std::string validators;
    if (f.fault & kDateOnly) {
      validators = "Last-Modified: " + date + "\r\n";
      tag = date;
    } else if (f.fault & kWeakTag) {
      validators = "ETag: W/" + tag + "\r\nLast-Modified: " + date + "\r\n";
    } else if (!(f.fault & (kNoValidator | kNoRanges | kNoLength))) {
      validators = "ETag: " + tag + "\r\n";
    }
    // Changed since: the whole file, unless the server ignores If-Range.
    if (from >= 0 && !r.ifRange.empty() && r.ifRange != tag && !(f.fault & kIgnoresIfRange)) from = -1;
    if (from >= f.length) {
      SendAll(fd, "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + std::to_string(f.length) +
                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      return;
    }
    const int64_t start = from < 0 ? 0 : from;
    std::string out = from < 0 ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 206 Partial Content\r\n";
    out += "Content-Type: video/mp4\r\n";
    if (!(f.fault & kNoLength)) out += "Content-Length: " + std::to_string(f.length - start) + "\r\n";
    if (from >= 0) {
      out += "Content-Range: bytes " + std::to_string(start) + "-" + std::to_string(f.length - 1) + "/" +
             std::to_string(f.length) + "\r\n";
    }
    if (!(f.fault & (kNoRanges | kNoLength))) out += "Accept-Ranges: bytes\r\n" + validators;
    out += "Connection: close\r\n\r\n";
    int now = ++active_;
    for (int most = mostActive_; now > most && !mostActive_.compare_exchange_weak(most, now);) {
    }
    const int64_t half = f.length / 2;
    if (SendAll(fd, out.data(), out.size())) {
      if ((f.fault & (kResetAtHalf | kStallAtHalf)) && start < half) {
        if (SendBody(fd, f, start, half)) {
          if (f.fault & kResetAtHalf) {
            // A reset drops what the socket still holds: the client first gets the half.
            for (int i = 0; i < 200 && !stop_; ++i) {
              int queued = 0;
              if (ioctl(fd, SIOCOUTQ, &queued) != 0 || queued == 0) break;
              std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            linger l{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
          } else {
            Stall(fd);
            bool released;
            {
              std::lock_guard<std::mutex> lock(mu_);
              released = released_;
            }
            if (released) SendBody(fd, f, half, f.length);
          }
        }
      } else {
        int64_t end = f.length + ((f.fault & kLonger) ? kLongerExtraBytes : 0);
        SendBody(fd, f, start, std::min<int64_t>(end, f.length));
        if (end > f.length) SendAll(fd, pattern_.data(), static_cast<size_t>(end - f.length));
      }
    }
    --active_;
  }

  int listenFd_ = -1;
  int port_ = 0;
  std::vector<char> pattern_;
  mutable std::mutex mu_;
  std::condition_variable releasedCv_;
  bool released_ = false;
  std::map<std::string, File> files_;
  std::vector<Request> requests_;
  std::vector<std::thread> workers_;
  std::atomic<bool> stop_{false};
  std::atomic<int> active_{0};
  std::atomic<int> mostActive_{0};
  std::thread thread_;
};

}  // namespace testing_support

#endif  // TESTS_SUPPORT_FILE_SERVER_H_
