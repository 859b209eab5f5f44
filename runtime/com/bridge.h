// The COM bridge commands of the kernel library: the ComObject and Variant holders, object
// creation, calls by member name with runtime values converted to and from VARIANTs, and the
// per-thread last COM error.
//
// Argument records: a ComObject argument carries the address of its holder (type
// kTypeComObject); a Variant argument carries the VARIANT pointer the holder keeps (type
// kTypeVariant). In member arguments, kArrayBit on the type marks the address of a variable
// of the type without the bit (for a Variant, the address of the holder's pointer), whose
// value is read through it and written back for [out] parameters.
// Ownership: a holder owns one reference to its object; a Variant holder owns its VARIANT
// block (MemAlloc'ed, 16 bytes). Text, byte-set and Variant results are new blocks the caller
// owns. Thread contract: COM must be initialised by the caller (CoInitialize) on the thread;
// LastComError is per thread. No command raises a runtime error.
#ifndef RUNTIME_COM_BRIDGE_H_
#define RUNTIME_COM_BRIDGE_H_

#include <cstdint>

#include "platform/com/automation.h"
#include "runtime/values.h"

namespace rt {

// Two words: the interface pointer and record data (null unless the holder carries a record;
// this platform has no record types, so it stays null). Both null: empty.
struct ComObjectHolder {
  platform::com::IUnknown* unknown;
  void* record;
};

// Codes in LastComError.
enum ComErrorCode : int32_t {
  kComOk = 0,
  kComEmptyHolder = -1,
  kComNoDispatch = -2,
  kComUnknownMember = -3,
  kComNoTypeInfo = -4,
  kComTooManyArguments = -5,
  kComBadArgumentType = -7,
  kComBadResultType = -8,
  kComBadParamCount = -9,
  kComBadVarType = -10,
  kComException = -11,
  kComMemberNotFound = -12,
  kComNoNamedArgs = -13,
  kComOverflow = -14,
  kComParamNotFound = -15,
  kComTypeMismatch = -16,
  kComParamNotOptional = -17,
  kComInvokeFailed = -18,
};

int32_t LastComError();
// Maps a failed Invoke result to its code.
int32_t ComErrorFromHresult(platform::com::HRESULT hr);

// A new Variant block holding VT_I4 0, and its release (VariantClear, then the block).
platform::com::VARIANT* NewVariantBlock();
void FreeVariantBlock(platform::com::VARIANT* v);

// The commands: (holder, ProgID or CLSID text, optional type-library file) -> bool.
void ComCreate(ArgRecord* result, int32_t count, ArgRecord* args);
// (target holder, source holder).
void ComCopy(ArgRecord* result, int32_t count, ArgRecord* args);
// (holder).
void ComClear(ArgRecord* result, int32_t count, ArgRecord* args);
// (holder, member name, arguments...): none, text, double, text, double, Variant, bool.
void ComCall(ArgRecord* result, int32_t count, ArgRecord* args);
void ComCallText(ArgRecord* result, int32_t count, ArgRecord* args);
void ComCallNumber(ArgRecord* result, int32_t count, ArgRecord* args);
void ComGetText(ArgRecord* result, int32_t count, ArgRecord* args);
void ComGetNumber(ArgRecord* result, int32_t count, ArgRecord* args);
void ComGetVariant(ArgRecord* result, int32_t count, ArgRecord* args);
// (holder, member name, index arguments..., value) -> bool: LastComError is 0.
void ComSetProperty(ArgRecord* result, int32_t count, ArgRecord* args);
// (Variant).
void VariantClearCommand(ArgRecord* result, int32_t count, ArgRecord* args);
// (Variant) -> byte set.
void VariantToBytes(ArgRecord* result, int32_t count, ArgRecord* args);
// (Variant, value, optional 1-based element index) -> bool.
void VariantAssign(ArgRecord* result, int32_t count, ArgRecord* args);
// () -> integer: the calling thread's LastComError.
void ComLastError(ArgRecord* result, int32_t count, ArgRecord* args);

}  // namespace rt

#endif  // RUNTIME_COM_BRIDGE_H_
