// GUIDs in text form, BSTR layout and lengths, UTF-8 / UTF-16 conversions, _bstr_t.
#include "ComSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

constexpr GUID kAddInClsid = com::guid("05E7E155-F9CA-4F96-B5D1-E2263F039DE7");

TEST(GuidText, RegistryFormIsBracedUpperCaseAndRoundTrips) {
  EXPECT_EQ(com::guidToString(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
  EXPECT_EQ(com::guidToString(kAddInClsid), "{05E7E155-F9CA-4F96-B5D1-E2263F039DE7}");

  GUID parsed{};
  ASSERT_TRUE(com::guidFromString("{05e7e155-f9ca-4f96-b5d1-e2263f039de7}", &parsed));
  EXPECT_EQ(parsed, kAddInClsid);

  OLECHAR wide[39];
  EXPECT_EQ(StringFromGUID2(kAddInClsid, wide, 39), 39);
  EXPECT_EQ(com::toUtf8(wide, 38), "{05E7E155-F9CA-4F96-B5D1-E2263F039DE7}");
  EXPECT_EQ(wide[38], 0);
  EXPECT_EQ(StringFromGUID2(kAddInClsid, wide, 38), 0) << "no room for the terminator";

  CLSID clsid{};
  EXPECT_EQ(CLSIDFromString(wide, &clsid), NOERROR);
  EXPECT_EQ(clsid, kAddInClsid);
}

TEST(GuidText, MalformedTextIsRefused) {
  GUID g{};
  for (const char* bad : {"05E7E155-F9CA-4F96-B5D1-E2263F039DE7",     // no braces
                          "{05E7E155-F9CA-4F96-B5D1-E2263F039DE}",    // short
                          "{05E7E155-F9CA-4F96-B5D1-E2263F039DE7 }",  // long
                          "{05E7E155+F9CA-4F96-B5D1-E2263F039DE7}",   // separator
                          "{05E7E155-F9CA-4F96-B5D1-E2263F039DG7}",   // not hex
                          ""}) {
    EXPECT_FALSE(com::guidFromString(bad, &g)) << bad;
  }
  const std::u16string wide = u"{05E7E155-F9CA-4F96-B5D1-E2263F039DE\u00E9}";
  EXPECT_EQ(CLSIDFromString(wide.c_str(), &g), CO_E_CLASSSTRING);
}

TEST(GuidText, CompileTimeGuidsCompareAndOrder) {
  constexpr GUID a = com::guid("00000000-0000-0000-C000-000000000046");
  static_assert(a == IID_IUnknown, "parsed at compile time");
  static_assert(IID_IUnknown != IID_IDispatch, "different interfaces");
  std::map<GUID, int> byGuid{{IID_IDispatch, 2}, {IID_IUnknown, 1}, {kAddInClsid, 3}};
  EXPECT_EQ(byGuid.begin()->second, 1);
  EXPECT_EQ(byGuid[kAddInClsid], 3);
  EXPECT_TRUE(IsEqualCLSID(com::uuidof<IDispatch>(), IID_IDispatch));
}

TEST(Bstr, LengthPrefixTerminatorAndEmbeddedZeros) {
  const OLECHAR units[] = {u'a', 0, u'b', u'c'};
  BSTR b = SysAllocStringLen(units, 4);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 4u);
  uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(b) - 4, 4);
  EXPECT_EQ(prefix, 8u) << "the prefix counts bytes";
  EXPECT_EQ(b[1], 0);
  EXPECT_EQ(b[3], u'c');
  EXPECT_EQ(b[4], 0) << "terminated";
  SysFreeString(b);

  BSTR stopped = SysAllocString(units);
  EXPECT_EQ(SysStringLen(stopped), 1u) << "SysAllocString stops at the first zero";
  SysFreeString(stopped);

  BSTR blank = SysAllocStringLen(nullptr, 3);
  EXPECT_EQ(SysStringLen(blank), 3u);
  EXPECT_EQ(blank[0], 0);
  SysFreeString(blank);

  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  SysFreeString(nullptr);
}

TEST(Bstr, Utf8RoundTripKeepsEveryCharacterAndZeros) {
  const std::string text = std::string(
      "Gr\xC3\xBC\xC3\x9F"
      "e\0"
      "\xF0\x9F\x99\x82 \xE2\x82\xAC",
      16);
  BSTR b = com::allocBstr(text);
  // ü ß e NUL U+1F642 (two units) space €
  EXPECT_EQ(SysStringLen(b), 10u);
  EXPECT_EQ(b[5], 0);
  EXPECT_EQ(b[6], 0xD83D);
  EXPECT_EQ(b[7], 0xDE42);
  EXPECT_EQ(com::fromBstr(b), text);
  SysFreeString(b);
  EXPECT_EQ(com::fromBstr(nullptr), "");
}

TEST(Bstr, MalformedInputBecomesReplacementCharacters) {
  // A stray continuation byte, an overlong slash, a cut sequence.
  EXPECT_EQ(com::toUtf16("a\x80"
                         "b\xC0\xAF"
                         "c\xE2\x82"),
            std::u16string(u"a\uFFFDb\uFFFD\uFFFDc\uFFFD\uFFFD"));
  const OLECHAR lone[] = {u'x', 0xD800, u'y', 0xDC00};
  EXPECT_EQ(com::toUtf8(lone, 4), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

TEST(BstrWrapper, OwnsDeepCopiesAndConvertsToUtf8) {
  _bstr_t a("KAVRIN \xE2\x82\xAC");
  EXPECT_EQ(a.length(), 8u);
  EXPECT_STREQ(static_cast<const char*>(a), "KAVRIN \xE2\x82\xAC");
  _bstr_t b = a;
  EXPECT_NE(static_cast<BSTR>(a), static_cast<BSTR>(b)) << "copies are deep";
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a == "KAVRIN \xE2\x82\xAC");
  EXPECT_TRUE(_bstr_t("a") < _bstr_t("b"));

  _bstr_t withZero(std::string("a\0b", 3));
  EXPECT_EQ(withZero.length(), 3u);
  EXPECT_EQ(withZero.utf8(), std::string("a\0b", 3));

  BSTR detached = b.Detach();
  EXPECT_TRUE(!b);
  _bstr_t adopted(detached, false);
  EXPECT_EQ(static_cast<BSTR>(adopted), detached);

  _bstr_t out("old");
  *out.GetAddress() = com::allocBstr("new");
  EXPECT_STREQ(static_cast<const char*>(out), "new") << "the cached narrow text follows";

  _bstr_t none(static_cast<const char*>(nullptr));
  EXPECT_TRUE(!none);
  EXPECT_EQ(none.length(), 0u);
  EXPECT_TRUE(none == _bstr_t(""));
}

}  // namespace
