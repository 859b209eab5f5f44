#include "platform/com/automation.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/codepage.h"
#include "platform/com/builtin_classes.h"

namespace platform::com {

const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeComp = {0x00020403, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IRunnableObject = {0x00000126, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::u16string StringFromGUID(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  std::u16string s;
  for (const char* p = buf; *p; ++p) s += static_cast<char16_t>(*p);
  return s;
}

namespace {

char16_t Fold(char16_t c) { return c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c + 32) : c; }

std::u16string Widen(const char* ascii) {
  std::u16string s;
  for (const char* p = ascii; *p; ++p) s += static_cast<char16_t>(static_cast<unsigned char>(*p));
  return s;
}

}  // namespace

uint32_t LHashValOfNameSys(uint32_t /*syskind*/, LCID /*lcid*/, const char16_t* name) {
  uint32_t h = 2166136261u;
  for (const char16_t* p = name; p && *p; ++p) h = (h ^ Fold(*p)) * 16777619u;
  return h;
}

// ---- Member tables ------------------------------------------------------------------------

MemberDesc Method(DISPID id, const char* name, VARTYPE result, std::initializer_list<PARAMDESC> params,
                  bool vararg) {
  return MemberDesc{false, FUNCDESC{id, Widen(name), INVOKE_FUNC, params, vararg, TYPEDESC{result}}, {}};
}
MemberDesc PropertyGet(DISPID id, const char* name, VARTYPE type, std::initializer_list<PARAMDESC> index) {
  return MemberDesc{false, FUNCDESC{id, Widen(name), INVOKE_PROPERTYGET, index, false, TYPEDESC{type}}, {}};
}
MemberDesc PropertyPut(DISPID id, const char* name, VARTYPE type, std::initializer_list<PARAMDESC> index) {
  std::vector<PARAMDESC> params(index);
  params.push_back(Param(type));
  return MemberDesc{
      false, FUNCDESC{id, Widen(name), INVOKE_PROPERTYPUT, params, false, TYPEDESC{VT_EMPTY}}, {}};
}
MemberDesc PropertyPutRef(DISPID id, const char* name, VARTYPE type) {
  return MemberDesc{
      false, FUNCDESC{id, Widen(name), INVOKE_PROPERTYPUTREF, {Param(type)}, false, TYPEDESC{VT_EMPTY}}, {}};
}
MemberDesc Variable(DISPID id, const char* name, VARTYPE type, UserTypeKind user) {
  return MemberDesc{true, {}, VARDESC{id, Widen(name), TYPEDESC{type, user}}};
}

TypeInfo::TypeInfo(std::u16string name, std::initializer_list<MemberDesc> members) : name_(std::move(name)) {
  for (const MemberDesc& m : members) {
    if (m.isVariable) {
      vars_.push_back(m.var);
    } else {
      funcs_.push_back(m.func);
    }
  }
}

HRESULT TypeInfo::QueryInterface(const IID& iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_ITypeInfo) {
    *out = static_cast<ITypeInfo*>(this);
  } else if (iid == IID_ITypeComp) {
    *out = static_cast<ITypeComp*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  return S_OK;
}

HRESULT TypeInfo::GetTypeComp(ITypeComp** out) {
  *out = this;
  return S_OK;
}

HRESULT TypeInfo::CreateInstance(IUnknown*, const IID&, void** out) {
  *out = nullptr;
  return E_NOTIMPL;
}

HRESULT TypeInfo::Bind(const char16_t* name, uint32_t /*hash*/, uint16_t flags, DESCKIND* kind,
                       BINDPTR* bound) {
  *kind = DESCKIND_NONE;
  bound->lpfuncdesc = nullptr;
  if (name == nullptr) return E_INVALIDARG;
  std::u16string_view n(name);
  for (const FUNCDESC& f : funcs_) {
    if ((f.invkind & flags) && EqualsNoCase(f.name, n)) {
      *kind = DESCKIND_FUNCDESC;
      bound->lpfuncdesc = &f;
      return S_OK;
    }
  }
  for (const VARDESC& v : vars_) {
    if (EqualsNoCase(v.name, n)) {
      *kind = DESCKIND_VARDESC;
      bound->lpvardesc = &v;
      return S_OK;
    }
  }
  return S_OK;
}

const FUNCDESC* TypeInfo::FindFunction(DISPID id, uint16_t flags) const {
  for (const FUNCDESC& f : funcs_) {
    if (f.memid == id && (f.invkind & flags)) return &f;
  }
  return nullptr;
}

const VARDESC* TypeInfo::FindVariable(DISPID id) const {
  for (const VARDESC& v : vars_) {
    if (v.memid == id) return &v;
  }
  return nullptr;
}

DISPID TypeInfo::FindId(std::u16string_view name) const {
  for (const FUNCDESC& f : funcs_) {
    if (EqualsNoCase(f.name, name)) return f.memid;
  }
  for (const VARDESC& v : vars_) {
    if (EqualsNoCase(v.name, name)) return v.memid;
  }
  return DISPID_UNKNOWN;
}

// ---- Invocation arguments ------------------------------------------------------------------

InvokeArgs::~InvokeArgs() {
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].owned) VariantClear(&slots_[i].value);
  }
}

std::u16string_view InvokeArgs::TextView(size_t i, std::u16string& scratch) const {
  if (Has(i) && slots_[i].value.vt == VT_BSTR) return BstrView(slots_[i].value.bstrVal);
  scratch = Text(i);
  return scratch;
}

std::u16string InvokeArgs::Text(size_t i) const {
  if (!Has(i)) return {};
  VARIANT v;
  VariantInit(&v);
  if (Failed(VariantChangeType(&v, &slots_[i].value, 0, VT_BSTR))) return {};
  std::u16string s(BstrView(v.bstrVal));
  VariantClear(&v);
  return s;
}

int32_t InvokeArgs::Int(size_t i) const {
  if (!Has(i)) return 0;
  VARIANT v;
  VariantInit(&v);
  if (Failed(VariantChangeType(&v, &slots_[i].value, 0, VT_I4))) return 0;
  return v.lVal;
}

double InvokeArgs::Number(size_t i) const {
  if (!Has(i)) return 0;
  VARIANT v;
  VariantInit(&v);
  if (Failed(VariantChangeType(&v, &slots_[i].value, 0, VT_R8))) return 0;
  return v.dblVal;
}

bool InvokeArgs::Bool(size_t i) const {
  if (!Has(i)) return false;
  VARIANT v;
  VariantInit(&v);
  if (Failed(VariantChangeType(&v, &slots_[i].value, 0, VT_BOOL))) return false;
  return v.boolVal != 0;
}

HRESULT InvokeArgs::SetOut(size_t i, VARIANT value) {
  struct Owned {
    VARIANT* v;
    ~Owned() { VariantClear(v); }
  } owned{&value};
  VARIANT* ref = Out(i);
  if (ref == nullptr) return E_POINTER;
  VARTYPE vt = ref->vt & ~VT_BYREF;
  if (vt == VT_VARIANT) return VariantCopy(ref->pvarVal, &value);
  VARIANT changed;
  VariantInit(&changed);
  HRESULT hr = (vt & VT_ARRAY) ? (value.vt == vt ? VariantCopy(&changed, &value) : DISP_E_TYPEMISMATCH)
                               : VariantChangeType(&changed, &value, 0, vt);
  if (Failed(hr)) return hr;
  // Release what the slot held, then move the new value in.
  VARIANT old;
  VariantInit(&old);
  old.vt = vt;
  if (vt & VT_ARRAY) {
    old.parray = *ref->pparray;
    *ref->pparray = changed.parray;
  } else {
    std::memcpy(&old.llVal, ref->byref, ElementSize(vt));
    std::memcpy(ref->byref, &changed.llVal, ElementSize(vt));
  }
  VariantClear(&old);
  return S_OK;
}

// ---- AutomationObject ----------------------------------------------------------------------

namespace {
std::atomic<int64_t> g_liveObjects{0};
}  // namespace

int64_t AutomationObject::LiveCountForTesting() { return g_liveObjects.load(); }

AutomationObject::~AutomationObject() { --g_liveObjects; }

HRESULT AutomationObject::QueryInterface(const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

uint32_t AutomationObject::AddRef() {
  uint32_t n = ++refs_;
  if (n == 1) ++g_liveObjects;
  return n;
}

uint32_t AutomationObject::Release() {
  uint32_t n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT AutomationObject::GetTypeInfoCount(uint32_t* count) {
  *count = 1;
  return S_OK;
}

HRESULT AutomationObject::GetTypeInfo(uint32_t index, LCID, ITypeInfo** out) {
  if (index != 0) return DISP_E_BADINDEX;
  *out = const_cast<TypeInfo*>(&type_);
  return S_OK;
}

HRESULT AutomationObject::GetIDsOfNames(const IID&, const char16_t** names, uint32_t count, LCID,
                                        DISPID* ids) {
  HRESULT hr = S_OK;
  for (uint32_t i = 0; i < count; ++i) {
    ids[i] = type_.FindId(names[i]);
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT AutomationObject::Invoke(DISPID id, const IID&, LCID, uint16_t flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO*, uint32_t* argError) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  if (params == nullptr) params = &none;
  // The member under the first kind among the flags that has one.
  const FUNCDESC* func = nullptr;
  const VARDESC* var = nullptr;
  uint16_t kind = 0;
  for (uint16_t k : {DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF}) {
    if ((flags & k) == 0) continue;
    if ((func = type_.FindFunction(id, k)) != nullptr) {
      kind = k;
      break;
    }
  }
  if (func == nullptr) {
    var = type_.FindVariable(id);
    if (var == nullptr) return DISP_E_MEMBERNOTFOUND;
    kind = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) ? DISPATCH_PROPERTYPUT
                                                                      : DISPATCH_PROPERTYGET;
  }
  const bool put = kind == DISPATCH_PROPERTYPUT || kind == DISPATCH_PROPERTYPUTREF;
  // Named arguments: exactly the property value for a write, none otherwise.
  if (put) {
    if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT || params->cArgs < 1) {
      return params->cNamedArgs == 0 ? DISP_E_PARAMNOTOPTIONAL : DISP_E_NONAMEDARGS;
    }
  } else if (params->cNamedArgs != 0) {
    return DISP_E_NONAMEDARGS;
  }
  // Declared parameters; a variable takes its value when written and nothing when read.
  const PARAMDESC* declared = nullptr;
  size_t declaredCount = 0;
  PARAMDESC variableParam;
  bool vararg = false;
  if (func) {
    declared = func->params.data();
    declaredCount = func->params.size();
    vararg = func->vararg;
  } else if (put) {
    variableParam = PARAMDESC{var->type, PARAMFLAG_FIN};
    declared = &variableParam;
    declaredCount = 1;
  }
  uint32_t n = params->cArgs;
  if (n > declaredCount && !(vararg && declaredCount > 0)) return DISP_E_BADPARAMCOUNT;
  InvokeArgs args;
  args.slots_.Reset(n);  // empty values, no references, nothing owned
  // Positional arguments come last first; a write's value (the named one) is rgvarg[0].
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t source;
    if (put) {
      source = i + 1 == n ? 0 : n - 1 - i;
    } else {
      source = n - 1 - i;
    }
    VARIANT& in = params->rgvarg[source];
    const PARAMDESC& p = declared[i < declaredCount ? i : declaredCount - 1];
    if (IsMissing(in)) {
      if ((p.flags & PARAMFLAG_FOPT) == 0) {
        if (argError) *argError = source;
        return DISP_E_PARAMNOTOPTIONAL;
      }
      args.slots_[i].value = in;
      continue;
    }
    InvokeArgs::Slot& slot = args.slots_[i];
    if (in.vt & VT_BYREF) slot.ref = &in;
    VARTYPE want = p.type.vt & ~VT_BYREF;
    if (p.type.vt == VT_USERDEFINED) want = p.type.user == UserTypeKind::kEnum ? VT_I4 : VT_UNKNOWN;
    const bool asIs = want == VT_VARIANT || (want & VT_ARRAY);
    if ((in.vt & VT_BYREF) == 0 && (asIs || in.vt == want)) {
      // Nothing to resolve or change: the object reads the caller's value itself.
      slot.value = in;
      continue;
    }
    HRESULT hr = asIs ? VariantCopyInd(&slot.value, &in) : VariantChangeType(&slot.value, &in, 0, want);
    slot.owned = true;
    if (Failed(hr)) {
      if (argError) *argError = source;
      return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
    }
  }
  // Required parameters that were not passed at all.
  if (func) {
    for (size_t i = n; i < declaredCount; ++i) {
      if ((declared[i].flags & PARAMFLAG_FOPT) == 0 && !(put && i + 1 == declaredCount)) {
        return DISP_E_BADPARAMCOUNT;
      }
    }
  }
  VARIANT local;
  VariantInit(&local);
  HRESULT hr;
  AddRef();  // the object stays alive while its member runs
  try {
    hr = Call(id, kind, args, result ? result : &local);
  } catch (...) {
    hr = DISP_E_EXCEPTION;
  }
  VariantClear(&local);
  Release();
  return hr;
}

// ---- Registry, creation, running -----------------------------------------------------------

namespace {

struct ClassEntry {
  std::u16string progId;
  CLSID clsid;
  ObjectFactory factory;
  uint32_t contexts;
};

struct Registry {
  std::mutex mutex;
  std::vector<ClassEntry> classes;
  std::vector<ClassEntry> builtins;
  bool builtinsRegistered = false;
  bool remoteAvailable = true;
};

Registry& TheRegistry() {
  static Registry* r = new Registry;
  return *r;
}

}  // namespace

void RegisterClass(std::string_view progId, const CLSID& clsid, ObjectFactory factory, uint32_t contexts) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::u16string id = Widen(std::string(progId).c_str());
  // The newest registration of a ProgID is the one found; removing it uncovers the older one.
  std::erase_if(r.classes,
                [&](const ClassEntry& e) { return e.clsid == clsid && EqualsNoCase(e.progId, id); });
  r.classes.insert(r.classes.begin(), ClassEntry{id, clsid, std::move(factory), contexts});
}

void UnregisterClass(const CLSID& clsid) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::erase_if(r.classes, [&](const ClassEntry& e) { return e.clsid == clsid; });
}

void AddBuiltinClass(std::string_view progId, const CLSID& clsid, ObjectFactory factory) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.builtins.push_back(
      ClassEntry{Widen(std::string(progId).c_str()), clsid, std::move(factory), CLSCTX_INPROC_SERVER});
  r.builtinsRegistered = false;
}

void RegisterBuiltinClasses() {
  static std::once_flag once;
  std::call_once(once, AddPlatformClasses);
  Registry& r = TheRegistry();
  std::vector<ClassEntry> builtins;
  {
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.builtinsRegistered) return;
    r.builtinsRegistered = true;
    builtins = r.builtins;
  }
  for (ClassEntry& e : builtins) {
    std::string ascii;
    for (char16_t c : e.progId) ascii += static_cast<char>(c);
    RegisterClass(ascii, e.clsid, e.factory, e.contexts);
  }
}

HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid) {
  if (progId == nullptr || clsid == nullptr) return E_INVALIDARG;
  RegisterBuiltinClasses();
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (const ClassEntry& e : r.classes) {
    if (EqualsNoCase(e.progId, progId)) {
      *clsid = e.clsid;
      return S_OK;
    }
  }
  return CO_E_CLASSSTRING;
}

HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid) {
  if (text == nullptr || clsid == nullptr) return E_INVALIDARG;
  std::u16string_view s(text);
  if (s.empty() || s[0] != u'{') return CLSIDFromProgID(text, clsid);
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  static const char kShape[] = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
  if (s.size() != sizeof kShape - 1) return CO_E_CLASSSTRING;
  uint8_t bytes[16];
  int nibbles = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (kShape[i] != 'x') {
      if (c != kShape[i]) return CO_E_CLASSSTRING;
      continue;
    }
    int v = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                   : -1;
    if (v < 0) return CO_E_CLASSSTRING;
    if (nibbles % 2 == 0)
      bytes[nibbles / 2] = static_cast<uint8_t>(v << 4);
    else
      bytes[nibbles / 2] |= static_cast<uint8_t>(v);
    ++nibbles;
  }
  clsid->Data1 =
      (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
  clsid->Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  clsid->Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) clsid->Data4[i] = bytes[8 + i];
  return S_OK;
}

void SetRemoteActivationAvailable(bool available) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.remoteAvailable = available;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t contexts, const IID& iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsComInitialized()) return CO_E_NOTINITIALIZED;
  if (contexts & ~CLSCTX_ALL) return E_INVALIDARG;
  RegisterBuiltinClasses();
  ObjectFactory factory;
  {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if ((contexts & CLSCTX_REMOTE_SERVER) && !r.remoteAvailable) return E_INVALIDARG;
    for (const ClassEntry& e : r.classes) {
      if (e.clsid == clsid && (e.contexts & contexts)) factory = e.factory;
    }
  }
  if (!factory) return REGDB_E_CLASSNOTREG;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  IUnknown* object = factory();
  if (object == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

HRESULT OleRun(IUnknown* object) {
  if (object == nullptr) return E_INVALIDARG;
  IRunnableObject* runnable = nullptr;
  if (Failed(object->QueryInterface(IID_IRunnableObject, reinterpret_cast<void**>(&runnable)))) return S_OK;
  HRESULT hr = runnable->Run();
  runnable->Release();
  return hr;
}

HRESULT LoadTypeLib(const char16_t*, IUnknown** out) {
  if (out) *out = nullptr;
  return TYPE_E_CANTLOADLIBRARY;
}

}  // namespace platform::com
