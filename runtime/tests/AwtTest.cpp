// AWT interop against JDK 17's VM on an X display (the tests run under xvfb-run; without a
// display they are skipped). Each case runs in a process of its own, with -Xcheck:jni.
#include "JvmSupport.h"

#include <chrono>
#include <cstdlib>
#include <thread>

using jni_helpers::CSmartString;
using jni_helpers::JStringHelper;
using jni_helpers::JVMException;

namespace {

class AwtTest : public JvmTest {
 protected:
  // Every case starts the VM with AWT on the display, and is skipped when there is none.
  void SetUp() override {
    JvmTest::SetUp();
    if (!startWithDisplay()) GTEST_SKIP() << m_skipReason;
  }

  // Starts the VM with AWT on the display; false when there is none.
  bool startWithDisplay() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
      m_skipReason = "no X display (DISPLAY is not set): run under xvfb-run, from the xvfb package";
      return false;
    }
    startVm();
    jclass environment = JNIEnvHelper::FindClass("java/awt/GraphicsEnvironment");
    const jmethodID isHeadless = JNIEnvHelper::GetStaticMethodID(environment, "isHeadless", "()Z");
    const bool headless = JNIEnvHelper::CallStaticBooleanMethod(environment, isHeadless) == JNI_TRUE;
    JNIEnvHelper::DeleteLocalRef(environment);
    if (headless) {
      m_skipReason = std::string("the VM runs AWT headless on display ") + display;
      return false;
    }
    try {
      // Starts the toolkit, which loads the AWT libraries.
      jclass toolkit = JNIEnvHelper::FindClass("java/awt/Toolkit");
      JNIEnvHelper::DeleteLocalRef(JNIEnvHelper::CallStaticObjectMethod(
          toolkit, JNIEnvHelper::GetStaticMethodID(toolkit, "getDefaultToolkit", "()Ljava/awt/Toolkit;")));
      JNIEnvHelper::DeleteLocalRef(toolkit);
    } catch (const JVMException& e) {
      m_skipReason = "AWT cannot use display " + std::string(display) + ": " + text(e.getMessage());
      return false;
    }
    m_frameClass = JNIEnvHelper::FindClass("java/awt/Frame");
    return m_frameClass != nullptr;
  }

  void TearDown() override {
    for (jobject frame : m_frames) {
      JNIEnvHelper::CallVoidMethod(frame, JNIEnvHelper::GetMethodID(m_frameClass, "dispose", "()V"));
      JNIEnvHelper::DeleteGlobalRef(frame);
    }
    if (m_frameClass != nullptr) JNIEnvHelper::DeleteLocalRef(m_frameClass);
    JvmTest::TearDown();
  }

  // A new Frame (a global reference, disposed at the end of the case).
  jobject newFrame(const char* title) {
    JStringHelper text{CSmartString(title)};
    jobject local = JNIEnvHelper::NewObject(m_frameClass,
                                            JNIEnvHelper::GetMethodID(m_frameClass, "<init>", "(Ljava/lang/String;)V"),
                                            static_cast<jobject>(text));
    jobject frame = JNIEnvHelper::NewGlobalRef(local);
    JNIEnvHelper::DeleteLocalRef(local);
    m_frames.push_back(frame);
    return frame;
  }

  // Shows the frame and waits until it is on the screen.
  bool show(jobject frame) {
    JNIEnvHelper::CallVoidMethod(frame, JNIEnvHelper::GetMethodID(m_frameClass, "setSize", "(II)V"), 240, 120);
    JNIEnvHelper::CallVoidMethod(frame, JNIEnvHelper::GetMethodID(m_frameClass, "setVisible", "(Z)V"), JNI_TRUE);
    const jmethodID isShowing = JNIEnvHelper::GetMethodID(m_frameClass, "isShowing", "()Z");
    for (int i = 0; i < 200; ++i) {
      if (JNIEnvHelper::CallBooleanMethod(frame, isShowing) == JNI_TRUE) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  std::string m_skipReason;

 private:
  jclass m_frameClass = nullptr;
  std::vector<jobject> m_frames;
};

}  // namespace

TEST_F(AwtTest, AShownFrameHasAWindowThatLeadsBackToIt) {
  jobject frame = newFrame("kavrin shown");
  ASSERT_TRUE(show(frame));

  const long window = JNIEnvHelper::getNativeFromComponent(frame);
  EXPECT_NE(window, 0);
  jobject component = JNIEnvHelper::getComponentFromNative(window);
  ASSERT_NE(component, nullptr);
  EXPECT_TRUE(JNIEnvHelper::IsSameObject(component, frame));
  JNIEnvHelper::DeleteLocalRef(component);
  // Asked again, the same answers.
  EXPECT_EQ(JNIEnvHelper::getNativeFromComponent(frame), window);
  EXPECT_EQ(JNIEnvHelper::getNativeFromComponent(nullptr), 0);
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
}

TEST_F(AwtTest, AnUnknownWindowGivesNoComponent) {
  jobject frame = newFrame("kavrin other");
  ASSERT_TRUE(show(frame));
  const long window = JNIEnvHelper::getNativeFromComponent(frame);
  ASSERT_NE(window, 0);

  EXPECT_EQ(JNIEnvHelper::getComponentFromNative(window + 0x100000), nullptr);
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
  EXPECT_EQ(JNIEnvHelper::getComponentFromNative(0), nullptr);
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
}

TEST_F(AwtTest, AFrameNotYetDisplayableHasNoWindow) {
  jobject frame = newFrame("kavrin hidden");
  EXPECT_EQ(JNIEnvHelper::getNativeFromComponent(frame), 0);
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
  // Once shown it has one.
  ASSERT_TRUE(show(frame));
  EXPECT_NE(JNIEnvHelper::getNativeFromComponent(frame), 0);
}
