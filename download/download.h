// One download: a GET of an address with the program's request lines, streamed into NAME.part
// beside its target and renamed to NAME once complete, with its state and the commands that
// move it.
//
// Each attempt is a new request on the process-wide transfer loop; its body goes to the part
// file on the loop's thread (PartFileSink) and its end comes back to the GUI thread as a posted
// task, so the GUI thread never writes the file nor waits for the transfer. A retry or a resume
// continues the part file this download made, asking for the rest with a Range header (tied to
// the first answer's strong validator with If-Range); an answer that names another version of
// the file (validator or whole length) starts it over, and so does a server that answers the
// whole file. The part file is renamed only when the transfer completed and its length is the
// one this attempt's response announced (or, without one, at the end of the body).
//
// Nothing the user has is lost: an existing NAME is replaced only when `replace` was given or
// the user asks for it after the fact (ReplaceNow); a part file this download did not write
// stops it before any request (kPartFound) until the user continues or starts it over; cancel
// removes only an incomplete part file of its own.
//
// Texts (reasons) are in the program's code page; paths are the file system's bytes.
//
// Ownership: a Download owns its request engine and shares the attempt's sink with the
// transfer. Destroying it aborts a running attempt; the part file stays on disk.
// Thread contract: GUI thread only; the loop's thread reaches it only through posted tasks that
// are dropped once it is gone.
#ifndef DOWNLOAD_DOWNLOAD_H_
#define DOWNLOAD_DOWNLOAD_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::http {
class HttpEngine;
}

namespace download {

class PartFileSink;

// What the program asks to fetch, in the program's code page: the address and the header lines
// its requests carry (name and value, in sending order), the certificate-error mask and the
// time-out of each phase.
struct DownloadOrder {
  std::string address;
  std::vector<std::pair<std::string, std::string>> headers;
  uint32_t certificateErrorMask = 0;
  int32_t phaseTimeoutMs = 15000;
};

// Whether an address (program text) is an http or https one; others are never requested.
bool IsHttpAddress(std::string_view address);

class Download {
 public:
  enum class State {
    kWaiting,
    kRunning,
    kPaused,
    kDone,
    kFailed,
    kCancelled,
    kNotReplaced,  // complete, but NAME existed and was not to be replaced: the file is NAME.part
    kPartFound,    // NAME.part was there before this download: continue it or start over?
  };
  // Why a download failed.
  enum class Failure {
    kNone,
    kAddress,     // not an http or https address, or not a well-formed one: never requested
    kStatus,      // the server answered with a status that carries no file
    kNetwork,     // no complete response: refused, reset, cut off
    kTimeout,     // a phase passed its time-out without progress
    kWrite,       // the part file could not be made or written (full disk, no permission)
    kIncomplete,  // the transfer ended short of the announced length, or went past it
    kRange,       // the server cannot continue the part file
    kPartInUse,   // another writer (download or program) holds the part file
    kTaken,       // another download of the list has taken the target since
  };

  // `path`: the target NAME; the part file is `path` + ".part".
  Download(DownloadOrder order, std::string path, bool replace);
  ~Download();
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  const DownloadOrder& order() const { return order_; }
  const std::string& path() const { return path_; }
  std::string partPath() const { return path_ + ".part"; }
  std::string fileName() const;
  std::string folder() const;
  State state() const { return state_; }
  Failure failure() const { return failure_; }
  // A failure's reason as the downloads window shows it; empty otherwise.
  const std::string& reason() const { return reason_; }
  // Bytes of the file in hand, and its whole length (-1 while unknown).
  int64_t bytesDone() const;
  int64_t totalBytes() const;
  // A stopped attempt has not yet let go of the part file; the download waits for it before
  // it starts again.
  bool ending() const { return ending_; }
  // Whether the download holds a transfer slot: running, or a stopped attempt still ending.
  bool occupiesSlot() const { return state_ == State::kRunning || ending_; }
  // Whether the download still claims its target: anything but done and cancelled, as long as
  // no other download has taken the target.
  bool holdsTarget() const;

  // Called after every change of the state, the reason or ending().
  void SetOnChanged(std::function<void()> onChanged) { onChanged_ = std::move(onChanged); }

  // Starts an attempt. REQUIRES: state() is kWaiting and !ending() (the manager's call).
  void Start();
  // Running or waiting: paused (the part file is kept). Otherwise nothing.
  void Pause();
  // Paused: waiting again.
  void Resume();
  // Anything but done: cancelled. Its own part file is removed unless it is complete; a part
  // file found from before stays.
  void Cancel();
  // Failed or cancelled: waiting again; a kept part file is continued. Refused (failed,
  // kTaken) when another download has taken the target.
  void Retry();
  // kPartFound: waiting again, to continue the part file found (from its end, with no
  // validator to check it against) or to start over (the part file is removed first).
  void ContinueFoundPart();
  void StartOverFoundPart();
  // kNotReplaced: NAME is replaced by the complete part file (the user has agreed).
  void ReplaceNow();
  // The manager's: another download has taken the target, so this one never writes it again.
  void LoseTarget() { ownsTarget_ = false; }

 private:
  struct Token;
  void AttemptEnded(uint64_t attempt);
  void Complete();
  void Fail(Failure failure, std::string reason);
  void RemovePartFile();
  bool PartComplete() const;
  void Changed();

  DownloadOrder order_;
  std::string path_;
  bool replace_;
  State state_ = State::kWaiting;
  Failure failure_ = Failure::kNone;
  std::string reason_;
  std::function<void()> onChanged_;
  std::unique_ptr<platform::http::HttpEngine> engine_;
  std::shared_ptr<PartFileSink> sink_;
  std::shared_ptr<Token> token_;  // posted completions find the download through it
  uint64_t attempt_ = 0;
  enum class StopIntent { kNone, kPause, kCancel } stop_ = StopIntent::kNone;
  bool ending_ = false;
  bool partInHand_ = false;  // this download made (or adopted) the part file: a new attempt continues it
  bool adoptFound_ = false;  // the user chose to continue a part file found from before
  bool startedOverOnce_ = false;
  bool ownsTarget_ = true;
  std::string validator_;  // the first answer's entity tag, else its date: what a 206 must repeat
  std::string ifRange_;    // what If-Range may carry: a strong tag, else the date when there is no tag
  int64_t bytesDone_ = 0;
  int64_t totalBytes_ = -1;
};

}  // namespace download

#endif  // DOWNLOAD_DOWNLOAD_H_
