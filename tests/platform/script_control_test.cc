#include <gtest/gtest.h>

#include <chrono>

#include "platform/com/automation.h"

namespace platform::com {
namespace {

// Calls a member by name the way a client does: bind through the type information, then
// Invoke with the arguments last first.
class Client {
 public:
  explicit Client(const char16_t* progId) {
    CLSID clsid;
    if (Succeeded(CLSIDFromProgID(progId, &clsid))) {
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&d_));
    }
  }
  ~Client() {
    if (d_) d_->Release();
  }
  bool ok() const { return d_ != nullptr; }

  HRESULT Invoke(const char16_t* name, uint16_t flags, std::vector<VARIANT> args, VARIANT* result = nullptr) {
    ITypeInfo* ti = nullptr;
    ITypeComp* tc = nullptr;
    d_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &ti);
    ti->GetTypeComp(&tc);
    DESCKIND kind;
    BINDPTR bound;
    tc->Bind(name, 0, flags, &kind, &bound);
    if (kind != DESCKIND_FUNCDESC) return DISP_E_UNKNOWNNAME;
    std::vector<VARIANT> rg(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp{rg.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr, static_cast<uint32_t>(rg.size()),
                  flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
    VARIANT local;
    VariantInit(&local);
    HRESULT hr = d_->Invoke(bound.lpfuncdesc->memid, IID_NULL, 0, flags, &dp, result ? result : &local,
                            nullptr, nullptr);
    VariantClear(&local);
    for (VARIANT& v : rg) VariantClear(&v);
    return hr;
  }
  HRESULT Put(const char16_t* name, VARIANT v) { return Invoke(name, DISPATCH_PROPERTYPUT, {v}); }
  std::u16string Text(const char16_t* name, std::vector<VARIANT> args, HRESULT* hr = nullptr) {
    VARIANT r;
    VariantInit(&r);
    HRESULT h = Invoke(name, DISPATCH_METHOD, std::move(args), &r);
    if (hr) *hr = h;
    VARIANT s;
    VariantInit(&s);
    VariantChangeType(&s, &r, 0, VT_BSTR);
    std::u16string out(BstrView(s.bstrVal));
    VariantClear(&s);
    VariantClear(&r);
    return out;
  }

 private:
  IDispatch* d_ = nullptr;
};

class ScriptControlTest : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(ScriptControlTest, RunsStatementsAndProceduresInJScript) {
  Client sc(u"ScriptControl");
  ASSERT_TRUE(sc.ok());
  // Nothing runs before a language is chosen, and only JScript is offered.
  EXPECT_EQ(sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD, {MakeBstrVariant(u"var a=1")}), DISP_E_EXCEPTION);
  EXPECT_EQ(sc.Put(u"Language", MakeBstrVariant(u"VBScript")), DISP_E_EXCEPTION);
  ASSERT_EQ(sc.Put(u"Language", MakeBstrVariant(u"JScript")), S_OK);
  EXPECT_EQ(sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD,
                      {MakeBstrVariant(u"function xx(){var x='%u4e2d\\/%41';return unescape(x);}")}),
            S_OK);
  EXPECT_EQ(sc.Text(u"Run", {MakeBstrVariant(u"xx")}), u"中/A");
  sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD, {MakeBstrVariant(u"function add(a,b){return a+b;}")});
  EXPECT_EQ(sc.Text(u"Run", {MakeBstrVariant(u"add"), MakeI4Variant(3), MakeR8Variant(7.5)}), u"10.5");
  // Characters beyond the basic plane survive the engine.
  sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD,
            {MakeBstrVariant(u"function yy(){return '\U0001F600'+'é';}")});
  EXPECT_EQ(sc.Text(u"Run", {MakeBstrVariant(u"yy")}), u"\U0001F600é");
  // A getter that throws, found where a procedure is looked for, is caught like any error.
  EXPECT_EQ(sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD,
                      {MakeBstrVariant(u"Object.defineProperty(this,'trap',{get:function(){throw 1;}})")}),
            S_OK);
  HRESULT trapped;
  sc.Text(u"Run", {MakeBstrVariant(u"trap")}, &trapped);
  EXPECT_EQ(trapped, DISP_E_EXCEPTION);
  // Errors come back as failures, and the object stays usable.
  HRESULT hr;
  sc.Text(u"Run", {MakeBstrVariant(u"noSuchFunction")}, &hr);
  EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD, {MakeBstrVariant(u"var s='a\nb';")}),
            DISP_E_EXCEPTION);
  EXPECT_EQ(sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD, {MakeBstrVariant(u"throw new Error('x')")}),
            DISP_E_EXCEPTION);
  EXPECT_EQ(sc.Text(u"Run", {MakeBstrVariant(u"xx")}), u"中/A");
}

TEST_F(ScriptControlTest, ScriptsSeeNoHostObjects) {
  Client sc(u"ScriptControl");
  ASSERT_EQ(sc.Put(u"Language", MakeBstrVariant(u"jscript")), S_OK);
  sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD,
            {MakeBstrVariant(u"function probe(){return [typeof require, typeof ActiveXObject, typeof print,"
                             u" typeof Duktape, typeof WScript].join(',');}")});
  std::u16string seen = sc.Text(u"Run", {MakeBstrVariant(u"probe")});
  EXPECT_EQ(seen, u"undefined,undefined,undefined,undefined,undefined");
}

TEST_F(ScriptControlTest, ALongScriptIsStoppedAtTheTimeout) {
  Client sc(u"ScriptControl");
  ASSERT_EQ(sc.Put(u"Language", MakeBstrVariant(u"JScript")), S_OK);
  VARIANT t;
  VariantInit(&t);
  sc.Invoke(u"Timeout", DISPATCH_PROPERTYGET, {}, &t);
  EXPECT_EQ(t.lVal, 10000);  // the default
  ASSERT_EQ(sc.Put(u"Timeout", MakeI4Variant(200)), S_OK);
  auto start = std::chrono::steady_clock::now();
  // Even a script that catches the error cannot keep running.
  EXPECT_EQ(sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD,
                      {MakeBstrVariant(u"for(;;){ try { for(;;){} } catch(e) {} }")}),
            DISP_E_EXCEPTION);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::seconds(5));
  EXPECT_GE(elapsed, std::chrono::milliseconds(150));
  // The engine still works afterwards.
  sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD, {MakeBstrVariant(u"function one(){return 1;}")});
  EXPECT_EQ(sc.Text(u"Run", {MakeBstrVariant(u"one")}), u"1");
}

TEST_F(ScriptControlTest, ABacktrackingRegularExpressionIsStoppedAtTheTimeout) {
  Client sc(u"ScriptControl");
  ASSERT_EQ(sc.Put(u"Language", MakeBstrVariant(u"JScript")), S_OK);
  ASSERT_EQ(sc.Put(u"Timeout", MakeI4Variant(100)), S_OK);
  // Forty a's and a b: /(a+)+$/ tries every split of the a's, about 2^40 ways, inside one call
  // of the regular expression engine.
  ASSERT_EQ(
      sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD, {MakeBstrVariant(u"var s=Array(41).join('a')+'b';")}),
      S_OK);
  // The engine's own step limit would end the call with an error the script can catch; the
  // time-out ends the evaluation whatever the script catches.
  VARIANT r;
  VariantInit(&r);
  EXPECT_EQ(
      sc.Invoke(
          u"Eval", DISPATCH_METHOD,
          {MakeBstrVariant(u"try { /(a+)+$/.test(s) ? 'matched' : 'no match' } catch (e) { 'caught' }")}, &r),
      DISP_E_EXCEPTION);
  EXPECT_EQ(r.vt, VT_EMPTY);
  // Retrying after each error, which without the bound would run for hours, stops as well.
  EXPECT_EQ(sc.Invoke(u"ExecuteStatement", DISPATCH_METHOD,
                      {MakeBstrVariant(u"for (;;) { try { /(a+)+$/.test(s); } catch (e) {} }")}),
            DISP_E_EXCEPTION);
  // The object stays usable, its state and the regular expressions included.
  EXPECT_EQ(sc.Text(u"Eval", {MakeBstrVariant(u"/(a+)+$/.test('aaa') + ',' + s.length")}), u"true,41");
}

}  // namespace
}  // namespace platform::com
