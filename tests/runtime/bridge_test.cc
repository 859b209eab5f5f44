#include "runtime/com/bridge.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/com/automation.h"
#include "runtime/com/com_bridge.h"

namespace rt {
namespace {

namespace pc = platform::com;
using com::ComObject;
using com::Variant;
using pc::HRESULT;
using pc::S_OK;

// What the probe object last saw.
struct Seen {
  uint16_t flags = 0;
  std::vector<pc::VARTYPE> types;
  std::vector<int32_t> codes;
  int32_t lastIndex = 0;
  int32_t lastValue = 0;
  bool gotDispatch = false;
} g_seen;

const pc::CLSID kProbeClsid = {0x1234ABCD, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};

class Probe : public pc::AutomationObject {
 public:
  static const pc::TypeInfo& Type() {
    using namespace pc;
    static const TypeInfo type(
        u"Probe",
        {
            Method(1, "Echo", VT_VARIANT, {Param(VT_VARIANT)}),
            Method(2, "Sum", VT_R8, {Param(VT_R8), Param(VT_VARIANT, PARAMFLAG_FOPT)}, true),
            Method(3, "Three", VT_BSTR,
                   {Param(VT_VARIANT, PARAMFLAG_FOPT), Param(VT_VARIANT, PARAMFLAG_FOPT),
                    Param(VT_VARIANT, PARAMFLAG_FOPT)}),
            Method(4, "Split", VT_EMPTY,
                   {Param(VT_BSTR), Param(VT_BYREF | VT_BSTR, PARAMFLAG_FOUT),
                    Param(VT_BYREF | VT_I4, PARAMFLAG_FOUT), Param(VT_BYREF | VT_VARIANT, PARAMFLAG_FIN)}),
            PropertyGet(5, "Option", VT_I4, {Param(VT_I4)}),
            PropertyPut(5, "Option", VT_I4, {Param(VT_I4)}),
            Method(6, "Fail", VT_EMPTY),
            Method(7, "ByteCount", VT_I4, {Param(VT_VARIANT)}),
            Variable(8, "Name", VT_BSTR),
            Method(9, "TakeObject", VT_EMPTY, {Param(VT_DISPATCH)}),
            Method(10, "ReturnCode", VT_EMPTY, {Param(VT_I4)}),
            Method(11, "Pair", VT_EMPTY, {Param(VT_I4), Param(VT_I4)}),
        });
    return type;
  }
  Probe() : AutomationObject(Type()) {}

 protected:
  HRESULT Call(pc::DISPID id, uint16_t kind, pc::InvokeArgs& args, pc::VARIANT* result) override {
    g_seen.flags = kind;
    g_seen.types.clear();
    g_seen.codes.clear();
    for (size_t i = 0; i < args.size(); ++i) {
      g_seen.types.push_back(args[i].vt);
      g_seen.codes.push_back(args[i].scode);
    }
    switch (id) {
      case 1:
        return pc::VariantCopy(result, &args[0]);
      case 2: {
        double sum = 0;
        for (size_t i = 0; i < args.size(); ++i) sum += args.Number(i);
        *result = pc::MakeR8Variant(sum);
        return S_OK;
      }
      case 3:
        *result = pc::MakeBstrVariant(u"three");
        return S_OK;
      case 4: {
        std::u16string s = args.Text(0);
        args.SetOut(1, pc::MakeBstrVariant(s + u"!"));
        args.SetOut(2, pc::MakeI4Variant(static_cast<int32_t>(s.size())));
        return S_OK;
      }
      case 5:
        if (kind == pc::DISPATCH_PROPERTYPUT) {
          g_seen.lastIndex = args.Int(0);
          g_seen.lastValue = args.Int(1);
        } else {
          *result = pc::MakeI4Variant(args.Int(0) * 10);
        }
        return S_OK;
      case 6:
        throw std::runtime_error("inside the object");
      case 7: {
        const pc::VARIANT& v = args[0];
        *result = pc::MakeI4Variant(v.vt == (pc::VT_ARRAY | pc::VT_UI1)
                                        ? static_cast<int32_t>(v.parray->rgsabound[0].cElements)
                                        : -1);
        return S_OK;
      }
      case 8:
        if (kind == pc::DISPATCH_PROPERTYPUT) {
          name_ = args.Text(0);
        } else {
          *result = pc::MakeBstrVariant(name_);
        }
        return S_OK;
      case 9:
        g_seen.gotDispatch = args[0].vt == pc::VT_DISPATCH && args[0].pdispVal != nullptr;
        return S_OK;
      case 10:
        return args.Int(0);
      default:
        return S_OK;
    }
  }

 private:
  std::u16string name_ = u"probe";
};

// An object without IDispatch.
class Plain final : public pc::IUnknown {
 public:
  HRESULT QueryInterface(const pc::IID& iid, void** out) override {
    if (iid == pc::IID_IUnknown) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return pc::E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    uint32_t n = --refs_;
    if (n == 0) delete this;
    return n;
  }

 private:
  uint32_t refs_ = 1;
};

// A dispatch object that gives no type information.
class Opaque final : public Probe {
 public:
  HRESULT GetTypeInfo(uint32_t, pc::LCID, pc::ITypeInfo** out) override {
    *out = nullptr;
    return pc::E_NOTIMPL;
  }
};

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pc::CoInitialize(nullptr);
    pc::RegisterClass("Test.Probe", kProbeClsid, [] { return pc::NewObject<Probe>(); });
  }
  void TearDown() override {
    pc::UnregisterClass(kProbeClsid);
    pc::CoUninitialize();
  }
};

TEST_F(BridgeTest, CreateFindsRegisteredNamesAndClsidsAndLeavesTheHolderAloneOtherwise) {
  ComObject o;
  EXPECT_FALSE(com::Create(o, "No.Such.Object"));
  EXPECT_TRUE(o.empty());
  EXPECT_FALSE(com::Create(o, "{00000000-0000-0000-0000-00000000000Z}"));
  EXPECT_TRUE(o.empty());
  EXPECT_TRUE(com::Create(o, "test.PROBE"));  // ProgIDs match case-insensitively
  EXPECT_FALSE(o.empty());
  ComObject byClsid;
  EXPECT_TRUE(com::Create(byClsid, "{1234ABCD-1111-2222-3333-444444444444}"));
  // No type-library files here: that path falls through to the ProgID.
  ComObject withLibrary;
  EXPECT_TRUE(com::Create(withLibrary, "Test.Probe", "C:\\lib\\probe.tlb"));
  // A failed Create leaves what the holder had.
  pc::IUnknown* before = o.unknown();
  EXPECT_FALSE(com::Create(o, "No.Such.Object"));
  EXPECT_EQ(o.unknown(), before);
}

TEST_F(BridgeTest, CreateRetriesWithoutRemoteServersAndNeedsCoInitialize) {
  pc::SetRemoteActivationAvailable(false);
  ComObject o;
  EXPECT_TRUE(com::Create(o, "Test.Probe"));
  pc::SetRemoteActivationAvailable(true);
  pc::CoUninitialize();
  ComObject outside;
  EXPECT_FALSE(com::Create(outside, "Test.Probe"));
  pc::CoInitialize(nullptr);
}

TEST_F(BridgeTest, HoldersCountReferencesAndReleaseThem) {
  int64_t live = pc::AutomationObject::LiveCountForTesting();
  {
    ComObject a;
    ASSERT_TRUE(com::Create(a, "Test.Probe"));
    EXPECT_EQ(pc::AutomationObject::LiveCountForTesting(), live + 1);
    ComObject b;
    com::Copy(b, a);
    EXPECT_EQ(b.unknown(), a.unknown());
    com::Clear(a);
    EXPECT_TRUE(a.empty());
    // b still holds its reference.
    EXPECT_EQ(com::GetText(b, "Name").view(), "probe");
  }
  EXPECT_EQ(pc::AutomationObject::LiveCountForTesting(), live);
}

TEST_F(BridgeTest, EmptyHolderUnknownMemberAndMissingInterfacesGiveTheirCodes) {
  ComObject empty;
  Text t = com::GetText(empty, "Name");
  EXPECT_TRUE(t.empty());
  EXPECT_EQ(com::LastError(), -1);
  EXPECT_EQ(com::GetNumber(empty, "Name"), 0);
  EXPECT_EQ(com::LastError(), -1);

  ComObject o;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  com::Call(o, "NoSuchMember");
  EXPECT_EQ(com::LastError(), -3);
  EXPECT_FALSE(com::SetProperty(o, "Fail", {IntArg(1)}));  // a method: binds, but takes no value
  EXPECT_EQ(com::LastError(), -5);

  ComObject plain;
  plain.holder()->unknown = new Plain;
  com::Call(plain, "Anything");
  EXPECT_EQ(com::LastError(), -2);

  ComObject opaque;
  opaque.holder()->unknown = pc::NewObject<Opaque>();
  com::Call(opaque, "Echo", {IntArg(1)});
  EXPECT_EQ(com::LastError(), -4);
}

TEST_F(BridgeTest, MemberNamesBindCaseInsensitivelyAndSuccessClearsTheCode) {
  ComObject o;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  com::Call(o, "NoSuchMember");
  EXPECT_EQ(com::CallNumber(o, "sUm", {IntArg(2), DoubleArg(0.5)}), 2.5);
  EXPECT_EQ(com::LastError(), 0);
  EXPECT_EQ(com::GetText(o, "NAME").view(), "probe");
}

TEST_F(BridgeTest, TooManyArgumentsUnlessTheMemberTakesAVariableList) {
  ComObject o;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  com::Call(o, "Pair", {IntArg(1), IntArg(2), IntArg(3)});
  EXPECT_EQ(com::LastError(), -5);
  // Trailing omitted arguments are dropped before the count check.
  com::Call(o, "Pair", {IntArg(1), IntArg(2), Omitted(), Omitted()});
  EXPECT_EQ(com::LastError(), 0);
  EXPECT_EQ(com::CallNumber(o, "Sum", {IntArg(1), IntArg(2), IntArg(3), IntArg(4)}), 10);
  EXPECT_EQ(com::LastError(), 0);
  // More arguments than a call keeps in place: 20, in the record list, the bridge's VARIANTs
  // and the object's view of them alike.
  EXPECT_EQ(com::CallNumber(
                o, "Sum", {IntArg(1),  IntArg(2),  IntArg(3),  IntArg(4),  IntArg(5),  IntArg(6),  IntArg(7),
                           IntArg(8),  IntArg(9),  IntArg(10), IntArg(11), IntArg(12), IntArg(13), IntArg(14),
                           IntArg(15), IntArg(16), IntArg(17), IntArg(18), IntArg(19), IntArg(20)}),
            210);
  EXPECT_EQ(com::LastError(), 0);
}

TEST_F(BridgeTest, OmittedMiddleArgumentArrivesAsParamNotFoundAndArgumentsKeepTheirOrder) {
  ComObject o;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  Text r = com::CallText(o, "Three", {IntArg(7), Omitted(), TextArg("x"), Omitted()});
  EXPECT_EQ(r.view(), "three");
  ASSERT_EQ(g_seen.types.size(), 3u);
  EXPECT_EQ(g_seen.types[0], pc::VT_I4);
  EXPECT_EQ(g_seen.types[1], pc::VT_ERROR);
  EXPECT_EQ(g_seen.codes[1], pc::DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(g_seen.types[2], pc::VT_BSTR);
}

TEST_F(BridgeTest, ArgumentsConvertByTheTable) {
  ComObject o;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  struct Case {
    ArgRecord arg;
    pc::VARTYPE vt;
  } cases[] = {
      {BoolArg(true), pc::VT_BOOL},        {ByteArg(200), pc::VT_UI1},  {IntArg(-5), pc::VT_I4},
      {LongArg(1LL << 40 | 9), pc::VT_I4}, {FloatArg(1.5f), pc::VT_R4}, {DoubleArg(2.25), pc::VT_R8},
      {TextArg("中文"), pc::VT_BSTR},
  };
  for (const Case& c : cases) {
    Variant v = com::GetVariant(o, "Echo", {c.arg});
    EXPECT_EQ(com::LastError(), 0);
    EXPECT_EQ(v.get()->vt, c.vt);
  }
  Variant longValue = com::GetVariant(o, "Echo", {LongArg(1LL << 40 | 9)});
  EXPECT_EQ(longValue.get()->lVal, 9);  // the low 32 bits
  EXPECT_EQ(com::CallText(o, "Echo", {TextArg("中文")}).view(), "中文");
  EXPECT_EQ(com::CallText(o, "Echo", {BoolArg(true)}).view(), "True");
  ArgRecord date;
  date.setF64(45000.5, kTypeDateTime);
  EXPECT_EQ(com::GetVariant(o, "Echo", {date}).get()->vt, pc::VT_DATE);
  ArgRecord shortArg;
  shortArg.setI16(-3);
  EXPECT_EQ(com::CallNumber(o, "Echo", {shortArg}), -3);
}

TEST_F(BridgeTest, ByteSetsPassOnlyWrappedInAVariant) {
  ComObject o;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  ByteSet bytes(std::string_view("\x01\x00\x02", 3));
  EXPECT_EQ(com::CallNumber(o, "ByteCount", {BytesArg(bytes)}), 0);
  EXPECT_EQ(com::LastError(), -7);
  Variant v;
  EXPECT_TRUE(com::Assign(v, BytesArg(bytes)));
  EXPECT_EQ(v.get()->vt, pc::VT_ARRAY | pc::VT_UI1);
  int32_t lower = 0;
  pc::SafeArrayGetLBound(v.get()->parray, 1, &lower);
  EXPECT_EQ(lower, 1);
  EXPECT_EQ(com::CallNumber(o, "ByteCount", {v.Arg()}), 3);
  EXPECT_EQ(com::LastError(), 0);
  EXPECT_EQ(com::ToBytes(v).view(), bytes.view());
}

TEST_F(BridgeTest, ToBytesOfEmptyArraysAndNonArrays) {
  Variant v;
  com::Clear(v);
  EXPECT_EQ(v.get()->vt, pc::VT_EMPTY);
  EXPECT_TRUE(com::ToBytes(v).empty());
  EXPECT_EQ(com::ToBytes(v).get(), nullptr);
  EXPECT_TRUE(com::Assign(v, BytesArg(ByteSet())));
  EXPECT_EQ(v.get()->vt, pc::VT_ARRAY | pc::VT_UI1);
  EXPECT_EQ(com::ToBytes(v).get(), nullptr);
  // A text changes into its UTF-16 bytes.
  EXPECT_TRUE(com::Assign(v, TextArg("ab")));
  EXPECT_EQ(com::ToBytes(v).view(), std::string_view("a\0b\0", 4));
  Variant fresh;  // a new Variant holds VT_I4 0, which has no byte form
  EXPECT_EQ(fresh.get()->vt, pc::VT_I4);
  EXPECT_TRUE(com::ToBytes(fresh).empty());
}

TEST_F(BridgeTest, AssignIntoAnElementAndFromRuntimeArrays) {
  Variant v;
  ASSERT_TRUE(com::Assign(v, BytesArg(ByteSet(std::string_view("abc")))));
  EXPECT_TRUE(com::Assign(v, IntArg('Z'), IntArg(2)));
  EXPECT_EQ(com::ToBytes(v).view(), "aZc");
  EXPECT_FALSE(com::Assign(v, IntArg(1), IntArg(4)));    // outside the bounds
  EXPECT_FALSE(com::Assign(v, IntArg(300), IntArg(1)));  // does not fit a byte
  TextArray texts;
  texts.push_back("一");
  texts.push_back("two");
  ASSERT_TRUE(com::Assign(v, VariableArg(texts.block(), kTypeText | kArrayBit)));
  EXPECT_EQ(v.get()->vt, pc::VT_ARRAY | pc::VT_BSTR);
  pc::BSTR second = nullptr;
  int32_t index = 2;
  pc::SafeArrayGetElement(v.get()->parray, &index, &second);
  EXPECT_EQ(pc::BstrView(second), u"two");
  pc::SysFreeString(second);
}

TEST_F(BridgeTest, SetPropertyOfAnIndexedPropertyIsAPropertyWriteWithTheNamedValue) {
  ComObject o;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  EXPECT_TRUE(com::SetProperty(o, "Option", {IntArg(6), IntArg(0)}));
  EXPECT_EQ(g_seen.flags, pc::DISPATCH_PROPERTYPUT);
  EXPECT_EQ(g_seen.lastIndex, 6);
  EXPECT_EQ(g_seen.lastValue, 0);
  EXPECT_TRUE(com::SetProperty(o, "Option", {IntArg(4), IntArg(13)}));
  EXPECT_EQ(g_seen.lastIndex, 4);
  EXPECT_EQ(g_seen.lastValue, 13);
  EXPECT_EQ(com::GetNumber(o, "Option", {IntArg(3)}), 30);
  // A plain variable: read and written.
  EXPECT_TRUE(com::SetProperty(o, "Name", {TextArg("新名")}));
  EXPECT_EQ(com::GetText(o, "Name").view(), "新名");
}

TEST_F(BridgeTest, OutArgumentsAreWrittenBackIntoVariables) {
  ComObject o;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  Text text("old");
  int32_t length = -1;
  Variant in;
  com::Call(o, "Split",
            {TextArg("abc"), VariableArg(text.slot(), kTypeText | kArrayBit),
             VariableArg(&length, kTypeInt | kArrayBit), in.RefArg()});
  EXPECT_EQ(com::LastError(), 0);
  EXPECT_EQ(text.view(), "abc!");
  EXPECT_EQ(length, 3);
  // By value, nothing comes back.
  Text unchanged("same");
  com::Call(o, "Split", {TextArg("x"), TextArg(unchanged), IntArg(1), in.Arg()});
  EXPECT_EQ(com::LastError(), 0);
  EXPECT_EQ(unchanged.view(), "same");
}

TEST_F(BridgeTest, ObjectsPassAsDispatchWhenDeclaredSo) {
  ComObject o, other;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  ASSERT_TRUE(com::Create(other, "Test.Probe"));
  g_seen.gotDispatch = false;
  com::Call(o, "TakeObject", {other.Arg()});
  EXPECT_EQ(com::LastError(), 0);
  EXPECT_TRUE(g_seen.gotDispatch);
  // A Variant holding an object keeps it; the object is released with the Variant.
  Variant v;
  EXPECT_TRUE(com::Assign(v, other.Arg()));
  EXPECT_EQ(v.get()->vt, pc::VT_UNKNOWN);
}

TEST_F(BridgeTest, ObjectFailuresMapToTheirCodes) {
  ComObject o;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  com::Call(o, "Fail");
  EXPECT_EQ(com::LastError(), -11);
  struct Case {
    pc::HRESULT hr;
    int32_t code;
  } cases[] = {
      {pc::DISP_E_BADPARAMCOUNT, -9},     {pc::DISP_E_BADVARTYPE, -10},
      {pc::DISP_E_EXCEPTION, -11},        {pc::DISP_E_MEMBERNOTFOUND, -12},
      {pc::DISP_E_NONAMEDARGS, -13},      {pc::DISP_E_OVERFLOW, -14},
      {pc::DISP_E_PARAMNOTFOUND, -15},    {pc::DISP_E_TYPEMISMATCH, -16},
      {pc::DISP_E_PARAMNOTOPTIONAL, -17}, {pc::E_FAIL, -18},
  };
  for (const Case& c : cases) {
    Text t = com::CallText(o, "ReturnCode", {IntArg(c.hr)});
    EXPECT_EQ(com::LastError(), c.code) << std::hex << c.hr;
    EXPECT_TRUE(t.empty());
  }
  // The object changes arguments to declared types: a text that is no number.
  com::Call(o, "Pair", {TextArg("x"), IntArg(1)});
  EXPECT_EQ(com::LastError(), -16);
  Variant v = com::GetVariant(o, "Fail");
  EXPECT_EQ(v.get()->vt, pc::VT_EMPTY);
}

TEST_F(BridgeTest, ResultsThatCannotBeConvertedGiveMinusEight) {
  ComObject o;
  ASSERT_TRUE(com::Create(o, "Test.Probe"));
  EXPECT_EQ(com::CallNumber(o, "Echo", {TextArg("not a number")}), 0);
  EXPECT_EQ(com::LastError(), -8);
  EXPECT_EQ(com::CallNumber(o, "Echo", {TextArg("12.5")}), 12.5);
}

TEST_F(BridgeTest, LastComErrorIsPerThread) {
  ComObject empty;
  com::GetText(empty, "x");
  ASSERT_EQ(com::LastError(), -1);
  int32_t other = 99;
  std::thread([&] { other = LastComError(); }).join();
  EXPECT_EQ(other, 0);
  EXPECT_EQ(com::LastError(), -1);
}

// ---- Bindings kept between calls ----------------------------------------------------------------

// An object that answers every call with the member id it was invoked under, and remembers
// the id and kind of the last property write.
struct LastWrite {
  pc::DISPID id = 0;
  uint16_t kind = 0;
} g_lastWrite;

class IdEcho : public pc::AutomationObject {
 public:
  explicit IdEcho(const pc::TypeInfo& type) : AutomationObject(type) {}

 protected:
  HRESULT Call(pc::DISPID id, uint16_t kind, pc::InvokeArgs&, pc::VARIANT* result) override {
    if (kind == pc::DISPATCH_PROPERTYPUT || kind == pc::DISPATCH_PROPERTYPUTREF) {
      g_lastWrite = {id, kind};
    } else {
      *result = pc::MakeI4Variant(id);
    }
    return S_OK;
  }
};

const pc::TypeInfo& FirstClassType() {
  using namespace pc;
  static const TypeInfo type(u"First", {
                                           Method(1, "Go", VT_I4),
                                           PropertyGet(2, "Level", VT_I4),
                                           PropertyPut(3, "Level", VT_I4),
                                       });
  return type;
}

const pc::TypeInfo& SecondClassType() {
  using namespace pc;
  static const TypeInfo type(u"Second", {
                                            Method(5, "Other", VT_I4),
                                            Method(6, "Go", VT_I4),
                                            Variable(7, "Level", VT_I4),
                                        });
  return type;
}

TEST_F(BridgeTest, RepeatedCallsBindEachClassAndOperationToItsOwnMember) {
  ComObject first, second;
  first.holder()->unknown = pc::NewObject<IdEcho>(FirstClassType());
  second.holder()->unknown = pc::NewObject<IdEcho>(SecondClassType());
  // Alternating classes, operations and spellings: every call must find its own member, the
  // first time and every time after.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(com::CallNumber(first, "Go"), 1);
    EXPECT_EQ(com::CallNumber(second, "Go"), 6);
    EXPECT_EQ(com::CallNumber(second, "gO"), 6);
    EXPECT_EQ(com::CallNumber(first, "gO"), 1);
    // The same name under a read and a write binds to different members of the first class.
    EXPECT_EQ(com::GetNumber(first, "Level"), 2);
    EXPECT_TRUE(com::SetProperty(first, "Level", {IntArg(1)}));
    EXPECT_EQ(g_lastWrite.id, 3);
    EXPECT_EQ(com::GetNumber(second, "Level"), 7);
    EXPECT_TRUE(com::SetProperty(second, "Level", {IntArg(1)}));
    EXPECT_EQ(g_lastWrite.id, 7);
    EXPECT_EQ(g_lastWrite.kind, pc::DISPATCH_PROPERTYPUT);
    // A name the class lacks stays unknown, also after the other class bound it.
    EXPECT_EQ(com::CallNumber(first, "Other"), 0);
    EXPECT_EQ(com::LastError(), -3);
    EXPECT_EQ(com::CallNumber(second, "Other"), 5);
  }
}

// Type information that ends with its last reference, built in storage the test gives, so that
// a later class's type information can take the very address an ended one had.
class CountedType final : public pc::ITypeInfo, public pc::ITypeComp {
 public:
  CountedType(std::initializer_list<pc::MemberDesc> members, bool* ended)
      : inner_(u"Counted", members), ended_(ended) {}
  HRESULT QueryInterface(const pc::IID& iid, void** out) override {
    if (iid == pc::IID_ITypeComp) {
      *out = static_cast<pc::ITypeComp*>(this);
    } else if (iid == pc::IID_IUnknown || iid == pc::IID_ITypeInfo) {
      *out = static_cast<pc::ITypeInfo*>(this);
    } else {
      *out = nullptr;
      return pc::E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    uint32_t n = --refs_;
    if (n == 0) {
      *ended_ = true;
      this->~CountedType();
    }
    return n;
  }
  HRESULT GetTypeComp(pc::ITypeComp** out) override {
    AddRef();
    *out = this;
    return S_OK;
  }
  HRESULT CreateInstance(pc::IUnknown*, const pc::IID&, void** out) override {
    *out = nullptr;
    return pc::E_NOTIMPL;
  }
  HRESULT Bind(const char16_t* name, uint32_t hash, uint16_t flags, pc::DESCKIND* kind,
               pc::BINDPTR* bound) override {
    return inner_.Bind(name, hash, flags, kind, bound);
  }
  const pc::TypeInfo& inner() const { return inner_; }

 private:
  pc::TypeInfo inner_;
  uint32_t refs_ = 1;
  bool* ended_;
};

class CountedObject final : public IdEcho {
 public:
  explicit CountedObject(CountedType* type) : IdEcho(type->inner()), type_(type) { type_->AddRef(); }
  ~CountedObject() override { type_->Release(); }
  HRESULT GetTypeInfo(uint32_t, pc::LCID, pc::ITypeInfo** out) override {
    type_->AddRef();
    *out = type_;
    return S_OK;
  }

 private:
  CountedType* type_;
};

TEST_F(BridgeTest, AnEndedClassLeavesNoBindingForTheClassThatTakesItsPlace) {
  // Static storage: what a binding kept may be released after this test has returned.
  alignas(CountedType) static unsigned char storage[sizeof(CountedType)];
  alignas(CountedType) static unsigned char spare[sizeof(CountedType)];
  static bool firstEnded = false, secondEnded = false;
  using namespace pc;
  auto* first = new (storage) CountedType({Method(1, "Go", VT_I4)}, &firstEnded);
  {
    ComObject o;
    o.holder()->unknown = NewObject<CountedObject>(first);
    first->Release();  // now only the object holds the type information
    EXPECT_EQ(com::CallNumber(o, "Go"), 1);
  }
  // Whatever still holds the first class's type information keeps it where it is; if nothing
  // does, it has ended and the second class's type information is built at its address.
  auto* second = new (firstEnded ? storage : spare)
      CountedType({Method(2, "Stop", VT_I4), Method(3, "Go", VT_I4)}, &secondEnded);
  ComObject o;
  o.holder()->unknown = NewObject<CountedObject>(second);
  second->Release();
  EXPECT_EQ(com::CallNumber(o, "Go"), 3);
  EXPECT_EQ(com::LastError(), 0);
  EXPECT_EQ(com::CallNumber(o, "Stop"), 2);
}

}  // namespace
}  // namespace rt
