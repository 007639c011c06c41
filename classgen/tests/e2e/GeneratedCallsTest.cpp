// Generated interface implementations and delegators at work: the programs built from them run
// each group of checks in a process of their own (one VM per process) with -Xcheck:jni. A failed
// check, or any warning of the VM, fails the test.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <utility>

namespace {

// A program and one of its groups.
typedef std::pair<const char*, const char*> Group;

class GeneratedCalls : public ::testing::TestWithParam<Group> {};

TEST_P(GeneratedCalls, JavaReachesEveryOverride) {
  const std::string program = GetParam().first;
  const std::string group = GetParam().second;
  const kavrin_test::CommandResult r = kavrin_test::runCommand(
      {"/usr/bin/env", "-u", "JAVA_TOOL_OPTIONS", "-u", "_JAVA_OPTIONS", "-u", "CLASSPATH", program, group}, 240);
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find(group + ": 0 failure(s)"), std::string::npos) << r.output;
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    std::string lower = line;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    // Also none for the natives of implementations of java.* interfaces, classes of the base
    // module.
    EXPECT_EQ(lower.find("warning"), std::string::npos) << "the VM warned: " << line;
    EXPECT_EQ(line.find("FAIL"), std::string::npos) << line;
  }
}

std::string groupName(const ::testing::TestParamInfo<Group>& info) {
  return std::string(info.param.first == std::string(IMPL_CALLS) ? "impl_" : "delegator_") + info.param.second;
}

// Implementations. everything: a Java caller holding the C++ object through the interface type,
// every method and result compared with the Java reference implementation; exceptions: C++
// exceptions become RuntimeExceptions; thread: a C++ Runnable run by a java.lang.Thread;
// inheritance: methods of a super-interface, a one-method and an empty interface; lifetimes:
// copies sharing one Java object, a thread the program attached, Java errors of the runtime's
// string and monitor calls; race: copies made and dropped on four threads for three seconds
// while a Java thread runs the original; defaults: the Java code of default methods and of
// java.lang.Object's methods runs unless C++ overrides it, and its exceptions reach Java as they
// were thrown.
INSTANTIATE_TEST_SUITE_P(Impl, GeneratedCalls,
                         ::testing::Values(Group{IMPL_CALLS, "everything"}, Group{IMPL_CALLS, "exceptions"},
                                           Group{IMPL_CALLS, "thread"}, Group{IMPL_CALLS, "inheritance"},
                                           Group{IMPL_CALLS, "lifetimes"}, Group{IMPL_CALLS, "race"},
                                           Group{IMPL_CALLS, "defaults"}),
                         groupName);

// Delegators. target: Java code calling a C++ delegator of a class over a Java object reaches the
// C++ overrides and, for the other methods, the delegated object; constructors: every generated
// constructor; interface: a delegator of an interface beside its implementation; eager: a
// constructor of the delegated class that calls a forwarded method; exceptions: C++ failures
// reach Java as RuntimeExceptions, the delegated object's as themselves; library: delegators of
// java.util classes (nested types, a protected constructor, a list's own
// IndexOutOfBoundsException) and of a class with a final method it also implements.
INSTANTIATE_TEST_SUITE_P(Delegator, GeneratedCalls,
                         ::testing::Values(Group{DELEGATOR_CALLS, "target"}, Group{DELEGATOR_CALLS, "constructors"},
                                           Group{DELEGATOR_CALLS, "interface"}, Group{DELEGATOR_CALLS, "eager"},
                                           Group{DELEGATOR_CALLS, "exceptions"}, Group{DELEGATOR_CALLS, "library"}),
                         groupName);

}  // namespace
