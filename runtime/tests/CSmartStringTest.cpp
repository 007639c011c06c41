// CSmartString: conversions between UTF-8 and UTF-16, zero units, ordering, large text.
#include "JNIHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

using jni_helpers::CSmartString;

namespace {

std::vector<unsigned short> units(const CSmartString& s) {
  const unsigned short* p = s;
  return p ? std::vector<unsigned short>(p, p + s.length()) : std::vector<unsigned short>();
}

std::string narrow(const CSmartString& s) {
  const char* p = s;
  return p ? std::string(p) : std::string("<null>");
}

}  // namespace

TEST(CSmartString, Utf8AndUtf16ConvertBothWays) {
  // e-acute, the euro sign and a character outside the basic plane (a surrogate pair)
  const char* text = "h\xC3\xA9llo \xE2\x82\xAC \xF0\x9D\x84\x9E";
  CSmartString s(text);
  const std::vector<unsigned short> expected{'h', 0xE9, 'l', 'l', 'o', ' ', 0x20AC, ' ', 0xD834, 0xDD1E};
  EXPECT_EQ(units(s), expected);
  EXPECT_EQ(s.length(), 10u);
  EXPECT_EQ(narrow(s), text);

  const unsigned short wide[] = {0x41, 0x3A9, 0xD83D, 0xDE00, 0};
  CSmartString w(wide);
  EXPECT_EQ(narrow(w), "A\xCE\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(CSmartString(narrow(w).c_str()), w);
}

TEST(CSmartString, MalformedTextBecomesReplacementCharacters) {
  // a stray continuation byte, a truncated sequence, an overlong encoding of '/'
  CSmartString bad(
      "a\x80"
      "b\xE2\x82"
      "c\xC0\xAF"
      "d");
  const std::vector<unsigned short> expected{'a', 0xFFFD, 'b', 0xFFFD, 'c', 0xFFFD, 0xFFFD, 'd'};
  EXPECT_EQ(units(bad), expected);

  const unsigned short lone[] = {'x', 0xD800, 'y', 0xDC00, 0};
  EXPECT_EQ(narrow(CSmartString(lone)), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

TEST(CSmartString, TextPastAZeroUnitSurvivesCopies) {
  const unsigned short raw[] = {'a', 0, 'b', 0xE9};
  CSmartString s(raw, 4);
  ASSERT_EQ(s.length(), 4u);

  CSmartString copy(s);
  EXPECT_EQ(copy.length(), 4u);
  EXPECT_EQ(units(copy), units(s));
  EXPECT_EQ(copy, s);

  CSmartString assigned("something else");
  assigned = s;
  EXPECT_EQ(units(assigned), units(s));

  CSmartString joined = s + CSmartString("z");
  EXPECT_EQ(joined.length(), 5u);
  EXPECT_EQ(units(joined).back(), 'z');

  // The narrow copy holds every unit too: "a", zero, "b", e-acute in two bytes.
  const char* n = s;
  EXPECT_EQ(std::memcmp(n, "a\0b\xC3\xA9", 6), 0);

  // A string differing only after the zero unit is not equal.
  const unsigned short other[] = {'a', 0, 'c', 0xE9};
  EXPECT_NE(CSmartString(other, 4), s);
  EXPECT_LT(s, CSmartString(other, 4));
}

TEST(CSmartString, OrderIsByUtf16Units) {
  EXPECT_EQ(CSmartString("abc"), CSmartString("abc"));
  EXPECT_LT(CSmartString("abc"), CSmartString("abd"));
  EXPECT_LT(CSmartString("ab"), CSmartString("abc"));
  EXPECT_LT(CSmartString("B"), CSmartString("a"));                            // not case-insensitive
  EXPECT_GT(CSmartString("\xEF\xBD\x81"), CSmartString("\xF0\x9F\x98\x80"));  // U+FF41 > a surrogate
  EXPECT_TRUE(CSmartString("abc") <= CSmartString("abc"));
  EXPECT_TRUE(CSmartString("abc") >= CSmartString("abb"));
  EXPECT_TRUE(CSmartString("abc") != CSmartString("ab"));
}

TEST(CSmartString, NullAndEmptyStrings) {
  CSmartString null;
  CSmartString empty("");
  EXPECT_TRUE(!null);
  EXPECT_FALSE(!empty);
  EXPECT_EQ(null.length(), 0u);
  EXPECT_EQ(empty.length(), 0u);
  EXPECT_EQ(static_cast<const char*>(null), nullptr);
  EXPECT_EQ(static_cast<const unsigned short*>(null), nullptr);
  EXPECT_STREQ(static_cast<const char*>(empty), "");
  EXPECT_EQ(CSmartString(""), CSmartString(""));

  // A null string orders before every other one, the empty one included, and equals itself,
  // so that ordered sets keep it once.
  EXPECT_LT(null, empty);
  EXPECT_LT(null, CSmartString("a"));
  EXPECT_GT(empty, null);
  EXPECT_EQ(null, CSmartString());
  std::set<CSmartString> set{CSmartString(),   CSmartString("b"), CSmartString(),
                             CSmartString(""), CSmartString("a"), CSmartString("b")};
  ASSERT_EQ(set.size(), 4u);
  EXPECT_TRUE(!*set.begin());
  EXPECT_EQ(*std::next(set.begin()), empty);

  CSmartString x("x");
  EXPECT_EQ(null + x, x);
  EXPECT_EQ(x + null, x);
  CSmartString y("y");
  y += null;
  EXPECT_EQ(y, CSmartString("y"));
  EXPECT_EQ(CSmartString(static_cast<const char*>(nullptr)).length(), 0u);
  EXPECT_TRUE(!CSmartString(static_cast<const unsigned short*>(nullptr)));
}

TEST(CSmartString, ConcatenationLeavesOperandsAlone) {
  CSmartString a("left ");
  CSmartString b("right");
  CSmartString c = a + b;
  EXPECT_EQ(narrow(c), "left right");
  EXPECT_EQ(narrow(a), "left ");
  EXPECT_EQ(narrow(b), "right");
  a += b;
  a += a;
  EXPECT_EQ(narrow(a), "left rightleft right");
}

TEST(CSmartString, AssignmentReplacesTheNarrowCopy) {
  CSmartString s("first");
  EXPECT_EQ(narrow(s), "first");  // the narrow copy is made here
  unsigned short* bstr = CSmartString::AllocBSTR(CSmartString("second"), 6);
  s.Assign(bstr);
  EXPECT_EQ(narrow(s), "second");
  CSmartString::FreeBSTR(bstr);

  s = "third";
  EXPECT_EQ(narrow(s), "third");
  const unsigned short fourth[] = {'4', 't', 'h', 0};
  s = fourth;
  EXPECT_EQ(narrow(s), "4th");
  s = static_cast<const char*>(nullptr);
  EXPECT_TRUE(!s);
  s.Assign(nullptr);
  EXPECT_TRUE(!s);
}

TEST(CSmartString, LengthPrefixedCopies) {
  const unsigned short raw[] = {'a', 0, 'b'};
  CSmartString s(raw, 3);
  unsigned short* copy = s.copy(false);  // the argument has no effect
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, static_cast<const unsigned short*>(s));
  EXPECT_EQ(copy[0], 'a');
  EXPECT_EQ(copy[1], 0);
  EXPECT_EQ(copy[2], 'b');
  EXPECT_EQ(copy[3], 0);

  CSmartString copied(copy, true);  // copies by the byte count: the zero unit is kept
  EXPECT_EQ(copied, s);
  CSmartString taken(copy, false);  // takes the buffer over and frees it
  EXPECT_EQ(taken, s);
  EXPECT_EQ(CSmartString().copy(), nullptr);
}

TEST(CSmartString, LargeText) {
  std::string big;
  for (int i = 0; i < 200000; ++i) big += (i % 3 == 0) ? "\xE2\x82\xAC" : (i % 3 == 1 ? "z" : "\xF0\x9D\x84\x9E");
  CSmartString s(big.c_str());
  EXPECT_EQ(s.length(), 66667u + 66667u + 2u * 66666u);  // euros, z, surrogate pairs
  EXPECT_EQ(narrow(s), big);
  CSmartString copy(s);
  EXPECT_EQ(copy, s);
  CSmartString twice = s + s;
  EXPECT_EQ(twice.length(), 2 * s.length());
  EXPECT_LT(s, twice);
}
