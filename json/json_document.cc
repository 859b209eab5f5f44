// The node records, the node array owner, and the object's life: construction, 初始化,
// 销毁, 复制.
#include "json/json_document.h"

#include <cstring>

#include "json/json_arrays.h"

namespace json {

using internal::Count;
using internal::Elements;

节点* NewNodeRecord() {
  auto* r = static_cast<节点*>(rt::MemAlloc(sizeof(节点)));
  std::memset(r, 0, sizeof(节点));
  return r;
}

节点* CopyNodeRecord(const 节点& source) {
  节点* r = NewNodeRecord();
  r->名称 = source.名称 ? rt::NewText(source.名称) : nullptr;
  r->值 = source.值 ? rt::NewText(source.值) : nullptr;
  r->层级 = source.层级;
  r->类型 = source.类型;
  r->父类型 = source.父类型;
  return r;
}

void FreeNodeRecord(节点* record) {
  if (record == nullptr) return;
  rt::MemFree(record->名称);
  rt::MemFree(record->值);
  rt::MemFree(record);
}

namespace {

// Last node first: the heap hands freed blocks out again newest first, so the next document's
// nodes then take the blocks in the order this one had them, close together in memory.
void FreeNodeRecords(void* nodes) {
  节点** records = internal::Elements<节点*>(nodes);
  // A large document no longer sits in the cache: each record, whose text addresses the release
  // reads, is fetched a few nodes ahead (the heap frees the texts without touching them).
  constexpr int32_t kAhead = 8;
  for (int32_t i = internal::Count(nodes); i-- > 0;) {
    if (i >= kAhead) __builtin_prefetch(records[i - kAhead]);
    FreeNodeRecord(records[i]);
  }
}

}  // namespace

// ---- NodeRecord, NodeArray ------------------------------------------------------------------

NodeRecord::NodeRecord() : r_(NewNodeRecord()) {}
NodeRecord::NodeRecord(const 节点& source) : r_(CopyNodeRecord(source)) {}
NodeRecord::NodeRecord(const NodeRecord& o) : r_(CopyNodeRecord(*o.r_)) {}
NodeRecord& NodeRecord::operator=(const NodeRecord& o) {
  节点* fresh = CopyNodeRecord(*o.r_);
  FreeNodeRecord(r_);
  r_ = fresh;
  return *this;
}
NodeRecord::~NodeRecord() { FreeNodeRecord(r_); }

NodeArray::NodeArray() : block_(internal::NewBlock<节点*>()) {}
NodeArray::~NodeArray() {
  clear();
  rt::MemFree(block_);
}

int32_t NodeArray::size() const { return static_cast<int32_t>(rt::ElementCount(block_)); }

const 节点& NodeArray::at(int64_t index, rt::CheckSite where) const {
  节点* r;
  std::memcpy(&r, rt::ElementAt(block_, index, sizeof(节点*), where), sizeof r);
  return *r;
}
节点& NodeArray::at(int64_t index, rt::CheckSite where) {
  节点* r;
  std::memcpy(&r, rt::ElementAt(block_, index, sizeof(节点*), where), sizeof r);
  return *r;
}

void NodeArray::clear() {
  int32_t n = size();
  FreeNodeRecords(block_);
  if (n > 0 && !rt::IsConstant(block_)) internal::SetCount(block_, 0);
  if (rt::IsConstant(block_)) block_ = internal::NewBlock<节点*>();
}

void NodeArray::push_back(const 节点& record) {
  int32_t capacity = size();
  internal::Push<节点*>(&block_, &capacity, CopyNodeRecord(record));
}

// ---- 类_JSON: life ---------------------------------------------------------------------------

类_JSON::类_JSON()
    : 集_节点组(internal::NewBlock<节点*>()),
      集_节点索引组(internal::NewBlock<int32_t>()),
      集_状态栈(internal::NewBlock<uint8_t>()),
      集_数组成员计数(internal::NewBlock<int32_t>()),
      集_对象成员计数(internal::NewBlock<int32_t>()),
      集_当前层级(0),
      集_转义中(0),
      集_文本缓冲(std::make_unique<rt::RapidString>()),
      集_无引号名(0),
      集_严格模式(0),
      集_已处理字节数(0),
      集_错误位置(0),
      集_错误代码(0),
      集_错误信息(nullptr),
      集_分隔状态(0),
      集_顶级命名模式(0),
      集_行号(0),
      集_列号(0) {}

类_JSON::类_JSON(const 类_JSON& other) : 类_JSON() { CopyFrom(other); }

类_JSON& 类_JSON::operator=(const 类_JSON& other) {
  if (this != &other) 复制(other);
  return *this;
}

类_JSON::~类_JSON() {
  FreeAll();
  集_文本缓冲.reset();
}

void 类_JSON::FreeAll() {
  if (集_节点组 != nullptr) FreeNodeRecords(集_节点组);
  for (void** a : {&集_节点组, &集_节点索引组, &集_状态栈, &集_数组成员计数, &集_对象成员计数}) {
    rt::MemFree(*a);
    *a = nullptr;
  }
  nodeCapacity_ = indexCapacity_ = stateCapacity_ = arrayCounterCapacity_ = objectCounterCapacity_ = 0;
  topState_ = 0;
  rt::MemFree(集_错误信息);
  集_错误信息 = nullptr;
}

void 类_JSON::销毁() {
  FreeAll();
  集_文本缓冲.reset();  // the string object released, then its block freed
  // The object stays usable: it holds an empty document, as a new one does.
  集_节点组 = internal::NewBlock<节点*>();
  集_节点索引组 = internal::NewBlock<int32_t>();
  集_状态栈 = internal::NewBlock<uint8_t>();
  集_数组成员计数 = internal::NewBlock<int32_t>();
  集_对象成员计数 = internal::NewBlock<int32_t>();
  集_文本缓冲 = std::make_unique<rt::RapidString>();
  集_当前层级 = 集_转义中 = 集_无引号名 = 集_严格模式 = 集_已处理字节数 = 0;
  集_错误位置 = 集_错误代码 = 集_顶级命名模式 = 集_行号 = 集_列号 = 0;
  集_分隔状态 = 0;
}

void 类_JSON::初始化() {
  集_转义中 = 0;
  FreeNodeRecords(集_节点组);
  for (void* a : {集_节点组, 集_状态栈, 集_节点索引组, 集_数组成员计数, 集_对象成员计数})
    internal::SetCount(a, 0);
  topState_ = 0;
  集_文本缓冲->Clear();
  集_严格模式 = 0;
  集_已处理字节数 = 0;
  集_错误位置 = 0;
  集_错误代码 = 0;
  集_顶级命名模式 = 0;
  集_分隔状态 = 0;
  集_行号 = 0;
  集_列号 = 0;
  集_无引号名 = 0;  // a naming-mode start would otherwise inherit it from the previous document
  rt::MemFree(集_错误信息);
  集_错误信息 = nullptr;
}

void 类_JSON::CopyFrom(const 类_JSON& source) {
  FreeAll();
  auto copyPlain = [](const void* from, size_t width, void** to, int32_t* capacity) {
    int32_t n = from ? Count(from) : 0;
    *to = rt::NewArrayBlock(n, width);
    if (n > 0) std::memcpy(rt::ArrayElements(*to), rt::ArrayElements(from), static_cast<size_t>(n) * width);
    *capacity = n;
  };
  int32_t n = source.集_节点组 ? Count(source.集_节点组) : 0;
  集_节点组 = rt::NewArrayBlock(n, sizeof(节点*));
  nodeCapacity_ = n;
  for (int32_t i = 0; i < n; ++i) {
    节点* r = Elements<节点*>(source.集_节点组)[i];
    Elements<节点*>(集_节点组)[i] = r ? CopyNodeRecord(*r) : NewNodeRecord();
  }
  copyPlain(source.集_节点索引组, sizeof(int32_t), &集_节点索引组, &indexCapacity_);
  copyPlain(source.集_状态栈, 1, &集_状态栈, &stateCapacity_);
  topState_ = source.topState_;
  copyPlain(source.集_数组成员计数, sizeof(int32_t), &集_数组成员计数, &arrayCounterCapacity_);
  copyPlain(source.集_对象成员计数, sizeof(int32_t), &集_对象成员计数, &objectCounterCapacity_);
  集_当前层级 = source.集_当前层级;
  集_转义中 = source.集_转义中;
  集_文本缓冲 = source.集_文本缓冲 ? std::make_unique<rt::RapidString>(*source.集_文本缓冲)
                                   : std::make_unique<rt::RapidString>();
  集_无引号名 = source.集_无引号名;
  集_严格模式 = source.集_严格模式;
  集_已处理字节数 = source.集_已处理字节数;
  集_错误位置 = source.集_错误位置;
  集_错误代码 = source.集_错误代码;
  集_错误信息 = source.集_错误信息 ? rt::NewText(source.集_错误信息) : nullptr;
  集_分隔状态 = source.集_分隔状态;
  集_顶级命名模式 = source.集_顶级命名模式;
  集_行号 = source.集_行号;
  集_列号 = source.集_列号;
}

void 类_JSON::复制(const 类_JSON& source) {
  if (&source == this) return;
  CopyFrom(source);
}

// ---- Small helpers shared by the parser and the queries ----------------------------------

节点* 类_JSON::Node(int32_t index) const {
  if (集_节点组 == nullptr || index < 1 || index > Count(集_节点组)) return nullptr;
  return Elements<节点*>(集_节点组)[index - 1];
}

const 节点* 类_JSON::NodeAt(int32_t index) const { return Node(index); }

int32_t 类_JSON::StateCount() const { return 集_状态栈 ? Count(集_状态栈) : 0; }

节点* 类_JSON::NewestNode() { return 集_节点组 ? Node(Count(集_节点组)) : nullptr; }

void 类_JSON::AppendNode(节点* record) { internal::Push<节点*>(&集_节点组, &nodeCapacity_, record); }

}  // namespace json
