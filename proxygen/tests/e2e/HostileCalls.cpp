// Calls through the proxy of a class whose names hold line breaks, quotes, backslashes, a trigraph
// and non-ASCII letters (hostile::loadableHostileClass): every member is reached under its
// escaped C++ name, and the escaped literals name the Java members exactly. Built and run by the
// end-to-end test, with the class path as its argument.
#include "E2eSupport.h"

#include <cstdio>

namespace {

typedef CPP_Java_Bridge::hostile::tri_u003f_u003f::Odd_u0022NameJNIProxy Odd;

void calls() {
  CHECK_EQ(Odd::say_u0022hi, 7);
  Odd::put_back_u005cslash(5);
  CHECK_EQ(Odd::get_back_u005cslash(), 5);
  CHECK_EQ(Odd::f_u0028_u0029_u000a_u0023error_u0020injected_u000aint_u0020g(), 1);

  Odd object;
  CHECK_EQ(object.gr_u00f6_u00dfe(), 2);
  object.put_line_u000abreak(9);
  CHECK_EQ(object.get_line_u000abreak(), 9);
  CHECK_TEXT(Odd::x_U0001d465(jni_helpers::JStringHelper(jni_helpers::CSmartString("echo"))), "echo");

  Odd made(Odd::new_u005c_u000a());
  CHECK_TRUE(!made.isNullObject());
  CHECK_EQ(made.gr_u00f6_u00dfe(), 2);
}

}  // namespace

int main(int argc, char** argv) {
  const char* classPath = argc > 1 ? argv[1] : ".";
  return e2e::runInVm("hostile", calls, [classPath] { e2e::startVm(classPath, E2E_LIBJVM); });
}
