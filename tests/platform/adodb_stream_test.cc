#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/com/automation.h"

namespace platform::com {
namespace {

// A stream driven through IDispatch by member id, as a client bound by name would.
class Stream {
 public:
  Stream() {
    CoInitialize(nullptr);
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(u"ADODB.Stream", &clsid), S_OK);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(&d_)),
              S_OK);
    d_->GetTypeInfo(0, 0, reinterpret_cast<ITypeInfo**>(&ti_));
  }
  ~Stream() {
    d_->Release();
    CoUninitialize();
  }
  HRESULT Do(const char16_t* name, uint16_t flags, std::vector<VARIANT> args = {},
             VARIANT* result = nullptr) {
    DISPID id = DISPID_UNKNOWN;
    d_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    std::vector<VARIANT> rg(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    bool isPut = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS dp{rg.data(), isPut ? &put : nullptr, static_cast<uint32_t>(rg.size()), isPut ? 1u : 0u};
    VARIANT local;
    VariantInit(&local);
    HRESULT hr = d_->Invoke(id, IID_NULL, 0, flags, &dp, result ? result : &local, nullptr, nullptr);
    VariantClear(&local);
    for (VARIANT& v : rg) VariantClear(&v);
    return hr;
  }
  HRESULT Set(const char16_t* name, VARIANT v) { return Do(name, DISPATCH_PROPERTYPUT, {v}); }
  HRESULT WriteBytes(std::string_view bytes) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = SafeArrayCreateVector(VT_UI1, 1, static_cast<uint32_t>(bytes.size()));
    std::memcpy(v.parray->pvData, bytes.data(), bytes.size());
    return Do(u"Write", DISPATCH_METHOD, {v});
  }
  std::u16string ReadText(std::vector<VARIANT> args = {}) {
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(Do(u"ReadText", DISPATCH_METHOD, std::move(args), &r), S_OK);
    std::u16string s(BstrView(r.bstrVal));
    VariantClear(&r);
    return s;
  }
  // The sequence the charset routines use: binary in, then text out in `charset`.
  std::u16string Decode(std::string_view bytes, const char16_t* charset) {
    Set(u"Type", MakeI4Variant(1));
    Set(u"Mode", MakeI4Variant(3));
    EXPECT_EQ(Do(u"Open", DISPATCH_METHOD), S_OK);
    EXPECT_EQ(WriteBytes(bytes), S_OK);
    Set(u"Position", MakeI4Variant(0));
    Set(u"Type", MakeI4Variant(2));
    EXPECT_EQ(Set(u"Charset", MakeBstrVariant(charset)), S_OK);
    std::u16string s = ReadText();
    Do(u"Close", DISPATCH_METHOD);
    return s;
  }

 private:
  IDispatch* d_ = nullptr;
  void* ti_ = nullptr;
};

TEST(AdodbStreamTest, DecodesBytesInTheUsualCharsets) {
  Stream s;
  EXPECT_EQ(s.Decode(std::string_view("a\0\x2d\x4e", 4), u"unicode"), u"a中");
  EXPECT_EQ(s.Decode("\xE4\xB8\xAD\xE6\x96\x87", u"utf-8"), u"中文");
  EXPECT_EQ(s.Decode("\xD6\xD0\xCE\xC4", u"gb2312"), u"中文");
  EXPECT_EQ(s.Decode("\xD6\xD0\x80", u"GBK"), u"中€");
  EXPECT_EQ(s.Decode("caf\xE9", u"iso-8859-1"), u"café");
  // A trailing odd byte of UTF-16 is no character; invalid UTF-8 becomes U+FFFD.
  EXPECT_EQ(s.Decode(std::string_view("a\0b", 3), u"unicode"), u"a");
  EXPECT_EQ(s.Decode("x\xFFy", u"utf-8"), u"x\uFFFDy");
  // A byte-order mark at the start is not text.
  EXPECT_EQ(s.Decode("\xEF\xBB\xBFok", u"utf-8"), u"ok");
}

TEST(AdodbStreamTest, RefusesWhatTheStreamStateDoesNotAllow) {
  Stream s;
  EXPECT_EQ(s.Set(u"Charset", MakeBstrVariant(u"no-such-charset")), DISP_E_EXCEPTION);
  EXPECT_EQ(s.WriteBytes("x"), DISP_E_EXCEPTION);  // not open
  ASSERT_EQ(s.Do(u"Open", DISPATCH_METHOD), S_OK);
  EXPECT_EQ(s.Do(u"Open", DISPATCH_METHOD), DISP_E_EXCEPTION);
  ASSERT_EQ(s.WriteBytes("abc"), S_OK);
  EXPECT_EQ(s.Set(u"Type", MakeI4Variant(2)), DISP_E_EXCEPTION);    // only at position 0
  EXPECT_EQ(s.Do(u"ReadText", DISPATCH_METHOD), DISP_E_EXCEPTION);  // binary mode reads no text
  s.Set(u"Position", MakeI4Variant(0));
  EXPECT_EQ(s.Set(u"Type", MakeI4Variant(2)), S_OK);
  EXPECT_EQ(s.WriteBytes("d"), DISP_E_EXCEPTION);  // text mode takes no bytes
}

TEST(AdodbStreamTest, WritesAndReadsTextByLinesAndCounts) {
  Stream s;
  s.Set(u"Type", MakeI4Variant(2));
  s.Set(u"Charset", MakeBstrVariant(u"utf-8"));
  ASSERT_EQ(s.Do(u"Open", DISPATCH_METHOD), S_OK);
  ASSERT_EQ(s.Do(u"WriteText", DISPATCH_METHOD, {MakeBstrVariant(u"一行\r\n二"), MakeI4Variant(0)}), S_OK);
  s.Set(u"Position", MakeI4Variant(0));
  EXPECT_EQ(s.ReadText({MakeI4Variant(-2)}), u"一行");
  EXPECT_EQ(s.ReadText({MakeI4Variant(1)}), u"二");
  VARIANT eos;
  VariantInit(&eos);
  s.Do(u"EOS", DISPATCH_PROPERTYGET, {}, &eos);
  EXPECT_EQ(eos.boolVal, VARIANT_TRUE);
}

}  // namespace
}  // namespace platform::com
