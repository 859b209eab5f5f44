// The JSON document class 类_JSON: one parsed document kept as a flat array of node records
// (节点) in document order, each with its nesting level; the byte-driven parser that fills
// it, path queries, changes and text output.
//
// Ownership: an object owns its node records and their two texts, its integer and byte
// arrays, its RapidString text buffer and its error text. Records handed out by the copying
// queries are deep copies the caller owns (NodeRecord, NodeArray); the exchanging queries
// (取全部节点_交换变量, 取成员_交换变量) swap records with the caller's array instead.
// Copying an object is deep (复制).
// Thread contract: an object is used by one thread at a time.
// REQUIRES: the code-page operations (反转义文本, 转义文本) call the program's declared DLL
// commands, so rt::InitDllCommands has run with the program's table.
#ifndef JSON_JSON_DOCUMENT_H_
#define JSON_JSON_DOCUMENT_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "runtime/rapid_string.h"
#include "runtime/values.h"

namespace json {

// Node types (类型).
inline constexpr int32_t kTypeUndetermined = 0;
inline constexpr int32_t kTypeNumber = 1;
inline constexpr int32_t kTypeText = 2;
inline constexpr int32_t kTypeLogical = 3;
inline constexpr int32_t kTypeObject = 4;
inline constexpr int32_t kTypeArray = 5;
inline constexpr int32_t kTypeNull = 6;

// Parent kinds (父类型).
inline constexpr uint8_t kParentRoot = 0;
inline constexpr uint8_t kParentObject = 4;
inline constexpr uint8_t kParentArray = 5;

// The node record: five fields in this order. A record lives in its own heap block; its two
// texts are owned (null = empty).
struct 节点 {
  char* 名称;
  char* 值;
  int32_t 层级;
  int32_t 类型;
  uint8_t 父类型;
};

// A new zero-filled record; a deep copy; the release of a record and its texts.
节点* NewNodeRecord();
节点* CopyNodeRecord(const 节点& source);
void FreeNodeRecord(节点* record);

// Owns one node record (never null: an empty record stands for "not found").
class NodeRecord {
 public:
  NodeRecord();
  explicit NodeRecord(const 节点& source);
  NodeRecord(const NodeRecord& o);
  NodeRecord& operator=(const NodeRecord& o);
  ~NodeRecord();

  std::string_view name() const { return r_->名称 ? std::string_view(r_->名称) : std::string_view(); }
  std::string_view value() const { return r_->值 ? std::string_view(r_->值) : std::string_view(); }
  int32_t level() const { return r_->层级; }
  int32_t type() const { return r_->类型; }
  uint8_t parentKind() const { return r_->父类型; }
  const 节点& record() const { return *r_; }

 private:
  节点* r_;
};

// Owns an array variable of node records: a one-dimensional runtime array block of record
// pointers (indexes from 1).
class NodeArray {
 public:
  NodeArray();
  NodeArray(const NodeArray&) = delete;
  NodeArray& operator=(const NodeArray&) = delete;
  ~NodeArray();

  int32_t size() const;
  // 1-based, checked like every array access of the program (runtime errors 4 and 1, naming the
  // caller's place).
  const 节点& at(int64_t index, rt::CheckSite where = rt::CheckSite::Here()) const;
  节点& at(int64_t index, rt::CheckSite where = rt::CheckSite::Here());
  // Frees every record and leaves the array empty.
  void clear();
  // Appends a deep copy.
  void push_back(const 节点& record);
  // The variable itself, for the operations that exchange their records with it.
  void** slot() { return &block_; }
  void* block() const { return block_; }

 private:
  void* block_;
};

class 类_JSON final {
 public:
  类_JSON();
  类_JSON(const 类_JSON& other);
  类_JSON& operator=(const 类_JSON& other);
  ~类_JSON();

  // The operations, in the slot order of the class's table.
  virtual void 销毁();                                       // 0
  virtual void 复制(const 类_JSON& source);                  // 1: this becomes a deep copy
  virtual int32_t 取节点数量();                              // 2
  virtual int32_t 取全部节点(NodeArray* out);                // 3
  virtual int32_t 取全部节点_交换变量(NodeArray* variable);  // 4
  virtual NodeRecord 取节点(const char* path = "", std::optional<int32_t> index = std::nullopt,
                            int32_t* outIndex = nullptr);  // 5
  virtual int32_t 取成员数(const char* path = "", std::optional<int32_t> index = std::nullopt,
                           int32_t* outIndex = nullptr);  // 6
  virtual int32_t 取子孙数(const char* path = "", std::optional<int32_t> index = std::nullopt,
                           int32_t* outIndex = nullptr);  // 7
  virtual int32_t 取成员(const char* path, std::optional<int32_t> index, NodeArray* out,
                         std::optional<bool> includeSelf = std::nullopt);  // 8
  virtual int32_t 取成员_交换变量(const char* path, std::optional<int32_t> index, NodeArray* variable,
                                  std::optional<bool> includeSelf = std::nullopt);  // 9
  virtual int32_t 取错误信息(rt::Text* message = nullptr, int32_t* position = nullptr,
                             int32_t* line = nullptr,
                             int32_t* column = nullptr);  // 10
  virtual rt::Text 取值(const char* path = "", std::optional<int32_t> index = std::nullopt,
                        int32_t* outType = nullptr, bool decode = false, int32_t* outIndex = nullptr);  // 11
  virtual bool 置值(const char* path, std::optional<int32_t> index, const char* value,
                    std::optional<int32_t> type = std::nullopt,
                    std::optional<int32_t> escapeFlags = std::nullopt,
                    int32_t* outIndex = nullptr);  // 12
  virtual bool 置节点名(const char* path, std::optional<int32_t> index, const char* name,
                        std::optional<int32_t> escapeFlags = std::nullopt,
                        int32_t* outIndex = nullptr);                                    // 13
  virtual int32_t 查找节点(const char* path, int32_t start = 0, bool relative = false);  // 14
  virtual int32_t 取父节点(const char* path = "", std::optional<int32_t> index = std::nullopt,
                           std::optional<int32_t> levels = std::nullopt, int32_t* outIndex = nullptr);  // 15
  virtual int32_t 取子节点(const char* path, std::optional<int32_t> index, int32_t position,
                           int32_t* outIndex = nullptr);  // 16
  virtual int32_t 取节点位置(const char* path = "", std::optional<int32_t> index = std::nullopt,
                             int32_t* outIndex = nullptr);  // 17
  virtual int32_t 取JSON文本(const char* path, std::optional<int32_t> index, rt::Text* out,
                             bool formatted = false,
                             int32_t* outIndex = nullptr);  // 18
  virtual int32_t 插入成员(const char* path, std::optional<int32_t> index,
                           std::optional<int32_t> position = std::nullopt, const char* name = nullptr);  // 19
  virtual bool 删除节点(const char* path, std::optional<int32_t> index = std::nullopt,
                        int32_t* outIndex = nullptr);  // 20
  virtual bool 置JSON文本(const char* path, std::optional<int32_t> index, const char* json,
                          bool takeName = false,
                          int32_t* outIndex = nullptr);  // 21
  virtual bool 置节点文档(const char* path, std::optional<int32_t> index, const 类_JSON& other,
                          bool takeName = false,
                          int32_t* outIndex = nullptr);                                                // 22
  virtual int32_t 取节点文档(const char* path, std::optional<int32_t> index, 类_JSON* target);         // 23
  virtual rt::Text 取节点路径(int32_t index);                                                          // 24
  virtual int32_t 解析文本(const char* text, bool strict = false, bool namingMode = false);            // 25
  virtual int32_t 解析字节集(const rt::ByteSet& bytes, bool strict = false, bool namingMode = false);  // 26
  virtual int32_t 加入json字节集(const rt::ByteSet& bytes, std::optional<bool> strict = std::nullopt,
                                 bool namingMode = false);  // 27
  virtual int32_t 加入json文本(const char* text, std::optional<bool> strict = std::nullopt,
                               bool namingMode = false);                                           // 28
  virtual bool 是否解析完毕();                                                                     // 29
  virtual bool 补全结束符();                                                                       // 30
  virtual void 初始化();                                                                           // 31
  virtual int32_t 取节点索引(const char* path = "", std::optional<int32_t> index = std::nullopt);  // 32
  virtual void 大括号(uint8_t byte);                                                               // 33
  virtual void 对象名_获取(uint8_t byte);                                                          // 34
  virtual void 对象值_等待冒号(uint8_t byte);                                                      // 35
  virtual void 方括号(uint8_t byte);                                                               // 36
  virtual void 对象值_准备获取(uint8_t byte);                                                      // 37
  virtual void 对象值_获取其他(uint8_t byte);                                                      // 38
  virtual void 对象值_获取文本(uint8_t byte);                                                      // 39
  virtual int32_t 取当前节点索引();                                                                // 40
  virtual void 新建节点(uint8_t state);                                                            // 41

  // Decodes the escapes of a stored text value in place.
  static void 反转义文本(rt::Text* text);
  // Writes a text with backslash escapes for storage as a text value.
  static void 转义文本(const char* input, rt::Text* out, bool unicodeEscapes, bool slashEscapes);
  // The parser's number rule.
  static bool 是否数值(std::string_view text);

  // Read access for tests and the fuzz targets: node i (1-based, unchecked beyond the count),
  // the number of states on the parser's stack.
  const 节点* NodeAt(int32_t index) const;
  int32_t StateCount() const;

 private:
  // Feeds bytes (the body of 加入json字节集 and 加入json文本).
  int32_t Feed(const unsigned char* bytes, size_t n);
  void SetError(int32_t code, const rt::Text& message);
  节点* NewestNode();
  节点* Node(int32_t index) const;  // 1-based, null outside
  void PushState(uint8_t state);
  void PopState();
  void ReplaceTopState(uint8_t state);
  uint8_t TopState() const;
  void PushIndex(int32_t index);
  void PopIndex();
  void AppendNode(节点* record);
  // Counters by 1-based slot.
  int32_t* CounterSlot(void** counters, int32_t* capacity, int32_t slot, bool grow);
  void CloseContainer(void** counters, int32_t* capacity, int32_t slot, char open, char close);
  void SetBufferAsName(节点* node);
  // The text buffer as the handlers use it. While bytes are fed, input bytes appended to an
  // empty buffer are only remembered (pendingRun_) and copied into 集_文本缓冲 when anything
  // else is appended or when feeding ends: a text or word that lies whole in one piece goes
  // from the input straight into its node.
  void BufferAppendInput(const unsigned char* bytes, size_t n);  // REQUIRES: bytes are fed input
  void BufferAppendByte(uint8_t b);
  void BufferAppendOther(const char* bytes, size_t n);
  rt::Text BufferText() const;
  size_t BufferLength() const;
  void BufferClear();
  void FlushPendingRun();
  void FreeAll();
  void CopyFrom(const 类_JSON& source);
  // Changes of the node array.
  void RemoveRange(int32_t first, int32_t count);
  void InsertRecords(int32_t before, 节点* const* records, int32_t count);
  int32_t SubtreeEnd(int32_t index) const;  // one past the node's last descendant
  void RecountContainer(int32_t index);
  void RenumberElements(int32_t arrayIndex);
  int32_t ParentOf(int32_t index) const;
  void ReplaceWithRecords(int32_t index, 节点* const* records, int32_t count);

  // Members in the class's order.
  void* 集_节点组;        // array of node records
  void* 集_节点索引组;    // array of 32-bit integers
  void* 集_状态栈;        // array of bytes
  void* 集_数组成员计数;  // array of 32-bit integers
  void* 集_对象成员计数;  // array of 32-bit integers
  int32_t 集_当前层级;
  int32_t 集_转义中;
  std::unique_ptr<rt::RapidString> 集_文本缓冲;
  int32_t 集_无引号名;
  int32_t 集_严格模式;
  int32_t 集_已处理字节数;
  int32_t 集_错误位置;
  int32_t 集_错误代码;
  char* 集_错误信息;
  uint8_t 集_分隔状态;
  int32_t 集_顶级命名模式;
  int32_t 集_行号;
  int32_t 集_列号;

  // Capacities of the geometrically grown arrays (elements the blocks can hold).
  int32_t nodeCapacity_ = 0;
  int32_t indexCapacity_ = 0;
  int32_t stateCapacity_ = 0;
  int32_t arrayCounterCapacity_ = 0;
  int32_t objectCounterCapacity_ = 0;

  // The top of 集_状态栈 (0 when it is empty), kept beside it: the parser asks for it on every
  // byte, and reading it from the array is a chain of dependent loads.
  uint8_t topState_ = 0;

  // Only while Feed runs: the byte being handled, and the input bytes that make up the text
  // buffer's whole content when pendingRun_ is set (集_文本缓冲 itself is then empty).
  const unsigned char* cursor_ = nullptr;
  const unsigned char* pendingRun_ = nullptr;
  size_t pendingLength_ = 0;
};

}  // namespace json

#endif  // JSON_JSON_DOCUMENT_H_
