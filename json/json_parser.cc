// The byte-driven parser of 类_JSON: feeding, the seven state handlers, node creation, the
// auto-close and the error messages.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "json/json_arrays.h"
#include "json/json_document.h"
#include "json/json_element_name.h"
#include "runtime/format_text.h"

namespace json {
namespace {

using internal::Count;
using internal::ElementName;
using internal::Elements;

constexpr const char* kLq = "“";
constexpr const char* kRq = "”";
constexpr const char* kCrLf = "\r\n";

bool IsBlank(uint8_t b) { return b == ' ' || b == '\t' || b == '\r' || b == '\n'; }

bool IsEightSpaces(const unsigned char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word == 0x2020202020202020u;
}

// The bytes that end a run a reading state only appends: inside a quoted text, a bare word, a
// quoted name and an unquoted name. A run never holds a line feed, so that the line and column
// counters advance over it as over single bytes.
struct RunStops {
  bool stop[256];
};

constexpr RunStops MakeRunStops(std::string_view bytes) {
  RunStops r{};
  for (char c : bytes) r.stop[static_cast<unsigned char>(c)] = true;
  return r;
}

constexpr RunStops kTextRunStops = MakeRunStops("\"\\\t\n\r");
constexpr RunStops kWordRunStops = MakeRunStops("\n\r,]} \t");
constexpr RunStops kNameRunStops = MakeRunStops("\"\n\r\t");
constexpr RunStops kBareNameRunStops = MakeRunStops("\"\n\r\t,}]:");

char* CountValue(char open, char close, int32_t n) {
  char buf[24];
  buf[0] = open;
  buf[1] = ' ';
  char* end = std::to_chars(buf + 2, buf + sizeof buf - 2, n).ptr;
  *end++ = ' ';
  *end++ = close;
  return rt::NewText(buf, static_cast<size_t>(end - buf));
}

void Assign(char** field, char* text) {
  rt::MemFree(*field);
  *field = text;
}

rt::ArgRecord T(const char* s) { return rt::TextArg(s); }

rt::Text IndexBeyondNodesMessage() {
  return rt::FormatTextOf(
      "严重错误！因为%s集_节点索引组[]%s数组所记录的的结束符对应的节点超出了类中节点的最大值。%s可能原因："
      "调用了%s取全部节点_交换变量()%s方法或其他交互变量的方法后没有再次调用该方法进行还原交换的变量所致。 "
      "%s调用方法:取当前节点索引()",
      {T(kLq), T(kRq), T(kCrLf), T(kLq), T(kRq), T(kCrLf)});
}

}  // namespace

// ---- Stacks and counters -------------------------------------------------------------------

inline void 类_JSON::PushState(uint8_t state) {
  internal::Push<uint8_t>(&集_状态栈, &stateCapacity_, state);
  topState_ = state;
}
inline void 类_JSON::PopState() {
  int32_t n = Count(集_状态栈);
  if (n == 0) return;
  internal::SetCount(集_状态栈, n - 1);
  topState_ = n > 1 ? Elements<uint8_t>(集_状态栈)[n - 2] : 0;
}
// "The top state becomes s": written in place, as popping and pushing would leave it.
inline void 类_JSON::ReplaceTopState(uint8_t state) {
  int32_t n = Count(集_状态栈);
  if (n == 0) {
    PushState(state);
    return;
  }
  Elements<uint8_t>(集_状态栈)[n - 1] = state;
  topState_ = state;
}
inline uint8_t 类_JSON::TopState() const { return topState_; }
void 类_JSON::PushIndex(int32_t index) { internal::Push<int32_t>(&集_节点索引组, &indexCapacity_, index); }
void 类_JSON::PopIndex() {
  int32_t n = Count(集_节点索引组);
  if (n > 0) internal::SetCount(集_节点索引组, n - 1);
}

int32_t* 类_JSON::CounterSlot(void** counters, int32_t* capacity, int32_t slot, bool grow) {
  if (slot < 1) return nullptr;
  if (grow) internal::GrowTo<int32_t>(counters, capacity, slot);
  if (slot > Count(*counters)) return nullptr;
  return Elements<int32_t>(*counters) + (slot - 1);
}

void 类_JSON::SetError(int32_t code, const rt::Text& message) {
  if (集_错误代码 != 0) return;  // the first error stands
  集_错误代码 = code;
  集_错误位置 = 集_已处理字节数;
  Assign(&集_错误信息, message.empty() ? nullptr : rt::NewText(message.view()));
}

void 类_JSON::SetBufferAsName(节点* node) {
  if (node == nullptr) return;
  Assign(&node->名称, BufferText().release());
}

// ---- The text buffer ---------------------------------------------------------------------------

void 类_JSON::BufferAppendInput(const unsigned char* bytes, size_t n) {
  if (pendingRun_ != nullptr) {
    if (pendingRun_ + pendingLength_ == bytes) {
      pendingLength_ += n;
      return;
    }
    FlushPendingRun();
  } else if (集_文本缓冲->length() == 0) {
    pendingRun_ = bytes;
    pendingLength_ = n;
    return;
  }
  集_文本缓冲->AppendBytes(bytes, n);
}

void 类_JSON::BufferAppendByte(uint8_t b) {
  // The handlers see a byte, not where it came from; the byte under the cursor is as good.
  if (cursor_ != nullptr && *cursor_ == b) {
    BufferAppendInput(cursor_, 1);
  } else {
    BufferAppendOther(reinterpret_cast<const char*>(&b), 1);
  }
}

void 类_JSON::BufferAppendOther(const char* bytes, size_t n) {
  FlushPendingRun();
  集_文本缓冲->AppendBytes(bytes, n);
}

rt::Text 类_JSON::BufferText() const {
  if (pendingRun_ != nullptr) {
    return rt::Text::Adopt(rt::NewText(reinterpret_cast<const char*>(pendingRun_), pendingLength_));
  }
  return 集_文本缓冲->GetText();
}

size_t 类_JSON::BufferLength() const {
  return pendingRun_ != nullptr ? pendingLength_ : static_cast<size_t>(集_文本缓冲->length());
}

void 类_JSON::BufferClear() {
  pendingRun_ = nullptr;
  if (集_文本缓冲->length() != 0) 集_文本缓冲->Clear();
}

void 类_JSON::FlushPendingRun() {
  if (pendingRun_ == nullptr) return;
  const unsigned char* run = pendingRun_;
  pendingRun_ = nullptr;
  集_文本缓冲->AppendBytes(run, pendingLength_);
}

// ---- Feeding -----------------------------------------------------------------------------------

int32_t 类_JSON::加入json字节集(const rt::ByteSet& bytes, std::optional<bool> strict, bool namingMode) {
  if (strict) 集_严格模式 = *strict ? 1 : 0;
  if (Count(集_节点组) == 0) 集_顶级命名模式 = namingMode ? 1 : 0;
  return Feed(bytes.data(), bytes.size());
}

int32_t 类_JSON::加入json文本(const char* text, std::optional<bool> strict, bool namingMode) {
  if (strict) 集_严格模式 = *strict ? 1 : 0;
  if (Count(集_节点组) == 0) 集_顶级命名模式 = namingMode ? 1 : 0;
  const char* t = rt::OrEmpty(text);
  return Feed(reinterpret_cast<const unsigned char*>(t), std::strlen(t));
}

int32_t 类_JSON::解析字节集(const rt::ByteSet& bytes, bool strict, bool namingMode) {
  初始化();
  集_严格模式 = strict ? 1 : 0;
  加入json字节集(bytes, std::nullopt, namingMode);
  补全结束符();
  return 集_错误代码;
}

int32_t 类_JSON::解析文本(const char* text, bool strict, bool namingMode) {
  // The text's own bytes are fed, as a byte set made of them would be, without copying them.
  初始化();
  集_严格模式 = strict ? 1 : 0;
  加入json文本(text, std::nullopt, namingMode);
  补全结束符();
  return 集_错误代码;
}

int32_t 类_JSON::Feed(const unsigned char* p, size_t n) {
  // The fed bytes are only borrowed: whatever the buffer still refers to is copied on return.
  struct EndOfFeed {
    类_JSON* doc;
    ~EndOfFeed() {
      doc->FlushPendingRun();
      doc->cursor_ = nullptr;
    }
  } endOfFeed{this};
  for (size_t i = 0; i < n; ++i) {
    if (集_错误位置 != 0) {
      补全结束符();
      return 集_错误代码;
    }
    uint8_t b = p[i];
    int32_t states = Count(集_状态栈);
    int32_t nodes = Count(集_节点组);
    // Runs of bytes that a reading state only appends are appended at once; the counters
    // advance exactly as byte by byte (no line feed is in a run).
    if (states > 0 && nodes > 0) {
      uint8_t top = TopState();
      size_t j = i;
      const RunStops* stops = top == 6   ? (集_转义中 ? nullptr : &kTextRunStops)
                              : top == 7 ? &kWordRunStops
                              : top == 3 ? (集_无引号名 ? &kBareNameRunStops : &kNameRunStops)
                                         : nullptr;
      if (stops != nullptr) {
        while (j < n && !stops->stop[p[j]]) ++j;
      }
      if (j == i && (top == 1 || top == 2 || top == 4 || top == 5)) {
        // Blanks between tokens, which these states ignore: only the counters move (kept in
        // locals, as the bytes could alias the members).
        int32_t line = 集_行号;
        int32_t column = 集_列号;
        while (j < n && IsBlank(p[j])) {
          if (p[j] == ' ') {
            // Indentation: spaces eight at a time.
            size_t k = j + 1;
            while (n - k >= 8 && IsEightSpaces(p + k)) k += 8;
            while (k < n && p[k] == ' ') ++k;
            column += static_cast<int32_t>(k - j);
            j = k;
            continue;
          }
          if (p[j] == '\n') {
            ++line;
            column = 0;
          } else if (p[j] != '\r') {
            ++column;
          }
          ++j;
        }
        集_行号 = line;
        集_列号 = column;
        if (j > i) {
          集_已处理字节数 += static_cast<int32_t>(j - i);
          i = j - 1;
          continue;
        }
      }
      if (j - i >= 2) {
        BufferAppendInput(p + i, j - i);
        集_列号 += static_cast<int32_t>(j - i);
        集_已处理字节数 += static_cast<int32_t>(j - i);
        i = j - 1;
        continue;
      }
    }
    if (b == '\n') {
      ++集_行号;
      集_列号 = 0;
    } else if (b != '\r') {
      ++集_列号;
    }
    ++集_已处理字节数;
    cursor_ = p + i;
    if (states > 0) {
      if (nodes == 0) {
        // The node array was exchanged for an empty one: there is no node to write into.
        if (集_严格模式) SetError(82, IndexBeyondNodesMessage());
        continue;
      }
      switch (TopState()) {
        case 1:
          大括号(b);
          break;
        case 2:
          方括号(b);
          break;
        case 3:
          对象名_获取(b);
          break;
        case 4:
          对象值_等待冒号(b);
          break;
        case 5:
          对象值_准备获取(b);
          break;
        case 6:
          对象值_获取文本(b);
          break;
        case 7:
          对象值_获取其他(b);
          break;
        default:
          break;
      }
    } else if (nodes > 0) {
      if (IsBlank(b)) continue;
      SetError(
          1,
          rt::FormatTextOf(
              "JSON代码已经完毕，所有对象括号已匹配完毕，若要重新解析请先初始化。%s调用方法:加入json字节集()",
              {T(kCrLf)}));
      return 集_错误代码;
    } else if (b == '{' || b == '[') {
      集_分隔状态 = 0;
      AppendNode(NewNodeRecord());
      internal::SetCount(集_节点索引组, 0);
      PushIndex(1);
      集_当前层级 = 1;
      节点* root = Node(1);
      root->类型 = b == '{' ? kTypeObject : kTypeArray;
      root->层级 = 1;
      集_当前层级 = 2;
      PushState(b == '{' ? 1 : 2);
    } else if (集_顶级命名模式 && b == '"') {
      集_分隔状态 = 0;
      PushState(1);
      集_当前层级 = 1;
      新建节点(3);
    } else if (集_严格模式 && !IsBlank(b)) {
      SetError(2, rt::FormatTextOf(
                      "JSON代码起始文本应该以大括号%s{%s或者方括号%s[%s开头%s调用方法:加入json字节集()",
                      {T(kLq), T(kRq), T(kLq), T(kRq), T(kCrLf)}));
      return 集_错误代码;
    }
  }
  if (集_错误代码 != 0) 补全结束符();
  return 集_错误代码;
}

// ---- Node creation ---------------------------------------------------------------------------

void 类_JSON::新建节点(uint8_t state) {
  uint8_t previous = TopState();
  PushState(state);
  节点* node = NewNodeRecord();
  if (state == 5 && previous == 2) {
    int32_t* c = CounterSlot(&集_数组成员计数, &arrayCounterCapacity_, 集_当前层级 + 1, true);
    int32_t k = c ? ++*c : 1;
    node->名称 = ElementName(k - 1);
    node->父类型 = kParentArray;
  } else if (state == 1) {
    node->类型 = kTypeObject;
    node->层级 = 集_当前层级;
    集_当前层级 += 1;
    node->值 = rt::NewText("{ 0 }");
    if (previous == 2) {
      node->父类型 = kParentArray;
      int32_t* c = CounterSlot(&集_数组成员计数, &arrayCounterCapacity_, 集_当前层级, true);
      int32_t k = c ? ++*c : 1;
      node->名称 = ElementName(k - 1);
    }
  } else if (state == 2) {
    node->类型 = kTypeArray;
    集_当前层级 += 1;
    node->值 = rt::NewText("[ 0 ]");
  } else if (state == 3 && previous == 1) {
    int32_t* c = CounterSlot(&集_对象成员计数, &objectCounterCapacity_, 集_当前层级, true);
    if (c) ++*c;
    node->父类型 = kParentObject;
  }
  if (node->层级 == 0) node->层级 = 集_当前层级;
  BufferClear();
  AppendNode(node);
  PushIndex(Count(集_节点组));
}

int32_t 类_JSON::取当前节点索引() {
  int32_t n = Count(集_节点索引组);
  if (n > 0) {
    int32_t top = Elements<int32_t>(集_节点索引组)[n - 1];
    if (top >= 1 && top <= Count(集_节点组)) return top;
    if (集_严格模式) {
      SetError(82, IndexBeyondNodesMessage());
    }
    return 0;
  }
  if (集_严格模式) {
    SetError(81, rt::FormatTextOf(
                     "JSON顶级节点命名模式下,对象匹配结束后不应该出现字符:%s}%s%s调用方法:取当前节点索引()",
                     {T(kLq), T(kRq), T(kCrLf)}));
  }
  return 0;
}

// Ends the container being read (the current node; nothing without one): its value becomes
// the member count kept in counter `slot`, written "{ n }" or "[ n ]", the counter starts again
// at 0, and reading returns to the enclosing container.
void 类_JSON::CloseContainer(void** counters, int32_t* capacity, int32_t slot, char open, char close) {
  int32_t i = 取当前节点索引();
  if (i == 0) return;
  int32_t* c = CounterSlot(counters, capacity, slot, false);
  int32_t members = c ? *c : 0;
  if (c) *c = 0;
  Assign(&Node(i)->值, CountValue(open, close, members));
  集_当前层级 -= 1;
  PopState();
  PopIndex();
  集_分隔状态 = 1;
}

// ---- The state handlers ------------------------------------------------------------------------

void 类_JSON::大括号(uint8_t b) {
  if (b == '"') {
    if (集_严格模式 && 集_分隔状态 == 1) {
      SetError(11, rt::FormatTextOf("对象间的成员需要以逗号%s,%s隔开。%s调用方法:大括号()",
                                    {T(kLq), T(kRq), T(kCrLf)}));
      return;
    }
    集_无引号名 = 0;
    新建节点(3);
  } else if (b == '}' || b == ']') {
    if (集_严格模式 && b == ']') {
      SetError(
          12, rt::FormatTextOf("对象结束符无法匹配，不应该为：],而应该为：}%s调用方法:大括号()", {T(kCrLf)}));
      return;
    }
    if (集_分隔状态 == 2) {
      if (集_严格模式) {
        SetError(15, rt::FormatTextOf(
                         "对象结束时发现多给了逗号：%s,%s，或者是成员未命名与赋值。%s调用方法:大括号()",
                         {T(kLq), T(kRq), T(kCrLf)}));
        return;
      }
      新建节点(3);
      集_无引号名 = 1;
      对象名_获取(',');
    }
    CloseContainer(&集_对象成员计数, &objectCounterCapacity_, 集_当前层级, '{', '}');
  } else if (b == ',') {
    if (集_分隔状态 == 1) {
      集_分隔状态 = 2;
    } else if (集_严格模式) {
      SetError(13, rt::FormatTextOf(
                       "对象%s{ }%s内定义了成员但该成员没有给定名称,或者是多给了逗号%s,%s%s调用方法:大括号()",
                       {T(kLq), T(kRq), T(kLq), T(kRq), T(kCrLf)}));
    } else {
      新建节点(3);
      集_无引号名 = 0;
      对象名_获取(',');
    }
  } else if (IsBlank(b)) {
  } else if (集_严格模式) {
    SetError(14,
             rt::FormatTextOf("对象大括号内%s{ }%s后面仅仅可以出现空字符或者引号%s%s%s%s调用方法:大括号()",
                              {T(kLq), T(kRq), T(kLq), T("\""), T(kRq), T(kCrLf)}));
  } else {
    新建节点(3);
    集_无引号名 = 1;
    对象名_获取(b);
  }
}

void 类_JSON::对象名_获取(uint8_t b) {
  if (集_无引号名 && (b == ',' || b == '}' || b == ']')) {
    if (b == ']') b = '}';
    SetBufferAsName(NewestNode());
    ReplaceTopState(5);
    对象值_准备获取(b);
  } else if (集_严格模式 && (b == '\t' || b == '\n' || b == '\r')) {
    SetError(21, rt::FormatTextOf(
                     "成员名中不允许出现换行、回车、制表符(请用 \\r \\n \\t 代替)%s调用方法:对象名_获取()",
                     {T(kCrLf)}));
  } else if (b == '"' || b == '\n' || b == '\r' || (b == ':' && 集_无引号名)) {
    SetBufferAsName(NewestNode());
    ReplaceTopState(4);
  } else if (b == '\t') {
    BufferAppendOther("\\t", 2);
  } else {
    BufferAppendByte(b);
  }
}

void 类_JSON::对象值_等待冒号(uint8_t b) {
  if (b == ':') {
    ReplaceTopState(5);
  } else if (IsBlank(b)) {
  } else if (集_严格模式) {
    SetError(31,
             rt::FormatTextOf("成员值前缺少冒号%s:%s，成员名后只允许出现冒号。%s调用方法:对象值_等待冒号()",
                              {T(kLq), T(kRq), T(kCrLf)}));
  } else {
    ReplaceTopState(5);
    对象值_准备获取(b);
  }
}

void 类_JSON::方括号(uint8_t b) {
  if (b == '{') {
    if (集_严格模式 && 集_分隔状态 == 1) {  // an object after a completed element needs a comma too
      SetError(42, rt::FormatTextOf("数组成员间缺少逗号分隔%s调用方法:方括号()", {T(kCrLf)}));
      return;
    }
    集_分隔状态 = 0;
    新建节点(1);
  } else if (b == ']' || b == '}') {
    if (集_严格模式 && b == '}') {
      SetError(
          41, rt::FormatTextOf("数组结束符无法匹配，不应该为：},而应该为：]%s调用方法:方括号()", {T(kCrLf)}));
      return;
    }
    if (集_分隔状态 == 2) {
      if (集_严格模式) {
        SetError(44,
                 rt::FormatTextOf(
                     "数组结束时发现多给了逗号：%s,%s，或者是成员未赋值，注意：不允许成员值全空(空类型请赋予%"
                     "snull%s)。%s调用方法:方括号()",
                     {T(kLq), T(kRq), T(kLq), T(kRq), T(kCrLf)}));
        return;
      }
      新建节点(5);
      对象值_准备获取(']');  // the array's own closer, never an object's
    }
    CloseContainer(&集_数组成员计数, &arrayCounterCapacity_, 集_当前层级 + 1, '[', ']');
  } else if (b == ',') {
    if (集_严格模式 && 集_分隔状态 != 1) {
      SetError(
          43,
          rt::FormatTextOf(
              "获取对象值时发现成员结束符%s, %s，不允许成员值全空(空类型请赋予%snull%s)%s调用方法:方括号()",
              {T(kLq), T(kRq), T(kLq), T(kRq), T(kCrLf)}));
    } else if (集_分隔状态 == 1) {
      集_分隔状态 = 2;
    } else {
      新建节点(5);
      对象值_准备获取(',');
    }
  } else if (IsBlank(b)) {
  } else if (集_严格模式 && 集_分隔状态 == 1) {
    SetError(42, rt::FormatTextOf("数组成员间缺少逗号分隔%s调用方法:方括号()", {T(kCrLf)}));
  } else {
    新建节点(5);
    对象值_准备获取(b);
  }
}

void 类_JSON::对象值_准备获取(uint8_t b) {
  节点* node = NewestNode();
  if (node == nullptr) return;
  if (b == '{' || b == '[') {
    集_分隔状态 = 0;
    BufferClear();
    ReplaceTopState(b == '{' ? 1 : 2);
    node->类型 = b == '{' ? kTypeObject : kTypeArray;
    集_当前层级 += 1;
  } else if (b == ',' || b == '}' || b == ']') {
    if (集_严格模式 && 集_分隔状态 == 2) {
      char byte[2] = {static_cast<char>(b), 0};
      SetError(51, rt::FormatTextOf(
                       "获取对象值时发现成员结束符%s%s%s，不允许成员值全空(空类型请赋予%snull%s)%s调用方法:"
                       "对象值_准备获取()",
                       {T(kLq), T(byte), T(kRq), T(kLq), T(kRq), T(kCrLf)}));
      return;
    }
    node->类型 = kTypeNull;
    Assign(&node->值, nullptr);
    PopState();
    PopIndex();
    if (b == '}') {
      // The member is complete: the closer must not take the comma before it for a
      // trailing one and add a second, nameless member.
      集_分隔状态 = 1;
      大括号('}');
    }
    集_分隔状态 = b == ',' ? 2 : 1;
  } else if (IsBlank(b)) {
  } else if (b == '"') {
    集_分隔状态 = 0;
    BufferClear();
    node->类型 = kTypeText;
    ReplaceTopState(6);
  } else {
    集_分隔状态 = 0;
    BufferClear();
    BufferAppendByte(b);
    ReplaceTopState(7);
  }
}

void 类_JSON::对象值_获取文本(uint8_t b) {
  bool lineBreak = b == '\n' || b == '\r';
  if ((b == '"' && !集_转义中) || (!集_严格模式 && lineBreak)) {
    if (节点* node = NewestNode()) Assign(&node->值, BufferText().release());
    PopState();
    PopIndex();
    集_分隔状态 = 1;
    集_转义中 = 0;  // a line break may end the text right after a backslash
  } else if (集_严格模式 && (b == '\t' || lineBreak)) {
    SetError(71,
             rt::FormatTextOf(
                 "文本中不允许包含回车、换行、制表符，应分别用\\r \\n \\t 代替%s调用方法:对象值_获取文本()",
                 {T(kCrLf)}));
  } else if (b == '\t') {
    BufferAppendOther("\\t", 2);
  } else {
    BufferAppendByte(b);
    集_转义中 = b == '\\' ? !集_转义中 : 0;
  }
}

void 类_JSON::对象值_获取其他(uint8_t b) {
  if (b == '\n' || b == '\r' || b == ',' || b == ']' || b == '}') {
    节点* node = NewestNode();
    if (node == nullptr) return;
    // The whole buffer is asked for, so its length is the text's.
    const size_t length = BufferLength();
    rt::Text v = BufferText();
    if (是否数值(v.get() ? std::string_view(v.get(), length) : std::string_view())) {
      node->类型 = kTypeNumber;
    } else {
      if (!集_严格模式 && v.get() != nullptr) {
        // ASCII letters only; a double-byte character is stepped over whole.
        for (char* q = v.slot()[0]; *q; ++q) {
          auto c = static_cast<unsigned char>(*q);
          if (c >= 0x80) {
            if (q[1] == '\0') break;
            ++q;
          } else if (c >= 'A' && c <= 'Z') {
            *q = static_cast<char>(c + 32);
          }
        }
      }
      if (v == "true" || v == "false") {
        node->类型 = kTypeLogical;
      } else if (v == "null" || (!集_严格模式 && v.empty())) {
        node->类型 = kTypeNull;
      } else if (集_严格模式) {
        node->类型 = kTypeUndetermined;
        SetError(
            61, rt::FormatTextOf(
                    "成员值类型无法确定，可能缺少引号或者大小写错误，(注意：逻辑型\\空null类型只接受小写)，错"
                    "误值：%s%s调用方法:对象值_获取其他()",
                    {rt::TextArg(v), T(kCrLf)}));
        return;
      }
    }
    Assign(&node->值, v.release());
    if ((b == '}' || b == ']') && Count(集_状态栈) >= 2) {
      uint8_t below = Elements<uint8_t>(集_状态栈)[Count(集_状态栈) - 2];
      uint8_t expected = below == 2 ? ']' : '}';
      if (b != expected) {
        if (集_严格模式) {
          SetError(62,
                   rt::FormatTextOf("%s结束符无法匹配，不应该为：%s,而应该为：%s%s调用方法:对象值_获取其他()",
                                    {T(below == 2 ? "数组" : "对象"), T(below == 2 ? "}" : "]"),
                                     T(below == 2 ? "]" : "}"), T(kCrLf)}));
          return;
        }
        b = expected;
      }
    }
    PopState();
    PopIndex();
    if (b == '}') 大括号('}');
    if (b == ']') 方括号(']');
    集_分隔状态 = b == ',' ? 2 : 1;
  } else if (b == ' ' || b == '\t') {
  } else {
    BufferAppendByte(b);
  }
}

// ---- Completion ---------------------------------------------------------------------------------

bool 类_JSON::是否解析完毕() {
  if (Count(集_节点组) == 0) return false;
  int32_t states = Count(集_状态栈);
  if (states == 0) return true;
  return 集_顶级命名模式 && states == 1 && Node(1)->父类型 == kParentObject;
}

bool 类_JSON::补全结束符() {
  if (Count(集_节点组) == 0) return false;
  int32_t saved = 集_严格模式;
  集_严格模式 = 0;
  int32_t start = Count(集_状态栈);
  int32_t rounds = start;
  int32_t floor = 0;
  if (集_顶级命名模式 && Node(1)->父类型 == kParentObject) {
    rounds = start - 1;
    floor = 1;
  }
  for (int32_t k = 0; k < rounds && Count(集_状态栈) > floor; ++k) {
    switch (TopState()) {
      case 1:
        大括号('}');
        break;
      case 2:
        方括号(']');
        break;
      case 7:
        对象值_获取其他('\r');
        break;
      case 3:
        if (集_转义中) 对象名_获取('\\');
        对象名_获取('"');
        break;
      case 4:
        对象值_等待冒号(':');
        break;
      case 5:
        对象值_准备获取('\r');
        break;
      case 6:
        if (集_转义中) 对象值_获取文本('\\');
        对象值_获取文本('"');
        break;
      default:
        break;
    }
  }
  集_严格模式 = saved;
  return start > 0;
}

bool 类_JSON::是否数值(std::string_view s) {
  if (s.empty()) return false;
  size_t i = 0;
  if (s[0] == '-') {
    i = 1;
  } else if (s[0] < '0' || s[0] > '9') {
    return false;
  }
  bool dot = false, exponent = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') continue;
    if (c == '.') {
      if (dot || exponent || i + 1 == s.size()) return false;
      dot = true;
    } else if (c == 'e' || c == 'E') {
      if (exponent || s.size() - i - 1 < 2 || (s[i + 1] != '+' && s[i + 1] != '-')) return false;
      exponent = true;
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace json
