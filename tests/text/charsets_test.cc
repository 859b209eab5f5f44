#include "text/charsets.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/codepage.h"
#include "platform/com/automation.h"
#include "platform/com/com_init.h"
#include "runtime/dll_commands.h"

namespace text {
namespace {

class CharsetsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const rt::ProgramHeader& program = app::ProgramDescription();
    rt::InitDllCommands(program.dllCommands, program.dllCommandCount);
  }
  void TearDown() override {
    EXPECT_FALSE(platform::com::IsComInitialized());  // every CoInitialize was balanced
    rt::ReleaseDllCommands();
  }
};

std::string Utf8(std::string_view gbk) { return platform::GbkToUtf8(gbk); }

TEST_F(CharsetsTest, Utf8BodiesBecomeCodePage936Texts) {
  rt::ByteSet body(Utf8("中文 and 字"));
  EXPECT_EQ(Utf8BytesToText(body).view(), "中文 and 字");
  EXPECT_TRUE(Utf8BytesToText(rt::ByteSet()).empty());
  // The body ends at its first zero byte.
  EXPECT_EQ(Utf8BytesToText(rt::ByteSet(std::string_view("ab\0cd", 5))).view(), "ab");
  // Invalid UTF-8 is replaced, characters code page 936 lacks become "?".
  EXPECT_EQ(Utf8BytesToText(rt::ByteSet(std::string_view("a\xFF"
                                                         "b")))
                .view(),
            "a?b");
  EXPECT_EQ(Utf8BytesToText(rt::ByteSet(std::string_view("\xF0\x9F\x98\x80"))).view(), "?");
}

TEST_F(CharsetsTest, Utf8BodiesBecomeAsciiWithEveryOtherCharacterEscaped) {
  // 誠 (its GBK trail byte is a backslash) and 中; ASCII, quotes and backslashes as they stand.
  EXPECT_EQ(Utf8BytesToEscapedText(rt::ByteSet(Utf8("a\"誠\\中"))).view(), "a\"\\u8AA0\\\\u4E2D");
  // A character past U+FFFF as a surrogate pair; invalid UTF-8 as the replacement character.
  EXPECT_EQ(Utf8BytesToEscapedText(rt::ByteSet(std::string_view("\xF0\x9F\x98\x80|\xFF"))).view(),
            "\\uD83D\\uDE00|\\uFFFD");
  EXPECT_EQ(Utf8BytesToEscapedText(rt::ByteSet(std::string_view("ab\0cd", 5))).view(), "ab");
  EXPECT_TRUE(Utf8BytesToEscapedText(rt::ByteSet()).empty());
}

TEST_F(CharsetsTest, EscapesDecodeAsTheScriptEngineDecodesThem) {
  EXPECT_EQ(UnescapeText("\\u4e2d\\u6587").view(), "中文");
  EXPECT_EQ(UnescapeText("\\/").view(), "/");
  EXPECT_EQ(UnescapeText("a%20b").view(), "a b");
  EXPECT_EQ(UnescapeText("%u4E2D%zz").view(), "中%zz");
  // "\U" is no escape for the "\u" step; the literal then drops the backslash.
  EXPECT_EQ(UnescapeText("\\U0041").view(), "U0041");
  EXPECT_TRUE(UnescapeText("").empty());
}

TEST_F(CharsetsTest, ApostrophesLineBreaksAndPlaceholdersComeBack) {
  EXPECT_EQ(UnescapeText("it's").view(), "it's");
  EXPECT_EQ(UnescapeText("it’s").view(), "it's");  // the placeholder itself comes back as an apostrophe
  EXPECT_EQ(UnescapeText("a\r\nb").view(), "a\r\nb");
  EXPECT_EQ(UnescapeText("x{$}y").view(), "x\r\ny");
  EXPECT_EQ(UnescapeText("\rabc").view(), "abc");        // a lone leading CR is dropped
  EXPECT_EQ(UnescapeText("\r\nabc").view(), "\r\nabc");  // a leading pair is a line break
}

TEST_F(CharsetsTest, TextsTheEngineRejectsComeBackAsTheyWentIn) {
  EXPECT_EQ(UnescapeText("line\nnext %41").view(), "line\nnext %41");
  EXPECT_EQ(UnescapeText("tail\\").view(), "tail\\");  // the backslash escapes the closing quote
  EXPECT_EQ(UnescapeText("\\x4g").view(), "\\x4g");    // a bad escape
  EXPECT_EQ(UnescapeText("中\r文").view(), "中\r文");
}

TEST_F(CharsetsTest, AnApostropheAfterTheEuroByteNeverReachesTheEngine) {
  // 0x80 is the euro sign, one byte; the character walk takes it as a lead byte and so leaves
  // the apostrophe after it in place, where it would end the script's string literal.
  // The text as it arrives: UTF-8 bytes converted to code page 936.
  std::string attack = Utf8BytesToText(rt::ByteSet(std::string_view("\xE2\x82\xAC';return \"X\"}//"))).str();
  ASSERT_EQ(attack, "\x80';return \"X\"}//");
  EXPECT_EQ(UnescapeText(attack).view(), attack);
  std::string throws = "\x80';throw 1;'";
  EXPECT_EQ(UnescapeText(throws).view(), throws);
}

TEST_F(CharsetsTest, MixedInputGivesEachPieceItsRule) {
  std::string in = "it’s {$}\\u4e2d\\/%41";
  EXPECT_EQ(UnescapeText(in).view(), "it's \r\n中/A");
}

TEST_F(CharsetsTest, StreamBytesReadAsUtf16LittleEndian) {
  EXPECT_EQ(StreamBytesToText(rt::ByteSet(std::string_view("a\0-N\x87"
                                                           "e",
                                                           6)))
                .view(),
            "a中文");
  EXPECT_EQ(StreamBytesToText(rt::ByteSet(std::string_view("h\0i\0!", 5))).view(), "hi");  // odd byte dropped
  EXPECT_TRUE(StreamBytesToText(rt::ByteSet()).empty());
  // Code-page bytes read as UTF-16 give unrelated characters: why it is no fallback for texts.
  EXPECT_NE(StreamBytesToText(rt::ByteSet(std::string_view("abcd"))).view(), "abcd");
}

// A stand-in for the stream object that records what it is asked and whether COM is still
// initialised when it goes away.
std::vector<std::string> g_streamCalls;
bool g_comAliveAtRelease = false;

class RecordingStream : public platform::com::AutomationObject {
 public:
  static const platform::com::TypeInfo& Type() {
    using namespace platform::com;
    static const TypeInfo type(u"Stream", {
                                              PropertyPut(1, "Type", VT_I4),
                                              PropertyPut(2, "Mode", VT_I4),
                                              PropertyPut(3, "Position", VT_I4),
                                              PropertyPut(4, "Charset", VT_BSTR),
                                              Method(5, "Open", VT_EMPTY),
                                              Method(6, "Write", VT_EMPTY, {Param(VT_VARIANT)}),
                                              Method(7, "ReadText", VT_BSTR, {Param(VT_I4, PARAMFLAG_FOPT)}),
                                              Method(8, "Close", VT_EMPTY),
                                          });
    return type;
  }
  RecordingStream() : AutomationObject(Type()) {}
  ~RecordingStream() override { g_comAliveAtRelease = platform::com::IsComInitialized(); }

 protected:
  platform::com::HRESULT Call(platform::com::DISPID id, uint16_t, platform::com::InvokeArgs& args,
                              platform::com::VARIANT* result) override {
    static const char* const kNames[] = {"",     "Type",  "Mode",     "Position", "Charset",
                                         "Open", "Write", "ReadText", "Close"};
    std::string call = kNames[id];
    if (id <= 3) call += "=" + std::to_string(args.Int(0));
    if (id == 4) call += "=" + platform::FromUtf16(platform::kCodePageUtf8, args.Text(0));
    if (id == 6) {
      const platform::com::VARIANT& v = args[0];
      call += v.vt == (platform::com::VT_ARRAY | platform::com::VT_UI1)
                  ? "(" + std::to_string(v.parray->rgsabound[0].cElements) + " bytes)"
                  : "(not bytes)";
    }
    g_streamCalls.push_back(call);
    if (id == 7) *result = platform::com::MakeBstrVariant(u"read");
    return platform::com::S_OK;
  }
};

TEST_F(CharsetsTest, StreamBytesToTextDrivesTheStreamAndReleasesItBeforeUninitialising) {
  const platform::com::CLSID fake = {0xFEEDBEEF, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  platform::com::RegisterBuiltinClasses();
  platform::com::RegisterClass("Adodb.Stream", fake,
                               [] { return platform::com::NewObject<RecordingStream>(); });
  g_streamCalls.clear();
  g_comAliveAtRelease = false;
  rt::Text t = StreamBytesToText(rt::ByteSet(std::string_view("abc")));
  platform::com::UnregisterClass(fake);
  EXPECT_EQ(t.view(), "read");
  EXPECT_EQ(g_streamCalls,
            (std::vector<std::string>{"Type=1", "Mode=3", "Open", "Write(3 bytes)", "Position=0", "Type=2",
                                      "Charset=unicode", "ReadText", "Close"}));
  EXPECT_TRUE(g_comAliveAtRelease);
  // The real stream is back once the stand-in is gone.
  EXPECT_EQ(StreamBytesToText(rt::ByteSet(std::string_view("o\0k\0", 4))).view(), "ok");
}

// ---- The reference check against an independent ECMAScript engine -------------------------------

// The comparison runs node, a program of the Linux side, on files it shares with the test.
#if !defined(_WIN32)
std::optional<std::string> NodePath() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    std::string candidate = dir + "/node";
    if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

std::string JsonString(std::u16string_view s) {
  std::string out = "\"";
  char buf[8];
  for (char16_t c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out + "\"";
}

// Reads the array of strings and nulls the script writes (non-ASCII as \u escapes).
std::vector<std::optional<std::u16string>> ParseResults(const std::string& json) {
  std::vector<std::optional<std::u16string>> out;
  size_t i = json.find('[') + 1;
  while (i < json.size()) {
    char c = json[i];
    if (c == 'n') {
      out.emplace_back(std::nullopt);
      i += 4;
    } else if (c == '"') {
      std::u16string s;
      for (++i; json[i] != '"'; ++i) {
        if (json[i] != '\\') {
          s += static_cast<char16_t>(json[i]);
          continue;
        }
        char e = json[++i];
        switch (e) {
          case 'n':
            s += u'\n';
            break;
          case 'r':
            s += u'\r';
            break;
          case 't':
            s += u'\t';
            break;
          case 'b':
            s += u'\b';
            break;
          case 'f':
            s += u'\f';
            break;
          case 'u':
            s += static_cast<char16_t>(std::stoi(json.substr(i + 1, 4), nullptr, 16));
            i += 4;
            break;
          default:
            s += static_cast<char16_t>(e);
            break;
        }
      }
      ++i;
      out.emplace_back(std::move(s));
    } else {
      ++i;
    }
  }
  return out;
}

void ReplaceAll(std::string* s, std::string_view from, std::string_view to) {
  for (size_t at = s->find(from); at != std::string::npos; at = s->find(from, at + to.size())) {
    s->replace(at, from.size(), to);
  }
}

TEST_F(CharsetsTest, AgreesWithAnIndependentEngineOnGeneratedInputs) {
  std::optional<std::string> node = NodePath();
  if (!node) GTEST_SKIP() << "node is not installed";
  // Pieces whose double-byte characters are whole pairs, so that plain byte replacement models
  // the character walk of the kernel's commands.
  const std::vector<std::string> pieces = {
      "a",    "Z",   "0",    "7",   "f",   "%",    "u",    "\\",  "/",      "\"",      "'",
      "\\u",  "%u",  "4e2d", "%41", "%4",  "%zz",  "\\n",  "\\t", "\\r",    "\\x41",   "\\x4",
      "\\\\", "中",  "文",   "’",   "{$}", "\r\n", " ",    "\\/", "%u6587", "\\u00e9", "%E9",
      "\\'",  "\\0", "\n",   "\r",  "\\U", "%u00", "\\\"", "d8",  "%F0"};
  std::mt19937 random(20261208);
  const int kInputs = 2000;
  std::vector<std::string> inputs, prepared;
  std::string json = "[";
  for (int n = 0; n < kInputs; ++n) {
    std::string in;
    int length = 1 + static_cast<int>(random() % 8);
    for (int k = 0; k < length; ++k) in += pieces[random() % pieces.size()];
    // The rules before the engine, written out independently of the kernel's commands.
    std::string t = in;
    ReplaceAll(&t, "\r\n", "{$}");
    if (!t.empty() && t[0] == '\r') t.erase(0, 1);
    ReplaceAll(&t, "\\u", "%u");
    ReplaceAll(&t, "'", "’");
    inputs.push_back(in);
    prepared.push_back(t);
    std::u16string statement =
        platform::ToUtf16(platform::kCodePageGbk, "function xx(){var x='" + t + "';return unescape(x);}");
    json += (n ? "," : "") + JsonString(statement);
  }
  json += "]";
  char dir[] = "/tmp/wl-unescape-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string base = dir;
  std::ofstream(base + "/in.json") << json;
  std::ofstream(base + "/check.js") << R"(
const fs = require('fs'), vm = require('vm');
const out = JSON.parse(fs.readFileSync(process.argv[2], 'utf8')).map((statement) => {
  try {
    const context = vm.createContext({});
    vm.runInContext(statement, context, {timeout: 1000});
    return String(vm.runInContext('xx()', context, {timeout: 1000}));
  } catch (e) {
    return null;
  }
});
fs.writeFileSync(process.argv[3],
    JSON.stringify(out).replace(/[\u007f-\uffff]/g, (c) => '\\u' + c.charCodeAt(0).toString(16).padStart(4, '0')));
)";
  std::string command = *node + " " + base + "/check.js " + base + "/in.json " + base + "/out.json";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::stringstream result;
  result << std::ifstream(base + "/out.json").rdbuf();
  std::vector<std::optional<std::u16string>> reference = ParseResults(result.str());
  std::remove((base + "/in.json").c_str());
  std::remove((base + "/out.json").c_str());
  std::remove((base + "/check.js").c_str());
  rmdir(dir);
  ASSERT_EQ(reference.size(), inputs.size());

  int engineRuns = 0, mismatches = 0;
  for (size_t n = 0; n < inputs.size(); ++n) {
    const std::string& t = prepared[n];
    std::string expected = t;  // the fallback
    bool literalSafe = t.find_first_of("'\r\n") == std::string::npos;
    if (literalSafe && reference[n]) {
      std::string r = platform::FromUtf16(platform::kCodePageAnsi, *reference[n]);
      r = r.substr(0, r.find('\0'));
      if (!r.empty()) {
        expected = r;
        ++engineRuns;
      }
    }
    ReplaceAll(&expected, "’", "'");
    ReplaceAll(&expected, "{$}", "\r\n");
    rt::Text got = UnescapeText(inputs[n]);
    if (got.view() != expected && ++mismatches <= 10) {
      ADD_FAILURE() << "input " << testing::PrintToString(inputs[n]) << " gave "
                    << testing::PrintToString(got.str()) << ", expected " << testing::PrintToString(expected);
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(engineRuns, kInputs / 4);  // the engine path, not only the fallback, was compared
}
#endif  // !defined(_WIN32)

}  // namespace
}  // namespace text
