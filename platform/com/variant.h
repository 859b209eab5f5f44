// Automation values: result codes, VARIANT, BSTR (UTF-16 as char16_t), one-dimensional safe
// arrays, and the operations on them (clear, copy with references resolved, type changes).
//
// Ownership: a VARIANT owns what it holds (a BSTR, a safe array, an interface reference)
// unless it is VT_BYREF, in which case it points into storage someone else owns. VariantClear
// releases the owned content. A BSTR is freed with SysFreeString, a safe array with
// SafeArrayDestroy.
// Thread contract: values are plain data; no locking. Interfaces they hold follow their own
// object's contract.
#ifndef PLATFORM_COM_VARIANT_H_
#define PLATFORM_COM_VARIANT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/com_init.h"

namespace platform::com {

constexpr HRESULT MakeHresult(uint32_t v) { return static_cast<HRESULT>(v); }
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeHresult(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHresult(0x800401F3);
inline constexpr HRESULT TYPE_E_CANTLOADLIBRARY = MakeHresult(0x80029C4A);
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHresult(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHresult(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHresult(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHresult(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = MakeHresult(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = MakeHresult(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = MakeHresult(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = MakeHresult(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHresult(0x8002000B);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHresult(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeHresult(0x8002000F);
constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

using VARTYPE = uint16_t;
enum : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_PTR = 26,
  VT_SAFEARRAY = 27,
  VT_CARRAY = 28,
  VT_USERDEFINED = 29,
  VT_RECORD = 36,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};
using VARIANT_BOOL = int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;
using DATE = double;
using BSTR = char16_t*;

class IUnknown;
class IDispatch;
struct SAFEARRAY;

// 16 bytes: the type, three reserved words, the 8-byte value.
struct VARIANT {
  VARTYPE vt;
  uint16_t wReserved1, wReserved2, wReserved3;
  union {
    int8_t cVal;
    uint8_t bVal;
    int16_t iVal;
    uint16_t uiVal;
    int32_t lVal;
    uint32_t ulVal;
    int64_t llVal;
    uint64_t ullVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    uint8_t* pbVal;
    int16_t* piVal;
    int32_t* plVal;
    int64_t* pllVal;
    float* pfltVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    HRESULT* pscode;
    DATE* pdate;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    SAFEARRAY** pparray;
    VARIANT* pvarVal;
    void* byref;
  };
};
static_assert(sizeof(VARIANT) == 16, "a VARIANT is 16 bytes");

// ---- BSTR: a length-prefixed, zero-terminated UTF-16 string; null is the empty string. ----
BSTR SysAllocString(const char16_t* s);
BSTR SysAllocStringLen(const char16_t* s, uint32_t length);  // s may be null: zero-filled
inline BSTR SysAllocString(std::u16string_view s) {
  return SysAllocStringLen(s.data(), static_cast<uint32_t>(s.size()));
}
void SysFreeString(BSTR s);
uint32_t SysStringLen(BSTR s);
inline std::u16string_view BstrView(BSTR s) {
  return s ? std::u16string_view(s, SysStringLen(s)) : std::u16string_view();
}

// ---- Safe arrays (one dimension is all this platform builds; more are refused). ----------
struct SAFEARRAYBOUND {
  uint32_t cElements;
  int32_t lLbound;
};
struct SAFEARRAY {
  uint16_t cDims;
  uint16_t fFeatures;
  uint32_t cbElements;
  uint32_t cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
  VARTYPE vt;  // element type
};
// Null for an element type this platform cannot store or for cDims != 1.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, uint32_t cDims, const SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count);
// Releases the elements (strings, variants, interfaces) and the array.
HRESULT SafeArrayDestroy(SAFEARRAY* sa);
uint32_t SafeArrayGetDim(SAFEARRAY* sa);
HRESULT SafeArrayGetLBound(SAFEARRAY* sa, uint32_t dim, int32_t* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* sa, uint32_t dim, int32_t* bound);
HRESULT SafeArrayGetVartype(SAFEARRAY* sa, VARTYPE* vt);
uint32_t SafeArrayGetElemsize(SAFEARRAY* sa);
HRESULT SafeArrayAccessData(SAFEARRAY* sa, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* sa);
// Copies the value in (a BSTR is duplicated, a VARIANT copied, an interface AddRef'ed).
// DISP_E_BADINDEX for an index outside the bounds.
HRESULT SafeArrayPutElement(SAFEARRAY* sa, const int32_t* indices, const void* value);
// Copies the element out into *value (the caller owns the copy).
HRESULT SafeArrayGetElement(SAFEARRAY* sa, const int32_t* indices, void* value);
HRESULT SafeArrayCopy(SAFEARRAY* sa, SAFEARRAY** out);
// Bytes one element of the type takes; 0 for a type arrays cannot hold.
uint32_t ElementSize(VARTYPE vt);

// ---- VARIANT operations --------------------------------------------------------------------
void VariantInit(VARIANT* v);
// Releases the content and leaves VT_EMPTY. DISP_E_BADVARTYPE for a type it does not know.
HRESULT VariantClear(VARIANT* v);
// dest is cleared first; a reference is copied as a reference.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// As VariantCopy, but a VT_BYREF source gives a copy of the value it points to.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src);
// Changes src (references resolved) to vt into dest; dest may be src. Numbers round to the
// nearest integer (halves to even) and fail with DISP_E_OVERFLOW outside the target range;
// texts parse as numbers, "True"/"False" or dates as the platform reads them; an object
// converts through its default member. DISP_E_TYPEMISMATCH when no conversion exists.
inline constexpr uint16_t VARIANT_NOVALUEPROP = 0x1;
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t flags, VARTYPE vt);

// Conveniences for object code.
VARIANT MakeBstrVariant(std::u16string_view s);
VARIANT MakeI4Variant(int32_t v);
VARIANT MakeBoolVariant(bool v);
VARIANT MakeR8Variant(double v);
// The VT_ERROR value that marks an omitted optional argument.
VARIANT MakeMissingVariant();
bool IsMissing(const VARIANT& v);
// True when a and b are the same text with the ASCII letters A-Z taken as a-z (names,
// keywords); other units compare exactly.
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace platform::com

#endif  // PLATFORM_COM_VARIANT_H_
