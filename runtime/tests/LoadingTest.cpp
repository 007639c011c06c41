// Finding the VM library through the registry and loading it, without a Java VM: a temporary
// registry file, and VM libraries that are fakes (one that records what it is given, one without
// JNI_CreateJavaVM, one without any JNI function).
#include "FakeJni.h"
#include "JNIHelpers.h"
#include "RuntimeTexts.h"
#include "TestRegistry.h"
#include "fakevm/FakeJvmControl.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

using jni_helpers::CSmartString;
using jni_helpers::InitializationException;
using jni_helpers::JVM;
using jni_helpers::JVMException;

namespace {

const char kSunKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char kIbmKey[] = "SOFTWARE\\IBM\\Java2 Runtime Environment";
const char kSunMirror[] = "SOFTWARE\\QUENMAR\\JavaSoft\\Java2 Runtime Environment";
const char kIbmMirror[] = "SOFTWARE\\QUENMAR\\IBM\\Java2 Runtime Environment";

std::string missingLibrary(const std::string& name) { return "/nonexistent/" + name + "/libjvm.so"; }

FakeJvmControl* fakeJvm() {
  void* handle = dlopen(FAKE_JVM_PATH, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return nullptr;
  FakeJvmControlFn control = reinterpret_cast<FakeJvmControlFn>(dlsym(handle, "kavrin_fake_jvm"));
  dlclose(handle);
  return control ? control() : nullptr;
}

class Loading : public ::testing::Test {
 protected:
  void SetUp() override {
    JVM::unload();
    JVM::clearOptions();
    JVM::clearClassPath();
    registry::clearInjectedFailures();
    registry::setNoAdminMode(false);
  }
  void TearDown() override {
    JVM::unload();
    if (FakeJvmControl* vm = fakeJvm()) vm->reset();
    EXPECT_EQ(registry::openKeyCount(), 0) << "a registry key was left open";
  }
  TempRegistry reg;
};

void onThread(const std::function<void()>& body) {
  std::thread thread(body);
  thread.join();
}

// The fake VM loaded and a new Java object held by a JObject_t (a global reference of `local`)
// whose last release a case watches; the VM's attach and detach counts as they were then.
struct HeldObject {
  HeldObject()
      : vm(loadFakeJvm()),
        env(*vm->env),
        local(env.ref(env.make("object", "java/lang/Object"))),
        held(new JObject_t(local)),
        attached(vm->attachCalls),
        detached(vm->detachCalls) {}

  FakeJvmControl* vm;
  fakejni::Env& env;
  jobject local;
  JObject_t* held;
  int attached;
  int detached;

 private:
  static FakeJvmControl* loadFakeJvm() {
    JVM::load(CSmartString(FAKE_JVM_PATH));
    return fakeJvm();
  }
};

}  // namespace

TEST_F(Loading, FirstMatchingVersionSubkeyWithItsValueWins) {
  reg.runtime(kSunKey, "1.3",
              {{"1.2", missingLibrary("1.2")},
               {"1.3", ""},
               {"1.3.1", missingLibrary("1.3.1")},
               {"1.3.2", missingLibrary("1.3.2")}});
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(); }),
            "Cannot find JVM: \"" + missingLibrary("1.3.1") + "\"");
  // A version given by the caller matches by prefix.
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(jni_helpers::JRE_SUN, "1.2"); }),
            "Cannot find JVM: \"" + missingLibrary("1.2") + "\"");
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(jni_helpers::JRE_SUN, "1.3.2"); }),
            "Cannot find JVM: \"" + missingLibrary("1.3.2") + "\"");
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(jni_helpers::JRE_SUN, "1.4"); }),
            "Failed to initialize JVM");
  EXPECT_EQ(registry::openKeyCount(), 0);
}

TEST_F(Loading, SubkeysAreTriedInSortedOrder) {
  // Written out of order; enumerated sorted: 1.8.0_20 before 1.8.0_3 (byte order).
  reg.runtime(kSunKey, "1.8", {{"1.8.0_3", missingLibrary("3")}, {"1.8.0_20", missingLibrary("20")}});
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(); }),
            "Cannot find JVM: \"" + missingLibrary("20") + "\"");
}

TEST_F(Loading, MissingCurrentVersionFails) {
  reg.runtime(kSunKey, "", {{"1.4", missingLibrary("1.4")}});
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(); }), "Failed to initialize JVM");
  EXPECT_EQ(registry::openKeyCount(), 0);
}

TEST_F(Loading, NothingRegisteredFails) {
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(); }), "Failed to initialize JVM");
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(jni_helpers::JRE_IBM, CSmartString()); }),
            "Failed to initialize JVM");
}

TEST_F(Loading, DefaultFallsBackOnTheJavaSoftMirrorThenTheIbmMirror) {
  reg.runtime(kIbmMirror, "1.4", {{"1.4.2", missingLibrary("ibm-mirror")}});
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(); }),
            "Cannot find JVM: \"" + missingLibrary("ibm-mirror") + "\"");
  reg.runtime(kSunMirror, "1.5", {{"1.5.0", missingLibrary("sun-mirror")}});
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(); }),
            "Cannot find JVM: \"" + missingLibrary("sun-mirror") + "\"");
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(jni_helpers::JRE_SUN, CSmartString()); }),
            "Cannot find JVM: \"" + missingLibrary("sun-mirror") + "\"");
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(jni_helpers::JRE_IBM, CSmartString()); }),
            "Cannot find JVM: \"" + missingLibrary("ibm-mirror") + "\"");
  EXPECT_EQ(registry::openKeyCount(), 0);
}

TEST_F(Loading, AVendorKeyThatExistsKeepsTheMirrorUnread) {
  reg.runtime(kSunMirror, "1.5", {{"1.5.0", missingLibrary("sun-mirror")}});
  reg.runtime(kSunKey, "9.9", {{"1.5.0", missingLibrary("vendor")}});
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(); }), "Failed to initialize JVM");
  reg.runtime(kIbmKey, "1.4", {{"1.4.2", missingLibrary("ibm-vendor")}});
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(jni_helpers::JRE_IBM, CSmartString()); }),
            "Cannot find JVM: \"" + missingLibrary("ibm-vendor") + "\"");
  EXPECT_EQ(registry::openKeyCount(), 0);
}

TEST_F(Loading, ReadAccessIsEnough) {
  reg.runtime(kSunKey, "1.4", {{"1.4.2", missingLibrary("1.4.2")}});
  registry::setNoAdminMode(true);
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(); }),
            "Cannot find JVM: \"" + missingLibrary("1.4.2") + "\"");
}

TEST_F(Loading, ASubkeyThatCannotBeOpenedIsSkipped) {
  reg.runtime(kSunKey, "1.4", {{"1.4.1", missingLibrary("1.4.1")}, {"1.4.2", missingLibrary("1.4.2")}});
  registry::injectFailure(std::string("HKEY_LOCAL_MACHINE\\") + kSunKey + "\\1.4.1", ERROR_ACCESS_DENIED);
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(); }),
            "Cannot find JVM: \"" + missingLibrary("1.4.2") + "\"");
  registry::injectFailure(std::string("HKEY_LOCAL_MACHINE\\") + kSunKey, ERROR_ACCESS_DENIED);
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(jni_helpers::JRE_SUN, CSmartString()); }),
            "Failed to initialize JVM");
  EXPECT_EQ(registry::openKeyCount(), 0);
}

TEST_F(Loading, JdkOneOneUsesJavaHomeAndItsLegacyLibrary) {
  reg.set(std::string(kSunKey), "CurrentVersion", "1.1");
  reg.set(std::string(kSunKey) + "\\1.1.8", "JavaHome", "/opt/jdk1.1.8");
  reg.set(std::string(kSunKey) + "\\1.1.8", "RuntimeLib", missingLibrary("not-this"));
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(); }),
            "Cannot find JVM: \"/opt/jdk1.1.8/bin/javai.dll\"");
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(jni_helpers::JRE_MICROSOFT, CSmartString()); }),
            "Cannot find JVM: \"msjava.dll\"");
  // A failed load keeps no version: the next direct load decides it again.
  JVM::load(CSmartString(FAKE_JVM_PATH));
  EXPECT_EQ(fakeJvm()->createVersion, JNI_VERSION_1_2);
}

TEST_F(Loading, LibrariesWithoutTheVmFunctions) {
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(CSmartString(NO_JNI_PATH)); }),
            "Failed to initialize JVM");
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(CSmartString(NO_SDK_PATH)); }), "Cannot load JNI SDK");
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(CSmartString("/nonexistent/libjvm.so")); }),
            "Cannot find JVM: \"/nonexistent/libjvm.so\"");
}

TEST_F(Loading, ClassPathAndSortedOptionsReachTheVm) {
  kavrin_test::ScopedEnv classPath("CLASSPATH", std::string("/seed.jar"));
  JVM::initClassPath("/a.jar");
  JVM::initClassPath("");
  JVM::initClassPath("/b");
  JVM::addOption("-Xmx64m");
  JVM::addOption("-Dz=1");
  JVM::addOption("-Da=2");
  JVM::addOption("-Dz=1");
  JVM::addOption("");
  JVM::load(CSmartString(FAKE_JVM_PATH));
  FakeJvmControl* vm = fakeJvm();
  ASSERT_NE(vm, nullptr);
  EXPECT_EQ(vm->createCalls, 1);
  EXPECT_EQ(vm->createVersion, JNI_VERSION_1_2);
  EXPECT_EQ(vm->defaultsVersion, JNI_VERSION_1_2);
  EXPECT_FALSE(vm->ignoreUnrecognized);
  const std::vector<std::string> expected{"-Djava.class.path=/seed.jar:/a.jar:/b", "-Da=2", "-Dz=1", "-Xmx64m"};
  EXPECT_EQ(vm->options, expected);
  EXPECT_TRUE(JNIEnvHelper::isInitialized());
}

TEST_F(Loading, ClassPathWithoutClasspathVariable) {
  kavrin_test::ScopedEnv classPath("CLASSPATH", std::nullopt);
  JVM::initClassPath("a.jar");
  JVM::initClassPath("b.jar");
  JVM::load(CSmartString(FAKE_JVM_PATH));
  ASSERT_NE(fakeJvm(), nullptr);
  ASSERT_FALSE(fakeJvm()->options.empty());
  EXPECT_EQ(fakeJvm()->options[0], "-Djava.class.path=a.jar:b.jar");
  JVM::unload();
  JVM::clearClassPath();
  JVM::clearOptions();
  JVM::load(CSmartString(FAKE_JVM_PATH));
  EXPECT_EQ(fakeJvm()->options, std::vector<std::string>{"-Djava.class.path="});
}

TEST_F(Loading, RegistryFormLoadsAndRemembersTheType) {
  reg.runtime(kSunMirror, "1.4", {{"1.4.2_05", FAKE_JVM_PATH}});
  JVM::load(jni_helpers::JRE_SUN, CSmartString());
  EXPECT_EQ(JVM::jreTypeLoaded, jni_helpers::JRE_SUN);
  EXPECT_EQ(JVM::version(), JNI_VERSION_1_4);  // from CurrentVersion, not the subkey name
  EXPECT_EQ(fakeJvm()->createVersion, JNI_VERSION_1_4);
}

TEST_F(Loading, LegacyLibraryNameSelectsTheJdkOneOneStructure) {
  kavrin_test::TempDir dir("kavrin-runtime");
  ASSERT_EQ(symlink(FAKE_JVM_PATH, dir.file("javai.dll").c_str()), 0);
  ASSERT_EQ(symlink(FAKE_JVM_PATH, dir.file("javai.dll.bak").c_str()), 0);
  JVM::initClassPath("/classes");
  JVM::load(CSmartString(dir.file("javai.dll").c_str()));
  EXPECT_EQ(JVM::version(), JNI_VERSION_1_1);
  EXPECT_EQ(fakeJvm()->createVersion, JNI_VERSION_1_1);
  EXPECT_EQ(fakeJvm()->defaultsVersion, JNI_VERSION_1_1);
  EXPECT_EQ(fakeJvm()->legacyClassPath, "/classes");
  JVM::unload();
  JVM::load(CSmartString(dir.file("javai.dll.bak").c_str()));
  EXPECT_EQ(fakeJvm()->createVersion, JNI_VERSION_1_2);
}

TEST_F(Loading, FailedCreationHoldsNothingAndCanBeRetried) {
  JVM::load(CSmartString(FAKE_JVM_PATH));
  JVM::unload();
  FakeJvmControl* vm = fakeJvm();
  ASSERT_NE(vm, nullptr);
  vm->createCalls = 0;
  vm->createResult = JNI_EINVAL;
  EXPECT_EQ(messageOf<InitializationException>([] { JVM::load(CSmartString(FAKE_JVM_PATH)); }),
            "Failed to initialize JVM: JNI_CreateJavaVM returned -6");
  onThread([] { EXPECT_EQ(JVM::attachCurrentThread(), -1); });
  EXPECT_FALSE(JNIEnvHelper::isInitialized());
  EXPECT_EQ(JVM::destroyJavaVM(), 0);

  vm->createResult = JNI_OK;
  JVM::load(CSmartString(FAKE_JVM_PATH));
  EXPECT_EQ(vm->createCalls, 2);
  EXPECT_TRUE(JNIEnvHelper::isInitialized());

  // A second load while the VM is held is refused without asking the library.
  const std::string second = messageOf<InitializationException>([] { JVM::load(CSmartString(FAKE_JVM_PATH)); });
  EXPECT_EQ(second.rfind("Failed to initialize JVM", 0), 0u) << second;
  EXPECT_EQ(vm->createCalls, 2);
  JVM::unload();
  EXPECT_EQ(vm->destroyCalls, 2);
  EXPECT_FALSE(JNIEnvHelper::isInitialized());
}

TEST_F(Loading, AnnouncedNativesAreRegisteredWhole) {
  JNINativeMethod methods[2] = {
      {const_cast<char*>("first"), const_cast<char*>("()V"), reinterpret_cast<void*>(0x1234)},
      {const_cast<char*>("second"), const_cast<char*>("(I)I"), reinterpret_cast<void*>(0x5678)}};
  JVM::registerNatives("java/lang/Object", methods, 2);
  JVM::registerNatives("java/lang/String", methods + 1, 1);
  JVM::registerNatives("java/lang/String", nullptr, 3);  // nothing to announce
  // The caller's table may change after the announcement: the library keeps its own copy.
  methods[0] = {const_cast<char*>("changed"), const_cast<char*>("()I"), nullptr};
  methods[1] = methods[0];

  JVM::load(CSmartString(FAKE_JVM_PATH));
  fakejni::Env* env = fakeJvm()->env;
  ASSERT_NE(env, nullptr);
  const std::vector<std::string> classes{"java/lang/Object", "java/lang/String"};
  EXPECT_EQ(env->registeredClasses, classes);
  ASSERT_EQ(env->registered.size(), 3u);
  EXPECT_STREQ(env->registered[0].name, "first");
  EXPECT_STREQ(env->registered[0].signature, "()V");
  EXPECT_EQ(env->registered[0].fnPtr, reinterpret_cast<void*>(0x1234));
  EXPECT_STREQ(env->registered[1].name, "second");
  EXPECT_EQ(env->registered[1].fnPtr, reinterpret_cast<void*>(0x5678));
  EXPECT_STREQ(env->registered[2].name, "second");
  EXPECT_TRUE(env->liveLocals.empty());  // the class references were deleted
  // unload forgets them: a later VM gets none.
  JVM::unload();
  env->registered.clear();
  JVM::load(CSmartString(FAKE_JVM_PATH));
  EXPECT_TRUE(env->registered.empty());
}

TEST_F(Loading, NativesOfAMissingClassFailTheLoad) {
  JNINativeMethod method = {const_cast<char*>("m"), const_cast<char*>("()V"), reinterpret_cast<void*>(1)};
  JVM::registerNatives("no/such/Class", &method, 1);
  const std::string message = messageOf<JVMException>([] { JVM::load(CSmartString(FAKE_JVM_PATH)); });
  EXPECT_NE(message.find("no/such/Class"), std::string::npos) << message;
  EXPECT_EQ(fakeJvm()->env->pending, nullptr);
}

TEST_F(Loading, ThreadsTheLibraryAttachedAreDetachedWhenTheyEnd) {
  JVM::load(CSmartString(FAKE_JVM_PATH));
  FakeJvmControl* vm = fakeJvm();
  const int attached = vm->attachCalls;
  const int detached = vm->detachCalls;
  onThread([] { EXPECT_NE(JNIEnvHelper::getEnv(), nullptr); });
  EXPECT_EQ(vm->attachCalls - attached, 1);
  EXPECT_EQ(vm->detachCalls - detached, 1);

  // A thread whose environment came from Java is not detached.
  fakejni::Env javaEnv;
  onThread([&] {
    JNIEnvHelper::init(javaEnv.jni());
    EXPECT_EQ(JNIEnvHelper::getEnv(), javaEnv.jni());
    EXPECT_EQ(JVM::attachCurrentThread(), -1);  // already has an environment
  });
  EXPECT_EQ(vm->attachCalls - attached, 1);
  EXPECT_EQ(vm->detachCalls - detached, 1);

  // A thread that detached itself is not detached again.
  onThread([] {
    EXPECT_EQ(JVM::attachCurrentThread(), JNI_OK);
    EXPECT_EQ(JVM::detachCurrentThread(), JNI_OK);
    EXPECT_FALSE(JNIEnvHelper::isInitialized());
  });
  EXPECT_EQ(vm->attachCalls - attached, 2);
  EXPECT_EQ(vm->detachCalls - detached, 2);
}

TEST_F(Loading, LastReleaseOnAThreadWithoutEnvironmentAttachesForTheMoment) {
  const HeldObject h;
  FakeJvmControl* vm = h.vm;
  fakejni::Env& env = h.env;
  onThread([&] { delete h.held; });
  EXPECT_EQ(vm->attachCalls - h.attached, 1);
  EXPECT_EQ(vm->detachCalls - h.detached, 1);
  EXPECT_EQ(env.count("DeleteGlobalRef"), 1);
  EXPECT_TRUE(env.liveGlobals.empty());

  // On a thread with an environment nothing is attached or detached.
  JObject_t* again = new JObject_t(h.local);
  delete again;
  EXPECT_EQ(vm->attachCalls - h.attached, 1);
  EXPECT_EQ(env.count("DeleteGlobalRef"), 2);
}

TEST_F(Loading, ThreadsTheApplicationAttachedStayAttached) {
  const HeldObject h;
  FakeJvmControl* vm = h.vm;
  fakejni::Env& env = h.env;
  onThread([&] {
    JNIEnv* own = nullptr;
    ASSERT_EQ(vm->vm->AttachCurrentThread(reinterpret_cast<void**>(&own), nullptr), JNI_OK);
    // The last release uses the thread as the application left it.
    delete h.held;
    EXPECT_EQ(env.count("DeleteGlobalRef"), 1);
    EXPECT_EQ(vm->detachCalls - h.detached, 0);
    EXPECT_FALSE(JNIEnvHelper::isInitialized());
    // Calls use it too; the thread's end leaves it to the application.
    { JObject_t used(h.local); }
    EXPECT_EQ(env.count("DeleteGlobalRef"), 2);
    EXPECT_EQ(JVM::attachCurrentThread(), -1);  // it has an environment now
  });
  EXPECT_EQ(vm->attachCalls - h.attached, 1);  // the application's own
  EXPECT_EQ(vm->detachCalls - h.detached, 0);
  EXPECT_TRUE(env.liveGlobals.empty());
}

TEST_F(Loading, AfterUnloadTheVmIsNotTouched) {
  JVM::load(CSmartString(FAKE_JVM_PATH));
  FakeJvmControl* vm = fakeJvm();
  fakejni::Env& env = *vm->env;
  JObject_t* held = new JObject_t(env.ref(env.make("object", "java/lang/Object")));
  std::thread worker;
  std::atomic<int> step{0};
  worker = std::thread([&] {
    JNIEnvHelper::getEnv();  // attached by the library
    step = 1;
    while (step != 2) std::this_thread::yield();
    // The VM is gone: the stale environment is not used, and the thread is not attached.
    EXPECT_FALSE(JNIEnvHelper::isInitialized());
    EXPECT_EQ(JVM::attachCurrentThread(), -1);
    EXPECT_THROW(JNIEnvHelper::getEnv(), jni_helpers::EnvironmentNotInitializedException);
  });
  while (step != 1) std::this_thread::yield();
  JVM::unload();
  EXPECT_EQ(vm->destroyCalls, 1);
  const int detached = vm->detachCalls;
  step = 2;
  worker.join();
  EXPECT_EQ(vm->detachCalls, detached);  // not detached from a VM that is gone
  delete held;                           // the last release after unload
  EXPECT_EQ(env.count("DeleteGlobalRef"), 0);
  EXPECT_EQ(JVM::destroyJavaVM(), 0);
  EXPECT_EQ(JVM::detachCurrentThread(), 0);
}
