// The sample project's program. The generator wrote, beside it, the C++ proxies of the Java
// classes fixtures.delegate.DelegateTarget and fixtures.delegate.DelegateCaller, a C++
// implementation of the Java interface fixtures.delegate.Greeter and a delegator of
// DelegateTarget. The program starts the Java VM the registry names, calls Java, and lets Java
// call the C++ classes below.
//
// Usage: Sample <class path of the fixtures.delegate classes>
#include "defproxies.h"

#include <cstdio>
#include <string>

using namespace CPP_Java_Bridge;
using fixtures::delegate::DelegateCallerJNIProxy;
using fixtures::delegate::DelegateTargetJNIProxy;
using jni_helpers::CSmartString;
using jni_helpers::JStringHelper;

namespace {

std::string text(const JObject_t& str) {
  if (str.isNullObject()) return "null";
  const CSmartString value = JStringHelper(str);
  const char* narrow = value;
  return narrow ? narrow : "";
}

JStringHelper javaString(const std::string& value) { return JStringHelper(CSmartString(value.c_str())); }

void show(const char* call, const std::string& result) { std::printf("%-45s -> %s\n", call, result.c_str()); }

// The Java interface fixtures.delegate.Greeter, implemented in C++.
class CppGreeter : public fixtures::delegate::GreeterJNIImpl {
 public:
  JObject_t greet(JStringHelper who) override { return javaString("Hello " + text(who) + ", says C++"); }
};

// A fixtures.delegate.DelegateTarget whose greet is C++; its other methods are those of the Java
// object it delegates to.
class CppTarget : public fixtures::delegate::DelegateTargetJNIDelegator {
 public:
  explicit CppTarget(JObject_t delegate) : DelegateTargetJNIDelegator(delegate) {}
  JStringHelper greet(JStringHelper who) override {
    return javaString("Good day " + text(who) + ", says the C++ delegator");
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <class path>\n", argv[0]);
    return 2;
  }
  try {
    jni_helpers::JVM::initClassPath(argv[1]);
    jni_helpers::JVM::load();
  } catch (const jni_helpers::BaseException& e) {
    std::fprintf(stderr, "cannot start the Java VM: %s\n", static_cast<const char*>(e.getMessage()));
    return 1;
  }
  int status = 0;
  try {
    DelegateTargetJNIProxy target(javaString("Java"), 2);
    show("new DelegateTarget(\"Java\", 2).greet(\"KAVRIN\")", text(target.greet(javaString("KAVRIN"))));

    CppGreeter greeter;
    show("Java calls the C++ Greeter", text(DelegateCallerJNIProxy::callGreeter(greeter, javaString("KAVRIN"))));

    CppTarget delegator(target);
    show("Java calls the C++ delegator's greet",
         text(DelegateCallerJNIProxy::callGreeter(delegator, javaString("KAVRIN"))));
    show("delegator.compute(3L), by its Java delegate", std::to_string(delegator.compute(jlong(3))));
  } catch (const jni_helpers::BaseException& e) {
    std::fprintf(stderr, "failed: %s\n", static_cast<const char*>(e.getMessage()));
    status = 1;
  }
  // The VM ends before the program does, once every C++ object that holds a Java object has gone
  // (under -Xcheck:jni the VM warns about a program that leaves without ending it).
  try {
    jni_helpers::JVM::unload();
  } catch (const jni_helpers::BaseException& e) {
    std::fprintf(stderr, "the Java VM did not end: %s\n", static_cast<const char*>(e.getMessage()));
    status = 1;
  }
  return status;
}
