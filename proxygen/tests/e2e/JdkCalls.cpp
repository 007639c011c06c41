// Uses the proxies of JDK 17 classes (java.lang.Integer, StringBuilder, String, java.util.ArrayList,
// HashMap), generated with the substitution delete=erase for the C++ keyword.
#include "E2eSupport.h"

#include <climits>

using namespace CPP_Java_Bridge;

namespace {

using e2e::str;

void jdk() {
  typedef java::lang::IntegerJNIProxy Integer;
  CHECK_EQ(Integer::MAX_VALUE, INT_MAX);
  CHECK_EQ(Integer::MIN_VALUE, INT_MIN);
  CHECK_EQ(Integer::SIZE, 32);
  CHECK_EQ(Integer::parseInt(str("-123")), -123);
  CHECK_EQ(Integer::parseInt(str("ff"), 16), 255);
  CHECK_TEXT(Integer::toString(255, 2), "11111111");
  CHECK_TEXT(Integer::toHexString(-1), "ffffffff");
  CHECK_EQ(Integer::bitCount(0xF0F0), 8);
  Integer boxed(Integer::valueOf(41));
  CHECK_EQ(boxed.intValue(), 41);
  CHECK_EQ(boxed.compareTo(Integer::valueOf(50)), -1);
  // A proxy is its Java type's own class: compareTo(Integer), not the compareTo(Object) beside it.
  const Integer fifty(Integer::valueOf(50));
  CHECK_EQ(boxed.compareTo(fifty), -1);
  CHECK_TEXT(boxed.toString(), "41");
  CHECK_TRUE(!Integer::get_TYPE().isNullObject());
  const std::string bad = e2e::thrownMessage([] { Integer::parseInt(str("12x")); });
  CHECK_TRUE(e2e::contains(bad, "java.lang.NumberFormatException"));
  CHECK_TRUE(e2e::contains(bad, "12x"));

  java::lang::StringBuilderJNIProxy builder;
  builder.append(str("hello"));
  builder.append(jint(42));
  builder.append(jboolean(JNI_TRUE));
  builder.append(jchar('!'));
  builder.append(jdouble(0.5));
  CHECK_TEXT(builder.toString(), "hello42true!0.5");
  builder.erase(0, 5);
  CHECK_TEXT(builder.toString(), "42true!0.5");
  builder.deleteCharAt(0);
  builder.insert(0, str(">"));
  builder.reverse();
  CHECK_TEXT(builder.toString(), "5.0!eurt2>");
  CHECK_EQ(builder.length(), 10);
  CHECK_EQ(builder.charAt(1), '.');
  CHECK_EQ(builder.indexOf(str("eurt")), 4);
  builder.setLength(1);
  CHECK_TEXT(builder.toString(), "5");
  java::lang::StringBuilderJNIProxy chained(java::lang::StringBuilderJNIProxy(str("a")).append(str("b")));
  CHECK_TEXT(chained.toString(), "ab");

  java::util::ArrayListJNIProxy list;
  CHECK_EQ(list.isEmpty(), JNI_TRUE);
  CHECK_EQ(list.add(str("a")), JNI_TRUE);
  list.add(str("b"));
  list.add(0, str("first"));
  list.add(Integer::valueOf(7));
  CHECK_EQ(list.size(), 4);
  CHECK_TEXT(list.get(0), "first");
  CHECK_TEXT(list.toString(), "[first, a, b, 7]");
  CHECK_EQ(list.indexOf(str("b")), 2);
  CHECK_EQ(list.contains(str("a")), JNI_TRUE);
  CHECK_EQ(Integer(list.get(3)).intValue(), 7);
  CHECK_TEXT(list.remove(jint(0)), "first");
  CHECK_EQ(list.remove(java::lang::Object(str("a"))), JNI_TRUE);
  CHECK_TEXT(list.toString(), "[b, 7]");
  java::util::ArrayListJNIProxy copy((java::util::Collection(list)));
  CHECK_EQ(copy.size(), 2);
  const std::string outOfRange = e2e::thrownMessage([&] { list.get(10); });
  CHECK_TRUE(e2e::contains(outOfRange, "IndexOutOfBoundsException"));

  java::util::HashMapJNIProxy map;
  map.put(str("seven"), Integer::valueOf(7));
  map.put(str("eight"), Integer::valueOf(8));
  CHECK_EQ(map.size(), 2);
  CHECK_EQ(Integer(map.get(str("eight"))).intValue(), 8);
  CHECK_EQ(map.containsKey(str("seven")), JNI_TRUE);
  CHECK_EQ(map.containsKey(str("nine")), JNI_FALSE);
  CHECK_TRUE(map.get(str("nine")).isNullObject());
  CHECK_EQ(Integer(map.put(str("seven"), Integer::valueOf(70))).intValue(), 7);
  CHECK_EQ(Integer(map.remove(java::lang::Object(str("eight")))).intValue(), 8);
  CHECK_TEXT(map.toString(), "{seven=70}");
  CHECK_TRUE(!map.keySet().isNullObject());

  java::lang::StringJNIProxy text(str("Hello"));
  CHECK_EQ(text.length(), 5);
  CHECK_TEXT(text.toUpperCase(), "HELLO");
  CHECK_TEXT(text.substring(1, 3), "el");
  CHECK_EQ(text.indexOf(str("l")), 2);
  CHECK_EQ(text.charAt(4), 'o');
  CHECK_EQ(text.compareTo(str("Hello")), 0);
  CHECK_EQ(text.isEmpty(), JNI_FALSE);
  CHECK_TEXT(java::lang::StringJNIProxy::valueOf(jint(12)), "12");
  CHECK_TEXT(java::lang::StringJNIProxy::valueOf(jlong(6442450944LL)), "6442450944");
  CHECK_TEXT(text.concat(str(" world")), "Hello world");
  CHECK_TRUE(!java::lang::StringJNIProxy::get_CASE_INSENSITIVE_ORDER().isNullObject());
  java::lang::StringJNIProxy empty;
  CHECK_EQ(empty.isEmpty(), JNI_TRUE);
}

}  // namespace

int main() { return e2e::runInVm("jdk", jdk); }
