// The process-wide transfer loop: one libcurl multi handle, run by one worker thread, on which
// every HTTP transfer of the program runs side by side; and Transfer, the state that one
// transfer shares between the thread that started it and the loop.
//
// The loop keeps the connection cache (at most kMaxConnectionsPerHost connections to one host,
// HTTP/1.1, reused across transfers and request objects), enforces the phase time-outs that
// libcurl has no option for (send and receive: time without progress), and tells the starter
// when a transfer has ended: Transfer::Wait on any thread, a wake-up of the GUI thread's event
// loop, and an optional callback on the worker thread.
//
// Ownership: a Transfer is shared (std::shared_ptr) by its starter and, while it runs, by the
// loop; it owns its header lists, request body and address, and shares its easy handle (see
// EasyHandle). The loop is a process-wide object that ends at exit: it aborts what still runs
// and joins its thread.
// Thread contract: Start, Cancel and Shutdown may be called from any thread. A Transfer is
// configured by its starter before Start and read by it after it has ended (Ended() true);
// in between only the loop touches it, except the thread-safe members marked so.
#ifndef PLATFORM_HTTP_TRANSFER_LOOP_H_
#define PLATFORM_HTTP_TRANSFER_LOOP_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/http/request_failure.h"
#include "platform/http/response_sink.h"

typedef void CURL;
struct curl_slist;

namespace platform::http {

inline constexpr long kMaxConnectionsPerHost = 6;

// How a transfer ended.
enum class TransferEnd {
  kRunning,   // not ended yet
  kComplete,  // a response arrived in full (any status)
  kFailed,    // no complete response: connection, TLS, protocol, a phase time-out
  kAborted,   // cancelled by its starter or by the program's end
};

// A libcurl easy handle from the process-wide pool, set up with the options every transfer
// shares (protocols, HTTP/1.1, the redirect limit, the DNS and TLS session cache, a cookie
// store of its own). It goes back to the pool, its cookies erased, when its last owner lets go:
// a request engine keeps one for its cookie state, and each of its transfers shares it while it
// runs, so that an engine destroyed mid-transfer never frees a handle the loop still uses.
class EasyHandle {
 public:
  static std::shared_ptr<EasyHandle> Acquire();
  ~EasyHandle();
  EasyHandle(const EasyHandle&) = delete;
  EasyHandle& operator=(const EasyHandle&) = delete;
  CURL* get() const { return curl_; }

 private:
  explicit EasyHandle(CURL* curl) : curl_(curl) {}
  CURL* curl_;
};

class Transfer {
 public:
  using Clock = std::chrono::steady_clock;

  // A transfer on `handle`, its callbacks pointed at this object.
  // REQUIRES: no other transfer on the handle is running.
  explicit Transfer(std::shared_ptr<EasyHandle> handle);
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // ---- Set by the starter before Start. The transfer keeps what it is given alive. ---------
  CURL* handle() const { return handle_->get(); }
  // Header lists the handle points at (CURLOPT_HTTPHEADER, CURLOPT_PROXYHEADER): owned here.
  curl_slist** siteHeaders() { return &siteHeaders_; }
  curl_slist** proxyHeaders() { return &proxyHeaders_; }
  // The request body; the handle is pointed at it by the starter.
  std::string& requestBody() { return requestBody_; }
  // The parsed address handed to the handle (CURLOPT_CURLU): owned here from now on.
  void AdoptAddress(void* parsedAddress);
  void* address() const { return address_; }
  // Time-outs without progress while the body goes out or the response comes in (ms, 0 or
  // less: none). The connect phase is bounded by the handle's own option.
  void SetPhaseTimeouts(int32_t sendMs, int32_t receiveMs) {
    sendMs_ = sendMs;
    receiveMs_ = receiveMs;
  }
  // Whether the handle follows redirects: a followed redirect starts a new hop, whose
  // connection is again bounded by the connect time-out, not by the receive time-out.
  void SetFollowsRedirects(bool follow) { followsRedirects_ = follow; }
  // Whether the transfer goes through a proxy: a connection that cannot be made is the
  // proxy's failure then.
  void SetThroughProxy(bool through) { throughProxy_ = through; }
  // Runs on the loop's thread once the transfer has ended, after waiters were released.
  void SetOnEnded(std::function<void()> onEnded) { onEnded_ = std::move(onEnded); }
  // Hands the final response to `sink` instead of keeping it (body() stays empty).
  void SetResponseSink(std::shared_ptr<ResponseSink> sink) { sink_ = std::move(sink); }

  // ---- Thread-safe. -----------------------------------------------------------------------
  bool Ended() const { return end_.load(std::memory_order_acquire) != TransferEnd::kRunning; }
  TransferEnd end() const { return end_.load(std::memory_order_acquire); }
  // Waits without handling events until the transfer has ended or `timeoutMs` have passed
  // (negative: no limit); returns Ended().
  bool Wait(int timeoutMs) const;
  // Body bytes received so far (of the final response).
  int64_t receivedBytes() const { return received_.load(std::memory_order_relaxed); }
  // The final response's Content-Length; -1 before its headers or without one.
  int64_t expectedBytes() const { return expected_.load(std::memory_order_relaxed); }

  // ---- Read by the starter once Ended(). ---------------------------------------------------
  int32_t status() const { return status_; }
  const std::string& statusText() const { return statusText_; }
  // The final response's header lines, status line excluded.
  std::vector<std::string>& responseHeaders() { return responseHeaders_; }
  std::string& body() { return body_; }
  // The transfer library's message for a failure.
  const std::string& error() const { return error_; }
  // What ended a transfer without a response (kNone for a complete one).
  RequestFailure failure() const { return failure_; }
  // The address of the final response, after the redirects followed.
  const std::string& effectiveUrl() const { return effectiveUrl_; }

 private:
  friend class TransferLoop;

  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static int OnConnected(void* self, char*, char*, int, int);
  static int OnProgress(void* self, int64_t, int64_t dlnow, int64_t ultotal, int64_t ulnow);

  // The loop's side: whether a transfer that ended with `code` goes once more, on a connection of
  // its own (and gets ready for it).
  bool RetryOnAFreshConnection(int code);
  // The deadline of the running phase, or Clock::time_point::max().
  Clock::time_point PhaseDeadline() const;
  // Records the result, unhooks the handle from this object and releases waiters (once).
  // `wake`: also wake the GUI thread's event loop (not while the process ends).
  void End(TransferEnd how, std::string error, bool wake);

  std::shared_ptr<EasyHandle> handle_;
  curl_slist* siteHeaders_ = nullptr;
  curl_slist* proxyHeaders_ = nullptr;
  std::string requestBody_;
  void* address_ = nullptr;
  int32_t sendMs_ = 0;
  int32_t receiveMs_ = 0;
  bool followsRedirects_ = true;
  bool throughProxy_ = false;
  std::function<void()> onEnded_;
  std::shared_ptr<ResponseSink> sink_;
  char errors_[256] = {};  // CURL_ERROR_SIZE

  // Written on the loop's thread while the transfer runs.
  bool connected_ = false;  // the current hop's connection is ready
  Clock::time_point lastMove_;
  int64_t lastDown_ = 0, lastUp_ = 0;
  bool sending_ = false;
  int32_t hopStatus_ = 0;  // status of the response whose header lines are arriving
  bool final_ = false;     // the final response's header block is complete
  bool sinkRefused_ = false;
  bool retriedFresh_ = false;
  int32_t status_ = 0;
  std::string statusText_;
  std::vector<std::string> responseHeaders_;
  std::string body_;
  std::string error_;
  RequestFailure failure_ = RequestFailure::kNone;  // set by the loop before End, or by End
  std::string effectiveUrl_;
  std::atomic<int64_t> received_{0};
  std::atomic<int64_t> expected_{-1};

  mutable std::mutex mutex_;
  mutable std::condition_variable ended_;
  std::atomic<TransferEnd> end_{TransferEnd::kRunning};
};

class TransferLoop {
 public:
  // The process's loop, started on first use.
  static TransferLoop& Get();

  // Runs the configured transfer. After the program's end has begun (Shutdown), the transfer
  // ends at once as aborted.
  void Start(std::shared_ptr<Transfer> transfer);
  // Aborts a transfer that has not ended: it ends as aborted soon after, on the loop's thread,
  // and its connection is closed. A transfer that has ended already keeps its result.
  void Cancel(const std::shared_ptr<Transfer>& transfer);
  // Aborts everything and stops the worker thread; later Starts end at once. Also run at exit.
  void Shutdown();
  // Transfers started and not yet ended, for tests.
  size_t RunningCountForTesting();

  TransferLoop(const TransferLoop&) = delete;
  TransferLoop& operator=(const TransferLoop&) = delete;

 private:
  TransferLoop();
  ~TransferLoop();
  void Run();

  struct Command;
  std::mutex mutex_;
  std::vector<Command> commands_;  // taken by the worker on each round
  bool stopping_ = false;
  size_t running_ = 0;  // guarded by mutex_
  void* multi_ = nullptr;
  std::unique_ptr<std::thread> thread_;
};

}  // namespace platform::http

#endif  // PLATFORM_HTTP_TRANSFER_LOOP_H_
