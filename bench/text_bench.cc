// The kernel's text search, replacement and splitting, and AllTextsBetween, on a generated
// HTML page of mostly ASCII with GBK text in it, side by side with memmem and plain std::string
// code doing the same work on the same buffer, and the page's conversion from UTF-8 to text.
// Each case runs at 1 MiB and 10 MiB, so the growth with the text's length shows as well.
#include <benchmark/benchmark.h>
#include <string.h>  // memmem

#include <cstdlib>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/codepage.h"
#include "platform/event_loop.h"
#include "runtime/dll_commands.h"
#include "runtime/kernel.h"
#include "text/charsets.h"
#include "text/text_helpers.h"

namespace {

// A page of `size` bytes: markup blocks with Chinese titles, a video marker every ~8 KiB, and
// a closing tag found only at the very end.
std::string MakePage(size_t size) {
  std::string page =
      "<!DOCTYPE html><html><head><meta charset=\"gbk\"><title>问题标题</title></head><body>\n";
  const std::string block =
      "<div class=\"List-item\"><div class=\"ContentItem AnswerItem\" data-zop=\"{&quot;authorName&quot;:"
      "&quot;用户&quot;}\"><h2 class=\"ContentItem-title\">这是一个关于视频的回答，包含中文字符和标点。</h2>"
      "<span class=\"RichText\">Lorem ipsum dolor sit amet, consectetur adipiscing elit, 全角空格　和"
      "ASCII 文字混排。sed do eiusmod tempor incididunt ut labore et dolore magna "
      "aliqua.</span></div></div>\n";
  int n = 0;
  while (page.size() + 200 < size) {
    page += block;
    if (++n % 16 == 0)
      page += "<a class=\"video-box\" data-lens-id=\"" + std::to_string(1000000 + n) + "\">视频</a>\n";
  }
  page.append(size - 7 - page.size(), ' ');
  page += "</html>";
  return page;
}

const std::string& Page(int64_t size) {
  static std::string one = MakePage(1 << 20);
  static std::string ten = MakePage(10 << 20);
  return size == (1 << 20) ? one : ten;
}

void SetBytes(benchmark::State& state, size_t n) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

// ---- FindText vs memmem: a marker found only at the end ----

void BM_FindText_Kernel(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  if (kernel::FindText(page, "</html>") != static_cast<int32_t>(page.size()) - 6)
    state.SkipWithError("wrong position");
  for (auto _ : state) benchmark::DoNotOptimize(kernel::FindText(page, "</html>"));
  SetBytes(state, page.size());
}
void BM_FindText_Memmem(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(memmem(page.data(), page.size(), "</html>", 7));
  SetBytes(state, page.size());
}

// ---- AllTextsBetween vs a memmem loop collecting std::strings ----

void BM_AllTextsBetween_Kernel(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  rt::TextArray out;
  for (auto _ : state) benchmark::DoNotOptimize(text::AllTextsBetween(page, "data-lens-id=\"", "\"", &out));
  state.counters["pieces"] = static_cast<double>(out.size());
  SetBytes(state, page.size());
}
void BM_AllTextsBetween_Memmem(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  const std::string left = "data-lens-id=\"";
  std::vector<std::string> out;
  for (auto _ : state) {
    out.clear();
    const char* p = page.data();
    const char* end = p + page.size();
    while (const char* l = static_cast<const char*>(memmem(p, end - p, left.data(), left.size()))) {
      const char* s = l + left.size();
      const char* r = static_cast<const char*>(memchr(s, '"', end - s));
      if (r == nullptr) break;
      out.emplace_back(s, r);
      p = s;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["pieces"] = static_cast<double>(out.size());
  SetBytes(state, page.size());
}

// ---- ReplaceText vs std::string find/append ----

void BM_ReplaceText_Kernel(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  for (auto _ : state) {
    rt::Text out = kernel::ReplaceText(page, "class=", "klass=", std::nullopt, std::nullopt, true);
    benchmark::DoNotOptimize(out.get());
  }
  SetBytes(state, page.size());
}
void BM_ReplaceText_String(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  const std::string from = "class=", to = "klass=";
  for (auto _ : state) {
    std::string out;
    out.reserve(page.size());
    size_t pos = 0;
    for (size_t p; (p = page.find(from, pos)) != std::string::npos; pos = p + from.size()) {
      out.append(page, pos, p - pos);
      out += to;
    }
    out.append(page, pos);
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, page.size());
}

// ---- SplitText vs std::string find/substr ----

void BM_SplitText_Kernel(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  int64_t members = 0;
  for (auto _ : state) {
    rt::TextArray parts = kernel::SplitText(page, "\n");
    members = parts.size();
    benchmark::DoNotOptimize(parts.block());
  }
  state.counters["members"] = static_cast<double>(members);
  SetBytes(state, page.size());
}
void BM_SplitText_String(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  size_t members = 0;
  for (auto _ : state) {
    std::vector<std::string> parts;
    size_t pos = 0;
    for (size_t p; (p = page.find('\n', pos)) != std::string::npos; pos = p + 1)
      parts.emplace_back(page, pos, p - pos);
    if (pos < page.size()) parts.emplace_back(page, pos);
    members = parts.size();
    benchmark::DoNotOptimize(parts.data());
  }
  state.counters["members"] = static_cast<double>(members);
  SetBytes(state, page.size());
}

// ---- Utf8BytesToText: a downloaded page (UTF-8, mostly ASCII) to the runtime's text ----

void BM_Utf8BytesToText(benchmark::State& state) {
  // The literals above are in the runtime's code page; a downloaded page comes as UTF-8.
  const std::string page = platform::GbkToUtf8(Page(state.range(0)));
  const rt::ByteSet bytes(page);
  for (auto _ : state) {
    rt::Text text = text::Utf8BytesToText(bytes);
    benchmark::DoNotOptimize(text.get());
  }
  SetBytes(state, page.size());
}

#define WL_SIZES Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_FindText_Kernel)->WL_SIZES;
BENCHMARK(BM_FindText_Memmem)->WL_SIZES;
BENCHMARK(BM_AllTextsBetween_Kernel)->WL_SIZES;
BENCHMARK(BM_AllTextsBetween_Memmem)->WL_SIZES;
BENCHMARK(BM_ReplaceText_Kernel)->WL_SIZES;
BENCHMARK(BM_ReplaceText_String)->WL_SIZES;
BENCHMARK(BM_SplitText_Kernel)->WL_SIZES;
BENCHMARK(BM_SplitText_String)->WL_SIZES;
BENCHMARK(BM_Utf8BytesToText)->WL_SIZES;

}  // namespace

int main(int argc, char** argv) {
  // AllTextsBetween lets waiting events run: the toolkit's application object must exist.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  platform::GuiApplication gui(argc, argv);
  // The conversion calls the program's declared DLL commands.
  const rt::ProgramHeader& program = app::ProgramDescription();
  rt::InitDllCommands(program.dllCommands, program.dllCommandCount);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  rt::ReleaseDllCommands();
  return 0;
}
