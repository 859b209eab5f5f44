#include "text/charsets.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/com/com_bridge.h"
#include "runtime/dll_commands.h"

namespace text {
namespace {

// The placeholders that carry line breaks and apostrophes through the script's string literal.
constexpr const char* kLineBreakPlaceholder = "{$}";
constexpr const char* kApostrophePlaceholder = "’";  // A1 AF

// A text holding any of these bytes would end the script's string literal early, or run on
// past it: it is never handed to the engine.
bool EndsTheLiteral(std::string_view t) { return t.find_first_of("'\r\n") != std::string_view::npos; }

// Runs "function xx(){var x='<t>';return unescape(x);}" and returns xx(); empty when the
// engine is not available or rejects the script. COM is released before it returns.
rt::Text RunUnescapeScript(const rt::Text& t) {
  rt::CallDll<rt::CoInitializeFn>(rt::kDllCoInitialize, nullptr);
  rt::Text result;
  {
    rt::com::ComObject script;
    rt::com::Create(script, "ScriptControl");  // when this fails, the calls below yield nothing
    rt::com::SetProperty(script, "Language", {rt::TextArg("JScript")});
    const char* pieces[] = {"function xx(){var x='", t.c_str(), "';return unescape(x);}"};
    rt::Text statement = rt::Text::Adopt(rt::ConcatTexts(3, pieces));
    rt::com::CallNumber(script, "ExecuteStatement", {rt::TextArg(statement)});
    result = rt::com::CallText(script, "Run", {rt::TextArg("xx")});
  }
  rt::CallDll<rt::CoUninitializeFn>(rt::kDllCoUninitialize);
  return result;
}

// The UTF-8 bytes as UTF-16 through the program's declared conversion, followed by a zero unit
// (not counted in the result's size less one); empty for no bytes or a failed conversion.
std::vector<char16_t> Utf8BytesToWide(kernel::BytesRef bytes) {
  int32_t n = rt::ByteSetLength(bytes.p);
  if (n <= 0) return {};
  const char* src = reinterpret_cast<const char*>(rt::ByteSetData(bytes.p));
  int32_t w = rt::CallDll<rt::MultiByteToWideCharFn>(rt::kDllMultiByteToWideChar, 65001u, 0u, src, n,
                                                     static_cast<char16_t*>(nullptr), 0);
  if (w <= 0) return {};
  std::vector<char16_t> wide(static_cast<size_t>(w) + 1, u'\0');  // the last unit stays zero
  rt::CallDll<rt::MultiByteToWideCharFn>(rt::kDllMultiByteToWideChar, 65001u, 0u, src, n, wide.data(), w);
  return wide;
}

}  // namespace

rt::Text Utf8BytesToText(kernel::BytesRef bytes) {
  std::vector<char16_t> wide = Utf8BytesToWide(bytes);
  if (wide.empty()) return rt::Text();
  const int32_t w = static_cast<int32_t>(wide.size()) - 1;
  int32_t m = rt::CallDll<rt::WideCharToMultiByteFn>(
      rt::kDllWideCharToMultiByte, 936u, 0u, wide.data(), w + 1, static_cast<char*>(nullptr), 0,
      static_cast<const char*>(nullptr), static_cast<int32_t*>(nullptr));
  if (m <= 0) return rt::Text();
  std::vector<char> narrow(static_cast<size_t>(m) + 1, '\0');
  rt::CallDll<rt::WideCharToMultiByteFn>(rt::kDllWideCharToMultiByte, 936u, 0u, wide.data(), w + 1,
                                         narrow.data(), m, static_cast<const char*>(nullptr),
                                         static_cast<int32_t*>(nullptr));
  return rt::Text(std::string_view(narrow.data()));  // up to the first zero
}

rt::Text Utf8BytesToEscapedText(kernel::BytesRef bytes) {
  std::vector<char16_t> wide = Utf8BytesToWide(bytes);
  if (wide.empty()) return rt::Text();
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(wide.size());
  for (char16_t unit : wide) {
    if (unit == 0) break;
    if (unit < 0x80) {
      out.push_back(static_cast<char>(unit));
      continue;
    }
    char escape[6] = {
        '\\', 'u', kHex[(unit >> 12) & 15], kHex[(unit >> 8) & 15], kHex[(unit >> 4) & 15], kHex[unit & 15]};
    out.append(escape, sizeof escape);
  }
  return rt::Text(out);
}

rt::Text UnescapeText(kernel::TextRef text) {
  rt::Text t = kernel::ReplaceText(text, "\r\n", kLineBreakPlaceholder);
  if (t.c_str()[0] == '\r') {
    rt::ByteSet bytes = kernel::ToByteSet(t);
    t = kernel::ToText(kernel::ReplaceBytes(bytes, rt::ByteSet("\r"), rt::ByteSet(), std::nullopt, 1));
  }
  if (kernel::FindText(t, "\\u") != -1) {
    t = kernel::ReplaceText(t, "\\u", "%u", std::nullopt, std::nullopt, /*caseSensitive=*/true);
  }
  t = kernel::ReplaceText(t, "'", kApostrophePlaceholder);

  // The engine sees only texts that stay inside the string literal; the others, and every
  // text the engine rejects, come back as they are.
  rt::Text r;
  if (!EndsTheLiteral(t.view())) r = RunUnescapeScript(t);
  rt::Text result = r.empty() ? std::move(t) : std::move(r);
  result = kernel::ReplaceText(result, kApostrophePlaceholder, "'");
  return kernel::ReplaceText(result, kLineBreakPlaceholder, "\r\n");
}

rt::Text StreamBytesToText(kernel::BytesRef bytes) {
  rt::CallDll<rt::CoInitializeFn>(rt::kDllCoInitialize, nullptr);
  rt::Text result;
  {
    rt::com::Variant buffer;
    rt::com::Assign(buffer, rt::BytesArg(bytes.p));
    rt::com::ComObject stream;
    if (rt::com::Create(stream, "Adodb.Stream")) {
      rt::com::SetProperty(stream, "Type", {rt::IntArg(1)});
      rt::com::SetProperty(stream, "Mode", {rt::IntArg(3)});
      rt::com::Call(stream, "Open");
      rt::com::Call(stream, "Write", {buffer.Arg()});
      rt::com::SetProperty(stream, "Position", {rt::IntArg(0)});
      rt::com::SetProperty(stream, "Type", {rt::IntArg(2)});
      rt::com::SetProperty(stream, "Charset", {rt::TextArg("unicode")});
      result = rt::com::CallText(stream, "ReadText");
      rt::com::Call(stream, "Close");
    }
  }  // the Variant and the object are released while COM is still initialised
  rt::CallDll<rt::CoUninitializeFn>(rt::kDllCoUninitialize);
  return result;
}

}  // namespace text
