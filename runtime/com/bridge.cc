#include "runtime/com/bridge.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/small_array.h"

namespace rt {

namespace pc = platform::com;
using pc::HRESULT;
using pc::VARIANT;
using pc::VARTYPE;

namespace {

thread_local int32_t t_lastComError = 0;

// ---- Reading arguments -----------------------------------------------------------------------

ComObjectHolder* HolderOf(const ArgRecord& a) { return static_cast<ComObjectHolder*>(a.ptr()); }

template <typename T>
T LoadFrom(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Reads a value of the plain type `base` (a number, a truth value, a date or a text) stored
// at p into *out. False for any other type, which the caller handles itself.
bool LoadValue(const void* p, TypeCode base, ArgRecord* out) {
  switch (base) {
    case kTypeBool:
    case kTypeInt:
      out->setI32(LoadFrom<int32_t>(p), base);
      return true;
    case kTypeDateTime:
    case kTypeDouble:
      out->setF64(LoadFrom<double>(p), base);
      return true;
    case kTypeByte:
      out->setU8(LoadFrom<uint8_t>(p));
      return true;
    case kTypeShort:
      out->setI16(LoadFrom<int16_t>(p));
      return true;
    case kTypeLong:
      out->setI64(LoadFrom<int64_t>(p));
      return true;
    case kTypeFloat:
      out->setF32(LoadFrom<float>(p));
      return true;
    case kTypeText:
      out->setPtr(OrEmpty(LoadFrom<const char*>(p)), kTypeText);
      return true;
    default:
      return false;
  }
}

// An argument with a reference to a variable becomes a value record of the variable's type;
// other arguments come back unchanged. False for a reference to nothing.
bool Dereference(const ArgRecord& a, ArgRecord* out) {
  *out = a;
  TypeCode t = a.type();
  if (t == kTypeNone || (t & kArrayBit) == 0) return true;
  TypeCode base = BaseType(t);
  const void* p = a.ptr();
  if (p == nullptr) return false;
  if (LoadValue(p, base, out)) return true;
  if (base == kTypeVariant) {
    out->setPtr(LoadFrom<VARIANT*>(p), kTypeVariant);
  } else if (base == kTypeComObject) {
    out->setPtr(p, kTypeComObject);  // the variable is the holder
  }
  // Any other variable (a byte set, an array ...) keeps its marker: the bridge cannot pass it.
  return true;
}

bool IsObjectType(TypeCode t) { return t == kTypeComObject; }

pc::BSTR TextToBstr(const char* text) {
  std::u16string w = platform::ToUtf16(platform::kCodePageAnsi, OrEmpty(text));
  return pc::SysAllocString(w);
}

// Converts a runtime value (references already resolved) by the argument table. `declared`
// (may be null) is the parameter's type, used only for objects. False: a type the bridge
// cannot pass.
bool ArgumentToVariant(const ArgRecord& a, const pc::TYPEDESC* declared, VARIANT* out) {
  pc::VariantInit(out);
  switch (a.type()) {
    case kTypeBool:
      out->vt = pc::VT_BOOL;
      out->boolVal = a.boolean() ? pc::VARIANT_TRUE : pc::VARIANT_FALSE;
      return true;
    case kTypeDateTime:
      out->vt = pc::VT_DATE;
      out->date = a.f64();
      return true;
    case kTypeText:
      out->vt = pc::VT_BSTR;
      out->bstrVal = TextToBstr(a.text());
      return true;
    case kTypeByte:
      out->vt = pc::VT_UI1;
      out->bVal = a.u8();
      return true;
    case kTypeShort:
      out->vt = pc::VT_I2;
      out->iVal = a.i16();
      return true;
    case kTypeInt:
      out->vt = pc::VT_I4;
      out->lVal = a.i32();
      return true;
    case kTypeLong:
      out->vt = pc::VT_I4;
      out->lVal = static_cast<int32_t>(a.i64());
      return true;
    case kTypeFloat:
      out->vt = pc::VT_R4;
      out->fltVal = a.f32();
      return true;
    case kTypeDouble:
      out->vt = pc::VT_R8;
      out->dblVal = a.f64();
      return true;
    case kTypeVariant: {
      auto* held = static_cast<VARIANT*>(a.ptr());
      if (held == nullptr) return true;  // VT_EMPTY
      return pc::Succeeded(pc::VariantCopyInd(out, held));
    }
    default:
      break;
  }
  if (!IsObjectType(a.type())) return false;
  ComObjectHolder* h = HolderOf(a);
  pc::IUnknown* unknown = h ? h->unknown : nullptr;
  bool wantsUnknown =
      declared && (declared->vt == pc::VT_UNKNOWN ||
                   (declared->vt == pc::VT_USERDEFINED && declared->user == pc::UserTypeKind::kInterface));
  bool wantsDispatch =
      declared && (declared->vt == pc::VT_DISPATCH ||
                   (declared->vt == pc::VT_USERDEFINED && declared->user == pc::UserTypeKind::kDispatch));
  if (wantsDispatch && unknown) {
    void* p = nullptr;
    if (pc::Succeeded(unknown->QueryInterface(pc::IID_IDispatch, &p))) {
      out->vt = pc::VT_DISPATCH;
      out->byref = p;
      return true;
    }
    out->vt = pc::VT_UNKNOWN;  // no IDispatch: a null pointer
    return true;
  }
  if (wantsUnknown && unknown) {
    unknown->AddRef();
    out->vt = pc::VT_UNKNOWN;
    out->punkVal = unknown;
    return true;
  }
  out->vt = pc::VT_UNKNOWN;
  out->punkVal = nullptr;
  return true;
}

// ---- Results -----------------------------------------------------------------------------------

VARTYPE VariantTypeFor(TypeCode t) {
  switch (t) {
    case kTypeComObject:
      return pc::VT_UNKNOWN;
    case kTypeBool:
      return pc::VT_BOOL;
    case kTypeDateTime:
      return pc::VT_DATE;
    case kTypeText:
      return pc::VT_BSTR;
    case kTypeByte:
      return pc::VT_UI1;
    case kTypeShort:
      return pc::VT_I2;
    case kTypeInt:
    case kTypeLong:
      return pc::VT_I4;
    case kTypeFloat:
      return pc::VT_R4;
    case kTypeDouble:
      return pc::VT_R8;
    default:
      return pc::VT_EMPTY;
  }
}

char* BstrToText(pc::BSTR s) {
  std::string t = platform::FromUtf16(platform::kCodePageAnsi, pc::BstrView(s));
  return NewText(t.c_str(), std::strlen(t.c_str()));  // a text ends at its first zero
}

// Stores v, converted to the runtime type, into the variable at `variable`; the variable's
// old value is released. False when the conversion fails (the variable is left alone).
bool StoreIntoVariable(const VARIANT& v, TypeCode type, void* variable) {
  if (type == kTypeVariant) {
    auto** slot = static_cast<VARIANT**>(variable);
    if (*slot == nullptr) *slot = NewVariantBlock();
    VARIANT copy;
    pc::VariantInit(&copy);
    if (pc::Failed(pc::VariantCopyInd(&copy, &v))) return false;
    pc::VariantClear(*slot);
    **slot = copy;
    return true;
  }
  VARTYPE vt = VariantTypeFor(type);
  if (vt == pc::VT_EMPTY) return false;
  VARIANT changed;
  pc::VariantInit(&changed);
  if (pc::Failed(pc::VariantChangeType(&changed, &v, 0, vt))) return false;
  switch (type) {
    case kTypeComObject: {
      auto* holder = static_cast<ComObjectHolder*>(variable);
      if (holder->unknown) holder->unknown->Release();
      holder->unknown = changed.punkVal;  // the new holder's own reference
      holder->record = nullptr;
      return true;
    }
    case kTypeBool: {
      int32_t b = changed.boolVal ? 1 : 0;
      std::memcpy(variable, &b, 4);
      return true;
    }
    case kTypeText: {
      char* old = LoadFrom<char*>(variable);
      char* t = BstrToText(changed.bstrVal);
      pc::VariantClear(&changed);
      std::memcpy(variable, &t, sizeof t);
      MemFree(old);
      return true;
    }
    case kTypeLong: {
      int64_t l = changed.lVal;  // sign-extended
      std::memcpy(variable, &l, 8);
      return true;
    }
    default:
      std::memcpy(variable, &changed.llVal, pc::ElementSize(vt));
      return true;
  }
}

// ---- The invoke core ------------------------------------------------------------------------

enum class ResultKind { kNone, kText, kNumber, kVariant, kSet };

constexpr uint16_t kCallKinds[] = {pc::INVOKE_FUNC, pc::INVOKE_PROPERTYGET, pc::INVOKE_PROPERTYPUT,
                                   pc::INVOKE_PROPERTYPUTREF};
constexpr uint16_t kGetKinds[] = {pc::INVOKE_PROPERTYGET, pc::INVOKE_FUNC};
constexpr uint16_t kSetKinds[] = {pc::INVOKE_PROPERTYPUT, pc::INVOKE_PROPERTYPUTREF, pc::INVOKE_FUNC};

// Parameter type with user-defined types resolved and VT_INT/VT_UINT normalised.
pc::TYPEDESC Resolve(pc::TYPEDESC t) {
  VARTYPE flags = t.vt & (pc::VT_BYREF | pc::VT_ARRAY);
  VARTYPE base = t.vt & pc::VT_TYPEMASK;
  if (base == pc::VT_USERDEFINED) {
    base = t.user == pc::UserTypeKind::kEnum       ? pc::VT_I4
           : t.user == pc::UserTypeKind::kDispatch ? pc::VT_DISPATCH
                                                   : pc::VT_UNKNOWN;
  } else if (base == pc::VT_INT) {
    base = pc::VT_I4;
  } else if (base == pc::VT_UINT) {
    base = pc::VT_UI4;
  } else if (base == pc::VT_SAFEARRAY || base == pc::VT_CARRAY) {
    base = pc::VT_VARIANT;
    flags |= pc::VT_ARRAY;
  }
  return pc::TYPEDESC{static_cast<VARTYPE>(base | flags), pc::UserTypeKind::kNone};
}

// What binding a member name gave: a function or a variable of the type information.
struct Binding {
  pc::DESCKIND kind = pc::DESCKIND_NONE;
  pc::BINDPTR bound{};
};

// The bindings this thread has made, by type-comparison interface, operation (its list of
// member kinds) and the member name's bytes as the caller wrote them. A binding depends on
// nothing else, so a hit gives what converting the name and binding it would give. Each entry
// holds a reference to its interface: the interface, and the descriptions the binding points
// into, stay alive while the entry exists, so no other type information can take its address
// and inherit its bindings. Unknown names are not kept.
class BindCache {
 public:
  BindCache() = default;
  BindCache(const BindCache&) = delete;
  BindCache& operator=(const BindCache&) = delete;
  ~BindCache() {
    for (Entry& e : entries_) {
      if (e.comp) e.comp->Release();
    }
  }

  const Binding* Find(pc::ITypeComp* comp, const uint16_t* kinds, std::string_view name) const {
    for (const Entry& e : entries_) {
      if (e.comp == comp && e.kinds == kinds && e.length == name.size() &&
          std::memcmp(e.name, name.data(), name.size()) == 0) {
        return &e.binding;
      }
    }
    return nullptr;
  }

  void Add(pc::ITypeComp* comp, const uint16_t* kinds, std::string_view name, const Binding& binding) {
    if (name.size() > kMaxName) return;
    Entry& e = entries_[next_];
    next_ = (next_ + 1) % kEntries;
    comp->AddRef();
    if (e.comp) e.comp->Release();
    e.comp = comp;
    e.kinds = kinds;
    e.length = name.size();
    std::memcpy(e.name, name.data(), name.size());
    e.binding = binding;
  }

 private:
  static constexpr size_t kEntries = 32;
  static constexpr size_t kMaxName = 48;
  struct Entry {
    pc::ITypeComp* comp = nullptr;
    const uint16_t* kinds = nullptr;
    size_t length = 0;
    char name[kMaxName];
    Binding binding;
  };
  Entry entries_[kEntries];
  size_t next_ = 0;
};

// Binds `name` (runtime text) with the first of the member kinds that binds, as ITypeComp::Bind
// does with the name in UTF-16 and its hash. False when none binds to a function or variable.
bool BindName(pc::ITypeComp* comp, const char* name, const uint16_t* kinds, size_t kindCount, Binding* out) {
  thread_local BindCache cache;
  std::string_view bytes(name);
  if (const Binding* hit = cache.Find(comp, kinds, bytes)) {
    *out = *hit;
    return true;
  }
  std::u16string wide = platform::ToUtf16(platform::kCodePageAnsi, bytes);
  uint32_t hash = pc::LHashValOfNameSys(pc::SYS_WIN32, pc::LOCALE_USER_DEFAULT, wide.c_str());
  Binding b;
  for (size_t k = 0; k < kindCount; ++k) {
    if (pc::Failed(comp->Bind(wide.c_str(), hash, kinds[k], &b.kind, &b.bound))) b.kind = pc::DESCKIND_NONE;
    if (b.kind != pc::DESCKIND_NONE) break;
  }
  if (b.kind != pc::DESCKIND_FUNCDESC && b.kind != pc::DESCKIND_VARDESC) return false;
  cache.Add(comp, kinds, bytes, b);
  *out = b;
  return true;
}

// Interfaces and VARIANTs of one call, released when it ends.
struct CallState {
  pc::IDispatch* dispatch = nullptr;
  pc::ITypeInfo* typeInfo = nullptr;
  pc::ITypeComp* typeComp = nullptr;
  platform::SmallArray<VARIANT, 8> rg;     // DISPPARAMS order
  platform::SmallArray<VARIANT, 8> store;  // by-reference values, in argument order
  platform::SmallArray<bool, 8> byRef;
  VARIANT result;

  CallState() { pc::VariantInit(&result); }
  CallState(const CallState&) = delete;
  CallState& operator=(const CallState&) = delete;
  // n empty arguments.
  void SetArgumentCount(int32_t n) {
    rg.Reset(static_cast<size_t>(n));
    store.Reset(static_cast<size_t>(n));
    byRef.Reset(static_cast<size_t>(n));
  }
  ~CallState() {
    for (size_t i = 0; i < rg.size(); ++i) {
      if ((rg[i].vt & pc::VT_BYREF) == 0) pc::VariantClear(&rg[i]);
      pc::VariantClear(&store[i]);
    }
    pc::VariantClear(&result);
    if (typeComp) typeComp->Release();
    if (typeInfo) typeInfo->Release();
    if (dispatch) dispatch->Release();
  }
};

int32_t InvokeCore(int32_t count, ArgRecord* args, const uint16_t* kinds, size_t kindCount, bool isSet,
                   VARIANT* resultOut) {
  if (count < 2) return kComEmptyHolder;
  ComObjectHolder* holder = HolderOf(args[0]);
  if (holder == nullptr || holder->unknown == nullptr) return kComEmptyHolder;
  CallState s;
  if (pc::Failed(holder->unknown->QueryInterface(pc::IID_IDispatch, reinterpret_cast<void**>(&s.dispatch)))) {
    s.dispatch = nullptr;
    return kComNoDispatch;
  }
  if (pc::Failed(s.dispatch->GetTypeInfo(0, pc::LOCALE_USER_DEFAULT, &s.typeInfo)) || s.typeInfo == nullptr) {
    s.typeInfo = nullptr;
    return kComNoTypeInfo;
  }
  if (pc::Failed(s.typeInfo->GetTypeComp(&s.typeComp)) || s.typeComp == nullptr) {
    s.typeComp = nullptr;
    return kComNoTypeInfo;
  }
  Binding b;
  if (!BindName(s.typeComp, OrEmpty(args[1].text()), kinds, kindCount, &b)) return kComUnknownMember;

  pc::DISPID memid;
  uint16_t flags;
  // The parameter descriptions stay in the type information; a variable written gets one.
  const pc::PARAMDESC* params = nullptr;
  size_t paramCount = 0;
  pc::PARAMDESC variableParam;
  bool vararg = false;
  if (b.kind == pc::DESCKIND_FUNCDESC) {
    const pc::FUNCDESC& f = *b.bound.lpfuncdesc;
    memid = f.memid;
    flags = f.invkind;
    params = f.params.data();
    paramCount = f.params.size();
    vararg = f.vararg;
  } else {
    const pc::VARDESC& v = *b.bound.lpvardesc;
    memid = v.memid;
    if (isSet) {
      pc::TYPEDESC t = Resolve(v.type);
      VARTYPE base = t.vt & ~pc::VT_BYREF;
      bool byRefWrite = (base & pc::VT_ARRAY) || base == pc::VT_UNKNOWN || base == pc::VT_DISPATCH;
      flags = byRefWrite ? pc::DISPATCH_PROPERTYPUTREF : pc::DISPATCH_PROPERTYPUT;
      variableParam = pc::PARAMDESC{v.type, pc::PARAMFLAG_FIN};
      params = &variableParam;
      paramCount = 1;
    } else {
      flags = pc::DISPATCH_PROPERTYGET;
    }
  }

  // Arguments after the holder and the name, trailing omitted ones dropped.
  int32_t argc = count - 2;
  while (argc > 0 && !args[2 + argc - 1].given()) --argc;
  if (static_cast<size_t>(argc) > paramCount && !(vararg && paramCount > 0)) return kComTooManyArguments;

  s.SetArgumentCount(argc);
  for (int32_t i = 0; i < argc; ++i) {
    VARIANT& slot = s.rg[argc - 1 - i];
    const ArgRecord& a = args[2 + i];
    if (!a.given()) {
      slot = pc::MakeMissingVariant();
      continue;
    }
    const pc::PARAMDESC& p = paramCount == 0 ? pc::PARAMDESC{} : params[std::min<size_t>(i, paramCount - 1)];
    pc::TYPEDESC declared = Resolve(p.type);
    pc::TYPEDESC base{static_cast<VARTYPE>(declared.vt & ~pc::VT_BYREF), pc::UserTypeKind::kNone};
    if (p.type.vt == pc::VT_USERDEFINED || p.type.vt == (pc::VT_USERDEFINED | pc::VT_BYREF))
      base.user = p.type.user;
    ArgRecord value;
    VARIANT converted;
    if (!Dereference(a, &value) || !ArgumentToVariant(value, &base, &converted)) return kComBadArgumentType;
    if ((declared.vt & pc::VT_BYREF) == 0) {
      slot = converted;
      continue;
    }
    // A by-reference parameter: the value lives in `store`, the call gets a reference to it.
    VARTYPE want = declared.vt & ~pc::VT_BYREF;
    VARIANT& kept = s.store[i];
    if (converted.vt == pc::VT_EMPTY) {
      slot = pc::MakeMissingVariant();
      continue;
    }
    if (want == pc::VT_VARIANT) {
      kept = converted;
      slot.vt = pc::VT_BYREF | pc::VT_VARIANT;
      slot.pvarVal = &kept;
      s.byRef[i] = true;
    } else if (want & pc::VT_ARRAY) {
      if (converted.vt & pc::VT_ARRAY) {
        kept = converted;
        slot.vt = pc::VT_BYREF | converted.vt;
        slot.pparray = &kept.parray;
        s.byRef[i] = true;
      } else {
        slot = converted;
      }
    } else if (converted.vt != pc::VT_ERROR &&
               pc::Succeeded(pc::VariantChangeType(&kept, &converted, 0, want))) {
      pc::VariantClear(&converted);
      slot.vt = pc::VT_BYREF | want;
      slot.byref = &kept.llVal;
      s.byRef[i] = true;
    } else {
      slot = converted;
    }
  }

  pc::DISPID putId = pc::DISPID_PROPERTYPUT;
  pc::DISPPARAMS dp{argc == 0 ? nullptr : s.rg.data(), nullptr, static_cast<uint32_t>(argc), 0};
  if (flags & (pc::DISPATCH_PROPERTYPUT | pc::DISPATCH_PROPERTYPUTREF)) {
    dp.rgdispidNamedArgs = &putId;
    dp.cNamedArgs = 1;
  }
  HRESULT hr = s.dispatch->Invoke(memid, pc::IID_NULL, pc::LOCALE_USER_DEFAULT, flags, &dp, &s.result,
                                  nullptr, nullptr);
  if (pc::Failed(hr)) return ComErrorFromHresult(hr);

  // Write-back of [out] parameters that came as references to variables.
  for (int32_t i = 0; i < argc; ++i) {
    const ArgRecord& a = args[2 + i];
    if (!s.byRef[i] || (a.type() & kArrayBit) == 0 || a.ptr() == nullptr) continue;
    const pc::PARAMDESC& p = params[std::min<size_t>(i, paramCount - 1)];
    if ((p.flags & pc::PARAMFLAG_FOUT) == 0) continue;
    StoreIntoVariable(s.store[i], BaseType(a.type()), a.ptr());
  }
  if (resultOut) {
    *resultOut = s.result;
    pc::VariantInit(&s.result);
  }
  return kComOk;
}

// Runs the core and converts the result to the operation's type.
void Invoke(ArgRecord* result, int32_t count, ArgRecord* args, const uint16_t* kinds, size_t kindCount,
            ResultKind want) {
  VARIANT r;
  pc::VariantInit(&r);
  int32_t code = InvokeCore(count, args, kinds, kindCount, want == ResultKind::kSet, &r);
  result->clear();
  if (code == kComOk) {
    switch (want) {
      case ResultKind::kText: {
        if (r.vt == pc::VT_BSTR) {  // already a text: no changed copy needed
          result->setPtr(BstrToText(r.bstrVal), kTypeText);
          break;
        }
        VARIANT t;
        pc::VariantInit(&t);
        if (pc::Succeeded(pc::VariantChangeType(&t, &r, 0, pc::VT_BSTR))) {
          result->setPtr(BstrToText(t.bstrVal), kTypeText);
          pc::VariantClear(&t);
        } else {
          code = kComBadResultType;
        }
        break;
      }
      case ResultKind::kNumber: {
        VARIANT d;
        pc::VariantInit(&d);
        if (pc::Succeeded(pc::VariantChangeType(&d, &r, 0, pc::VT_R8))) {
          result->setF64(d.dblVal);
        } else {
          code = kComBadResultType;
        }
        break;
      }
      case ResultKind::kVariant: {
        VARIANT* block = NewVariantBlock();
        if ((r.vt & pc::VT_BYREF) == 0) {
          // The call's own result: the new block takes it over instead of copying it.
          *block = r;
          pc::VariantInit(&r);
        } else if (pc::Failed(pc::VariantCopyInd(block, &r))) {
          pc::VariantInit(block);
          code = kComBadResultType;
        }
        result->setPtr(block, kTypeVariant);
        break;
      }
      default:
        break;
    }
  }
  pc::VariantClear(&r);
  if (code != kComOk) {
    // The empty value of the operation's type.
    result->clear();
    switch (want) {
      case ResultKind::kText:
        result->setPtr(nullptr, kTypeText);
        break;
      case ResultKind::kNumber:
        result->setF64(0);
        break;
      case ResultKind::kVariant: {
        VARIANT* block = NewVariantBlock();
        pc::VariantInit(block);
        result->setPtr(block, kTypeVariant);
        break;
      }
      default:
        break;
    }
  }
  if (want == ResultKind::kSet) result->setBool(code == kComOk);
  t_lastComError = code;
}

}  // namespace

int32_t LastComError() { return t_lastComError; }

int32_t ComErrorFromHresult(HRESULT hr) {
  switch (hr) {
    case pc::DISP_E_BADPARAMCOUNT:
      return kComBadParamCount;
    case pc::DISP_E_BADVARTYPE:
      return kComBadVarType;
    case pc::DISP_E_EXCEPTION:
      return kComException;
    case pc::DISP_E_MEMBERNOTFOUND:
      return kComMemberNotFound;
    case pc::DISP_E_NONAMEDARGS:
      return kComNoNamedArgs;
    case pc::DISP_E_OVERFLOW:
      return kComOverflow;
    case pc::DISP_E_PARAMNOTFOUND:
      return kComParamNotFound;
    case pc::DISP_E_TYPEMISMATCH:
      return kComTypeMismatch;
    case pc::DISP_E_PARAMNOTOPTIONAL:
      return kComParamNotOptional;
    default:
      return kComInvokeFailed;
  }
}

VARIANT* NewVariantBlock() {
  auto* v = static_cast<VARIANT*>(MemAlloc(sizeof(VARIANT)));
  pc::VariantInit(v);
  v->vt = pc::VT_I4;
  v->lVal = 0;
  return v;
}

void FreeVariantBlock(VARIANT* v) {
  if (v == nullptr) return;
  pc::VariantClear(v);
  MemFree(v);
}

// ---- Object commands ---------------------------------------------------------------------------

void ComCreate(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->setBool(false);
  if (count < 2) return;
  ComObjectHolder* holder = HolderOf(args[0]);
  if (holder == nullptr) return;
  std::u16string name = platform::ToUtf16(platform::kCodePageAnsi, OrEmpty(args[1].text()));
  pc::IUnknown* object = nullptr;
  bool braced = !name.empty() && name[0] == u'{';
  if (!braced && count >= 3 && args[2].given() && args[2].text() && args[2].text()[0]) {
    // Type libraries are files this platform does not have: the look-up fails and creation
    // goes on by class identifier.
    std::u16string file = platform::ToUtf16(platform::kCodePageAnsi, args[2].text());
    pc::IUnknown* library = nullptr;
    if (pc::Succeeded(pc::LoadTypeLib(file.c_str(), &library)) && library) library->Release();
  }
  if (object == nullptr) {
    pc::CLSID clsid;
    HRESULT hr =
        braced ? pc::CLSIDFromString(name.c_str(), &clsid) : pc::CLSIDFromProgID(name.c_str(), &clsid);
    if (pc::Failed(hr)) return;
    void* p = nullptr;
    hr = pc::CoCreateInstance(clsid, nullptr, pc::CLSCTX_ALL, pc::IID_IUnknown, &p);
    if (hr == pc::E_INVALIDARG) {
      hr = pc::CoCreateInstance(clsid, nullptr, pc::CLSCTX_ALL & ~pc::CLSCTX_REMOTE_SERVER, pc::IID_IUnknown,
                                &p);
    }
    if (pc::Failed(hr) || p == nullptr) return;
    object = static_cast<pc::IUnknown*>(p);
  }
  if (pc::Failed(pc::OleRun(object))) {
    object->Release();
    return;
  }
  ArgRecord none[1] = {args[0]};
  ArgRecord ignored;
  ComClear(&ignored, 1, none);
  holder->unknown = object;
  holder->record = nullptr;
  result->setBool(true);
}

void ComCopy(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->clear();
  if (count < 2) return;
  ComObjectHolder* target = HolderOf(args[0]);
  ComObjectHolder* source = HolderOf(args[1]);
  if (target == nullptr) return;
  // The target is a new, empty holder: what it held is not released.
  target->unknown = nullptr;
  target->record = nullptr;
  if (source && source->unknown) {
    source->unknown->AddRef();
    target->unknown = source->unknown;
  }
}

void ComClear(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->clear();
  if (count < 1) return;
  ComObjectHolder* holder = HolderOf(args[0]);
  if (holder == nullptr) return;
  if (holder->unknown) {
    holder->unknown->Release();
  } else if (holder->record) {
    MemFree(holder->record);
  }
  holder->unknown = nullptr;
  holder->record = nullptr;
}

void ComCall(ArgRecord* result, int32_t count, ArgRecord* args) {
  Invoke(result, count, args, kCallKinds, 4, ResultKind::kNone);
}
void ComCallText(ArgRecord* result, int32_t count, ArgRecord* args) {
  Invoke(result, count, args, kCallKinds, 4, ResultKind::kText);
}
void ComCallNumber(ArgRecord* result, int32_t count, ArgRecord* args) {
  Invoke(result, count, args, kCallKinds, 4, ResultKind::kNumber);
}
void ComGetText(ArgRecord* result, int32_t count, ArgRecord* args) {
  Invoke(result, count, args, kGetKinds, 2, ResultKind::kText);
}
void ComGetNumber(ArgRecord* result, int32_t count, ArgRecord* args) {
  Invoke(result, count, args, kGetKinds, 2, ResultKind::kNumber);
}
void ComGetVariant(ArgRecord* result, int32_t count, ArgRecord* args) {
  Invoke(result, count, args, kGetKinds, 2, ResultKind::kVariant);
}
void ComSetProperty(ArgRecord* result, int32_t count, ArgRecord* args) {
  Invoke(result, count, args, kSetKinds, 3, ResultKind::kSet);
}

void ComLastError(ArgRecord* result, int32_t, ArgRecord*) { result->setI32(t_lastComError); }

// ---- Variant commands ------------------------------------------------------------------------

namespace {

VARIANT* VariantOf(const ArgRecord& a) {
  if (a.type() == (kTypeVariant | kArrayBit)) {
    auto** slot = static_cast<VARIANT**>(a.ptr());
    return slot ? *slot : nullptr;
  }
  return a.type() == kTypeVariant ? static_cast<VARIANT*>(a.ptr()) : nullptr;
}

// The VARIANT type an element of a runtime array of `element` type becomes: the type a value
// of it becomes, except that an array of objects has none.
VARTYPE ArrayElementType(TypeCode element) {
  if (element == kTypeComObject) return pc::VT_EMPTY;
  return VariantTypeFor(element);
}

// A safe array (lower bound 1) of a runtime array block's elements.
pc::SAFEARRAY* ArrayToSafeArray(const void* block, TypeCode element) {
  VARTYPE vt = ArrayElementType(element);
  if (vt == pc::VT_EMPTY) return nullptr;
  int64_t n = ElementCount(block);
  if (n < 0 || n > UINT32_MAX) return nullptr;
  pc::SAFEARRAY* sa = pc::SafeArrayCreateVector(vt, 1, static_cast<uint32_t>(n));
  if (sa == nullptr) return nullptr;
  const unsigned char* elements = n > 0 ? ArrayElements(block) : nullptr;
  size_t width = ElementWidth(element);
  for (int64_t i = 0; i < n; ++i) {
    const unsigned char* e = elements + i * width;
    ArgRecord r;
    LoadValue(e, element, &r);  // ArrayElementType admits only plain types
    VARIANT v;
    ArgumentToVariant(r, nullptr, &v);
    int32_t index = static_cast<int32_t>(i + 1);
    pc::SafeArrayPutElement(sa, &index, vt == pc::VT_BSTR ? static_cast<const void*>(&v.bstrVal) : &v.llVal);
    pc::VariantClear(&v);
  }
  return sa;
}

}  // namespace

void VariantClearCommand(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->clear();
  if (count < 1) return;
  VARIANT* v = VariantOf(args[0]);
  if (v == nullptr) return;
  pc::VariantClear(v);
  std::memset(v, 0, sizeof *v);
}

void VariantToBytes(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->setPtr(nullptr, kTypeBytes);
  if (count < 1) return;
  VARIANT* v = VariantOf(args[0]);
  if (v == nullptr) return;
  VARTYPE vt = v->vt & ~pc::VT_BYREF;
  if (vt == (pc::VT_ARRAY | pc::VT_UI1) || vt == (pc::VT_ARRAY | pc::VT_I1)) {
    pc::SAFEARRAY* sa = (v->vt & pc::VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray;
    if (sa == nullptr) return;
    uint64_t n = 1;
    for (uint32_t d = 0; d < sa->cDims; ++d) n *= sa->rgsabound[d].cElements;
    if (n > INT32_MAX) return;
    result->setPtr(NewByteSet(sa->pvData, static_cast<size_t>(n)), kTypeBytes);
    return;
  }
  VARIANT changed;
  pc::VariantInit(&changed);
  if (pc::Failed(pc::VariantChangeType(&changed, v, 0, pc::VT_ARRAY | pc::VT_UI1))) return;
  result->setPtr(NewByteSet(changed.parray->pvData, changed.parray->rgsabound[0].cElements), kTypeBytes);
  pc::VariantClear(&changed);
}

void VariantAssign(ArgRecord* result, int32_t count, ArgRecord* args) {
  result->setBool(false);
  if (count < 2) return;
  VARIANT* target = VariantOf(args[0]);
  if (target == nullptr) return;
  // The value is a value parameter: the array bit marks a runtime array passed by its block,
  // except on a Variant, where it marks a reference to a Variant variable.
  ArgRecord value = args[1];
  if (value.type() == (kTypeVariant | kArrayBit) && !Dereference(args[1], &value)) return;
  TypeCode t = value.type();
  if (count >= 3 && args[2].given()) {
    // One element of the held array.
    ArgRecord indexRecord;
    if (!Dereference(args[2], &indexRecord)) return;
    if ((target->vt & pc::VT_ARRAY) == 0) return;
    pc::SAFEARRAY* sa = (target->vt & pc::VT_BYREF) ? *target->pparray : target->parray;
    VARIANT converted;
    if (sa == nullptr || !ArgumentToVariant(value, nullptr, &converted)) return;
    VARIANT element;
    pc::VariantInit(&element);
    bool ok;
    if (sa->vt == pc::VT_VARIANT) {
      ok = pc::Succeeded(pc::VariantCopy(&element, &converted));
    } else {
      ok = pc::Succeeded(pc::VariantChangeType(&element, &converted, 0, sa->vt));
    }
    pc::VariantClear(&converted);
    if (!ok) return;
    int32_t index = indexRecord.type() == kTypeLong ? static_cast<int32_t>(indexRecord.i64())
                    : indexRecord.type() == kTypeDouble
                        ? static_cast<int32_t>(TruncToInteger(indexRecord.f64()))
                        : indexRecord.i32();
    const void* from = sa->vt == pc::VT_VARIANT ? static_cast<const void*>(&element) : &element.llVal;
    ok = pc::Succeeded(pc::SafeArrayPutElement(sa, &index, from));
    pc::VariantClear(&element);
    result->setBool(ok);
    return;
  }
  VARIANT stored;
  pc::VariantInit(&stored);
  if (t == kTypeBytes || t == (kTypeByte | kArrayBit)) {
    const auto* block = static_cast<const unsigned char*>(value.ptr());
    int32_t n = t == kTypeBytes ? ByteSetLength(block) : static_cast<int32_t>(ElementCount(block));
    pc::SAFEARRAY* sa = pc::SafeArrayCreateVector(pc::VT_UI1, 1, static_cast<uint32_t>(n));
    if (sa == nullptr) return;
    if (n > 0) std::memcpy(sa->pvData, ArrayElements(block), static_cast<size_t>(n));
    stored.vt = pc::VT_ARRAY | pc::VT_UI1;
    stored.parray = sa;
  } else if (IsArrayType(t) && IsSystemType(t)) {
    pc::SAFEARRAY* sa = ArrayToSafeArray(value.ptr(), BaseType(t));
    if (sa == nullptr) return;
    stored.vt = pc::VT_ARRAY | sa->vt;
    stored.parray = sa;
  } else if (t == kTypeComObject) {
    ComObjectHolder* h = HolderOf(value);
    stored.vt = pc::VT_UNKNOWN;
    if (h && h->unknown) {
      void* p = nullptr;
      if (pc::Failed(h->unknown->QueryInterface(pc::IID_IUnknown, &p))) return;
      stored.punkVal = static_cast<pc::IUnknown*>(p);
    }
  } else if (t == kTypeVariant && value.ptr() == target) {
    return void(result->setBool(true));  // assigning a Variant to itself
  } else if (!ArgumentToVariant(value, nullptr, &stored)) {
    return;
  }
  pc::VariantClear(target);
  *target = stored;
  result->setBool(true);
}

}  // namespace rt
