// The demo CDN's downloadable files: their lengths, bytes and faults, all computed from the path
// (never stored whole), and the reading of a Range header against a file's length.
//
// A DemoFile is a small value; its functions are pure and may run on any number of threads.
#ifndef DEMO_DEMO_FILES_H_
#define DEMO_DEMO_FILES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace demo {

// How a file's address misbehaves. The reset, stall and longer faults strike a full GET (no
// Range); a Range request to them is answered as for an ordinary file, so that a download that
// broke resumes and completes.
enum class FileFault {
  kNone,
  kReset,           // the connection is closed after half the body
  kStall,           // no byte after half the body; the connection is held until the client leaves
  kNotFound,        // listed in a playlist, answers 404
  kNoRanges,        // ignores Range: always 200 and the whole file, "Accept-Ranges: none"
  kLongerThanSaid,  // sends kLongerExtraBytes more than its Content-Length, then closes
};

// Fault addresses on the CDN host (app::kCdnBase), listed by the download-faults page.
inline constexpr char kResetFileAddress[] = "https://vdn.vzuu.com/hd/fault-reset-a7c3e9.mp4";
inline constexpr char kStallFileAddress[] = "https://vdn.vzuu.com/hd/fault-stall-a7c3e9.mp4";
inline constexpr char kMissingFileAddress[] = "https://vdn.vzuu.com/hd/fault-missing-a7c3e9.mp4";
inline constexpr char kNoRangesFileAddress[] = "https://vdn.vzuu.com/hd/fault-no-ranges-a7c3e9.mp4";
inline constexpr char kLongerFileAddress[] = "https://vdn.vzuu.com/hd/fault-longer-a7c3e9.mp4";
// Bytes the longer file sends beyond its announced length (they continue the same sequence).
inline constexpr std::size_t kLongerExtraBytes = 4096;
// Every file is at least this long and shorter than kMinFileLength + kFileLengthSpread.
inline constexpr uint64_t kMinFileLength = 2 * 1024 * 1024;
inline constexpr uint64_t kFileLengthSpread = 4 * 1024 * 1024;

struct DemoFile {
  std::string path;     // origin-form path on the CDN host, query excluded
  uint64_t length = 0;  // the length a full answer announces
  FileFault fault = FileFault::kNone;

  // `count` bytes of the file from `offset`; offsets past `length` continue the sequence (what
  // the longer file sends beyond its length).
  std::string Bytes(uint64_t offset, uint64_t count) const;
  void Fill(uint64_t offset, char* out, std::size_t count) const;
  // The whole file as a download must save it: Bytes(0, length).
  std::string Expected() const { return Bytes(0, length); }
};

// 64-bit FNV-1a of a text: the demo's seeds for the bytes of a file and the shapes of a cover.
uint64_t Fnv1a(std::string_view text);

// The file served at `path` (query excluded): its length (2 to 6 MB) and bytes follow from a hash
// of the path, so different addresses serve different files.
DemoFile MakeFile(std::string_view path, FileFault fault = FileFault::kNone);

// What a Range header asks of a file of `length` bytes (one range of the bytes unit; the
// library's answer to several ranges is not needed here).
struct RangeRequest {
  enum Kind {
    kWhole,          // no Range, a unit other than bytes, or several ranges: a 200 with everything
    kPart,           // bytes first..last (inclusive), clamped to the file: a 206
    kUnsatisfiable,  // starts at or past the end, or an empty suffix: a 416
  } kind = kWhole;
  uint64_t first = 0;
  uint64_t last = 0;
};
// Reads "bytes=a-b", "bytes=a-" and "bytes=-n". A header that is not of these forms asks for the
// whole file.
RangeRequest ReadRange(std::string_view header, uint64_t length);

}  // namespace demo

#endif  // DEMO_DEMO_FILES_H_
