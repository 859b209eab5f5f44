#include "platform/com/variant.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "platform/codepage.h"
#include "platform/com/automation.h"

namespace platform::com {

// ---- BSTR ------------------------------------------------------------------------------------

BSTR SysAllocStringLen(const char16_t* s, uint32_t length) {
  auto* block = static_cast<unsigned char*>(std::malloc(4 + (static_cast<size_t>(length) + 1) * 2));
  if (block == nullptr) return nullptr;
  uint32_t bytes = length * 2;
  std::memcpy(block, &bytes, 4);
  auto* text = reinterpret_cast<char16_t*>(block + 4);
  if (s != nullptr) {
    std::memcpy(text, s, static_cast<size_t>(length) * 2);
  } else {
    std::memset(text, 0, static_cast<size_t>(length) * 2);
  }
  text[length] = 0;
  return text;
}

BSTR SysAllocString(const char16_t* s) {
  if (s == nullptr) return nullptr;
  return SysAllocStringLen(s, static_cast<uint32_t>(std::char_traits<char16_t>::length(s)));
}

void SysFreeString(BSTR s) {
  if (s != nullptr) std::free(reinterpret_cast<unsigned char*>(s) - 4);
}

uint32_t SysStringLen(BSTR s) {
  if (s == nullptr) return 0;
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<unsigned char*>(s) - 4, 4);
  return bytes / 2;
}

// ---- Safe arrays -------------------------------------------------------------------------------

uint32_t ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_DATE:
    case VT_CY:
      return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return sizeof(void*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, uint32_t cDims, const SAFEARRAYBOUND* bounds) {
  uint32_t size = ElementSize(vt);
  if (cDims != 1 || bounds == nullptr || size == 0) return nullptr;
  auto* sa = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
  if (sa == nullptr) return nullptr;
  sa->cDims = 1;
  sa->cbElements = size;
  sa->rgsabound[0] = bounds[0];
  sa->vt = vt;
  sa->pvData = std::calloc(bounds[0].cElements == 0 ? 1 : bounds[0].cElements, size);
  if (sa->pvData == nullptr) {
    std::free(sa);
    return nullptr;
  }
  return sa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count) {
  SAFEARRAYBOUND bound{count, lowerBound};
  return SafeArrayCreate(vt, 1, &bound);
}

namespace {

void* ElementAddress(SAFEARRAY* sa, uint32_t i) {
  return static_cast<unsigned char*>(sa->pvData) + i * sa->cbElements;
}

void ReleaseElement(VARTYPE vt, void* p) {
  switch (vt) {
    case VT_BSTR: {
      BSTR s;
      std::memcpy(&s, p, sizeof s);
      SysFreeString(s);
      break;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH: {
      IUnknown* u;
      std::memcpy(&u, p, sizeof u);
      if (u) u->Release();
      break;
    }
    case VT_VARIANT:
      VariantClear(static_cast<VARIANT*>(p));
      break;
    default:
      break;
  }
  std::memset(p, 0, ElementSize(vt));
}

// Copies an element value from src into dest (dest is uninitialised storage).
HRESULT CopyElement(VARTYPE vt, void* dest, const void* src) {
  switch (vt) {
    case VT_BSTR: {
      BSTR s;
      std::memcpy(&s, src, sizeof s);
      BSTR copy = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
      std::memcpy(dest, &copy, sizeof copy);
      return S_OK;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH: {
      IUnknown* u;
      std::memcpy(&u, src, sizeof u);
      if (u) u->AddRef();
      std::memcpy(dest, &u, sizeof u);
      return S_OK;
    }
    case VT_VARIANT:
      VariantInit(static_cast<VARIANT*>(dest));
      return VariantCopy(static_cast<VARIANT*>(dest), static_cast<const VARIANT*>(src));
    default:
      std::memcpy(dest, src, ElementSize(vt));
      return S_OK;
  }
}

// Elements that own nothing (numbers, booleans, dates) are copied and dropped as plain bytes:
// response bodies arrive as arrays of bytes, and walking them one element at a time costs
// more than the transfer itself.
bool PlainElements(VARTYPE vt) {
  return vt != VT_BSTR && vt != VT_UNKNOWN && vt != VT_DISPATCH && vt != VT_VARIANT;
}

HRESULT Offset(SAFEARRAY* sa, const int32_t* indices, uint32_t* offset) {
  if (sa == nullptr || indices == nullptr) return E_INVALIDARG;
  int64_t i = static_cast<int64_t>(indices[0]) - sa->rgsabound[0].lLbound;
  if (i < 0 || i >= sa->rgsabound[0].cElements) return DISP_E_BADINDEX;
  *offset = static_cast<uint32_t>(i);
  return S_OK;
}

}  // namespace

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i] >= 'A' && a[i] <= 'Z' ? a[i] + 32 : a[i];
    char16_t y = b[i] >= 'A' && b[i] <= 'Z' ? b[i] + 32 : b[i];
    if (x != y) return false;
  }
  return true;
}

HRESULT SafeArrayDestroy(SAFEARRAY* sa) {
  if (sa == nullptr) return S_OK;
  if (!PlainElements(sa->vt)) {
    for (uint32_t i = 0; i < sa->rgsabound[0].cElements; ++i) ReleaseElement(sa->vt, ElementAddress(sa, i));
  }
  std::free(sa->pvData);
  std::free(sa);
  return S_OK;
}

uint32_t SafeArrayGetDim(SAFEARRAY* sa) { return sa ? sa->cDims : 0; }

HRESULT SafeArrayGetLBound(SAFEARRAY* sa, uint32_t dim, int32_t* bound) {
  if (sa == nullptr || dim != 1) return DISP_E_BADINDEX;
  *bound = sa->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* sa, uint32_t dim, int32_t* bound) {
  if (sa == nullptr || dim != 1) return DISP_E_BADINDEX;
  *bound =
      static_cast<int32_t>(sa->rgsabound[0].lLbound + static_cast<int64_t>(sa->rgsabound[0].cElements) - 1);
  return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* sa, VARTYPE* vt) {
  if (sa == nullptr) return E_INVALIDARG;
  *vt = sa->vt;
  return S_OK;
}

uint32_t SafeArrayGetElemsize(SAFEARRAY* sa) { return sa ? sa->cbElements : 0; }

HRESULT SafeArrayAccessData(SAFEARRAY* sa, void** data) {
  if (sa == nullptr) return E_INVALIDARG;
  ++sa->cLocks;
  *data = sa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* sa) {
  if (sa == nullptr || sa->cLocks == 0) return E_INVALIDARG;
  --sa->cLocks;
  return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* sa, const int32_t* indices, const void* value) {
  uint32_t i;
  HRESULT hr = Offset(sa, indices, &i);
  if (Failed(hr)) return hr;
  ReleaseElement(sa->vt, ElementAddress(sa, i));
  return CopyElement(sa->vt, ElementAddress(sa, i), value);
}

HRESULT SafeArrayGetElement(SAFEARRAY* sa, const int32_t* indices, void* value) {
  uint32_t i;
  HRESULT hr = Offset(sa, indices, &i);
  if (Failed(hr)) return hr;
  return CopyElement(sa->vt, value, ElementAddress(sa, i));
}

HRESULT SafeArrayCopy(SAFEARRAY* sa, SAFEARRAY** out) {
  *out = nullptr;
  if (sa == nullptr) return S_OK;
  SAFEARRAY* copy = SafeArrayCreate(sa->vt, 1, sa->rgsabound);
  if (copy == nullptr) return E_OUTOFMEMORY;
  if (PlainElements(sa->vt)) {
    if (sa->rgsabound[0].cElements > 0) {
      std::memcpy(copy->pvData, sa->pvData, static_cast<size_t>(sa->rgsabound[0].cElements) * sa->cbElements);
    }
  } else {
    for (uint32_t i = 0; i < sa->rgsabound[0].cElements; ++i) {
      CopyElement(sa->vt, ElementAddress(copy, i), ElementAddress(sa, i));
    }
  }
  *out = copy;
  return S_OK;
}

// ---- VARIANT -------------------------------------------------------------------------------

void VariantInit(VARIANT* v) { std::memset(v, 0, sizeof *v); }

HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_INVALIDARG;
  VARTYPE vt = v->vt;
  if ((vt & VT_BYREF) == 0) {
    if (vt & VT_ARRAY) {
      SafeArrayDestroy(v->parray);
    } else {
      switch (vt) {
        case VT_BSTR:
          SysFreeString(v->bstrVal);
          break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
          if (v->punkVal) v->punkVal->Release();
          break;
        default:
          if (vt != VT_VARIANT && ElementSize(vt) == 0 && vt != VT_EMPTY && vt != VT_NULL) {
            return DISP_E_BADVARTYPE;
          }
          if (vt == VT_VARIANT) return DISP_E_BADVARTYPE;
          break;
      }
    }
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (dest == src) return S_OK;
  VARIANT copy = *src;
  if ((src->vt & VT_BYREF) == 0) {
    if (src->vt & VT_ARRAY) {
      HRESULT hr = SafeArrayCopy(src->parray, &copy.parray);
      if (Failed(hr)) return hr;
    } else if (src->vt == VT_BSTR) {
      copy.bstrVal = src->bstrVal ? SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal)) : nullptr;
    } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal) {
      src->punkVal->AddRef();
    }
  }
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
  if ((src->vt & VT_BYREF) == 0) return VariantCopy(dest, src);
  VARTYPE vt = src->vt & ~VT_BYREF;
  if (vt == VT_VARIANT) return VariantCopyInd(dest, src->pvarVal);
  VARIANT value;
  VariantInit(&value);
  value.vt = vt;
  if (src->byref == nullptr) return E_INVALIDARG;
  if (vt & VT_ARRAY) {
    value.parray = *src->pparray;
  } else {
    uint32_t size = ElementSize(vt);
    if (size == 0) return DISP_E_BADVARTYPE;
    std::memcpy(&value.llVal, src->byref, size);
  }
  return VariantCopy(dest, &value);  // value shares src's storage; VariantCopy duplicates it
}

namespace {

bool IsIntegerType(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
      return true;
    default:
      return false;
  }
}

// Reads a scalar as a double (integers exactly up to 2^53).
bool ScalarToDouble(const VARIANT& v, double* out) {
  switch (v.vt) {
    case VT_EMPTY:
      *out = 0;
      return true;
    case VT_I1:
      *out = v.cVal;
      return true;
    case VT_UI1:
      *out = v.bVal;
      return true;
    case VT_I2:
      *out = v.iVal;
      return true;
    case VT_UI2:
      *out = v.uiVal;
      return true;
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
      *out = v.lVal;
      return true;
    case VT_UI4:
    case VT_UINT:
      *out = v.ulVal;
      return true;
    case VT_I8:
      *out = static_cast<double>(v.llVal);
      return true;
    case VT_UI8:
      *out = static_cast<double>(v.ullVal);
      return true;
    case VT_R4:
      *out = v.fltVal;
      return true;
    case VT_R8:
    case VT_DATE:
      *out = v.dblVal;
      return true;
    case VT_BOOL:
      *out = v.boolVal ? -1 : 0;
      return true;
    default:
      return false;
  }
}

bool ParseNumber(std::u16string_view s, double* out) {
  std::string ascii;
  for (char16_t c : s) {
    if (c > 0x7F) return false;
    ascii += static_cast<char>(c);
  }
  size_t b = ascii.find_first_not_of(" \t");
  size_t e = ascii.find_last_not_of(" \t");
  if (b == std::string::npos) return false;
  ascii = ascii.substr(b, e - b + 1);
  if (ascii.size() > 2 && ascii[0] == '&' && (ascii[1] == 'H' || ascii[1] == 'h')) {
    char* end = nullptr;
    long long v = std::strtoll(ascii.c_str() + 2, &end, 16);
    if (*end != 0) return false;
    *out = static_cast<double>(v);
    return true;
  }
  char* end = nullptr;
  double v = std::strtod(ascii.c_str(), &end);
  if (end == ascii.c_str() || *end != 0 || std::isnan(v) || std::isinf(v)) return false;
  *out = v;
  return true;
}

std::u16string NumberText(double d) {
  char buf[40];
  if (d == std::floor(d) && std::fabs(d) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", d);
  } else {
    std::snprintf(buf, sizeof buf, "%.15G", d);
  }
  std::u16string s;
  for (const char* p = buf; *p; ++p) s += static_cast<char16_t>(*p);
  return s;
}

// Rounds halves to even, as the platform's conversions do, and range-checks.
HRESULT DoubleToInteger(double d, double lo, double hi, int64_t* out) {
  double r = std::nearbyint(d);  // the default rounding mode rounds halves to even
  if (std::isnan(r) || r < lo || r > hi) return DISP_E_OVERFLOW;
  *out = static_cast<int64_t>(r);
  return S_OK;
}

HRESULT StoreNumber(double d, bool exactInteger, int64_t exact, VARTYPE vt, VARIANT* out) {
  int64_t i = 0;
  HRESULT hr = S_OK;
  auto get = [&](double lo, double hi) {
    if (exactInteger) {
      if (static_cast<double>(exact) < lo || static_cast<double>(exact) > hi) return DISP_E_OVERFLOW;
      i = exact;
      return S_OK;
    }
    return DoubleToInteger(d, lo, hi, &i);
  };
  VariantInit(out);
  out->vt = vt;
  switch (vt) {
    case VT_I1:
      hr = get(-128, 127);
      out->cVal = static_cast<int8_t>(i);
      break;
    case VT_UI1:
      hr = get(0, 255);
      out->bVal = static_cast<uint8_t>(i);
      break;
    case VT_I2:
      hr = get(-32768, 32767);
      out->iVal = static_cast<int16_t>(i);
      break;
    case VT_UI2:
      hr = get(0, 65535);
      out->uiVal = static_cast<uint16_t>(i);
      break;
    case VT_I4:
    case VT_INT:
      hr = get(-2147483648.0, 2147483647.0);
      out->lVal = static_cast<int32_t>(i);
      break;
    case VT_UI4:
    case VT_UINT:
      hr = get(0, 4294967295.0);
      out->ulVal = static_cast<uint32_t>(i);
      break;
    case VT_I8:
      hr = get(-9223372036854775808.0, 9223372036854775807.0);
      out->llVal = i;
      break;
    case VT_UI8:
      hr = get(0, 18446744073709551615.0);
      out->ullVal = static_cast<uint64_t>(i);
      break;
    case VT_R4:
      if (std::fabs(d) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
      out->fltVal = static_cast<float>(d);
      break;
    case VT_R8:
      out->dblVal = d;
      break;
    case VT_DATE:
      out->date = d;
      break;
    case VT_BOOL:
      out->boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_ERROR:
      hr = get(-2147483648.0, 4294967295.0);
      out->scode = static_cast<HRESULT>(i);
      break;
    case VT_BSTR:
      out->bstrVal = SysAllocString(exactInteger ? NumberText(static_cast<double>(exact)) : NumberText(d));
      break;
    default:
      return DISP_E_TYPEMISMATCH;
  }
  if (Failed(hr)) VariantInit(out);
  return hr;
}

// The default member of an object (DISPID_VALUE, property read) as a value.
HRESULT DefaultValue(IUnknown* unknown, VARIANT* out) {
  if (unknown == nullptr) return DISP_E_TYPEMISMATCH;
  IDispatch* dispatch = nullptr;
  if (Failed(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
    return DISP_E_TYPEMISMATCH;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VariantInit(out);
  HRESULT hr = dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out,
                                nullptr, nullptr);
  dispatch->Release();
  if (Failed(hr)) return DISP_E_TYPEMISMATCH;
  if (out->vt == VT_DISPATCH || out->vt == VT_UNKNOWN) {
    VariantClear(out);
    return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

HRESULT ChangeResolved(VARIANT* out, const VARIANT& src, uint16_t flags, VARTYPE vt) {
  VariantInit(out);
  if (src.vt == vt) return VariantCopy(out, &src);
  if (vt == VT_EMPTY) return S_OK;
  if (vt == VT_NULL) {
    out->vt = VT_NULL;
    return S_OK;
  }
  if (src.vt == VT_NULL) return DISP_E_TYPEMISMATCH;
  // Arrays: only bytes and texts exchange with each other.
  if (vt == (VT_ARRAY | VT_UI1)) {
    if (src.vt == VT_BSTR) {
      uint32_t bytes = SysStringLen(src.bstrVal) * 2;
      SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, bytes);
      if (sa == nullptr) return E_OUTOFMEMORY;
      if (bytes) std::memcpy(sa->pvData, src.bstrVal, bytes);
      out->vt = vt;
      out->parray = sa;
      return S_OK;
    }
    if ((src.vt & VT_ARRAY) && src.parray && (src.parray->vt == VT_I1)) {
      SAFEARRAY* copy = nullptr;
      HRESULT hr = SafeArrayCopy(src.parray, &copy);
      if (Failed(hr)) return hr;
      copy->vt = VT_UI1;
      out->vt = vt;
      out->parray = copy;
      return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
  }
  if (vt & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  if (src.vt & VT_ARRAY) {
    if (vt == VT_BSTR && src.parray && src.parray->vt == VT_UI1) {
      uint32_t bytes = src.parray->rgsabound[0].cElements;
      BSTR s = SysAllocStringLen(nullptr, bytes / 2 + bytes % 2);
      if (bytes) std::memcpy(s, src.parray->pvData, bytes);
      out->vt = VT_BSTR;
      out->bstrVal = s;
      return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
  }
  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if ((src.vt != VT_UNKNOWN && src.vt != VT_DISPATCH)) return DISP_E_TYPEMISMATCH;
    if (src.punkVal == nullptr) {
      out->vt = vt;
      return S_OK;
    }
    void* p = nullptr;
    if (Failed(src.punkVal->QueryInterface(vt == VT_UNKNOWN ? IID_IUnknown : IID_IDispatch, &p))) {
      return DISP_E_TYPEMISMATCH;
    }
    out->vt = vt;
    out->byref = p;
    return S_OK;
  }
  if (src.vt == VT_UNKNOWN || src.vt == VT_DISPATCH) {
    if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
    VARIANT value;
    HRESULT hr = DefaultValue(src.punkVal, &value);
    if (Failed(hr)) return hr;
    hr = ChangeResolved(out, value, flags, vt);
    VariantClear(&value);
    return hr;
  }
  if (src.vt == VT_BSTR) {
    std::u16string_view s = BstrView(src.bstrVal);
    if (vt == VT_BOOL) {
      if (EqualsNoCase(s, u"true") || EqualsNoCase(s, u"#true#")) return StoreNumber(1, false, 0, vt, out);
      if (EqualsNoCase(s, u"false") || EqualsNoCase(s, u"#false#")) return StoreNumber(0, false, 0, vt, out);
    }
    double d;
    if (!ParseNumber(s, &d)) return DISP_E_TYPEMISMATCH;
    return StoreNumber(d, false, 0, vt, out);
  }
  if (src.vt == VT_BOOL && vt == VT_BSTR) {
    out->vt = VT_BSTR;
    out->bstrVal = SysAllocString(src.boolVal ? u"True" : u"False");
    return S_OK;
  }
  if (src.vt == VT_EMPTY && vt == VT_BSTR) {
    out->vt = VT_BSTR;
    out->bstrVal = nullptr;
    return S_OK;
  }
  if (src.vt == VT_ERROR && vt != VT_I4 && vt != VT_UI4 && vt != VT_INT && vt != VT_UINT)
    return DISP_E_TYPEMISMATCH;
  double d;
  if (!ScalarToDouble(src, &d)) return DISP_E_BADVARTYPE;
  bool exact = src.vt == VT_I8 || src.vt == VT_UI8;
  int64_t e = src.vt == VT_I8 ? src.llVal : static_cast<int64_t>(src.ullVal);
  if (src.vt == VT_UI8 && src.ullVal > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
    exact = false;
  if (!IsIntegerType(vt)) exact = exact && vt == VT_BSTR;
  return StoreNumber(d, exact, e, vt, out);
}

}  // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t flags, VARTYPE vt) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  // The change always builds a value of its own, so a value that is no reference is read in
  // place; a reference is resolved into a copy first.
  VARIANT out;
  HRESULT hr;
  if ((src->vt & VT_BYREF) == 0) {
    hr = ChangeResolved(&out, *src, flags, vt);
  } else {
    VARIANT resolved;
    VariantInit(&resolved);
    hr = VariantCopyInd(&resolved, src);
    if (Failed(hr)) return hr;
    hr = ChangeResolved(&out, resolved, flags, vt);
    VariantClear(&resolved);
  }
  if (Failed(hr)) return hr;
  VariantClear(dest);
  *dest = out;
  return S_OK;
}

VARIANT MakeBstrVariant(std::u16string_view s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s);
  return v;
}
VARIANT MakeI4Variant(int32_t x) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = x;
  return v;
}
VARIANT MakeBoolVariant(bool x) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = x ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
VARIANT MakeR8Variant(double x) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_R8;
  v.dblVal = x;
  return v;
}
VARIANT MakeMissingVariant() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ERROR;
  v.scode = DISP_E_PARAMNOTFOUND;
  return v;
}
bool IsMissing(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

}  // namespace platform::com
