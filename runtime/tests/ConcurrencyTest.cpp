// Many threads calling Java through the checked wrappers at once, against JDK 17's VM with
// -Xcheck:jni (which warns when a thread's local references outgrow their frame).
#include "JvmSupport.h"

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

using jni_helpers::JVMException;

namespace {

long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmRSS:") == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace

TEST_F(JvmTest, EightThreadsCallJavaConcurrentlyWithBoundedMemory) {
  startVm();
  jclass local = JNIEnvHelper::FindClass("runtimetest/Echo");
  ASSERT_NE(local, nullptr);
  const JObject_t echo(local);
  JNIEnvHelper::DeleteLocalRef(local);
  const jclass cls = static_cast<jclass>(static_cast<jobject>(echo));
  const jmethodID twice = JNIEnvHelper::GetStaticMethodID(cls, "twice", "(I)I");
  const jmethodID label = JNIEnvHelper::GetStaticMethodID(cls, "label", "(I)Ljava/lang/String;");
  const jmethodID fail = JNIEnvHelper::GetStaticMethodID(cls, "fail", "(Ljava/lang/String;)V");
  const jmethodID add = JNIEnvHelper::GetMethodID(cls, "add", "(I)I");
  const jmethodID init = JNIEnvHelper::GetMethodID(cls, "<init>", "()V");

  const int kThreads = 8;
  const int kCalls = 100000;
  std::atomic<long> wrong{0};
  std::atomic<long> caught{0};
  std::vector<long> resident;

  auto work = [&](int rounds) {
    // Each thread has an object of its own, shared by copies made on every call.
    jobject made = JNIEnvHelper::NewObject(cls, init);
    const JObject_t mine(made);
    JNIEnvHelper::DeleteLocalRef(made);
    for (int i = 0; i < rounds; ++i) {
      const JObject_t shared = echo;  // a copy: one interlocked increment, no JNI call
      if (JNIEnvHelper::CallStaticIntMethod(static_cast<jclass>(static_cast<jobject>(shared)), twice, i) != 2 * i)
        ++wrong;
      if (JNIEnvHelper::CallIntMethod(mine, add, i) != i) ++wrong;
      if (i % 8 == 0) {
        jobject text = JNIEnvHelper::CallStaticObjectMethod(cls, label, i);
        if (text == nullptr) ++wrong;
        JNIEnvHelper::DeleteLocalRef(text);
      }
      if (i % 5000 == 0) {
        try {
          JNIEnvHelper::CallStaticVoidMethod(cls, fail, static_cast<jobject>(nullptr));
        } catch (const JVMException&) {
          ++caught;
        }
      }
    }
  };

  // A warm-up round first, so that compiled code and heap growth are not counted.
  std::thread warmup(work, kCalls / 4);
  warmup.join();
  const long before = residentKiB();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, kCalls);
  for (std::thread& t : threads) t.join();
  const long after = residentKiB();

  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(caught, 5 + kThreads * (kCalls / 5000));
  // Leaking one local reference per call would be 800,000 references on the eight threads.
  EXPECT_LT(after - before, 64 * 1024) << "resident memory grew from " << before << " KiB to " << after << " KiB";
  std::printf("resident memory: %ld KiB before, %ld KiB after the concurrent calls\n", before, after);
}
