// Generated interface implementations at work: the program built from them runs each group of
// checks in a process of its own (one VM per process) with -Xcheck:jni. A failed check, or any
// warning of the VM, fails the test.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>

namespace {

// The one warning the VM always gives here: the implementation of a java.lang interface is a class
// of the base module, whose natives are registered from native code.
bool isPlatformRegistrationNote(const std::string& line)
{
    return line.find("Re-registering of platform native method: java.lang.JNIImplementationOfRunnable.native0run(J)V") !=
           std::string::npos;
}

class ImplCalls : public ::testing::TestWithParam<std::string> {};

TEST_P(ImplCalls, JavaReachesEveryOverride)
{
    const kavrin_test::CommandResult r = kavrin_test::runCommand(
        {"/usr/bin/env", "-u", "JAVA_TOOL_OPTIONS", "-u", "_JAVA_OPTIONS", "-u", "CLASSPATH", IMPL_CALLS, GetParam()},
        240);
    ASSERT_FALSE(r.timedOut) << r.output;
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find(GetParam() + ": 0 failure(s)"), std::string::npos) << r.output;
    std::istringstream lines(r.output);
    std::string line;
    while (std::getline(lines, line)) {
        std::string lower = line;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        if (!isPlatformRegistrationNote(line)) {
            EXPECT_EQ(lower.find("warning"), std::string::npos) << "the VM warned: " << line;
        }
        EXPECT_EQ(line.find("FAIL"), std::string::npos) << line;
    }
}

// everything: a Java caller holding the C++ object through the interface type, every method and
// result compared with the Java reference implementation; exceptions: C++ exceptions become
// RuntimeExceptions; thread: a C++ Runnable run by a java.lang.Thread; inheritance: methods of a
// super-interface, a one-method and an empty interface.
INSTANTIATE_TEST_SUITE_P(Groups, ImplCalls, ::testing::Values("everything", "exceptions", "thread", "inheritance"));

}  // namespace
