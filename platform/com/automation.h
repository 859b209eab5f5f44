// The automation object model: reference-counted interfaces, IDispatch with type information
// that binds member names by kind, the ProgID/CLSID class registry, object creation and running,
// and AutomationObject, the base class that turns a member table into a dispatch object.
//
// Defining and registering an automation object takes a member table and one Call override:
//
//   class Counter : public platform::com::AutomationObject {
//    public:
//     static const TypeInfo& Type() {
//       static TypeInfo* type = new TypeInfo(u"Counter", {
//           Method(1, "Add", VT_I4, {Param(VT_I4), Param(VT_I4, PARAMFLAG_FOPT)}),
//           PropertyGet(2, "Total", VT_I4),
//           PropertyPut(2, "Total", VT_I4),
//           Method(3, "Split", VT_EMPTY, {Param(VT_BYREF | VT_BSTR, PARAMFLAG_FOUT)}),
//       });
//       return *type;
//     }
//     Counter() : AutomationObject(Type()) {}
//    protected:
//     // args are in declaration order (the reverse of DISPPARAMS); a property write's value
//     // is the last one. Return S_OK, or DISP_E_EXCEPTION when the member fails.
//     HRESULT Call(DISPID id, uint16_t kind, InvokeArgs& args, VARIANT* result) override {
//       if (id == 1) { total_ += args.Int(0) + (args.Has(1) ? args.Int(1) : 0); ... }
//       if (id == 3) return args.SetOut(0, MakeBstrVariant(u"x"));
//       ...
//     }
//   };
//   RegisterClass("Demo.Counter", kCounterClsid, [] { return NewObject<Counter>(); });
//   (a class of the platform itself uses AddBuiltinClass instead: see RegisterBuiltinClasses)
//
// Parameters declared VT_VARIANT receive the caller's value as it came (references resolved);
// others are changed to the declared type first (DISP_E_TYPEMISMATCH when that fails). A
// parameter declared VT_BYREF|t is an in/out slot reached through args.Out / args.SetOut.
//
// Ownership: interfaces follow AddRef/Release; an object deletes itself at its last Release.
// TypeInfo objects live for the process. Thread contract: the registry is locked; an object is
// used by one thread at a time (apartment rules), and COM must be initialised on the thread
// that creates objects (CoInitialize).
#ifndef PLATFORM_COM_AUTOMATION_H_
#define PLATFORM_COM_AUTOMATION_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/variant.h"
#include "platform/small_array.h"

namespace platform::com {

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
  friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
extern const IID IID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_ITypeInfo;
extern const IID IID_ITypeComp;
extern const IID IID_IRunnableObject;
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::u16string StringFromGUID(const GUID& g);

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

using DISPID = int32_t;
using LCID = uint32_t;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;

// Member kinds (INVOKEKIND) and dispatch flags share their values.
inline constexpr uint16_t INVOKE_FUNC = 1;
inline constexpr uint16_t INVOKE_PROPERTYGET = 2;
inline constexpr uint16_t INVOKE_PROPERTYPUT = 4;
inline constexpr uint16_t INVOKE_PROPERTYPUTREF = 8;
inline constexpr uint16_t DISPATCH_METHOD = 1;
inline constexpr uint16_t DISPATCH_PROPERTYGET = 2;
inline constexpr uint16_t DISPATCH_PROPERTYPUT = 4;
inline constexpr uint16_t DISPATCH_PROPERTYPUTREF = 8;

inline constexpr uint16_t PARAMFLAG_NONE = 0;
inline constexpr uint16_t PARAMFLAG_FIN = 0x1;
inline constexpr uint16_t PARAMFLAG_FOUT = 0x2;
inline constexpr uint16_t PARAMFLAG_FOPT = 0x10;

// What a VT_USERDEFINED type resolves to through its aliases.
enum class UserTypeKind : uint8_t { kNone, kEnum, kDispatch, kInterface };

// A type as the type information describes it: VT_BYREF marks a pointer, VT_ARRAY a safe
// array; VT_USERDEFINED carries the kind it resolves to.
struct TYPEDESC {
  VARTYPE vt = VT_VARIANT;
  UserTypeKind user = UserTypeKind::kNone;
};
struct PARAMDESC {
  TYPEDESC type;
  uint16_t flags = PARAMFLAG_NONE;
};
struct FUNCDESC {
  DISPID memid;
  std::u16string name;
  uint16_t invkind;
  std::vector<PARAMDESC> params;
  bool vararg;  // the last parameter takes every extra argument
  TYPEDESC result;
};
struct VARDESC {
  DISPID memid;
  std::u16string name;
  TYPEDESC type;
};

enum DESCKIND { DESCKIND_NONE = 0, DESCKIND_FUNCDESC = 1, DESCKIND_VARDESC = 2, DESCKIND_TYPECOMP = 3 };
union BINDPTR {
  const FUNCDESC* lpfuncdesc;
  const VARDESC* lpvardesc;
  IUnknown* lptcomp;
};

// The hash passed to ITypeComp::Bind; names compare without regard to case.
inline constexpr uint32_t SYS_WIN32 = 1;
uint32_t LHashValOfNameSys(uint32_t syskind, LCID lcid, const char16_t* name);

class ITypeComp : public IUnknown {
 public:
  // Binds `name` for the member kinds in `flags` (INVOKE_*). A function binds when its kind
  // is among the flags; a variable binds for any kind. Nothing bound: S_OK with DESCKIND_NONE.
  virtual HRESULT Bind(const char16_t* name, uint32_t hash, uint16_t flags, DESCKIND* kind,
                       BINDPTR* bound) = 0;

 protected:
  ~ITypeComp() = default;
};

class ITypeInfo : public IUnknown {
 public:
  virtual HRESULT GetTypeComp(ITypeComp** out) = 0;
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) = 0;

 protected:
  ~ITypeInfo() = default;
};

struct DISPPARAMS {
  VARIANT* rgvarg;  // the last argument first
  DISPID* rgdispidNamedArgs;
  uint32_t cArgs;
  uint32_t cNamedArgs;
};
struct EXCEPINFO;

class IDispatch : public IUnknown {
 public:
  virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
  virtual HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** out) = 0;
  virtual HRESULT GetIDsOfNames(const IID& iid, const char16_t** names, uint32_t count, LCID lcid,
                                DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, const IID& iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, uint32_t* argError) = 0;

 protected:
  ~IDispatch() = default;
};

// Objects that must be started before use (OleRun).
class IRunnableObject : public IUnknown {
 public:
  virtual HRESULT Run() = 0;

 protected:
  ~IRunnableObject() = default;
};

// ---- Type information built from a member table ------------------------------------------

struct MemberDesc {
  bool isVariable;
  FUNCDESC func;
  VARDESC var;
};
inline PARAMDESC Param(VARTYPE vt, uint16_t flags = PARAMFLAG_FIN, UserTypeKind user = UserTypeKind::kNone) {
  return PARAMDESC{TYPEDESC{vt, user}, flags};
}
MemberDesc Method(DISPID id, const char* name, VARTYPE result, std::initializer_list<PARAMDESC> params = {},
                  bool vararg = false);
MemberDesc PropertyGet(DISPID id, const char* name, VARTYPE type,
                       std::initializer_list<PARAMDESC> index = {});
// The value is the last parameter; `index` parameters come before it.
MemberDesc PropertyPut(DISPID id, const char* name, VARTYPE type,
                       std::initializer_list<PARAMDESC> index = {});
MemberDesc PropertyPutRef(DISPID id, const char* name, VARTYPE type);
// A plain variable (readable and writable, no parameters).
MemberDesc Variable(DISPID id, const char* name, VARTYPE type, UserTypeKind user = UserTypeKind::kNone);

// Type information of one class; also its own ITypeComp. Lives for the process.
class TypeInfo final : public ITypeInfo, public ITypeComp {
 public:
  TypeInfo(std::u16string name, std::initializer_list<MemberDesc> members);
  HRESULT QueryInterface(const IID& iid, void** out) override;
  uint32_t AddRef() override { return 1; }
  uint32_t Release() override { return 1; }
  HRESULT GetTypeComp(ITypeComp** out) override;
  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) override;
  HRESULT Bind(const char16_t* name, uint32_t hash, uint16_t flags, DESCKIND* kind, BINDPTR* bound) override;

  const std::u16string& name() const { return name_; }
  // The function of that id whose kind is among `flags`, or null.
  const FUNCDESC* FindFunction(DISPID id, uint16_t flags) const;
  const VARDESC* FindVariable(DISPID id) const;
  DISPID FindId(std::u16string_view name) const;  // DISPID_UNKNOWN when unknown

 private:
  std::u16string name_;
  std::vector<FUNCDESC> funcs_;
  std::vector<VARDESC> vars_;
};

// ---- Invocation arguments as an object sees them ---------------------------------------------

class InvokeArgs {
 public:
  size_t size() const { return slots_.size(); }
  // False for an omitted optional argument.
  bool Has(size_t i) const { return i < size() && !IsMissing(slots_[i].value); }
  // The value: references resolved, changed to the declared type unless declared VT_VARIANT.
  const VARIANT& operator[](size_t i) const { return slots_[i].value; }
  std::u16string Text(size_t i) const;  // changed to text; empty when that fails
  // The same text, viewed in place when the value is one already, else changed into
  // `scratch`; the view lasts as long as the arguments and `scratch`.
  std::u16string_view TextView(size_t i, std::u16string& scratch) const;
  int32_t Int(size_t i) const;    // changed to VT_I4; 0 when that fails
  double Number(size_t i) const;  // changed to VT_R8; 0 when that fails
  bool Bool(size_t i) const;
  // The caller's storage for a by-reference argument, or null when it came by value.
  VARIANT* Out(size_t i) const { return i < size() ? slots_[i].ref : nullptr; }
  // Stores v into the by-reference argument i, changed to the type it points to. Takes
  // ownership of v (it is cleared), so SetOut(i, MakeBstrVariant(...)) leaks nothing.
  HRESULT SetOut(size_t i, VARIANT v);

  InvokeArgs() = default;
  InvokeArgs(const InvokeArgs&) = delete;
  InvokeArgs& operator=(const InvokeArgs&) = delete;
  ~InvokeArgs();

 private:
  friend class AutomationObject;
  // One argument. A value that came by value with its declared type already is the
  // caller's VARIANT, copied bit for bit and not owned (the caller keeps it for the whole
  // call); the others are owned copies.
  struct Slot {
    VARIANT value;
    VARIANT* ref;  // the VT_BYREF argument as passed (not owned), or null
    bool owned;
  };
  SmallArray<Slot, 8> slots_;
};

// ---- The base of every automation object of this platform -----------------------------------

class AutomationObject : public IDispatch {
 public:
  explicit AutomationObject(const TypeInfo& type) : type_(type) {}
  HRESULT QueryInterface(const IID& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;
  HRESULT GetTypeInfoCount(uint32_t* count) override;
  HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** out) override;
  HRESULT GetIDsOfNames(const IID& iid, const char16_t** names, uint32_t count, LCID lcid,
                        DISPID* ids) override;
  // Finds the member, checks the named arguments and the count, reverses the positional
  // arguments into declaration order, changes them to their declared types and calls Call.
  // Anything thrown inside Call becomes DISP_E_EXCEPTION.
  HRESULT Invoke(DISPID id, const IID& iid, LCID lcid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, uint32_t* argError) override;

  const TypeInfo& type() const { return type_; }
  // Live objects of all classes, for tests that check that nothing leaks.
  static int64_t LiveCountForTesting();

 protected:
  AutomationObject(const AutomationObject&) = delete;
  AutomationObject& operator=(const AutomationObject&) = delete;
  virtual ~AutomationObject();
  // kind is the one flag the member was found under (DISPATCH_*).
  virtual HRESULT Call(DISPID id, uint16_t kind, InvokeArgs& args, VARIANT* result) = 0;

 private:
  const TypeInfo& type_;
  std::atomic<uint32_t> refs_{0};
};

// An object with one reference held by the caller.
template <typename T, typename... A>
IUnknown* NewObject(A&&... a) {
  T* object = new T(std::forward<A>(a)...);
  object->AddRef();
  return static_cast<IDispatch*>(object);
}

// ---- Classes: registry, creation, running -------------------------------------------------

inline constexpr uint32_t CLSCTX_INPROC_SERVER = 0x1;
inline constexpr uint32_t CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr uint32_t CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr uint32_t CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr uint32_t CLSCTX_ALL = 0x17;

using ObjectFactory = std::function<IUnknown*()>;  // a new object with one reference
// Registers a class under its ProgID and CLSID (replacing a registration of the same pair).
// A ProgID registered again under another CLSID names the newest class until that one is
// unregistered. The class is an in-process server unless `contexts` says otherwise.
void RegisterClass(std::string_view progId, const CLSID& clsid, ObjectFactory factory,
                   uint32_t contexts = CLSCTX_INPROC_SERVER);
void UnregisterClass(const CLSID& clsid);
// Registers the platform's own classes once (ProgID look-up and creation call it first). A
// module that defines a built-in class provides `void RegisterXxxClass()` calling
// AddBuiltinClass, declares it in builtin_classes.h and adds the call to each build's
// AddPlatformClasses: an explicit call, because the linker drops unreferenced objects of a
// static library.
void RegisterBuiltinClasses();
void AddBuiltinClass(std::string_view progId, const CLSID& clsid, ObjectFactory factory);

// Case-insensitive ProgID look-up: REGDB_E_CLASSNOTREG / CO_E_CLASSSTRING when unknown.
HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid);
// "{...}" form (a ProgID is also accepted, as the platform does); CO_E_CLASSSTRING when bad.
HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid);
// CO_E_NOTINITIALIZED without CoInitialize on the thread; E_INVALIDARG for unknown context
// bits and, while remote activation is unavailable, for a mask that includes
// CLSCTX_REMOTE_SERVER; REGDB_E_CLASSNOTREG when the class is unknown or serves none of the
// contexts; CLASS_E_NOAGGREGATION with an outer object; E_NOINTERFACE.
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t contexts, const IID& iid, void** out);
// Remote activation is available by default; tests switch it off to reach the retry path.
void SetRemoteActivationAvailable(bool available);
// Runs an object that needs starting; S_OK for the others.
HRESULT OleRun(IUnknown* object);
// Type-library files do not exist on this platform: always TYPE_E_CANTLOADLIBRARY.
HRESULT LoadTypeLib(const char16_t* file, IUnknown** out);

}  // namespace platform::com

#endif  // PLATFORM_COM_AUTOMATION_H_
