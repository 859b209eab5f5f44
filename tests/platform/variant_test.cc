#include "platform/com/variant.h"

#include <gtest/gtest.h>

#include "platform/com/automation.h"

namespace platform::com {
namespace {

VARIANT Changed(const VARIANT& v, VARTYPE vt, HRESULT* hr) {
  VARIANT out;
  VariantInit(&out);
  *hr = VariantChangeType(&out, &v, 0, vt);
  return out;
}

TEST(VariantTest, BstrKeepsItsLengthAndEmbeddedZeros) {
  BSTR s = SysAllocStringLen(u"a\0b", 3);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(BstrView(s), std::u16string_view(u"a\0b", 3));
  SysFreeString(s);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(static_cast<const char16_t*>(nullptr)), nullptr);
}

TEST(VariantTest, NumbersRoundHalfToEvenAndCheckTheirRange) {
  HRESULT hr;
  EXPECT_EQ(Changed(MakeR8Variant(2.5), VT_I4, &hr).lVal, 2);
  EXPECT_EQ(Changed(MakeR8Variant(3.5), VT_I4, &hr).lVal, 4);
  EXPECT_EQ(Changed(MakeR8Variant(-2.5), VT_I2, &hr).iVal, -2);
  Changed(MakeI4Variant(300), VT_UI1, &hr);
  EXPECT_EQ(hr, DISP_E_OVERFLOW);
  Changed(MakeR8Variant(3e9), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_OVERFLOW);
  EXPECT_EQ(Changed(MakeI4Variant(255), VT_UI1, &hr).bVal, 255);
  EXPECT_EQ(hr, S_OK);
}

TEST(VariantTest, TextsParseAndFormat) {
  HRESULT hr;
  VARIANT s = MakeBstrVariant(u" 12.5 ");
  EXPECT_EQ(Changed(s, VT_R8, &hr).dblVal, 12.5);
  VariantClear(&s);
  s = MakeBstrVariant(u"abc");
  Changed(s, VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
  VariantClear(&s);
  s = MakeBstrVariant(u"FALSE");
  EXPECT_EQ(Changed(s, VT_BOOL, &hr).boolVal, VARIANT_FALSE);
  EXPECT_EQ(hr, S_OK);
  VariantClear(&s);
  VARIANT t = Changed(MakeBoolVariant(true), VT_BSTR, &hr);
  EXPECT_EQ(BstrView(t.bstrVal), u"True");
  VariantClear(&t);
  t = Changed(MakeR8Variant(0.1), VT_BSTR, &hr);
  EXPECT_EQ(BstrView(t.bstrVal), u"0.1");
  VariantClear(&t);
  t = Changed(MakeI4Variant(-42), VT_BSTR, &hr);
  EXPECT_EQ(BstrView(t.bstrVal), u"-42");
  VariantClear(&t);
  VARIANT null;
  VariantInit(&null);
  null.vt = VT_NULL;
  Changed(null, VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
}

TEST(VariantTest, TextsAndByteArraysExchangeTheirBytes) {
  HRESULT hr;
  VARIANT s = MakeBstrVariant(u"AB");
  VARIANT a = Changed(s, VT_ARRAY | VT_UI1, &hr);
  ASSERT_EQ(hr, S_OK);
  ASSERT_EQ(a.parray->rgsabound[0].cElements, 4u);
  EXPECT_EQ(std::string_view(static_cast<char*>(a.parray->pvData), 4), std::string_view("A\0B\0", 4));
  VARIANT back = Changed(a, VT_BSTR, &hr);
  EXPECT_EQ(BstrView(back.bstrVal), u"AB");
  VariantClear(&s);
  VariantClear(&a);
  VariantClear(&back);
}

TEST(VariantTest, SafeArraysCheckBoundsAndOwnTheirElements) {
  SAFEARRAY* sa = SafeArrayCreateVector(VT_BSTR, 1, 2);
  ASSERT_NE(sa, nullptr);
  BSTR word = SysAllocString(u"词");
  int32_t i = 2;
  EXPECT_EQ(SafeArrayPutElement(sa, &i, &word), S_OK);
  SysFreeString(word);  // the array keeps its own copy
  BSTR out = nullptr;
  EXPECT_EQ(SafeArrayGetElement(sa, &i, &out), S_OK);
  EXPECT_EQ(BstrView(out), u"词");
  SysFreeString(out);
  i = 0;
  EXPECT_EQ(SafeArrayPutElement(sa, &i, &out), DISP_E_BADINDEX);
  i = 3;
  EXPECT_EQ(SafeArrayGetElement(sa, &i, &out), DISP_E_BADINDEX);
  int32_t lo, hi;
  SafeArrayGetLBound(sa, 1, &lo);
  SafeArrayGetUBound(sa, 1, &hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 2);
  SafeArrayDestroy(sa);
  SAFEARRAYBOUND two[2] = {{1, 0}, {1, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_UI1, 2, two), nullptr);  // one dimension only
}

TEST(VariantTest, CopyIndResolvesReferences) {
  int32_t value = 7;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_BYREF | VT_I4;
  ref.plVal = &value;
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopyInd(&copy, &ref), S_OK);
  EXPECT_EQ(copy.vt, VT_I4);
  EXPECT_EQ(copy.lVal, 7);
  VARIANT inner = MakeBstrVariant(u"内");
  VARIANT byVariant;
  VariantInit(&byVariant);
  byVariant.vt = VT_BYREF | VT_VARIANT;
  byVariant.pvarVal = &inner;
  ASSERT_EQ(VariantCopyInd(&copy, &byVariant), S_OK);
  EXPECT_EQ(copy.vt, VT_BSTR);
  EXPECT_NE(copy.bstrVal, inner.bstrVal);  // a copy, not the referenced string
  EXPECT_EQ(BstrView(copy.bstrVal), u"内");
  VariantClear(&copy);
  VariantClear(&inner);
  // Clearing a reference leaves what it points to alone.
  EXPECT_EQ(VariantClear(&ref), S_OK);
  EXPECT_EQ(value, 7);
}

}  // namespace
}  // namespace platform::com
