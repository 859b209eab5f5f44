#include "tests/support/lookup_sequence.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <sstream>

#include "app/constants.h"
#include "json/json_document.h"
#include "net/web_request.h"
#include "runtime/kernel.h"
#include "runtime/values.h"
#include "text/charsets.h"
#include "text/text_helpers.h"

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

// Descriptions on their way at once, as the program sends them.
constexpr size_t kDescriptionsInFlight = 6;
// Level of the members directly inside "playlist".
constexpr int32_t kQualityLevel = 3;
// The longest single wait on one request before the others are looked at again.
constexpr double kPollSeconds = 0.005;

net::PendingWebRequest Send(const std::string& url) {
  rt::Text headers(app::kRequestHeaderLine);
  return net::StartWebRequest(rt::Text(url.c_str()), std::nullopt, std::nullopt, nullptr, nullptr, &headers);
}

struct Video {
  LookupRow row;
  rt::Text id;
  enum class Stage { kQueued, kDescription, kCover, kDone } stage = Stage::kQueued;
  net::PendingWebRequest request;
};

// The description's title, cover address and play addresses, read as the program reads them:
// every non-ASCII character as its \u escape, the values decoded into code page 936.
void ReadDescription(json::类_JSON& document, const rt::ByteSet& body, LookupRow* row, rt::Text* cover) {
  rt::Text text = kernel::ToText(text::Utf8BytesToEscapedText(body));
  document.初始化();
  document.加入json文本(text.c_str());
  if (!document.是否解析完毕()) {
    document.初始化();
    return;
  }
  document.补全结束符();
  row->title = document.取值(app::kTitlePath, std::nullopt, nullptr, true).str();
  *cover = document.取值(app::kCoverAddressPath, std::nullopt, nullptr, true);
  json::NodeArray members;
  document.取成员(app::kPlaylistPath, std::nullopt, &members);
  std::string joined;
  for (int32_t m = 1; m <= members.size(); ++m) {
    const json::节点& member = members.at(m);
    if (member.层级 != kQualityLevel) continue;
    std::string path = std::string(app::kPlaylistMemberPrefix) + member.名称 + app::kPlayAddressSuffix;
    joined = document.取值(path.c_str(), std::nullopt, nullptr, true).str() + app::kAddressSeparator + joined;
  }
  row->addresses = joined;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace

LookupResult RunLookupSequence(const std::string& pageAddress, double limitSeconds) {
  const Clock::time_point deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limitSeconds));
  const auto left = [&] { return std::chrono::duration<double>(deadline - Clock::now()).count(); };
  LookupResult result;
  net::PendingWebRequest page = Send(pageAddress);
  if (!page.Wait(left() > 0 ? left() : 0)) return result;
  rt::Text pageText = kernel::ToText(text::Utf8BytesToText(net::FinishWebRequest(page)));
  rt::TextArray ids;
  text::AllTextsBetween(pageText, app::kIdStartMarker, app::kIdEndMarker, &ids);
  result.title = text::TextBetween(pageText, app::kTitleStartMarker, app::kTitleEndMarker).str();

  std::vector<Video> videos(static_cast<size_t>(ids.size()));
  for (int32_t i = 1; i <= ids.size(); ++i) {
    videos[static_cast<size_t>(i - 1)].row.number = i;
    videos[static_cast<size_t>(i - 1)].id = rt::Text(ids.at(i));
  }
  json::类_JSON document;
  size_t nextToSend = 0, inFlight = 0, done = 0;
  while (done < videos.size()) {
    bool moved = false;
    for (size_t i = 0; i < nextToSend; ++i) {
      Video& video = videos[i];
      if (video.stage == Video::Stage::kDescription && video.request.IsComplete()) {
        rt::Text cover;
        ReadDescription(document, net::FinishWebRequest(video.request), &video.row, &cover);
        --inFlight;
        video.request = Send(cover.str());
        video.stage = Video::Stage::kCover;
        moved = true;
      }
      if (video.stage == Video::Stage::kCover && video.request.IsComplete()) {
        video.row.cover = std::string(net::FinishWebRequest(video.request).view());
        video.stage = Video::Stage::kDone;
        ++done;
        moved = true;
      }
    }
    while (nextToSend < videos.size() && inFlight < kDescriptionsInFlight) {
      Video& video = videos[nextToSend++];
      video.request = Send(std::string(app::kVideoServiceAddress) + video.id.str());
      video.stage = Video::Stage::kDescription;
      ++inFlight;
      moved = true;
    }
    if (moved) continue;
    if (left() <= 0) return result;  // the requests still on their way are aborted with `videos`
    for (Video& video : videos) {
      if (video.stage == Video::Stage::kDescription || video.stage == Video::Stage::kCover) {
        video.request.Wait(kPollSeconds);
        break;
      }
    }
  }
  for (Video& video : videos) result.rows.push_back(std::move(video.row));
  result.complete = true;
  return result;
}

std::string CoverDigest(const std::string& bytes) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  char text[48];
  std::snprintf(text, sizeof text, "%zu:%016llx", bytes.size(), static_cast<unsigned long long>(hash));
  return text;
}

std::string RowsToLines(const std::string& pageAddress, const std::string& pageTitle,
                        const std::vector<LookupRow>& rowsUtf8) {
  std::string out = "page\t" + pageAddress + "\t" + pageTitle + "\n";
  for (const LookupRow& row : rowsUtf8) {
    out += std::to_string(row.number) + "\t" + row.title + "\t" + row.addresses + "\t" +
           CoverDigest(row.cover) + "\n";
  }
  return out;
}

bool RowsFromLines(const std::string& lines, const std::string& pageAddress, std::string* pageTitle,
                   std::vector<LookupRow>* rowsUtf8) {
  std::istringstream in(lines);
  std::string line;
  bool inPage = false;
  rowsUtf8->clear();
  while (std::getline(in, line)) {
    std::vector<std::string> fields = Split(line);
    if (fields.size() == 3 && fields[0] == "page") {
      if (inPage) return true;
      inPage = fields[1] == pageAddress;
      if (inPage) *pageTitle = fields[2];
    } else if (inPage && fields.size() == 4) {
      rowsUtf8->push_back({std::stoi(fields[0]), fields[1], fields[2], fields[3]});
    }
  }
  return inPage;
}

std::string Utf8ToCodePage(const std::string& utf8) {
  return text::Utf8BytesToText(rt::ByteSet(utf8.data(), utf8.size())).str();
}

}  // namespace testing_support
