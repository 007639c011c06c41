// Calls the Java fixtures through their generated proxies and checks every result against what
// the Java code computes. Usage: proxygen_fixture_calls <group>; see main for the groups.
#include "E2eSupport.h"

#include <cstdint>
#include <type_traits>
#include <thread>
#include <vector>

using namespace CPP_Java_Bridge;
using jni_helpers::CSmartString;
using jni_helpers::JNIEnvHelper;
using jni_helpers::JStringHelper;

namespace {

using e2e::str;

// Instance and static fields of every type, strings and arrays in and out, access levels.
void members() {
  fixtures::MembersJNIProxy m;
  CHECK_EQ(m.get_booleanField(), JNI_TRUE);
  CHECK_EQ(m.get_byteField(), -7);
  CHECK_EQ(m.get_charField(), 'Q');
  CHECK_EQ(m.get_shortField(), 1234);
  CHECK_EQ(m.get_intField(), 123456);
  CHECK_EQ(m.get_longField(), 6442450944LL);
  CHECK_EQ(m.get_floatField(), 1.5f);
  CHECK_EQ(m.get_doubleField(), 2.25);
  CHECK_TEXT(m.get_stringField(), "instance");
  CHECK_TEXT(m.get_objectField(), "object");
  CHECK_EQ(m.get_finalField(), 5);

  // Setters round-trip, and Java sees the values the C++ side wrote.
  m.put_booleanField(JNI_FALSE);
  m.put_byteField(-128);
  m.put_charField(0x20AC);
  m.put_shortField(-32768);
  m.put_intField(-2147483647 - 1);
  m.put_longField(-9000000000LL);
  m.put_floatField(-0.125f);
  m.put_doubleField(1e300);
  m.put_stringField(
      str("gr\xc3\xb6\xc3\x9f"
          "e"));
  m.put_objectField(str("held"));
  CHECK_EQ(m.get_booleanField(), JNI_FALSE);
  CHECK_EQ(m.get_byteField(), -128);
  CHECK_EQ(m.get_charField(), 0x20AC);
  CHECK_EQ(m.get_shortField(), -32768);
  CHECK_EQ(m.get_intField(), -2147483647 - 1);
  CHECK_EQ(m.get_longField(), -9000000000LL);
  CHECK_EQ(m.get_floatField(), -0.125f);
  CHECK_EQ(m.get_doubleField(), 1e300);
  CHECK_TEXT(m.get_stringField(),
             "gr\xc3\xb6\xc3\x9f"
             "e");
  CHECK_TEXT(m.describe(),
             "false,-128,8364,-32768,-2147483648,-9000000000,-0.125,1.0E300,gr\xc3\xb6\xc3\x9f"
             "e,held");
  CHECK_EQ(m.getLong(), -9000000000LL);
  CHECK_EQ(m.getChar(), 0x20AC);
  CHECK_TEXT(m.getString(),
             "gr\xc3\xb6\xc3\x9f"
             "e");

  m.setAll(JNI_TRUE, 1, 'c', 2, 3, 4294967296LL, 0.5f, 0.25, str("s"), str("o"));
  CHECK_TEXT(m.describe(), "true,1,99,2,3,4294967296,0.5,0.25,s,o");
  CHECK_EQ(m.getBoolean(), JNI_TRUE);
  CHECK_EQ(m.getByte(), 1);
  CHECK_EQ(m.getShort(), 2);
  CHECK_EQ(m.getInt(), 3);
  CHECK_EQ(m.getFloat(), 0.5f);
  CHECK_EQ(m.getDouble(), 0.25);
  CHECK_TEXT(m.getObject(), "o");

  // Array fields.
  jni_helpers::JIntArray ints(m.get_intArrayField());
  CHECK_EQ(ints.length(), 3);
  jint values[3] = {0, 0, 0};
  ints.getRegion(0, 3, values);
  CHECK_EQ(values[0] + values[1] * 10 + values[2] * 100, 321);
  const jint replacement[2] = {40, 2};
  m.put_intArrayField(jni_helpers::JIntArray(replacement, 2));
  CHECK_EQ(fixtures::MembersJNIProxy::sum(m.get_intArrayField()), 42);
  jni_helpers::JLongArray longs(m.get_longArrayField());
  jlong longValues[2] = {0, 0};
  longs.getRegion(0, 2, longValues);
  CHECK_EQ(longValues[0], 4294967296LL);
  CHECK_EQ(longValues[1], -1LL);
  jni_helpers::JStringArrayHelper strings(m.get_stringArrayField());
  CHECK_EQ(strings.length(), 2);
  CHECK_TEXT(strings.getString(1), "y");
  jni_helpers::JObjectArrayHelper matrix(m.get_intMatrixField());
  CHECK_EQ(matrix.length(), 2);
  CHECK_TRUE(!m.get_booleanArrayField().isNullObject());
  CHECK_TRUE(!m.get_objectArrayField().isNullObject());

  // Static fields.
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticBoolean(), JNI_FALSE);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticByte(), 100);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticChar(), 'z');
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticShort(), -300);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticInt(), -42);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticLong(), -6442450944LL);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticFloat(), -0.75f);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticDouble(), 1e-3);
  CHECK_TEXT(fixtures::MembersJNIProxy::get_staticString(), "static");
  CHECK_TRUE(fixtures::MembersJNIProxy::get_staticObject().isNullObject());
  fixtures::MembersJNIProxy::put_staticBoolean(JNI_TRUE);
  fixtures::MembersJNIProxy::put_staticByte(-1);
  fixtures::MembersJNIProxy::put_staticChar(0xFFFF);
  fixtures::MembersJNIProxy::put_staticShort(32767);
  fixtures::MembersJNIProxy::put_staticInt(2147483647);
  fixtures::MembersJNIProxy::put_staticLong(9223372036854775807LL);
  fixtures::MembersJNIProxy::put_staticFloat(3.25f);
  fixtures::MembersJNIProxy::put_staticDouble(-2.5);
  fixtures::MembersJNIProxy::put_staticString(str("changed"));
  fixtures::MembersJNIProxy::put_staticObject(str("now set"));
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticBoolean(), JNI_TRUE);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticByte(), -1);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticChar(), 0xFFFF);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticShort(), 32767);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticInt(), 2147483647);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticLong(), 9223372036854775807LL);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticFloat(), 3.25f);
  CHECK_EQ(fixtures::MembersJNIProxy::get_staticDouble(), -2.5);
  CHECK_TEXT(fixtures::MembersJNIProxy::get_staticString(), "changed");
  CHECK_TEXT(fixtures::MembersJNIProxy::get_staticObject(), "now set");
  jni_helpers::JIntArray staticInts(fixtures::MembersJNIProxy::get_staticIntArray());
  CHECK_EQ(fixtures::MembersJNIProxy::sum(staticInts), 24);

  // Every access level is reachable; the Java code combines them.
  CHECK_EQ(m.publicMethod(), 1 + 4);
  CHECK_EQ(m.protectedMethod(), 2);
  CHECK_EQ(m.packageMethod(), 3);
  CHECK_EQ(m.privateMethod(), 4);
  m.put_privateField(40);
  CHECK_EQ(m.publicMethod(), 41);
  fixtures::MembersJNIProxy::put_publicStaticField(10);
  fixtures::MembersJNIProxy::put_privateStaticField(40);
  CHECK_EQ(fixtures::MembersJNIProxy::publicStaticMethod(), 10 + 40 + 99);
  CHECK_EQ(fixtures::MembersJNIProxy::protectedStaticMethod(), 20);
  CHECK_EQ(fixtures::MembersJNIProxy::packageStaticMethod(), 30);
  CHECK_EQ(fixtures::MembersJNIProxy::PRIVATE_CONSTANT, 99);

  // Strings and arrays as parameters and results.
  CHECK_TEXT(fixtures::MembersJNIProxy::greet(str("C++")), "Hello, C++!");
  CHECK_TEXT(m.concat(str("ab"), str("\xce\xbb")), "ab\xce\xbb");
  const jint three[3] = {1, 2, 3};
  jni_helpers::JIntArray doubled(m.doubled(jni_helpers::JIntArray(three, 3)));
  jint doubledValues[3] = {0, 0, 0};
  doubled.getRegion(0, 3, doubledValues);
  CHECK_EQ(doubledValues[0], 2);
  CHECK_EQ(doubledValues[2], 6);
  const jdouble ds[2] = {1.5, -2};
  jni_helpers::JDoubleArray scaled(fixtures::MembersJNIProxy::scaled(jni_helpers::JDoubleArray(ds, 2), 4.0));
  jdouble scaledValues[2] = {0, 0};
  scaled.getRegion(0, 2, scaledValues);
  CHECK_EQ(scaledValues[0], 6.0);
  CHECK_EQ(scaledValues[1], -8.0);
  jni_helpers::JByteArray bytes(fixtures::MembersJNIProxy::bytesOf(str("AZ")));
  jbyte byteValues[2] = {0, 0};
  bytes.getRegion(0, 2, byteValues);
  CHECK_EQ(byteValues[0], 'A');
  CHECK_EQ(byteValues[1], 'Z');
  const jboolean flags[2] = {JNI_TRUE, JNI_FALSE};
  jni_helpers::JBooleanArray negated(fixtures::MembersJNIProxy::negated(jni_helpers::JBooleanArray(flags, 2)));
  jboolean negatedValues[2] = {0, 0};
  negated.getRegion(0, 2, negatedValues);
  CHECK_EQ(negatedValues[0], JNI_FALSE);
  CHECK_EQ(negatedValues[1], JNI_TRUE);
  jni_helpers::JLongArray made(fixtures::MembersJNIProxy::longs(3));
  jlong madeValues[3] = {0, 0, 0};
  made.getRegion(0, 3, madeValues);
  CHECK_EQ(madeValues[2], 8589934592LL);
  const CSmartString texts[3] = {"one", "two", "three"};
  jni_helpers::JStringArrayHelper reversed(m.reversed(jni_helpers::JStringArrayHelper(texts, 3)));
  CHECK_EQ(reversed.length(), 3);
  CHECK_TEXT(reversed.getString(0), "three");
  CHECK_TEXT(reversed.getString(2), "one");
  jni_helpers::JObjectArrayHelper objects(2, "java/lang/Object");
  objects.setElement(0, str("a"));
  objects.setElement(1, fixtures::MembersJNIProxy::greet(str("b")));
  CHECK_TEXT(fixtures::MembersJNIProxy::join(objects), "a|Hello, b!");

  // A static factory's result becomes a proxy of the class.
  fixtures::MembersJNIProxy created(fixtures::MembersJNIProxy::create(77));
  CHECK_EQ(created.getInt(), 77);
  CHECK_TEXT(created.getString(), "made");
  fixtures::MembersJNIProxy second(5, str("five"));
  CHECK_EQ(second.get_intField(), 5);
  CHECK_TEXT(second.get_stringField(), "five");
  CHECK_TRUE(second.equals(second) == JNI_TRUE);
  CHECK_TRUE(second.equals(created) == JNI_FALSE);
  CHECK_TRUE(e2e::contains(e2e::text(second.toString()), "fixtures.Members@"));
  CHECK_TRUE(!second.getClass().isNullObject());
}

// Overloaded constructors and methods, and a field and a method of one name.
void overloads() {
  fixtures::OverloadsJNIProxy none;
  fixtures::OverloadsJNIProxy ten(10);
  fixtures::OverloadsJNIProxy text(str("abc"), 4);
  CHECK_EQ(none.value(), 0);
  CHECK_EQ(ten.value(), 10);
  CHECK_EQ(text.value(), 12);
  CHECK_EQ(text.get_value(), 12);
  text.put_value(1);
  CHECK_EQ(text.value(), 1);

  CHECK_EQ(ten.add(jint(1), jint(2)), 13);
  CHECK_EQ(ten.add(jlong(4294967296LL), jlong(1)), 4294967307LL);
  CHECK_EQ(ten.add(0.5, 0.25), 10.75);
  CHECK_TEXT(ten.add(str("x"), str("y")), "xy10");
  const jint values[3] = {1, 2, 3};
  CHECK_EQ(ten.add(jni_helpers::JIntArray(values, 3)), 16);
  CHECK_EQ(ten.add(jint(1), jint(2), jint(3)), 16);

  CHECK_EQ(fixtures::OverloadsJNIProxy::count(), 0);
  CHECK_EQ(fixtures::OverloadsJNIProxy::count(jint(7)), 7);
  CHECK_EQ(fixtures::OverloadsJNIProxy::count(str("four")), 4);
  CHECK_EQ(fixtures::OverloadsJNIProxy::count(java::lang::Object(ten)), 1);
  CHECK_EQ(fixtures::OverloadsJNIProxy::count(java::lang::Object()), -1);
  const CSmartString texts[2] = {"a", "b"};
  CHECK_EQ(fixtures::OverloadsJNIProxy::count(java::lang::StringArray1D(jni_helpers::JStringArrayHelper(texts, 2))), 2);
  CHECK_EQ(fixtures::OverloadsJNIProxy::count(jchar('A'), jlong(1)), 66);
}

// The helper's getter of a static field, chosen by the type of the last argument.
jint staticField(jclass c, jfieldID id, jint) { return JNIEnvHelper::GetStaticIntField(c, id); }
jlong staticField(jclass c, jfieldID id, jlong) { return JNIEnvHelper::GetStaticLongField(c, id); }
jfloat staticField(jclass c, jfieldID id, jfloat) { return JNIEnvHelper::GetStaticFloatField(c, id); }
jdouble staticField(jclass c, jfieldID id, jdouble) { return JNIEnvHelper::GetStaticDoubleField(c, id); }

// A constant read through JNI from the class, as Java holds it.
template <typename T>
T javaStatic(const char* className, const char* name, const char* descriptor) {
  jclass c = JNIEnvHelper::FindClass(className);
  T v = staticField(c, JNIEnvHelper::GetStaticFieldID(c, name, descriptor), T());
  JNIEnvHelper::DeleteLocalRef(c);
  return v;
}

template <typename T>
bool sameBits(T a, T b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

#define CHECK_CONSTANT(cls, javaClass, name, T, descriptor) \
  ::e2e::checkTrue(#cls "::" #name " as Java holds it",     \
                   sameBits<T>(cls::name, javaStatic<T>(javaClass, #name, descriptor)), __LINE__)
// A constant whose Java name is a macro of the standard headers: its C++ name ends in '_'.
#define CHECK_ESCAPED_CONSTANT(cls, javaClass, name, T, descriptor) \
  ::e2e::checkTrue(#cls "::" #name "_ as Java holds it",            \
                   sameBits<T>(cls::name##_, javaStatic<T>(javaClass, #name, descriptor)), __LINE__)

// Constants equal the values Java holds, bit for bit.
void constants() {
  typedef fixtures::ConstantsJNIProxy C;
  const char* k = "fixtures/Constants";
  CHECK_EQ(C::BOOLEAN_TRUE, JNI_TRUE);
  CHECK_EQ(C::BOOLEAN_FALSE, JNI_FALSE);
  CHECK_EQ(C::BYTE_VALUE, -128);
  CHECK_EQ(C::CHAR_VALUE, 'K');
  CHECK_EQ(C::CHAR_NON_ASCII, 0xE9);
  CHECK_EQ(C::SHORT_VALUE, -12345);
  CHECK_CONSTANT(C, k, INT_VALUE, jint, "I");
  CHECK_CONSTANT(C, k, INT_NEGATIVE, jint, "I");
  CHECK_ESCAPED_CONSTANT(C, k, INT_MIN, jint, "I");
  CHECK_ESCAPED_CONSTANT(C, k, INT_MAX, jint, "I");
  CHECK_CONSTANT(C, k, INT_HEX, jint, "I");
  CHECK_CONSTANT(C, k, LONG_BIG, jlong, "J");
  CHECK_EQ(C::LONG_BIG, 6442450944LL);
  CHECK_CONSTANT(C, k, LONG_SMALL, jlong, "J");
  CHECK_ESCAPED_CONSTANT(C, k, LONG_MAX, jlong, "J");
  CHECK_ESCAPED_CONSTANT(C, k, LONG_MIN, jlong, "J");
  CHECK_CONSTANT(C, k, FLOAT_VALUE, jfloat, "F");
  CHECK_CONSTANT(C, k, FLOAT_PI, jfloat, "F");
  CHECK_CONSTANT(C, k, FLOAT_MIN, jfloat, "F");
  CHECK_CONSTANT(C, k, FLOAT_MAX, jfloat, "F");
  CHECK_CONSTANT(C, k, DOUBLE_PI, jdouble, "D");
  CHECK_TRUE(sameBits<jdouble>(C::DOUBLE_PI, 3.141592653589793));
  CHECK_CONSTANT(C, k, DOUBLE_E, jdouble, "D");
  CHECK_CONSTANT(C, k, DOUBLE_VALUE, jdouble, "D");
  CHECK_CONSTANT(C, k, DOUBLE_NEGATIVE_ZERO, jdouble, "D");
  CHECK_TRUE(std::signbit(C::DOUBLE_NEGATIVE_ZERO));
  CHECK_CONSTANT(C, k, DOUBLE_MIN, jdouble, "D");
  CHECK_CONSTANT(C, k, DOUBLE_MAX, jdouble, "D");
  // Not constants: a final Integer and a plain static int are fields.
  CHECK_TRUE(!C::get_NOT_A_CONSTANT().isNullObject());
  CHECK_EQ(C::get_notFinal(), 6);
  CHECK_TEXT(C::get_STRING_NON_ASCII(),
             "gr\xc3\xb6\xc3\x9f"
             "e \xce\xbb \xe2\x82\xac");

  CHECK_EQ(DefaultPackageFixtureJNIProxy::ANSWER, 42);
  // Two inherited constants of one name: each under its own unique name, in header and source.
  CHECK_CONSTANT(proxytext::ShadowingJNIProxy, "proxytext/ShadowBase", LIMIT, jint, "I");
  CHECK_EQ(proxytext::ShadowingJNIProxy::LIMIT, 7);
  CHECK_EQ(proxytext::ShadowingJNIProxy::LIMIT_1, 6442450944LL);
  CHECK_EQ(proxytext::ShadowingJNIProxy::LIMIT_1, javaStatic<jlong>("proxytext/Shadowing", "LIMIT", "J"));
  proxytext::ShadowingJNIProxy shadowing;
  CHECK_EQ(shadowing.get_size(), 1);
  CHECK_EQ(shadowing.size(), 3);
}

// Java exceptions arrive as JVMException with the Java message and the member that failed.
void exceptions() {
  fixtures::ThrowerJNIProxy thrower;
  const std::string failed = e2e::thrownMessage([&] { thrower.fail(); });
  CHECK_TRUE(e2e::contains(failed, "java.lang.IllegalStateException"));
  CHECK_TRUE(e2e::contains(failed, "fixture failure"));
  CHECK_TRUE(e2e::contains(failed, "ThrowerJNIProxy::fail"));
  CHECK_EQ(fixtures::ThrowerJNIProxy::checkedDouble(21), 42);
  const std::string negative = e2e::thrownMessage([] { fixtures::ThrowerJNIProxy::checkedDouble(-3); });
  CHECK_TRUE(e2e::contains(negative, "java.lang.IllegalArgumentException"));
  CHECK_TRUE(e2e::contains(negative, "negative: -3"));
  CHECK_EQ(fixtures::ThrowerJNIProxy::parse(str("123")), 123);
  const std::string parse = e2e::thrownMessage([] { fixtures::ThrowerJNIProxy::parse(str("x1")); });
  CHECK_TRUE(e2e::contains(parse, "java.io.IOException: not a number: x1"));
  const std::string constructor = e2e::thrownMessage([] { fixtures::ThrowerJNIProxy bad(str("oops")); });
  CHECK_TRUE(e2e::contains(constructor, "not a number: oops"));
  // After the failures the proxies and the VM keep working.
  thrower.declaresTwo();
  CHECK_EQ(fixtures::ThrowerJNIProxy::checkedDouble(1), 2);
  CHECK_TEXT(fixtures::ThrowerJNIProxy::get_MESSAGE(), "fixture failure");
  // Constructing an abstract class fails in Java and arrives as JVMException as well.
  const std::string abstractBase = e2e::thrownMessage([] { fixtures::BaseJNIProxy base; });
  CHECK_TRUE(e2e::contains(abstractBase, "InstantiationException"));
}

// Inheritance over two levels, interfaces, nested classes.
void inheritance() {
  const CSmartString items[2] = {"first", "second"};
  fixtures::DerivedJNIProxy derived(str("name"), jni_helpers::JStringArrayHelper(items, 2));
  CHECK_TEXT(derived.name(), "name");
  CHECK_EQ(derived.size(), 2);
  CHECK_EQ(derived.isEmpty(), JNI_FALSE);
  CHECK_TEXT(derived.level(), "Derived");
  CHECK_TEXT(derived.describe(), "Derived:name:2");
  CHECK_TEXT(derived.item(1), "second");
  CHECK_EQ(derived.middleOnly(), 2);
  CHECK_EQ(derived.get_middleField(), 2);
  CHECK_EQ(derived.baseOnly(), 3);
  CHECK_EQ(derived.get_baseField(), 1);
  derived.put_baseField(10);
  CHECK_EQ(derived.baseOnly(), 12);
  CHECK_TEXT(fixtures::DerivedJNIProxy::baseStaticMethod(), "base");
  CHECK_TEXT(fixtures::BaseJNIProxy::get_baseStatic(), "base");
  CHECK_TEXT(derived.get_derivedField(), "name");
  // An inherited native method without a skeleton is an ordinary proxy call.
  const std::string unlinked = e2e::thrownMessage([&] { derived.middleNative(1); });
  CHECK_TRUE(e2e::contains(unlinked, "UnsatisfiedLinkError"));

  // The same object seen through its super class and its interfaces.
  fixtures::MiddleJNIProxy middle(derived);
  CHECK_TEXT(middle.level(), "Derived");
  CHECK_TEXT(middle.describe(), "Derived:name:2");
  fixtures::NamedJNIProxy named(derived);
  CHECK_TEXT(named.name(), "name");
  CHECK_TEXT(fixtures::NamedJNIProxy::get_DEFAULT_NAME(), "unnamed");
  fixtures::SizedJNIProxy sized(derived);
  CHECK_EQ(sized.size(), 2);
  CHECK_EQ(sized.isEmpty(), JNI_FALSE);
  fixtures::MiddleJNIProxy plainMiddle(jlong(9));
  CHECK_TEXT(plainMiddle.describe(), "Middle:9");
  CHECK_TEXT(plainMiddle.level(), "Middle");
  CHECK_TEXT(fixtures::DerivedJNIProxy().describe(), "Derived:derived:0");

  // Nested classes.
  fixtures::Outer_StaticNestedJNIProxy nested;
  CHECK_EQ(nested.nestedValue(), 11);
  CHECK_TEXT(fixtures::Outer_StaticNested_DeepJNIProxy::where(), "deep");
  CHECK_TEXT(DefaultPackageFixtureJNIProxy::hello(), "default package");
  DefaultPackageFixtureJNIProxy fixture;
  CHECK_EQ(fixture.twice(21), 42);
  CHECK_EQ(fixture.get_field(), 1);
}

// Copies of proxies share the Java object; each keeps its own class reference.
void copies() {
  fixtures::MembersJNIProxy a(1, str("a"));
  fixtures::MembersJNIProxy b(2, str("b"));
  a = b;
  CHECK_EQ(a.getInt(), 2);
  a.put_intField(33);
  CHECK_EQ(b.getInt(), 33);
  {
    fixtures::MembersJNIProxy c(a);
    CHECK_EQ(c.getInt(), 33);
    fixtures::MembersJNIProxy d(3, str("d"));
    d = c;
    c = d;
    fixtures::MembersJNIProxy& alias = a;
    a = alias;
    CHECK_EQ(d.get_intField(), 33);
  }
  const fixtures::MembersJNIProxy constant(a);
  fixtures::MembersJNIProxy fromConst(constant);
  CHECK_EQ(fromConst.getInt(), 33);

  const CSmartString items[1] = {"x"};
  fixtures::DerivedJNIProxy derived(str("n"), jni_helpers::JStringArrayHelper(items, 1));
  fixtures::NamedJNIProxy named(derived);
  {
    fixtures::NamedJNIProxy copy(named);
    fixtures::DerivedJNIProxy fresh;
    fixtures::NamedJNIProxy other(fresh);
    CHECK_TEXT(other.name(), "derived");
    other = copy;
    CHECK_TEXT(other.name(), "n");
  }
  CHECK_TEXT(named.name(), "n");
  for (int i = 0; i < 1000; ++i) {
    fixtures::MembersJNIProxy x(i, str("x"));
    fixtures::MembersJNIProxy y(x);
    x = y;
    y = b;
  }
  CHECK_EQ(b.getInt(), 33);
}

// 100,000 static void calls and static field writes on a thread the program attaches.
void statics() {
  proxytext::TallyJNIProxy::reset();
  int seen = -1;
  std::string failure;
  std::thread worker([&] {
    try {
      for (int i = 0; i < 100000; ++i) proxytext::TallyJNIProxy::bump();
      seen = proxytext::TallyJNIProxy::count();
      for (int i = 0; i < 100000; ++i) proxytext::TallyJNIProxy::put_total(i);
      if (proxytext::TallyJNIProxy::get_total() != 99999) failure = "put_total did not hold";
    } catch (const jni_helpers::BaseException& e) {
      failure = e2e::text(e.getMessage());
    }
  });
  worker.join();
  CHECK_EQ(seen, 100000);
  CHECK_EQ(failure, std::string());
  CHECK_EQ(proxytext::TallyJNIProxy::count(), 99999);
}

// A method named main: the String[] one has a default argument unless a main() stands beside it.
void mains() {
  proxytext::MainsJNIProxy::main();
  CHECK_TEXT(proxytext::MainsJNIProxy::get_last(), "main:null");
  const CSmartString args[2] = {"a", "b"};
  proxytext::MainsJNIProxy::main(jni_helpers::JStringArrayHelper(args, 2));
  CHECK_TEXT(proxytext::MainsJNIProxy::get_last(), "main:2");
  CHECK_EQ(proxytext::MainsJNIProxy::main(jint(4)), 5);
  CHECK_TEXT(proxytext::MainsJNIProxy::get_last(), "main(int)");

  // Beside a main(), main(String[]) has no default: both calls are unambiguous.
  proxytext::BothMainsJNIProxy::main();
  CHECK_TEXT(proxytext::BothMainsJNIProxy::get_last(), "main()");
  proxytext::BothMainsJNIProxy::main(jni_helpers::JStringArrayHelper(args, 2));
  CHECK_TEXT(proxytext::BothMainsJNIProxy::get_last(), "main:2");
}

// Whether T has a static twice(int): WithStatics has, the class that implements it has not.
template <typename T, typename = void>
struct HasTwice : std::false_type {};
template <typename T>
struct HasTwice<T, decltype(void(T::twice(0)))> : std::true_type {};
static_assert(HasTwice<names::namespace_::WithStaticsJNIProxy>::value, "twice belongs to WithStatics");
static_assert(!HasTwice<names::namespace_::ClashJNIProxy>::value, "twice is not a member of Clash");

// Names that C++ reserves get a trailing '_'; names that would collide in a proxy are made
// unique, and the proxy's own members (constructors through Assign, isNullObject) keep working.
void escapedNames() {
  typedef names::namespace_::ClashJNIProxy Clash;
  CHECK_EQ(Clash::EOF_, -1);
  CHECK_EQ(Clash::size_, 9);
  CHECK_EQ(Clash::get_errno_(), 5);
  Clash::put_errno_(6);
  CHECK_EQ(Clash::get_errno_(), 6);

  Clash c;
  CHECK_TRUE(!c.isNullObject());
  CHECK_EQ(c.size(), 10);
  CHECK_EQ(c.value(), 4);
  CHECK_EQ(c.get_value(), 12);
  CHECK_EQ(c.get_value_(), 3);
  c.put_value_(30);
  CHECK_EQ(c.value(), 31);
  CHECK_EQ(c.get_Clash(), 7);
  Clash seven(jint(70));
  CHECK_EQ(seven.get_Clash(), 70);
  CHECK_EQ(c.foo(), 0);
  CHECK_EQ(c.foo(jint(7)), 7);
  CHECK_EQ(c.foo_1(), 100);
  CHECK_TEXT(c.Assign_(JStringHelper(CSmartString("x"))), "assign:x");
  CHECK_EQ(c.clear_(), 11);
  CHECK_TRUE(c.isNullObject_());
  CHECK_EQ(c.getProxyClass_(), 13);
  CHECK_EQ(c.ClashJNIProxy_(), 14);
  CHECK_EQ(c.Clash_init_(), 15);
  CHECK_EQ(c.jint_(), 16);
  CHECK_EQ(c.delete_(3), -3);
  CHECK_EQ(Clash::and_(6, 3), 2);
  CHECK_EQ(Clash::xor_(6, 3), 5);
  CHECK_TRUE(!Clash::not_(true));
  CHECK_EQ(Clash::register_(), 17);
  CHECK_EQ(Clash::stdin_(), 18);
  CHECK_EQ(names::namespace_::union_JNIProxy(Clash::make()).tag(), 42);
  CHECK_EQ(c.inherited(), 21);
  CHECK_EQ(names::namespace_::WithStaticsJNIProxy::twice(4), 8);

  // A copy shares the Java object: Assign of JObject_t still does the copying.
  Clash copy(c);
  CHECK_EQ(copy.value(), 31);
  Clash assigned(jint(1));
  assigned = c;
  CHECK_EQ(assigned.value(), 31);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string group = argc > 1 ? argv[1] : "";
  struct Group {
    const char* name;
    void (*run)();
  };
  const Group groups[] = {
      {"members", members},         {"overloads", overloads}, {"constants", constants}, {"exceptions", exceptions},
      {"inheritance", inheritance}, {"copies", copies},       {"statics", statics},     {"mains", mains},
      {"names", escapedNames},
  };
  for (const Group& g : groups) {
    if (group == g.name) return e2e::runInVm(g.name, g.run);
  }
  std::printf("usage: %s <group>\n", argv[0]);
  return 100;
}
