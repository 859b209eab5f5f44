#include "platform/com/automation.h"

#include <gtest/gtest.h>

namespace platform::com {
namespace {

const CLSID kClsid = {0xA1B2C3D4, 0x0102, 0x0304, {1, 2, 3, 4, 5, 6, 7, 8}};
int g_calls = 0;
std::vector<int32_t> g_args;

class Sample : public AutomationObject {
 public:
  static const TypeInfo& Type() {
    static const TypeInfo type(u"Sample", {
                                              Method(1, "Pair", VT_I4, {Param(VT_I4), Param(VT_I4)}),
                                              PropertyGet(2, "Level", VT_I4),
                                              PropertyPut(2, "Level", VT_I4),
                                              Method(3, "Maybe", VT_EMPTY, {Param(VT_I4, PARAMFLAG_FOPT)}),
                                              Variable(4, "Tag", VT_BSTR),
                                          });
    return type;
  }
  Sample() : AutomationObject(Type()) {}

 protected:
  HRESULT Call(DISPID, uint16_t, InvokeArgs& args, VARIANT*) override {
    ++g_calls;
    g_args.clear();
    for (size_t i = 0; i < args.size(); ++i) g_args.push_back(args.Has(i) ? args.Int(i) : -999);
    return S_OK;
  }
};

class Unstartable final : public AutomationObject, public IRunnableObject {
 public:
  Unstartable() : AutomationObject(Sample::Type()) {}
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (iid == IID_IRunnableObject) {
      *out = static_cast<IRunnableObject*>(this);
      AddRef();
      return S_OK;
    }
    return AutomationObject::QueryInterface(iid, out);
  }
  uint32_t AddRef() override { return AutomationObject::AddRef(); }
  uint32_t Release() override { return AutomationObject::Release(); }
  HRESULT Run() override { return E_FAIL; }

 protected:
  HRESULT Call(DISPID, uint16_t, InvokeArgs&, VARIANT*) override { return S_OK; }
};

class AutomationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    RegisterClass("Sample.Object", kClsid, [] { return NewObject<Sample>(); });
    CoCreateInstance(kClsid, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(&d_));
  }
  void TearDown() override {
    if (d_) d_->Release();
    UnregisterClass(kClsid);
    CoUninitialize();
  }
  HRESULT Invoke(DISPID id, uint16_t flags, std::vector<VARIANT> rg, bool named = false) {
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp{rg.data(), named ? &put : nullptr, static_cast<uint32_t>(rg.size()), named ? 1u : 0u};
    VARIANT r;
    VariantInit(&r);
    HRESULT hr = d_->Invoke(id, IID_NULL, 0, flags, &dp, &r, nullptr, nullptr);
    VariantClear(&r);
    return hr;
  }
  IDispatch* d_ = nullptr;
};

TEST_F(AutomationTest, ClassIdentifiersReadAndPrintInBraces) {
  CLSID c;
  std::u16string text = StringFromGUID(kClsid);
  EXPECT_EQ(text, u"{A1B2C3D4-0102-0304-0102-030405060708}");
  ASSERT_EQ(CLSIDFromString(text.c_str(), &c), S_OK);
  EXPECT_EQ(c, kClsid);
  EXPECT_EQ(CLSIDFromString(u"{A1B2C3D4-0102-0304-0102-03040506070}", &c), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromString(u"{A1B2C3D4+0102-0304-0102-030405060708}", &c), CO_E_CLASSSTRING);
  EXPECT_EQ(CLSIDFromProgID(u"sample.object", &c), S_OK);
  EXPECT_EQ(CLSIDFromProgID(u"Sample.Missing", &c), CO_E_CLASSSTRING);
}

TEST_F(AutomationTest, CreationChecksContextsAggregationAndInitialisation) {
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(kClsid, nullptr, 0x100, IID_IUnknown, &p), E_INVALIDARG);
  EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &p), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kClsid, d_, CLSCTX_ALL, IID_IUnknown, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_ALL, IID_ITypeComp, &p), E_NOINTERFACE);
  SetRemoteActivationAvailable(false);
  EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_ALL, IID_IUnknown, &p), E_INVALIDARG);
  SetRemoteActivationAvailable(true);
  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_ALL, IID_IUnknown, &p), CO_E_NOTINITIALIZED);
  CoInitialize(nullptr);
  IUnknown* u = NewObject<Unstartable>();
  EXPECT_EQ(OleRun(u), E_FAIL);
  u->Release();
  EXPECT_EQ(OleRun(d_), S_OK);
}

TEST_F(AutomationTest, BindingFollowsMemberKinds) {
  ITypeInfo* ti = nullptr;
  ITypeComp* tc = nullptr;
  ASSERT_EQ(d_->GetTypeInfo(0, 0, &ti), S_OK);
  ASSERT_EQ(ti->GetTypeComp(&tc), S_OK);
  DESCKIND kind;
  BINDPTR bound;
  tc->Bind(u"level", 0, INVOKE_FUNC, &kind, &bound);
  EXPECT_EQ(kind, DESCKIND_NONE);  // a property does not bind as a method
  tc->Bind(u"LEVEL", 0, INVOKE_PROPERTYPUT, &kind, &bound);
  ASSERT_EQ(kind, DESCKIND_FUNCDESC);
  EXPECT_EQ(bound.lpfuncdesc->invkind, INVOKE_PROPERTYPUT);
  tc->Bind(u"tag", 0, INVOKE_FUNC, &kind, &bound);
  EXPECT_EQ(kind, DESCKIND_VARDESC);  // variables bind for every kind
}

TEST_F(AutomationTest, InvokeReversesArgumentsAndChecksThem) {
  EXPECT_EQ(Invoke(1, DISPATCH_METHOD, {MakeI4Variant(2), MakeI4Variant(1)}), S_OK);
  EXPECT_EQ(g_args, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(Invoke(1, DISPATCH_METHOD, {MakeI4Variant(1)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(1, DISPATCH_METHOD, {MakeI4Variant(1), MakeI4Variant(2), MakeI4Variant(3)}),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(1, DISPATCH_METHOD, {MakeI4Variant(1), MakeMissingVariant()}), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(Invoke(3, DISPATCH_METHOD, {MakeMissingVariant()}), S_OK);
  EXPECT_EQ(g_args, (std::vector<int32_t>{-999}));
  EXPECT_EQ(Invoke(1, DISPATCH_METHOD, {MakeI4Variant(1), MakeI4Variant(2)}, true), DISP_E_NONAMEDARGS);
  // A property write takes its value as the named argument.
  EXPECT_EQ(Invoke(2, DISPATCH_PROPERTYPUT, {MakeI4Variant(5)}), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(Invoke(2, DISPATCH_PROPERTYPUT, {MakeI4Variant(5)}, true), S_OK);
  EXPECT_EQ(g_args, (std::vector<int32_t>{5}));
  EXPECT_EQ(Invoke(99, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
  VARIANT text = MakeBstrVariant(u"x");
  EXPECT_EQ(Invoke(3, DISPATCH_METHOD, {text}), DISP_E_TYPEMISMATCH);
  VariantClear(&text);
}

}  // namespace
}  // namespace platform::com
