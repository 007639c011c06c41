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

using jni_helpers::CSmartString;
using jni_helpers::JNIInterface;
using jni_helpers::JStringHelper;
using jni_helpers::JVMException;
using jni_helpers::_simple_class_loader;

namespace {

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
    // No Java object: stands behind Java objects that a test makes itself.
    struct Detached {};
    ShapeImpl(Detached, jint side) : m_side(side) {}
    ShapeImpl(const ShapeImpl& o) : JNIInterface(o), m_side(o.m_side) {}
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
    static jint JNICALL areaThunk(JNIEnv* env, jobject, jlong peer, jint p1) {
        if (!JNIEnvHelper::isInitialized())
            JNIEnvHelper::init(env);
        try {
            return ((ShapeImpl*)peer)->area(p1);
        } catch (...) {
            jni_helpers::JNIEnvHelper::ThrowNew("An error in the native code.");
        }
        return 0;
    }
    static jobject JNICALL describeThunk(JNIEnv* env, jobject, jlong peer, jobject p1) {
        if (!JNIEnvHelper::isInitialized())
            JNIEnvHelper::init(env);
        try {
            return ::jni_helpers::JNIEnvHelper::NewLocalRef(((ShapeImpl*)peer)->describe(JStringHelper(JObject_t(p1))));
        } catch (...) {
            jni_helpers::JNIEnvHelper::ThrowNew("An error in the native code.");
        }
        return 0;
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
        for (int i = 0; i < times; ++i)
            text += i == 0 ? "psst" : " psst";
        return JStringHelper(CSmartString(text.c_str()));
    }

private:
    static jobject JNICALL whisperThunk(JNIEnv* env, jobject, jlong peer, jint p1) {
        if (!JNIEnvHelper::isInitialized())
            JNIEnvHelper::init(env);
        try {
            return ::jni_helpers::JNIEnvHelper::NewLocalRef(((SecretImpl*)peer)->whisper(p1));
        } catch (...) {
            jni_helpers::JNIEnvHelper::ThrowNew("An error in the native code.");
        }
        return 0;
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
        if (!JNIEnvHelper::isInitialized())
            JNIEnvHelper::init(env);
        try {
            ((RunnableImpl*)peer)->run();
        } catch (...) {
            jni_helpers::JNIEnvHelper::ThrowNew("An error in the native code.");
        }
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
    static jint JNICALL nextThunk(JNIEnv* env, jobject, jlong peer) {
        if (!JNIEnvHelper::isInitialized())
            JNIEnvHelper::init(env);
        try {
            return ((CounterDelegator*)peer)->next();
        } catch (...) {
            jni_helpers::JNIEnvHelper::ThrowNew("An error in the native code.");
        }
        return 0;
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
        m_describe = JNIEnvHelper::GetStaticMethodID(cls(), "describe", "(Lruntimetest/Shape;Ljava/lang/String;)Ljava/lang/String;");
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
    // Whether Java calls of `shape` reach native code (false: the natives are not registered).
    bool reachesNative(jobject shape) const {
        try {
            area(shape, 1);
            return true;
        } catch (const JVMException& e) {
            EXPECT_NE(text(e.getMessage()).find("java.lang.UnsatisfiedLinkError"), std::string::npos)
                << text(e.getMessage());
            return false;
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

// The address a Java object of a generated class holds in its "peer" field.
jlong peerOf(jobject obj) {
    jclass cls = JNIEnvHelper::GetObjectClass(obj);
    const jlong peer = JNIEnvHelper::GetLongField(obj, JNIEnvHelper::GetFieldID(cls, "peer", "J"));
    JNIEnvHelper::DeleteLocalRef(cls);
    return peer;
}

jlong addressOf(const void* object) { return static_cast<jlong>(reinterpret_cast<std::intptr_t>(object)); }

// A Java object of the class of `shape` made by the test itself, whose native calls reach
// `stand` (an object the library does not count).
JObject_t probeLike(jobject shape, ShapeImpl* stand) {
    jclass cls = JNIEnvHelper::GetObjectClass(shape);
    jobject made = JNIEnvHelper::NewObject(cls, JNIEnvHelper::GetMethodID(cls, "<init>", "()V"));
    JNIEnvHelper::SetLongField(made, JNIEnvHelper::GetFieldID(cls, "peer", "J"), reinterpret_cast<jlong>(stand));
    JObject_t probe(made);
    JNIEnvHelper::DeleteLocalRef(made);
    JNIEnvHelper::DeleteLocalRef(cls);
    return probe;
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

TEST_F(JvmTest, TwoInstancesShareOneClassAndTheLastOneUnregistersTheNatives) {
    startVm();
    const JavaCalls calls;
    ShapeImpl stand(ShapeImpl::Detached(), 1);
    std::unique_ptr<ShapeImpl> first(new ShapeImpl(2));
    std::unique_ptr<ShapeImpl> second(new ShapeImpl(3));
    EXPECT_TRUE(sameClass(*first, *second));  // defined once
    EXPECT_FALSE(sameObject(*first, *second));
    EXPECT_EQ(calls.area(*first, 5), 10);
    EXPECT_EQ(calls.area(*second, 5), 15);

    jclass definedClass = JNIEnvHelper::GetObjectClass(*first);
    const JObject_t probe = probeLike(*first, &stand);
    EXPECT_TRUE(calls.reachesNative(probe));
    EXPECT_EQ(stand.calls, 1);
    first.reset();
    EXPECT_TRUE(calls.reachesNative(probe));  // one object still uses the class
    second.reset();
    EXPECT_FALSE(calls.reachesNative(probe));  // the last one took the natives with it
    EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());

    // A later object works again, with the class defined before.
    ShapeImpl third(4);
    EXPECT_EQ(calls.area(third, 2), 8);
    jclass thirdClass = JNIEnvHelper::GetObjectClass(third);
    EXPECT_TRUE(sameObject(thirdClass, definedClass));
    EXPECT_TRUE(calls.reachesNative(probe));
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

    JNIEnvHelper::DeleteLocalRef(thirdClass);
    JNIEnvHelper::DeleteLocalRef(loader);
    JNIEnvHelper::DeleteLocalRef(classClass);
    JNIEnvHelper::DeleteLocalRef(cls);
    JNIEnvHelper::DeleteLocalRef(secret);
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

TEST_F(JvmTest, CopiesShareTheJavaObjectWhoseCallsReachALivingOne) {
    startVm();
    const JavaCalls calls;
    ShapeImpl stand(ShapeImpl::Detached(), 1);
    std::unique_ptr<ShapeImpl> original(new ShapeImpl(5));
    const JObject_t java(static_cast<jobject>(*original));  // Java keeps the object
    const JObject_t probe = probeLike(*original, &stand);

    // A copy shares the Java object and takes its calls.
    std::unique_ptr<ShapeImpl> copy(new ShapeImpl(*original));
    EXPECT_TRUE(sameObject(*copy, java));
    EXPECT_EQ(calls.area(java, 2), 10);
    EXPECT_EQ(ShapeImpl::lastCalled, copy.get());

    // The copy ends first: the calls go back to the original, which keeps the natives.
    copy.reset();
    EXPECT_EQ(peerOf(java), addressOf(original.get()));
    EXPECT_EQ(calls.area(java, 3), 15);
    EXPECT_EQ(ShapeImpl::lastCalled, original.get());
    EXPECT_TRUE(calls.reachesNative(probe));

    // The original ends first: the copy keeps the calls.
    copy.reset(new ShapeImpl(*original));
    original.reset();
    EXPECT_EQ(peerOf(java), addressOf(copy.get()));
    EXPECT_EQ(calls.area(java, 4), 20);
    EXPECT_EQ(ShapeImpl::lastCalled, copy.get());

    // Assignment: the target's own Java object is cut off; the target shares this one and gets
    // its calls once the copy, which receives them, ends.
    std::unique_ptr<ShapeImpl> target(new ShapeImpl(9));
    const JObject_t before(static_cast<jobject>(*target));
    *target = *copy;
    EXPECT_EQ(peerOf(before), 0);
    EXPECT_TRUE(sameObject(*target, java));
    EXPECT_EQ(peerOf(java), addressOf(copy.get()));
    copy.reset();
    EXPECT_EQ(peerOf(java), addressOf(target.get()));
    EXPECT_EQ(calls.area(java, 1), 5);
    EXPECT_EQ(ShapeImpl::lastCalled, target.get());
    ShapeImpl& alias = *target;
    *target = alias;  // an object assigned to itself stays as it is
    EXPECT_EQ(peerOf(java), addressOf(target.get()));

    // The last one ends: the Java object is cut off and the natives go.
    target.reset();
    EXPECT_EQ(peerOf(java), 0);
    EXPECT_FALSE(calls.reachesNative(probe));
    EXPECT_FALSE(JNIEnvHelper::ExceptionCheck());
}

TEST_F(JvmTest, AJavaObjectThatOutlivesItsCppObjectIsCutOffFromIt) {
    startVm();
    const JavaCalls calls;
    std::unique_ptr<ShapeImpl> shape(new ShapeImpl(3));
    const JObject_t kept(static_cast<jobject>(*shape));  // Java keeps the object
    EXPECT_EQ(peerOf(kept), addressOf(shape.get()));
    std::unique_ptr<ShapeImpl> other(new ShapeImpl(4));  // keeps the class's natives
    shape.reset();
    EXPECT_EQ(peerOf(kept), 0);
    EXPECT_EQ(calls.area(*other, 2), 8);

    // A delegator and its copy share one Java object, cut off when the last of them ends.
    jclass counterClass = JNIEnvHelper::FindClass("runtimetest/Counter");
    ASSERT_NE(counterClass, nullptr);
    jobject made = JNIEnvHelper::NewObject(counterClass, JNIEnvHelper::GetMethodID(counterClass, "<init>", "(I)V"), 10);
    const JObject_t delegate(made);
    JNIEnvHelper::DeleteLocalRef(made);
    JNIEnvHelper::DeleteLocalRef(counterClass);
    std::unique_ptr<CounterDelegator> counter(new CounterDelegator(delegate, 1));
    const JObject_t shared(static_cast<jobject>(*counter));
    EXPECT_EQ(peerOf(shared), addressOf(counter.get()));
    std::unique_ptr<CounterDelegator> copy(new CounterDelegator(*counter));
    EXPECT_TRUE(sameObject(*copy, shared));
    EXPECT_EQ(peerOf(shared), addressOf(copy.get()));
    counter.reset();
    EXPECT_EQ(peerOf(shared), addressOf(copy.get()));
    EXPECT_EQ(calls.next(shared), 110);  // the delegate's 11, scaled by the copy
    copy.reset();
    EXPECT_EQ(peerOf(shared), 0);
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
    ShapeImpl stand(ShapeImpl::Detached(), 1);
    std::unique_ptr<ShapeImpl> first(new ShapeImpl(1));
    const JObject_t probe = probeLike(*first, &stand);
    first.reset();
    ASSERT_FALSE(calls.reachesNative(probe));

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
                    if (calls.area(shape, 3) != 3 * side || ShapeImpl::lastCalled != &shape)
                        ++wrong;
                    if (i % 4 == 0) {
                        ShapeImpl copy(shape);
                        if (calls.area(copy, 2) != 2 * side || ShapeImpl::lastCalled != &copy)
                            ++wrong;
                    }
                }
            } catch (const JVMException& e) {
                ++failed;
                ADD_FAILURE() << text(e.getMessage());
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(failed, 0);

    // Every count is back at 0: the last object unregistered the natives, and a new one
    // registers them again.
    EXPECT_FALSE(calls.reachesNative(probe));
    {
        ShapeImpl again(6);
        EXPECT_EQ(calls.area(again, 1), 6);
        EXPECT_TRUE(calls.reachesNative(probe));
    }
    EXPECT_FALSE(calls.reachesNative(probe));
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
