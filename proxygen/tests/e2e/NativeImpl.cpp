// The C++ members behind the generated native skeletons of fixtures.natives: the test library
// that fixtures.natives.NativeDriver loads with System.load.
#include "defproxies.h"

#include <sstream>
#include <string>
#include <vector>

using namespace CPP_Java_Bridge;
using jni_helpers::CSmartString;
using jni_helpers::JStringHelper;

namespace {

std::string text(const JObject_t& str) {
  const CSmartString converted = JStringHelper(str);
  const char* p = converted;
  return p ? std::string(p) : std::string("null");
}

}  // namespace

jint fixtures::natives::NativeMethodsJNIProxy::add(jint p0, jint p1) { return p0 + p1; }

jlong fixtures::natives::NativeMethodsJNIProxy::add(jlong p0, jlong p1) { return p0 + p1; }

JStringHelper fixtures::natives::NativeMethodsJNIProxy::echo(JStringHelper p0) {
  // Calls back into Java through the proxy of the receiving object.
  return JStringHelper(CSmartString((text(p0) + "/" + std::to_string(plainMethod(0))).c_str()));
}

void fixtures::natives::NativeMethodsJNIProxy::under_score() {}

// Non-ASCII names are written in ASCII: größe is gr_u00f6_u00dfe, μέγεθος and value𝑥 below likewise.
jint fixtures::natives::NativeMethodsJNIProxy::gr_u00f6_u00dfe(jint p0) { return 2 * p0; }

jint fixtures::natives::NativeMethodsJNIProxy::_u03bc_u03ad_u03b3_u03b5_u03b8_u03bf_u03c2(JStringHelper p0) {
  return static_cast<jint>(CSmartString(p0).length());
}

jint fixtures::natives::NativeMethodsJNIProxy::count(JIntArray1D p0) { return jni_helpers::JIntArray(p0).length(); }

jint fixtures::natives::NativeMethodsJNIProxy::count(java::lang::StringArray1D p0) {
  return jni_helpers::JStringArrayHelper(p0).length() * 10;
}

JIntArray1D fixtures::natives::NativeMethodsJNIProxy::reverse(JIntArray1D p0) {
  jni_helpers::JIntArray in(p0);
  std::vector<jint> values(static_cast<std::size_t>(in.length()));
  if (!values.empty()) in.getRegion(0, static_cast<jsize>(values.size()), values.data());
  std::vector<jint> reversed(values.rbegin(), values.rend());
  return jni_helpers::JIntArray(reversed.data(), static_cast<jsize>(reversed.size()));
}

JStringHelper fixtures::natives::NativeMethodsJNIProxy::describe(jboolean p0, jbyte p1, jchar p2, jshort p3, jint p4,
                                                                 jlong p5, jfloat p6, jdouble p7, JStringHelper p8,
                                                                 java::lang::Object p9) {
  std::ostringstream out;
  out << (p0 ? "true" : "false") << "," << static_cast<int>(p1) << "," << static_cast<char>(p2) << "," << p3 << ","
      << p4 << "," << p5 << "," << p6 << "," << p7 << "," << text(p8) << "," << text(p9);
  return JStringHelper(CSmartString(out.str().c_str()));
}

void fixtures::natives::NativeMethodsJNIProxy::raise(JStringHelper p0) {
  throw jni_helpers::JVMException(CSmartString("raised from C++: ") + CSmartString(p0));
}

jint fixtures::natives::NativeMethods_InnerJNIProxy::innerValue(jint p0) { return p0 * 3; }

jint fixtures::natives::SupplementaryJNIProxy::value_U0001d465(jint p0) { return p0 + 100; }
