// The receiving end of one download attempt: the final response's status and range decide
// whether its body goes into the part file (NAME.part) and where, and the body's pieces are
// written there as they arrive, never kept in memory beyond one write buffer.
//
// A 200 answer is written from the start of the part file (also when a range was asked for: the
// server does not continue, so the download starts over); a 206 answer continues only where the
// part file ends, and only when it names the version of the file the part file holds (the
// validator and the whole length kept from the first answer); a 416 answer to a range that
// starts at the end of the file means the file was complete already. Every other status is
// refused before any byte is taken, so an error page is never saved as the video.
//
// The part file is made new (never over an existing file) or, when it is the download's own,
// opened to continue; either way it is held exclusively until Finish (LockedFile), so that two
// writers never share it.
//
// Ownership: the sink owns the part file from the first accepted response until Finish. It is shared by the
// transfer (which calls it) and the download (which reads it). Thread contract: OnResponse, OnBody and Finish
// run on the transfer loop's thread, one at a time, Finish last. bytesInFile() and totalBytes() may be read
// from any thread meanwhile; result() only once Finish has run and its completion was handed to the reader's
// thread.
#ifndef DOWNLOAD_PART_FILE_SINK_H_
#define DOWNLOAD_PART_FILE_SINK_H_

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "download/file_system.h"
#include "platform/http/transfer_loop.h"

namespace download {

class PartFileSink : public platform::http::ResponseSink {
 public:
  enum class Outcome {
    kNoResponse,       // no final response reached the sink
    kWritten,          // the body was taken (complete or not: see the transfer's end)
    kAlreadyComplete,  // 416 to a range at the end of the part file: nothing was missing
    kRefusedStatus,    // a status that carries no file (redirect, 204, 4xx, 5xx...)
    kBadRange,         // 206 elsewhere than the end of the part file, or 416 to another range
    kChanged,          // a 206 or 416 of another version of the file (validator or whole length)
    kWriteFailed,      // the part file could not be opened or written: errorNumber says why
    kTooLong,          // more bytes than the response announced
  };
  struct Result {
    Outcome outcome = Outcome::kNoResponse;
    int32_t status = 0;
    int errorNumber = 0;       // errno of the failed open or write (EEXIST, EWOULDBLOCK: another writer's)
    bool startedOver = false;  // a range was asked for and the whole file came instead
    bool opened = false;       // the part file was opened (made, emptied or continued)
    std::string validator;     // the response's ETag (strong or weak), else its Last-Modified
    std::string ifRange;       // what a later If-Range may carry: a strong ETag, else Last-Modified
                               // when there is no ETag at all, else nothing
  };
  // What the download knows of the file it continues.
  struct Resume {
    int64_t offset = 0;       // bytes of the part file in hand, asked for with a Range from there
    bool ownPart = false;     // the part file is the download's own: opened, not made new
    std::string validator;    // the first answer's (Result::validator); empty when none
    int64_t totalBytes = -1;  // the first answer's whole length; -1 when unknown
  };

  PartFileSink(std::string partPath, Resume resume);
  ~PartFileSink() override;
  PartFileSink(const PartFileSink&) = delete;
  PartFileSink& operator=(const PartFileSink&) = delete;

  bool OnResponse(int32_t status, const std::vector<std::string>& headers) override;
  bool OnBody(std::string_view bytes) override;
  // Writes what is buffered and closes the file. Runs once the transfer has ended.
  void Finish();

  // Bytes of the file counted from its start, those still buffered included.
  int64_t bytesInFile() const { return inFile_.load(std::memory_order_relaxed); }
  // The length of the whole file once the response has told it, else -1.
  int64_t totalBytes() const { return total_.load(std::memory_order_relaxed); }
  const Result& result() const { return result_; }

  // The buffer is written out whenever it holds this much.
  static constexpr size_t kBufferBytes = 512 * 1024;

 private:
  bool Open(bool truncate);
  bool Flush();
  bool Fail(Outcome outcome, int errorNumber = 0);

  const std::string partPath_;
  const Resume resume_;
  const int64_t offset_;
  LockedFile file_;
  std::vector<char> buffer_;
  int64_t written_ = 0;  // bytes of the file on disk, from its start
  Result result_;
  std::atomic<int64_t> inFile_;
  std::atomic<int64_t> total_{-1};
};

}  // namespace download

#endif  // DOWNLOAD_PART_FILE_SINK_H_
