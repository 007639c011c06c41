// The runtime's own class loader against JDK 17's VM: class path entries given before and after
// the loader exists, child-first lookup, and what it answers for classes it cannot give. Each
// case runs in a process of its own, with -Xcheck:jni.
#include "JvmSupport.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

using jni_helpers::_simple_class_loader;
using jni_helpers::CSmartString;
using jni_helpers::JStringHelper;
using jni_helpers::JVM;

namespace {

// The answer of a class's static String method without arguments.
std::string callStatic(jclass cls, const char* method) {
  const jmethodID id = JNIEnvHelper::GetStaticMethodID(cls, method, "()Ljava/lang/String;");
  return javaText(JNIEnvHelper::CallStaticObjectMethod(cls, id));
}

// getClass's answer with the class's static hello(), or "<null>".
std::string helloThroughLoader(const char* name) {
  jclass cls = _simple_class_loader::getClass(name);
  if (cls == nullptr) return "<null>";
  std::string answer = callStatic(cls, "hello");
  JNIEnvHelper::DeleteLocalRef(cls);
  return answer;
}

// The text of every URL of the loader.
std::vector<std::string> loaderUrls() {
  jclass urlLoader = JNIEnvHelper::FindClass("java/net/URLClassLoader");
  const jmethodID getUrls = JNIEnvHelper::GetMethodID(urlLoader, "getURLs", "()[Ljava/net/URL;");
  jni_helpers::JObjectArrayHelper urls(
      JObject_t(JNIEnvHelper::CallObjectMethod(_simple_class_loader::getLoaderObject(), getUrls)));
  std::vector<std::string> texts;
  jclass urlClass = JNIEnvHelper::FindClass("java/net/URL");
  const jmethodID toString = JNIEnvHelper::GetMethodID(urlClass, "toString", "()Ljava/lang/String;");
  for (jsize i = 0; i < urls.length(); ++i) {
    jobject url = urls.getElement(i);
    texts.push_back(javaText(JNIEnvHelper::CallObjectMethod(url, toString)));
    JNIEnvHelper::DeleteLocalRef(url);
  }
  JNIEnvHelper::DeleteLocalRef(urlClass);
  JNIEnvHelper::DeleteLocalRef(urlLoader);
  return texts;
}

}  // namespace

TEST_F(JvmTest, GetClassBeforeInitAnswersNullWithoutTheVm) {
  // No VM at all yet: asking it anything would fail for want of an environment.
  EXPECT_FALSE(_simple_class_loader::isInitialized());
  EXPECT_EQ(_simple_class_loader::getClass("java/lang/String"), nullptr);
  EXPECT_FALSE(JNIEnvHelper::isInitialized());

  startVm();
  EXPECT_EQ(_simple_class_loader::getClass("java/lang/String"), nullptr);
  EXPECT_EQ(_simple_class_loader::getLoaderObject(), nullptr);
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
}

TEST_F(JvmTest, DirectoryAndJarGivenBeforeInitServeClasses) {
  startVm();
  // The directory as a path relative to the working directory, the jar as an absolute one.
  const std::string directory =
      std::filesystem::relative(RUNTIME_LOADER_DIRECTORY, std::filesystem::current_path()).string();
  _simple_class_loader::addClassPath((directory + ";" + RUNTIME_LOADER_JAR + ";").c_str());
  EXPECT_EQ(helloThroughLoader("loaderdir/FromDirectory"), "<null>");  // no loader yet
  ASSERT_TRUE(_simple_class_loader::init());
  EXPECT_TRUE(_simple_class_loader::isInitialized());

  EXPECT_EQ(helloThroughLoader("loaderdir/FromDirectory"), "from a directory");
  EXPECT_EQ(helloThroughLoader("loaderjar.FromJar"), "from a jar");  // '.' separators work too
  // Neither is on the VM's class path.
  EXPECT_EQ(JNIEnvHelper::FindClass("loaderdir/FromDirectory"), nullptr);
  EXPECT_EQ(JNIEnvHelper::FindClass("loaderjar/FromJar"), nullptr);

  // Absolute URLs, a directory's with a trailing "/"; sorted as the entries were.
  const std::vector<std::string> urls = loaderUrls();
  ASSERT_EQ(urls.size(), 2u);
  const std::string absoluteDirectory = (std::filesystem::current_path() / directory).string();
  EXPECT_NE(std::find(urls.begin(), urls.end(), "file:" + absoluteDirectory + "/"), urls.end()) << urls[0];
  EXPECT_NE(std::find(urls.begin(), urls.end(), std::string("file:") + RUNTIME_LOADER_JAR), urls.end()) << urls[1];
}

TEST_F(JvmTest, JarGivenAfterInitBecomesVisible) {
  startVm();
  ASSERT_TRUE(_simple_class_loader::init());
  // With no entries the loader looks in the working directory, ".".
  const std::vector<std::string> urls = loaderUrls();
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_EQ(urls[0], "file:" + std::filesystem::current_path().string() + "/./");

  EXPECT_EQ(helloThroughLoader("loaderlate/FromLateJar"), "<null>");
  _simple_class_loader::addClassPath(RUNTIME_LATE_JAR);
  EXPECT_EQ(helloThroughLoader("loaderlate/FromLateJar"), "from a late jar");
  EXPECT_EQ(loaderUrls().size(), 2u);
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
}

TEST_F(JvmTest, AnInitBeforeTheVmLeavesNoDefaultEntryBehind) {
  // Without a VM the loader cannot be made; the working directory it would have used does not
  // join the entries given afterwards.
  EXPECT_THROW(_simple_class_loader::init(), jni_helpers::EnvironmentNotInitializedException);
  EXPECT_FALSE(_simple_class_loader::isInitialized());
  startVm();
  _simple_class_loader::addClassPath(RUNTIME_LATE_JAR);
  ASSERT_TRUE(_simple_class_loader::init());
  const std::vector<std::string> urls = loaderUrls();
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_EQ(urls[0], std::string("file:") + RUNTIME_LATE_JAR);
  EXPECT_EQ(helloThroughLoader("loaderlate/FromLateJar"), "from a late jar");
}

TEST_F(JvmTest, LoaderEntriesComeBeforeTheApplicationClassPath) {
  startVm();
  _simple_class_loader::addClassPath(RUNTIME_LOADER_DIRECTORY);
  ASSERT_TRUE(_simple_class_loader::init());
  jclass fromLoader = _simple_class_loader::getClass("runtimetest/Shadowed");
  jclass fromVm = JNIEnvHelper::FindClass("runtimetest/Shadowed");
  ASSERT_NE(fromLoader, nullptr);
  ASSERT_NE(fromVm, nullptr);
  EXPECT_EQ(callStatic(fromLoader, "origin"), "loader entry");
  EXPECT_EQ(callStatic(fromVm, "origin"), "application class path");
  // A class only the parent has still comes from the parent.
  jclass echo = _simple_class_loader::getClass("runtimetest/Echo");
  jclass echoFromVm = JNIEnvHelper::FindClass("runtimetest/Echo");
  EXPECT_TRUE(JNIEnvHelper::IsSameObject(echo, echoFromVm));
  deleteLocalRefs(echoFromVm, echo, fromVm, fromLoader);
}

TEST_F(JvmTest, InitTwiceKeepsOneLoaderAndUnloadEndsIt) {
  startVm();
  ASSERT_TRUE(_simple_class_loader::init());
  const jobject loader = _simple_class_loader::getLoaderObject();
  const jclass loaderClass = _simple_class_loader::getLoaderClass();
  ASSERT_NE(loader, nullptr);
  EXPECT_TRUE(_simple_class_loader::init());
  EXPECT_EQ(_simple_class_loader::getLoaderObject(), loader);
  EXPECT_EQ(_simple_class_loader::getLoaderClass(), loaderClass);

  // The loader class came from the library's own bytes, in a loader of its own.
  EXPECT_EQ(JNIEnvHelper::FindClass("CustClassLdr1234567890"), nullptr);
  jclass named = _simple_class_loader::getClass("CustClassLdr1234567890");
  EXPECT_TRUE(JNIEnvHelper::IsSameObject(named, loaderClass));
  JNIEnvHelper::DeleteLocalRef(named);

  JVM::unload();
  EXPECT_FALSE(_simple_class_loader::isInitialized());
  EXPECT_EQ(_simple_class_loader::getLoaderObject(), nullptr);
  EXPECT_EQ(_simple_class_loader::getClass("java/lang/String"), nullptr);
}

TEST_F(JvmTest, SystemClassesComeThroughAndMissingOnesGiveNull) {
  startVm();
  ASSERT_TRUE(_simple_class_loader::init());
  jclass viaLoader = _simple_class_loader::getClass("java/lang/String");
  jclass viaVm = JNIEnvHelper::FindClass("java/lang/String");
  ASSERT_NE(viaLoader, nullptr);
  EXPECT_TRUE(JNIEnvHelper::IsSameObject(viaLoader, viaVm));
  EXPECT_EQ(_simple_class_loader::getClass("no/Such"), nullptr);
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
  EXPECT_EQ(_simple_class_loader::getClass(CSmartString()), nullptr);
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
  JNIEnvHelper::DeleteLocalRef(viaVm);
  JNIEnvHelper::DeleteLocalRef(viaLoader);
}

TEST_F(JvmTest, AFailedInitReportsTheJavaErrorAndHoldsNoLoader) {
  // A class of the loader's name that has no loader constructor, on the VM's class path.
  kavrin_test::TempDir dir("kavrin-loader");
  const std::string journal = dir.file("journal.txt");
  kavrin_test::ScopedEnv journalEnv("KAVRIN_JOURNAL", journal);
  JVM::initClassPath(RUNTIME_IMPOSTOR_CLASSES);
  startVm();
  _simple_class_loader::addClassPath(RUNTIME_LOADER_JAR);
  try {
    _simple_class_loader::init();
    ADD_FAILURE() << "nothing thrown";
  } catch (const jni_helpers::JVMException& e) {
    EXPECT_EQ(text(e.getMessage()).rfind("java.lang.NoSuchMethodError", 0), 0u) << text(e.getMessage());
  }
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
  EXPECT_FALSE(_simple_class_loader::isInitialized());
  EXPECT_EQ(_simple_class_loader::getLoaderClass(), nullptr);
  // The message box was recorded, not shown: nothing waited for an answer.
  const std::string recorded = kavrin_test::readFile(journal);
  EXPECT_EQ(recorded.rfind("MessageBox\tClass Loader Error\tjava.lang.NoSuchMethodError", 0), 0u) << recorded;
}

TEST_F(JvmTest, AnAdoptedLoaderServesClasses) {
  startVm();
  jclass loaderClass = JNIEnvHelper::FindClass("java/lang/ClassLoader");
  const jmethodID system =
      JNIEnvHelper::GetStaticMethodID(loaderClass, "getSystemClassLoader", "()Ljava/lang/ClassLoader;");
  jobject loader = JNIEnvHelper::CallStaticObjectMethod(loaderClass, system);
  ASSERT_TRUE(_simple_class_loader::init(loaderClass, loader));
  EXPECT_TRUE(_simple_class_loader::isInitialized());
  EXPECT_TRUE(JNIEnvHelper::IsSameObject(_simple_class_loader::getLoaderObject(), loader));

  jclass echo = _simple_class_loader::getClass("runtimetest.Echo");
  ASSERT_NE(echo, nullptr);
  EXPECT_EQ(_simple_class_loader::getClass("no/Such"), nullptr);
  // The system class loader takes no entries through the library.
  _simple_class_loader::addClassPath(RUNTIME_LATE_JAR);
  EXPECT_EQ(_simple_class_loader::getClass("loaderlate/FromLateJar"), nullptr);
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
  // A later init keeps the adopted loader.
  EXPECT_TRUE(_simple_class_loader::init());
  EXPECT_TRUE(JNIEnvHelper::IsSameObject(_simple_class_loader::getLoaderObject(), loader));

  EXPECT_FALSE(_simple_class_loader::init(nullptr, loader));
  EXPECT_FALSE(_simple_class_loader::isInitialized());
  deleteLocalRefs(echo, loader, loaderClass);
}

TEST_F(JvmTest, DeinitOnAThreadWithoutJavaForgetsTheLoader) {
  startVm();
  ASSERT_TRUE(_simple_class_loader::init());
  std::thread other([] {
    _simple_class_loader::deinit();
    EXPECT_FALSE(JNIEnvHelper::isInitialized());  // not attached for it
  });
  other.join();
  EXPECT_FALSE(_simple_class_loader::isInitialized());
  EXPECT_EQ(_simple_class_loader::getClass("java/lang/String"), nullptr);
  // A new loader can be made afterwards.
  EXPECT_TRUE(_simple_class_loader::init());
  jclass echo = _simple_class_loader::getClass("runtimetest/Echo");
  EXPECT_NE(echo, nullptr);
  JNIEnvHelper::DeleteLocalRef(echo);
}

TEST_F(JvmTest, ProxyLookupsFindWhatAnUncachedLookupFinds) {
  using jni_helpers::LookupSite;
  using jni_helpers::ProxyLookup;
  startVm();
  static LookupSite shadowed, origin, late, missing, missingMember;

  // Without the loader: the class on the VM's class path, held and given again as it is.
  const jclass before = ProxyLookup::proxyClass(shadowed, "runtimetest/Shadowed");
  ASSERT_NE(before, nullptr);
  EXPECT_EQ(callStatic(before, "origin"), "application class path");
  EXPECT_EQ(ProxyLookup::proxyClass(shadowed, "runtimetest/Shadowed"), before);

  // The loader made over an entry with a class of that name: that class wins from now on, at
  // the place that looked it up before too. The class held before stays usable.
  _simple_class_loader::addClassPath(RUNTIME_LOADER_DIRECTORY);
  ASSERT_TRUE(_simple_class_loader::init());
  const jclass after = ProxyLookup::proxyClass(shadowed, "runtimetest/Shadowed");
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(callStatic(after, "origin"), "loader entry");
  EXPECT_EQ(callStatic(before, "origin"), "application class path");
  jclass clazz = nullptr;
  const jmethodID id =
      ProxyLookup::staticMethod(origin, "runtimetest/Shadowed", "origin", "()Ljava/lang/String;", clazz);
  EXPECT_EQ(clazz, after);
  EXPECT_EQ(javaText(JNIEnvHelper::CallStaticObjectMethod(clazz, id)), "loader entry");

  // A class of an entry given later is found once it is given.
  EXPECT_EQ(ProxyLookup::proxyClass(late, "loaderlate/FromLateJar"), nullptr);
  _simple_class_loader::addClassPath(RUNTIME_LATE_JAR);
  const jclass lateClass = ProxyLookup::proxyClass(late, "loaderlate/FromLateJar");
  ASSERT_NE(lateClass, nullptr);
  EXPECT_EQ(callStatic(lateClass, "hello"), "from a late jar");

  // What cannot be found fails as the checked lookups fail, with nothing left pending.
  EXPECT_EQ(ProxyLookup::proxyClass(missing, "no/Such"), nullptr);
  try {
    ProxyLookup::staticMethod(missing, "no/Such", "m", "()V", clazz);
    ADD_FAILURE() << "nothing thrown";
  } catch (const jni_helpers::JVMException& e) {
    EXPECT_EQ(text(e.getMessage()), "GetStaticMethodID: the class no/Such is not found (is it on the class path?)");
  }
  try {
    ProxyLookup::method(missingMember, after, "absent", "()V");
    ADD_FAILURE() << "nothing thrown";
  } catch (const jni_helpers::JVMException& e) {
    EXPECT_EQ(text(e.getMessage()).rfind("java.lang.NoSuchMethodError: absent", 0), 0u) << text(e.getMessage());
  }
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
}

TEST_F(JvmTest, ProxyLookupsOnManyThreadsAgree) {
  using jni_helpers::LookupSite;
  using jni_helpers::ProxyLookup;
  startVm();
  ASSERT_TRUE(_simple_class_loader::init());
  // Places that no thread has used yet, raced for by eight threads at once.
  const int kPlaces = 200;
  std::unique_ptr<LookupSite[]> classes(new LookupSite[kPlaces]);
  std::unique_ptr<LookupSite[]> statics(new LookupSite[kPlaces]);
  std::unique_ptr<LookupSite[]> members(new LookupSite[kPlaces]);
  const jclass expected = ProxyLookup::proxyClass(classes[0], "runtimetest/Echo");
  ASSERT_NE(expected, nullptr);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kPlaces; ++i) {
        jclass clazz = nullptr;
        const jmethodID twice = ProxyLookup::staticMethod(statics[i], "runtimetest/Echo", "twice", "(I)I", clazz);
        const jmethodID add = ProxyLookup::method(members[i], clazz, "add", "(I)I");
        if (ProxyLookup::proxyClass(classes[i], "runtimetest/Echo") != expected || clazz != expected ||
            JNIEnvHelper::CallStaticIntMethod(clazz, twice, i) != 2 * i || add == nullptr)
          ++wrong;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}
