// One download: a GET of an address with the program's request lines, streamed into NAME.part
// beside its target and renamed to NAME once complete, with its state (waiting, running,
// paused, done, failed with a reason, cancelled) and the commands that move it.
//
// Each attempt is a new request on the process-wide transfer loop; its body goes to the part
// file on the loop's thread (PartFileSink) and its end comes back to the GUI thread as a posted
// task, so the GUI thread never writes the file nor waits for the transfer. A retry or a resume
// continues the part file this download made, asking for the rest with a Range header (tied to
// the first answer's validator with If-Range); a server that answers the whole file instead
// starts it over. The part file is renamed only when the transfer completed and its length is
// the one the response announced; an existing NAME is replaced only when `replace` was given.
//
// Ownership: a Download owns its request engine and shares the attempt's sink with the
// transfer. Destroying it aborts a running attempt; the part file stays on disk.
// Thread contract: GUI thread only; the loop's thread reaches it only through posted tasks that
// are dropped once it is gone.
#ifndef DOWNLOAD_DOWNLOAD_H_
#define DOWNLOAD_DOWNLOAD_H_

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
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

class Download : public QObject {
  Q_OBJECT

 public:
  enum class State { kWaiting, kRunning, kPaused, kDone, kFailed, kCancelled };
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
    kExists,      // NAME appeared meanwhile and was not to be replaced
  };

  // `path`: the target NAME; the part file is `path` + ".part".
  Download(DownloadOrder order, QString path, bool replace, QObject* parent = nullptr);
  ~Download() override;

  const DownloadOrder& order() const { return order_; }
  const QString& path() const { return path_; }
  QString partPath() const { return path_ + QStringLiteral(".part"); }
  QString fileName() const;
  QString folder() const;
  State state() const { return state_; }
  Failure failure() const { return failure_; }
  // A failure's reason as the downloads window shows it; empty otherwise.
  const QString& reason() const { return reason_; }
  // Bytes of the file in hand, and its whole length (-1 while unknown).
  int64_t bytesDone() const;
  int64_t totalBytes() const;
  // A stopped attempt has not yet let go of the part file; the download waits for it before
  // it starts again.
  bool ending() const { return ending_; }
  // Whether the download holds a transfer slot: running, or a stopped attempt still ending.
  bool occupiesSlot() const { return state_ == State::kRunning || ending_; }

  // Starts an attempt. REQUIRES: state() is kWaiting and !ending() (the manager's call).
  void Start();
  // Running or waiting: paused (the part file is kept). Otherwise nothing.
  void Pause();
  // Paused: waiting again.
  void Resume();
  // Anything but done: cancelled, the part file removed.
  void Cancel();
  // Failed or cancelled: waiting again; a kept part file is continued.
  void Retry();

 signals:
  // The state, the reason or ending() changed.
  void changed();

 private:
  struct Token;
  void AttemptEnded(uint64_t attempt);
  void Complete();
  void Fail(Failure failure, const QString& reason);
  void RemovePartFile();
  std::string NativePath(const QString& path) const;

  DownloadOrder order_;
  QString path_;
  bool replace_;
  State state_ = State::kWaiting;
  Failure failure_ = Failure::kNone;
  QString reason_;
  std::unique_ptr<platform::http::HttpEngine> engine_;
  std::shared_ptr<PartFileSink> sink_;
  std::shared_ptr<Token> token_;  // posted completions find the download through it
  uint64_t attempt_ = 0;
  enum class StopIntent { kNone, kPause, kCancel } stop_ = StopIntent::kNone;
  bool ending_ = false;
  bool partInHand_ = false;  // this download made the part file, so a new attempt continues it
  bool startedOverOnce_ = false;
  std::string validator_;
  int64_t bytesDone_ = 0;
  int64_t totalBytes_ = -1;
};

}  // namespace download

#endif  // DOWNLOAD_DOWNLOAD_H_
