// Tests against JDK 17's VM: the VM is found through a temporary registry file and runs with
// -Xcheck:jni; everything the process writes while a case runs is captured, shown afterwards,
// and the case fails on any warning of the JNI checks.
#pragma once

#include "JNIHelpers.h"
#include "RuntimeTexts.h"
#include "TestRegistry.h"
#include "TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

// Sends file descriptors 1 and 2 into a temporary file until stop().
class OutputCapture {
 public:
  void start() {
    std::fflush(stdout);
    std::fflush(stderr);
    char name[] = "/tmp/kavrin-runtime-output-XXXXXX";
    m_fd = mkstemp(name);
    ASSERT_GE(m_fd, 0);
    m_path = name;
    m_savedOut = dup(1);
    m_savedErr = dup(2);
    dup2(m_fd, 1);
    dup2(m_fd, 2);
  }
  std::string stop() {
    if (m_fd < 0) return std::string();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(m_savedOut, 1);
    dup2(m_savedErr, 2);
    close(m_savedOut);
    close(m_savedErr);
    close(m_fd);
    m_fd = -1;
    std::string text = kavrin_test::readFile(m_path);
    unlink(m_path.c_str());
    return text;
  }

 private:
  int m_fd = -1;
  int m_savedOut = -1;
  int m_savedErr = -1;
  std::string m_path;
};

class JvmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // JDK 17 registered as the JavaSoft runtime, as its installer does on Windows.
    reg.runtime("SOFTWARE\\JavaSoft\\Java Runtime Environment", "17", {{"17", kavrin_test::kLibJvm}});
    m_capture.start();
  }
  void TearDown() override {
    const std::string output = m_capture.stop();
    std::cout << output << std::flush;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
      std::string lower = line;
      for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if (lower.find("warning") == std::string::npos) continue;
      bool allowed = false;
      for (const std::string& text : m_allowedWarnings) allowed = allowed || line.find(text) != std::string::npos;
      if (!allowed) ADD_FAILURE() << "the VM warned: " << line;
    }
  }

  // A warning line holding `text` does not fail the case.
  void allowWarning(const std::string& text) { m_allowedWarnings.push_back(text); }

  // Loads the VM through the registry with the test classes and the JNI checks.
  void startVm() {
    jni_helpers::JVM::addOption("-Xcheck:jni");
    jni_helpers::JVM::initClassPath(RUNTIME_TEST_CLASSES);
    jni_helpers::JVM::load();
  }

  TempRegistry reg;
  kavrin_test::ScopedEnv m_classPath{"CLASSPATH", std::nullopt};

 private:
  OutputCapture m_capture;
  std::vector<std::string> m_allowedWarnings;
};

// Deletes the local references `refs`, one after the other.
template <typename... Refs>
void deleteLocalRefs(Refs... refs) {
  (jni_helpers::JNIEnvHelper::DeleteLocalRef(refs), ...);
}

// The text of a Java string (a local reference, deleted here).
inline std::string javaText(jobject str) {
  if (str == nullptr) return "<null>";
  std::string result = text(jni_helpers::JStringHelper(str));
  JNIEnvHelper::DeleteLocalRef(str);
  return result;
}
