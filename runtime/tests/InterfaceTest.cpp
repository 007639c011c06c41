// JNIInterface against JDK 17's VM: C++ objects as the peers of Java objects whose classes are
// shaped as the generator builds them and defined from the bytes the C++ classes carry. Each
// case runs in a process of its own, with -Xcheck:jni.
#include "EmbeddedClasses.h"
#include "JNIInteface.h"
#include "JvmSupport.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using jni_helpers::_simple_class_loader;
using jni_helpers::CSmartString;
using jni_helpers::JNIInterface;
using jni_helpers::JStringHelper;
using jni_helpers::JVMException;

namespace {

// What each thunk below does around its call, as a generated one does: the helper set up for the
// thread, the peer's C++ object found (`gone` answers for a peer that has none), and a C++
// exception handed to Java.
template <typename Impl, typename Call, typename Gone>
auto onPeer(JNIEnv* env, jlong peer, Call call, Gone gone) -> decltype(gone()) {
  if (!jni_helpers::JNIEnvHelper::isInitialized()) jni_helpers::JNIEnvHelper::init(env);
  try {
    JNIInterface::Receiver receiver(peer);
    if (!receiver) return gone();
    return call(*static_cast<Impl*>(receiver.get()));
  } catch (...) {
    jni_helpers::JNIEnvHelper::ThrowNew("An error in the native code.");
  }
  return decltype(gone())();
}

// --- C++ classes written as the generator writes implementations and delegators ---------------

class ShapeImpl : public JNIInterface {
 public:
  explicit ShapeImpl(jint side) : m_side(side) {
    static const JNINativeMethod methods[] = {
        {const_cast<char*>("native0area"), const_cast<char*>("(JI)I"), reinterpret_cast<void*>(&areaThunk)},
        {const_cast<char*>("native0describe"), const_cast<char*>("(JLjava/lang/String;)Ljava/lang/String;"),
         reinterpret_cast<void*>(&describeThunk)}};
    init("runtimetest/JNIImplementationOfShape", methods, sizeof(methods) / sizeof(JNINativeMethod),
         runtime_test::classBytes(runtime_test::kShapeImplementationClass),
         static_cast<int>(runtime_test::kShapeImplementationClassSize));
  }
  ShapeImpl(const ShapeImpl& o) : JObject_t(o), JNIInterface(o), m_side(o.m_side) {}
  ShapeImpl& operator=(const ShapeImpl& o) {
    JNIInterface::operator=(o);
    m_side = o.m_side;
    return *this;
  }

  virtual jint area(jint scale) {
    ++calls;
    lastCalled = this;
    return scale * m_side;
  }
  virtual JObject_t describe(JStringHelper prefix) {
    ++calls;
    lastCalled = this;
    const std::string text = ::text(static_cast<CSmartString>(prefix)) + "square of " + std::to_string(m_side);
    return JStringHelper(CSmartString(text.c_str()));
  }

  std::atomic<int> calls{0};
  static thread_local const ShapeImpl* lastCalled;

 private:
  // A Java object whose peer is gone answers with an IllegalStateException.
  template <typename Result>
  static Result gone() {
    JNIEnvHelper::ThrowNew("gone", "java/lang/IllegalStateException");
    return 0;
  }
  static jint JNICALL areaThunk(JNIEnv* env, jobject, jlong peer, jint p1) {
    return onPeer<ShapeImpl>(
        env, peer, [&](ShapeImpl& shape) { return shape.area(p1); }, gone<jint>);
  }
  static jobject JNICALL describeThunk(JNIEnv* env, jobject, jlong peer, jobject p1) {
    return onPeer<ShapeImpl>(
        env, peer,
        [&](ShapeImpl& shape) {
          return ::jni_helpers::JNIEnvHelper::NewLocalRef(shape.describe(JStringHelper(JObject_t(p1))));
        },
        gone<jobject>);
  }

  jint m_side;
};
thread_local const ShapeImpl* ShapeImpl::lastCalled = nullptr;

class SecretImpl : public JNIInterface {
 public:
  SecretImpl() {
    static const JNINativeMethod methods[] = {{const_cast<char*>("native0whisper"),
                                               const_cast<char*>("(JI)Ljava/lang/String;"),
                                               reinterpret_cast<void*>(&whisperThunk)}};
    init("hidden/JNIImplementationOfSecret", methods, 1,
         runtime_test::classBytes(runtime_test::kSecretImplementationClass),
         static_cast<int>(runtime_test::kSecretImplementationClassSize));
  }
  virtual JObject_t whisper(jint times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += i == 0 ? "psst" : " psst";
    return JStringHelper(CSmartString(text.c_str()));
  }

 private:
  static jobject JNICALL whisperThunk(JNIEnv* env, jobject, jlong peer, jint p1) {
    return onPeer<SecretImpl>(
        env, peer, [&](SecretImpl& secret) { return ::jni_helpers::JNIEnvHelper::NewLocalRef(secret.whisper(p1)); },
        []() -> jobject { return nullptr; });
  }
};

class RunnableImpl : public JNIInterface {
 public:
  RunnableImpl() {
    static const JNINativeMethod methods[] = {
        {const_cast<char*>("native0run"), const_cast<char*>("(J)V"), reinterpret_cast<void*>(&runThunk)}};
    init("java/lang/JNIImplementationOfRunnable", methods, 1,
         runtime_test::classBytes(runtime_test::kRunnableImplementationClass),
         static_cast<int>(runtime_test::kRunnableImplementationClassSize));
  }
  virtual void run() {
    ranOn = std::this_thread::get_id();
    ++runs;
  }

  std::atomic<int> runs{0};
  std::thread::id ranOn;

 private:
  static void JNICALL runThunk(JNIEnv* env, jobject, jlong peer) {
    onPeer<RunnableImpl>(
        env, peer, [](RunnableImpl& task) { task.run(); }, [] {});
  }
};

class CounterDelegator : public JNIInterface {
 public:
  CounterDelegator(JObject_t delegatedObj, jint p0) {
    static const JNINativeMethod methods[] = {
        {const_cast<char*>("native0next"), const_cast<char*>("(J)I"), reinterpret_cast<void*>(&nextThunk)}};
    jvalue params[1];
    params[0].i = p0;
    init(delegatedObj, "runtimetest/DelegatorCounter", methods, 1,
         runtime_test::classBytes(runtime_test::kCounterDelegatorClass),
         static_cast<int>(runtime_test::kCounterDelegatorClassSize), "(I)V", params);
  }
  // Forwards to the delegate and scales its answer.
  virtual jint next() {
    jclass objClass = JNIEnvHelper::GetObjectClass(getDelegator());
    jmethodID mthID = JNIEnvHelper::GetMethodID(objClass, "next", "()I");
    JNIEnvHelper::DeleteLocalRef(objClass);
    return 10 * JNIEnvHelper::CallIntMethod(getDelegator(), mthID);
  }

 private:
  static jint JNICALL nextThunk(JNIEnv* env, jobject self, jlong peer) {
    return onPeer<CounterDelegator>(
        env, peer, [](CounterDelegator& counter) { return counter.next(); },
        [&] {  // the class's own method
          jclass own = JNIEnvHelper::GetObjectClass(self);
          jclass base = JNIEnvHelper::GetSuperclass(own);
          const jint result =
              JNIEnvHelper::CallNonvirtualIntMethod(self, base, JNIEnvHelper::GetMethodID(base, "next", "()I"));
          JNIEnvHelper::DeleteLocalRef(base);
          JNIEnvHelper::DeleteLocalRef(own);
          return result;
        });
  }
};

// --- Java side ---------------------------------------------------------------------------------

// runtimetest.Calls, held for the whole case.
class JavaCalls {
 public:
  JavaCalls() {
    jclass local = JNIEnvHelper::FindClass("runtimetest/Calls");
    EXPECT_NE(local, nullptr);
    m_class = JObject_t(local);
    JNIEnvHelper::DeleteLocalRef(local);
    m_area = JNIEnvHelper::GetStaticMethodID(cls(), "area", "(Lruntimetest/Shape;I)I");
    m_describe =
        JNIEnvHelper::GetStaticMethodID(cls(), "describe", "(Lruntimetest/Shape;Ljava/lang/String;)Ljava/lang/String;");
    m_next = JNIEnvHelper::GetStaticMethodID(cls(), "next", "(Lruntimetest/Counter;)I");
    m_run = JNIEnvHelper::GetStaticMethodID(cls(), "runOnJavaThread", "(Ljava/lang/Runnable;)Ljava/lang/String;");
    m_loaderOf = JNIEnvHelper::GetStaticMethodID(cls(), "loaderOf", "(Ljava/lang/Class;)Ljava/lang/String;");
  }
  jint area(jobject shape, jint scale) const { return JNIEnvHelper::CallStaticIntMethod(cls(), m_area, shape, scale); }
  std::string describe(jobject shape, const char* prefix) const {
    JStringHelper p{CSmartString(prefix)};
    return javaText(JNIEnvHelper::CallStaticObjectMethod(cls(), m_describe, shape, static_cast<jobject>(p)));
  }
  jint next(jobject counter) const { return JNIEnvHelper::CallStaticIntMethod(cls(), m_next, counter); }
  std::string runOnJavaThread(jobject task) const {
    return javaText(JNIEnvHelper::CallStaticObjectMethod(cls(), m_run, task));
  }
  // The class name of the loader of the class of `obj` ("boot" for the boot loader).
  std::string loaderOf(jobject obj) const {
    jclass c = JNIEnvHelper::GetObjectClass(obj);
    std::string name = javaText(JNIEnvHelper::CallStaticObjectMethod(cls(), m_loaderOf, c));
    JNIEnvHelper::DeleteLocalRef(c);
    return name;
  }
  // The class name of the Java exception that a call of `shape` gives, or "" when it succeeds.
  // An IllegalStateException comes from the native method (registered) finding no C++ object.
  std::string failureOf(jobject shape) const {
    try {
      area(shape, 1);
      return "";
    } catch (const JVMException& e) {
      const std::string message = text(e.getMessage());
      return message.substr(0, message.find(':'));
    }
  }

 private:
  jclass cls() const { return static_cast<jclass>(static_cast<jobject>(m_class)); }

  JObject_t m_class;
  jmethodID m_area = nullptr;
  jmethodID m_describe = nullptr;
  jmethodID m_next = nullptr;
  jmethodID m_run = nullptr;
  jmethodID m_loaderOf = nullptr;
};

bool sameObject(jobject a, jobject b) { return JNIEnvHelper::IsSameObject(a, b) == JNI_TRUE; }

bool sameClass(jobject a, jobject b) {
  jclass ca = JNIEnvHelper::GetObjectClass(a);
  jclass cb = JNIEnvHelper::GetObjectClass(b);
  const bool same = sameObject(ca, cb);
  JNIEnvHelper::DeleteLocalRef(cb);
  JNIEnvHelper::DeleteLocalRef(ca);
  return same;
}

// A Java object of the class of `shape` made by the test itself: no C++ object shares it.
JObject_t unboundLike(jobject shape) {
  jclass cls = JNIEnvHelper::GetObjectClass(shape);
  jobject made = JNIEnvHelper::NewObject(cls, JNIEnvHelper::GetMethodID(cls, "<init>", "()V"));
  JObject_t unbound(made);
  JNIEnvHelper::DeleteLocalRef(made);
  JNIEnvHelper::DeleteLocalRef(cls);
  return unbound;
}

}  // namespace

TEST_F(JvmTest, ImplementationOfAnInterfaceOnTheApplicationClassPath) {
  startVm();
  const JavaCalls calls;
  // Only the carried bytes hold the class.
  EXPECT_EQ(JNIEnvHelper::FindClass("runtimetest/JNIImplementationOfShape"), nullptr);

  ShapeImpl shape(7);
  ASSERT_FALSE(shape.isNullObject());
  EXPECT_EQ(calls.area(shape, 3), 21);
  EXPECT_EQ(ShapeImpl::lastCalled, &shape);
  EXPECT_EQ(calls.describe(shape, "a "), "a square of 7");
  EXPECT_EQ(shape.calls, 2);

  // Defined into the interface's own loader, where the VM now finds it too.
  EXPECT_EQ(calls.loaderOf(shape), "jdk.internal.loader.ClassLoaders$AppClassLoader");
  jclass found = JNIEnvHelper::FindClass("runtimetest/JNIImplementationOfShape");
  jclass own = JNIEnvHelper::GetObjectClass(shape);
  EXPECT_TRUE(sameObject(found, own));
  JNIEnvHelper::DeleteLocalRef(own);
  JNIEnvHelper::DeleteLocalRef(found);
}

TEST_F(JvmTest, TwoInstancesShareOneClassWhoseNativesStayRegistered) {
  startVm();
  const JavaCalls calls;
  std::unique_ptr<ShapeImpl> first(new ShapeImpl(2));
  std::unique_ptr<ShapeImpl> second(new ShapeImpl(3));
  EXPECT_TRUE(sameClass(*first, *second));  // defined once
  EXPECT_FALSE(sameObject(*first, *second));
  EXPECT_EQ(calls.area(*first, 5), 10);
  EXPECT_EQ(calls.area(*second, 5), 15);

  jclass definedClass = JNIEnvHelper::GetObjectClass(*first);
  const JObject_t kept(static_cast<jobject>(*first));
  const JObject_t unbound = unboundLike(kept);
  EXPECT_EQ(calls.failureOf(unbound), "java.lang.IllegalStateException");
  first.reset();
  EXPECT_EQ(calls.failureOf(kept), "java.lang.IllegalStateException");
  second.reset();
  // No C++ object of the class is left: the Java objects are told the same as before.
  EXPECT_EQ(calls.failureOf(kept), "java.lang.IllegalStateException");
  EXPECT_EQ(calls.failureOf(unbound), "java.lang.IllegalStateException");
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());

  // A later object works again, with the class defined before; it takes no other's calls.
  ShapeImpl third(4);
  EXPECT_EQ(calls.area(third, 2), 8);
  jclass thirdClass = JNIEnvHelper::GetObjectClass(third);
  EXPECT_TRUE(sameObject(thirdClass, definedClass));
  EXPECT_EQ(calls.failureOf(kept), "java.lang.IllegalStateException");
  JNIEnvHelper::DeleteLocalRef(thirdClass);
  JNIEnvHelper::DeleteLocalRef(definedClass);
}

TEST_F(JvmTest, ImplementationOfAnInterfaceOnlyTheLibrarysLoaderSees) {
  startVm();
  _simple_class_loader::addClassPath(RUNTIME_HIDDEN_JAR);
  ASSERT_TRUE(_simple_class_loader::init());
  EXPECT_EQ(JNIEnvHelper::FindClass("hidden/Secret"), nullptr);
  jclass secret = _simple_class_loader::getClass("hidden/Secret");
  ASSERT_NE(secret, nullptr);

  std::unique_ptr<SecretImpl> first(new SecretImpl());
  ASSERT_FALSE(first->isNullObject());
  EXPECT_TRUE(JNIEnvHelper::IsInstanceOf(*first, secret));
  jclass cls = JNIEnvHelper::GetObjectClass(*first);
  const jmethodID whisper = JNIEnvHelper::GetMethodID(cls, "whisper", "(I)Ljava/lang/String;");
  EXPECT_EQ(javaText(JNIEnvHelper::CallObjectMethod(*first, whisper, 3)), "psst psst psst");

  // The class lives in the library's loader: FindClass cannot see it, yet a second object
  // uses the same class rather than defining it again.
  jclass classClass = JNIEnvHelper::FindClass("java/lang/Class");
  jobject loader = JNIEnvHelper::CallObjectMethod(
      cls, JNIEnvHelper::GetMethodID(classClass, "getClassLoader", "()Ljava/lang/ClassLoader;"));
  EXPECT_TRUE(sameObject(loader, _simple_class_loader::getLoaderObject()));
  EXPECT_EQ(JNIEnvHelper::FindClass("hidden/JNIImplementationOfSecret"), nullptr);
  std::unique_ptr<SecretImpl> second(new SecretImpl());
  EXPECT_TRUE(sameClass(*first, *second));
  first.reset();
  second.reset();
  SecretImpl third;
  jclass thirdClass = JNIEnvHelper::GetObjectClass(third);
  EXPECT_TRUE(sameObject(thirdClass, cls));
  EXPECT_EQ(javaText(JNIEnvHelper::CallObjectMethod(third, whisper, 1)), "psst");

  deleteLocalRefs(thirdClass, loader, classClass, cls, secret);
}

TEST_F(JvmTest, RunnableImplementationRunByAJavaThread) {
  // The implementation of java.lang.Runnable belongs to java.base; its natives are registered
  // without the VM's warning about natives of platform classes.
  startVm();
  const JavaCalls calls;
  RunnableImpl task;
  ASSERT_FALSE(task.isNullObject());
  EXPECT_EQ(calls.loaderOf(task), "boot");  // java/lang classes belong to the boot loader
  EXPECT_EQ(calls.runOnJavaThread(task), "kavrin-runner");
  EXPECT_EQ(task.runs, 1);
  EXPECT_NE(task.ranOn, std::this_thread::get_id());
}

TEST_F(JvmTest, CopiesShareTheJavaObjectWhoseCallsReachTheOldestLivingOne) {
  startVm();
  const JavaCalls calls;
  std::unique_ptr<ShapeImpl> original(new ShapeImpl(5));
  const JObject_t java(static_cast<jobject>(*original));  // Java keeps the object
  // A call of the Java object's area (its side is 5) and the C++ object that answered it.
  auto expectAnswerFrom = [&](const ShapeImpl* answerer, jint scale) {
    EXPECT_EQ(calls.area(java, scale), 5 * scale);
    EXPECT_EQ(ShapeImpl::lastCalled, answerer);
  };

  // A copy shares the Java object; the calls stay with the original.
  std::unique_ptr<ShapeImpl> copy(new ShapeImpl(*original));
  EXPECT_TRUE(sameObject(*copy, java));
  expectAnswerFrom(original.get(), 2);
  copy.reset();
  expectAnswerFrom(original.get(), 3);

  // The original ends first: the copy takes the calls.
  copy.reset(new ShapeImpl(*original));
  original.reset();
  expectAnswerFrom(copy.get(), 4);

  // Assignment: the target's own Java object is let go; the target shares this one and gets
  // its calls once the copy, which receives them, ends.
  std::unique_ptr<ShapeImpl> target(new ShapeImpl(9));
  const JObject_t before(static_cast<jobject>(*target));
  *target = *copy;
  EXPECT_EQ(calls.failureOf(before), "java.lang.IllegalStateException");
  EXPECT_TRUE(sameObject(*target, java));
  expectAnswerFrom(copy.get(), 1);
  copy.reset();
  expectAnswerFrom(target.get(), 1);
  ShapeImpl& alias = *target;
  *target = alias;  // an object assigned to itself stays as it is
  expectAnswerFrom(target.get(), 2);

  // The last one ends: the Java object is cut off.
  target.reset();
  EXPECT_EQ(calls.failureOf(java), "java.lang.IllegalStateException");
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
}

TEST_F(JvmTest, AJavaObjectThatOutlivesItsCppObjectIsCutOffFromIt) {
  startVm();
  const JavaCalls calls;
  std::unique_ptr<ShapeImpl> shape(new ShapeImpl(3));
  const JObject_t kept(static_cast<jobject>(*shape));  // Java keeps the object
  std::unique_ptr<ShapeImpl> other(new ShapeImpl(4));
  shape.reset();
  EXPECT_EQ(calls.failureOf(kept), "java.lang.IllegalStateException");
  EXPECT_EQ(calls.area(*other, 2), 8);

  // A delegator and its copy share one Java object; without C++ objects its class's own
  // method runs.
  jclass counterClass = JNIEnvHelper::FindClass("runtimetest/Counter");
  ASSERT_NE(counterClass, nullptr);
  jobject made = JNIEnvHelper::NewObject(counterClass, JNIEnvHelper::GetMethodID(counterClass, "<init>", "(I)V"), 10);
  const JObject_t delegate(made);
  JNIEnvHelper::DeleteLocalRef(made);
  JNIEnvHelper::DeleteLocalRef(counterClass);
  std::unique_ptr<CounterDelegator> counter(new CounterDelegator(delegate, 1));
  const JObject_t shared(static_cast<jobject>(*counter));
  std::unique_ptr<CounterDelegator> copy(new CounterDelegator(*counter));
  EXPECT_TRUE(sameObject(*copy, shared));
  EXPECT_EQ(calls.next(shared), 110);  // the delegate's 11, scaled by the C++ object
  counter.reset();
  EXPECT_EQ(calls.next(shared), 120);  // the delegate's 12, scaled by the copy
  copy.reset();
  EXPECT_EQ(calls.next(shared), 2);  // the Java object's own count, which began at 1
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
}

TEST_F(JvmTest, BytesThatAreNotAClassFileGiveTheJavaError) {
  startVm();
  struct Broken : JNIInterface {
    Broken() {
      static const signed char bytes[] = {1, 2, 3, 4, 5, 6, 7, 8};
      init("runtimetest/JNIImplementationOfBroken", nullptr, 0, bytes, sizeof(bytes));
    }
  };
  try {
    Broken broken;
    ADD_FAILURE() << "nothing thrown";
  } catch (const JVMException& e) {
    const std::string message = text(e.getMessage());
    EXPECT_EQ(message.rfind("Creating Interface Implementation:\r\n", 0), 0u) << message;
    EXPECT_NE(message.find("java.lang.ClassFormatError"), std::string::npos) << message;
  }
  EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
  // Nothing was left behind: a good implementation is made as usual afterwards.
  ShapeImpl shape(2);
  EXPECT_EQ(JavaCalls().area(shape, 2), 4);
}

TEST_F(JvmTest, EightThreadsCreateAndDestroyObjectsConcurrently) {
  startVm();
  const JavaCalls calls;
  std::unique_ptr<ShapeImpl> first(new ShapeImpl(1));
  const JObject_t unbound = unboundLike(*first);
  first.reset();

  const int kThreads = 8;
  const int kRounds = 300;
  std::atomic<int> wrong{0};
  std::atomic<int> failed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        for (int i = 0; i < kRounds; ++i) {
          const jint side = 1 + (t + i) % 7;
          ShapeImpl shape(side);
          if (calls.area(shape, 3) != 3 * side || ShapeImpl::lastCalled != &shape) ++wrong;
          if (i % 4 == 0) {
            ShapeImpl copy(shape);
            if (calls.area(copy, 2) != 2 * side || ShapeImpl::lastCalled != &shape) ++wrong;
          }
        }
      } catch (const JVMException& e) {
        ++failed;
        ADD_FAILURE() << text(e.getMessage());
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(calls.failureOf(unbound), "java.lang.IllegalStateException");
}

TEST_F(JvmTest, DelegatorForwardsToItsDelegate) {
  startVm();
  const JavaCalls calls;
  jclass counterClass = JNIEnvHelper::FindClass("runtimetest/Counter");
  ASSERT_NE(counterClass, nullptr);
  jobject made = JNIEnvHelper::NewObject(counterClass, JNIEnvHelper::GetMethodID(counterClass, "<init>", "(I)V"), 10);
  const JObject_t delegate(made);
  JNIEnvHelper::DeleteLocalRef(made);

  CounterDelegator delegator(delegate, 500);
  ASSERT_FALSE(delegator.isNullObject());
  EXPECT_TRUE(JNIEnvHelper::IsInstanceOf(delegator, counterClass));
  EXPECT_EQ(calls.loaderOf(delegator), "jdk.internal.loader.ClassLoaders$AppClassLoader");
  EXPECT_EQ(calls.next(delegator), 110);  // the delegate's 11, scaled by the C++ object
  EXPECT_EQ(calls.next(delegator), 120);
  EXPECT_EQ(calls.next(delegate), 13);

  // Without a delegate nothing is made.
  CounterDelegator empty(JObject_t(), 1);
  EXPECT_TRUE(empty.isNullObject());
  JNIEnvHelper::DeleteLocalRef(counterClass);
}
