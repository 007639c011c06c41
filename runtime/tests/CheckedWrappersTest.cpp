// The checked JNI family, the exception check, JObject_t and JStringHelper against a fake JNI
// environment (no Java VM). Each case runs on a thread of its own, whose environment slot
// starts empty.
#include "FakeJni.h"
#include "JNIHelpers.h"
#include "RuntimeTexts.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

using jni_helpers::CSmartString;
using jni_helpers::EnvironmentNotInitializedException;
using jni_helpers::JStringHelper;
using jni_helpers::JVMException;

namespace {

void onFreshThread(const std::function<void()>& body) {
  std::thread thread([&] {
    try {
      body();
    } catch (const jni_helpers::BaseException& e) {
      ADD_FAILURE() << "unexpected exception: " << static_cast<const char*>(e.getMessage());
    }
  });
  thread.join();
}

// The message of the JVMException that `call` throws, or "<nothing thrown>".
std::string thrownBy(const std::function<void()>& call) { return messageOf<JVMException>(call); }

class CheckedWrappers : public ::testing::Test {
 protected:
  fakejni::Env fake;
};

}  // namespace

TEST_F(CheckedWrappers, JniOneOneVmRefusesTheNewerMembers) {
  fake.version = JNI_VERSION_1_1;
  fake.table.ExceptionCheck = nullptr;  // a JNI 1.1 table has no such slot
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    jobject obj = fake.ref(fake.make("object", "java/lang/Object"));
    jclass cls = fake.classRef("java/lang/Object");
    jstring str = fake.stringRef({'a', 'b'});
    jchar wide[4];
    char utf[4];
    const std::vector<std::pair<std::string, std::function<void()>>> members{
        {"FromReflectedMethod", [&] { JNIEnvHelper::FromReflectedMethod(obj); }},
        {"FromReflectedField", [&] { JNIEnvHelper::FromReflectedField(obj); }},
        {"ToReflectedMethod", [&] { JNIEnvHelper::ToReflectedMethod(cls, reinterpret_cast<jmethodID>(1), JNI_TRUE); }},
        {"ToReflectedField", [&] { JNIEnvHelper::ToReflectedField(cls, reinterpret_cast<jfieldID>(1), JNI_TRUE); }},
        {"PushLocalFrame", [&] { JNIEnvHelper::PushLocalFrame(4); }},
        {"PopLocalFrame", [&] { JNIEnvHelper::PopLocalFrame(nullptr); }},
        {"NewLocalRef", [&] { JNIEnvHelper::NewLocalRef(obj); }},
        {"EnsureLocalCapacity", [&] { JNIEnvHelper::EnsureLocalCapacity(4); }},
        {"GetStringRegion", [&] { JNIEnvHelper::GetStringRegion(str, 0, 1, wide); }},
        {"GetStringUTFRegion", [&] { JNIEnvHelper::GetStringUTFRegion(str, 0, 1, utf); }},
        {"GetPrimitiveArrayCritical",
         [&] { JNIEnvHelper::GetPrimitiveArrayCritical(static_cast<jarray>(obj), nullptr); }},
        {"ReleasePrimitiveArrayCritical",
         [&] { JNIEnvHelper::ReleasePrimitiveArrayCritical(static_cast<jarray>(obj), wide, 0); }},
        {"NewWeakGlobalRef", [&] { JNIEnvHelper::NewWeakGlobalRef(obj); }},
        {"DeleteWeakGlobalRef", [&] { JNIEnvHelper::DeleteWeakGlobalRef(obj); }},
    };
    for (const auto& member : members) EXPECT_EQ(thrownBy(member.second), member.first + " is not implemented");
    // Only the version was asked: the table slots of these members are empty and unused.
    EXPECT_EQ(fake.count("ExceptionOccurred"), 0);

    // ExceptionCheck works through ExceptionOccurred and deletes the reference it got.
    EXPECT_EQ(JNIEnvHelper::ExceptionCheck(), JNI_FALSE);
    fake.raise("java/lang/Error", "pending");
    const std::size_t locals = fake.liveLocals.size();
    EXPECT_EQ(JNIEnvHelper::ExceptionCheck(), JNI_TRUE);
    EXPECT_EQ(fake.liveLocals.size(), locals);
    fake.pending = nullptr;

    // The critical string pair becomes the string's monitor around GetStringChars.
    const jchar* chars = JNIEnvHelper::GetStringCritical(str, nullptr);
    ASSERT_NE(chars, nullptr);
    EXPECT_EQ(chars[0], 'a');
    EXPECT_EQ(fake.count("MonitorEnter"), 1);
    JNIEnvHelper::ReleaseStringCritical(str, chars);
    EXPECT_EQ(fake.count("ReleaseStringChars"), 1);
    EXPECT_EQ(fake.count("MonitorExit"), 1);
    EXPECT_EQ(fake.count("ReleaseStringCritical"), 0);
  });
}

TEST_F(CheckedWrappers, NullClassNeverReachesJni) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    jmethodID id = reinterpret_cast<jmethodID>(1);
    jfieldID fid = reinterpret_cast<jfieldID>(1);
    const std::vector<std::pair<std::string, std::function<void()>>> members{
        {"GetMethodID", [] { JNIEnvHelper::GetMethodID(nullptr, "m", "()V"); }},
        {"GetStaticMethodID", [] { JNIEnvHelper::GetStaticMethodID(nullptr, "m", "()V"); }},
        {"GetFieldID", [] { JNIEnvHelper::GetFieldID(nullptr, "f", "I"); }},
        {"GetStaticFieldID", [] { JNIEnvHelper::GetStaticFieldID(nullptr, "f", "I"); }},
        {"RegisterNatives", [] { JNIEnvHelper::RegisterNatives(nullptr, nullptr, 0); }},
        {"NewObject", [&] { JNIEnvHelper::NewObject(nullptr, id); }},
        {"NewObjectA", [&] { JNIEnvHelper::NewObjectA(nullptr, id, nullptr); }},
        {"AllocObject", [] { JNIEnvHelper::AllocObject(nullptr); }},
        {"CallStaticIntMethod", [&] { JNIEnvHelper::CallStaticIntMethod(nullptr, id, 1); }},
        {"CallStaticVoidMethodA", [&] { JNIEnvHelper::CallStaticVoidMethodA(nullptr, id, nullptr); }},
        {"CallStaticObjectMethod", [&] { JNIEnvHelper::CallStaticStringMethod(nullptr, id); }},
        {"GetStaticLongField", [&] { JNIEnvHelper::GetStaticLongField(nullptr, fid); }},
        {"SetStaticDoubleField", [&] { JNIEnvHelper::SetStaticDoubleField(nullptr, fid, 1.0); }},
    };
    for (const auto& member : members) {
      const std::string message = thrownBy(member.second);
      EXPECT_EQ(message.compare(0, member.first.size(), member.first), 0) << message;
    }
    // No JNI function ran, so nothing was checked either.
    EXPECT_EQ(fake.count("GetMethodID"), 0);
    EXPECT_EQ(fake.count("RegisterNatives"), 0);
    EXPECT_EQ(fake.count("NewObject"), 0);
    EXPECT_EQ(fake.count("CallStaticIntMethod"), 0);
    EXPECT_EQ(fake.count("ExceptionOccurred"), 0);

    // A null receiver or member ID is refused the same way.
    jclass cls = fake.classRef("java/lang/Object");
    EXPECT_EQ(thrownBy([&] { JNIEnvHelper::CallIntMethod(nullptr, id); }), "CallIntMethod: the object is null");
    EXPECT_EQ(thrownBy([&] { JNIEnvHelper::CallStaticIntMethod(cls, nullptr); }),
              "CallStaticIntMethod: the member ID is null");
    EXPECT_EQ(thrownBy([&] { JNIEnvHelper::GetObjectField(nullptr, fid); }), "GetObjectField: the object is null");
  });
}

TEST_F(CheckedWrappers, NullGuardedMembers) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    EXPECT_EQ(JNIEnvHelper::NewGlobalRef(nullptr), nullptr);
    EXPECT_EQ(fake.count("NewGlobalRef"), 0);
    EXPECT_EQ(fake.count("ExceptionOccurred"), 1);  // still checked
    JNIEnvHelper::DeleteLocalRef(nullptr);
    JNIEnvHelper::DeleteGlobalRef(nullptr);
    JNIEnvHelper::ReleaseStringChars(nullptr, nullptr);
    JNIEnvHelper::ReleaseStringUTFChars(nullptr, nullptr);
    EXPECT_EQ(fake.count("DeleteLocalRef") + fake.count("DeleteGlobalRef") + fake.count("ReleaseStringChars"), 0);
    EXPECT_EQ(JNIEnvHelper::GetStringLength(nullptr), 0);
    EXPECT_EQ(JNIEnvHelper::GetStringUTFLength(nullptr), 0);
    EXPECT_EQ(JNIEnvHelper::GetStringChars(nullptr, nullptr), nullptr);
    EXPECT_EQ(JNIEnvHelper::GetStringUTFChars(nullptr, nullptr), nullptr);
    EXPECT_EQ(fake.count("GetStringLength"), 0);
  });
}

TEST_F(CheckedWrappers, ReleaseMembersLeaveAPendingExceptionAlone) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    jobject local = fake.ref(fake.make("object", "java/lang/Object"));
    jobject global = fake.ref(fake.make("object", "java/lang/Object"), true);
    jstring str = fake.stringRef({'x'});
    fake.raise("java/lang/IllegalStateException", "left pending by the caller");
    fakejni::Object* pending = fake.pending;

    JNIEnvHelper::DeleteLocalRef(local);
    JNIEnvHelper::DeleteGlobalRef(global);
    JNIEnvHelper::ReleaseStringChars(str, fake.object(str)->chars.data());
    EXPECT_EQ(fake.pending, pending);
    EXPECT_EQ(fake.count("ExceptionOccurred"), 0);
    EXPECT_EQ(fake.count("ExceptionClear"), 0);
    EXPECT_EQ(fake.liveLocals.count(local), 0u);
    EXPECT_EQ(fake.liveGlobals.count(global), 0u);
    fake.pending = nullptr;
  });
}

TEST_F(CheckedWrappers, MonitorExitAndReleaseStringCriticalAreChecked) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    jobject lock = fake.ref(fake.make("object", "java/lang/Object"));
    JNIEnvHelper::MonitorEnter(lock);
    EXPECT_EQ(JNIEnvHelper::MonitorExit(lock), JNI_OK);
    // A monitor the thread does not own: the Java error is thrown here, not by the next call.
    EXPECT_EQ(thrownBy([&] { JNIEnvHelper::MonitorExit(lock); }).rfind("java.lang.IllegalMonitorStateException", 0),
              0u);
    EXPECT_EQ(fake.pending, nullptr);
    EXPECT_EQ(thrownBy([] { JNIEnvHelper::MonitorExit(nullptr); }), "MonitorExit: the object is null");

    // An exception still pending when a critical region ends (the region's own calls are
    // not checked) is thrown as it ends.
    jstring str = fake.stringRef({'x'});
    fake.raise("java/lang/IllegalStateException", "left pending");
    const jchar* chars = JNIEnvHelper::GetStringCritical(str, nullptr);
    EXPECT_EQ(thrownBy([&] {
                JNIEnvHelper::ReleaseStringCritical(str, chars);
              }).rfind("java.lang.IllegalStateException: left pending", 0),
              0u);
    EXPECT_EQ(fake.pending, nullptr);
    EXPECT_TRUE(fake.errors.empty());
  });
}

TEST_F(CheckedWrappers, TwoTextThrowNewLeavesItsExceptionPending) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    const std::size_t locals = fake.liveLocals.size();
    EXPECT_EQ(JNIEnvHelper::ThrowNew("bad argument", "java/lang/IllegalArgumentException"), JNI_OK);
    ASSERT_NE(fake.pending, nullptr);
    EXPECT_EQ(fake.pending->name, "java/lang/IllegalArgumentException");
    EXPECT_EQ(fake.pending->message, "bad argument");
    EXPECT_EQ(fake.liveLocals.size(), locals);  // the class reference was deleted

    // The message alone gives a RuntimeException; so does a class that cannot be found.
    fake.pending = nullptr;
    JNIEnvHelper::ThrowNew(CSmartString("native failure"));
    ASSERT_NE(fake.pending, nullptr);
    EXPECT_EQ(fake.pending->name, "java/lang/RuntimeException");
    JNIEnvHelper::ThrowNew("no such class", "no/Such");
    ASSERT_NE(fake.pending, nullptr);
    EXPECT_EQ(fake.pending->name, "java/lang/RuntimeException");
    EXPECT_EQ(fake.pending->message, "no such class");
    EXPECT_EQ(fake.liveLocals.size(), locals);
    fake.pending = nullptr;
    EXPECT_TRUE(fake.errors.empty());
  });
}

TEST_F(CheckedWrappers, FindClassOfAMissingClassGivesNullAndNothingPending) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    EXPECT_EQ(JNIEnvHelper::FindClass("no/such/Class"), nullptr);
    EXPECT_EQ(fake.pending, nullptr);
    jclass found = JNIEnvHelper::FindClass("java/lang/String");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(fake.object(found)->name, "java/lang/String");
    JNIEnvHelper::DeleteLocalRef(found);
  });
}

TEST_F(CheckedWrappers, PendingExceptionBecomesJVMExceptionWithItsTrace) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    jclass cls = fake.classRef("java/lang/Object");
    jmethodID fail = JNIEnvHelper::GetStaticMethodID(cls, "fail", "()V");
    jobject receiver = fake.ref(fake.make("object", "java/lang/Object"));
    const std::size_t locals = fake.liveLocals.size();

    const std::string message = thrownBy([&] { JNIEnvHelper::CallVoidMethod(receiver, fail); });
    EXPECT_EQ(message, "java.lang.IllegalStateException: fail called\n\tat Fake.frame(Fake.java:1)\n");
    EXPECT_EQ(fake.pending, nullptr);
    // Every local reference made by the check is gone (the throwable and the trace included).
    EXPECT_EQ(fake.liveLocals.size(), locals);

    fake.raise("java/lang/Error", "boom");
    try {
      JNIEnvHelper::exceptionCheck(42, "Foo.cpp");
      ADD_FAILURE() << "nothing thrown";
    } catch (const JVMException& e) {
      EXPECT_EQ(text(e.getMessage()), "Foo.cpp:42\njava.lang.Error: boom\n\tat Fake.frame(Fake.java:1)\n");
    }
    JNIEnvHelper::exceptionCheck(7, "Bar.cpp");  // nothing pending: returns
    EXPECT_EQ(fake.liveLocals.size(), locals);
    EXPECT_TRUE(fake.errors.empty());
  });
}

TEST_F(CheckedWrappers, AFailureWhileRenderingIsRenderedOnceThenAFixedText) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    const std::size_t locals = fake.liveLocals.size();

    // The class of the throwable cannot be had once: the message describes that failure.
    fake.failGetObjectClass = 1;
    fake.raise("java/lang/Error", "first");
    std::string message = thrownBy([] { JNIEnvHelper::exceptionCheck(0, CSmartString()); });
    EXPECT_EQ(message.rfind("java.lang.OutOfMemoryError: no class for you", 0), 0u) << message;
    EXPECT_EQ(fake.liveLocals.size(), locals);

    // Every rendering fails: the nesting stops after one level with a fixed text.
    const int before = fake.count("GetObjectClass");
    fake.failGetObjectClass = -1;
    fake.raise("java/lang/Error", "second");
    message = thrownBy([] { JNIEnvHelper::exceptionCheck(0, CSmartString()); });
    EXPECT_EQ(message, "A Java exception was thrown; its stack trace could not be read");
    EXPECT_EQ(fake.count("GetObjectClass") - before, 2);
    EXPECT_EQ(fake.pending, nullptr);
    EXPECT_EQ(fake.liveLocals.size(), locals);
    EXPECT_TRUE(fake.errors.empty());
  });
}

TEST_F(CheckedWrappers, CheckedCallsReturnResults) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    jclass cls = JNIEnvHelper::FindClass("java/lang/Object");
    jmethodID twice = JNIEnvHelper::GetStaticMethodID(cls, "twice", "(I)I");
    EXPECT_EQ(JNIEnvHelper::CallStaticIntMethod(cls, twice, 21), 42);
    const std::string missing = thrownBy([&] { JNIEnvHelper::GetMethodID(cls, "absent", "()V"); });
    EXPECT_EQ(missing.rfind("java.lang.NoSuchMethodError: absent", 0), 0u) << missing;
    JNIEnvHelper::DeleteLocalRef(cls);
  });
}

TEST_F(CheckedWrappers, ObjectCopiesShareOneGlobalReference) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    jobject local = fake.ref(fake.make("object", "java/lang/Object"));
    {
      JObject_t first(local);
      EXPECT_EQ(fake.count("NewGlobalRef"), 1);
      JObject_t* second = new JObject_t(first);
      JObject_t third;
      third = *second;
      JObject_t fourth(third);
      fourth = fourth;
      fourth = first;
      EXPECT_EQ(fake.count("NewGlobalRef"), 1);
      EXPECT_EQ(static_cast<jobject>(first), static_cast<jobject>(fourth));
      EXPECT_NE(static_cast<jobject>(first), local);  // the caller's reference is its own
      delete second;
      JObject_t copy = first;
      EXPECT_EQ(fake.count("DeleteGlobalRef"), 0);
    }
    EXPECT_EQ(fake.count("DeleteGlobalRef"), 1);
    EXPECT_TRUE(fake.liveGlobals.empty());
    EXPECT_EQ(fake.liveLocals.count(local), 1u);

    // An empty object makes no JNI call.
    const int calls = fake.count("NewGlobalRef") + fake.count("ExceptionOccurred");
    {
      JObject_t empty(static_cast<jobject>(nullptr));
      EXPECT_TRUE(empty.isNullObject());
      EXPECT_EQ(static_cast<jobject>(empty), nullptr);
      JObject_t also;
      also = empty;
    }
    EXPECT_EQ(fake.count("NewGlobalRef") + fake.count("ExceptionOccurred"), calls);
    EXPECT_EQ(fake.count("DeleteGlobalRef"), 1);
  });
}

TEST_F(CheckedWrappers, ClearForgetsTheReferenceForEveryCopy) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    jobject local = fake.ref(fake.make("object", "java/lang/Object"));
    {
      JObject_t a(local);
      JObject_t b(a);
      a.clear();
      EXPECT_TRUE(a.isNullObject());
      EXPECT_TRUE(b.isNullObject());
    }
    EXPECT_EQ(fake.count("DeleteGlobalRef"), 0);
    EXPECT_EQ(fake.liveGlobals.size(), 1u);  // no longer released by the library
  });
}

TEST_F(CheckedWrappers, ReleaseNeitherThrowsNorClearsAPendingException) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    jobject local = fake.ref(fake.make("object", "java/lang/Object"));
    JObject_t* held = new JObject_t(local);
    fake.raise("java/lang/IllegalStateException", "the caller's");
    fakejni::Object* pending = fake.pending;
    const int checks = fake.count("ExceptionOccurred");
    delete held;
    EXPECT_EQ(fake.count("DeleteGlobalRef"), 1);
    EXPECT_EQ(fake.pending, pending);
    EXPECT_EQ(fake.count("ExceptionOccurred"), checks);
    EXPECT_EQ(fake.count("ExceptionClear"), 0);

    // Making a reference while an exception is pending fails and leaves the object empty.
    JObject_t target;
    EXPECT_EQ(thrownBy([&] { JObject_t failed(local); }).rfind("java.lang.IllegalStateException", 0), 0u);
    fake.raise("java/lang/IllegalStateException", "again");
    try {
      JStringHelper s(local);
      ADD_FAILURE() << "nothing thrown";
    } catch (const JVMException&) {
    }
    EXPECT_TRUE(fake.liveGlobals.empty());
  });
}

TEST_F(CheckedWrappers, StringHelperConvertsOnceAndKeepsEveryUnit) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    const unsigned short units[] = {'a', 0, 0xD834, 0xDD1E, 'z'};
    CSmartString source(units, 5);
    {
      JStringHelper helper(source);
      EXPECT_EQ(fake.count("NewString"), 1);
      EXPECT_EQ(fake.count("NewGlobalRef"), 1);
      CSmartString back = helper;
      CSmartString again = helper;
      EXPECT_EQ(back, source);
      EXPECT_EQ(again, source);
      EXPECT_EQ(fake.count("ReleaseStringCritical"), 1);  // read from Java once

      JStringHelper copy(helper);
      JStringHelper fromObject(static_cast<const JObject_t&>(helper));
      EXPECT_EQ(static_cast<CSmartString>(fromObject), source);
      JStringHelper empty(CSmartString(""));
      EXPECT_FALSE(empty.isNullObject());
      EXPECT_EQ(static_cast<CSmartString>(empty), CSmartString(""));
      JStringHelper none(0L);
      EXPECT_TRUE(none.isNullObject());
      EXPECT_TRUE(!static_cast<CSmartString>(none));
    }
    EXPECT_TRUE(fake.liveGlobals.empty());
    EXPECT_TRUE(fake.liveLocals.empty());  // the local strings were deleted
    EXPECT_TRUE(fake.errors.empty());
  });
}

TEST_F(CheckedWrappers, StringHelperOverAnotherObjectThrowsInsteadOfReadingIt) {
  onFreshThread([&] {
    JNIEnvHelper::init(fake.jni());
    jobject notAString = fake.ref(fake.make("object", "java/lang/Object"));
    {
      JStringHelper helper(notAString);
      EXPECT_EQ(thrownBy([&] { static_cast<CSmartString>(helper); }),
                "JStringHelper: the object is not a java.lang.String");
    }
    // No string function saw the object (each would bring a VM down).
    EXPECT_EQ(fake.count("GetStringLength"), 0);
    EXPECT_EQ(fake.count("ReleaseStringCritical"), 0);
    EXPECT_EQ(fake.liveLocals.size(), 1u);  // only the test's own reference
    EXPECT_TRUE(fake.liveGlobals.empty());
    EXPECT_TRUE(fake.errors.empty());
  });
}

TEST_F(CheckedWrappers, EnvironmentsBelongToTheirThread) {
  fakejni::Env other;
  fakejni::Env::current() = &fake;
  onFreshThread([&] {
    EXPECT_FALSE(JNIEnvHelper::isInitialized());
    // No VM in this process: the thread cannot be attached.
    try {
      JNIEnvHelper::getEnv();
      ADD_FAILURE() << "nothing thrown";
    } catch (const EnvironmentNotInitializedException& e) {
      EXPECT_EQ(text(e.getMessage()), "Environment not initialized");
    }
    EXPECT_EQ(jni_helpers::JVM::attachCurrentThread(), -1);
    EXPECT_EQ(jni_helpers::JVM::detachCurrentThread(), 0);

    JNIEnvHelper::init(nullptr);
    EXPECT_FALSE(JNIEnvHelper::isInitialized());
    JNIEnvHelper::init(fake.jni());
    JNIEnvHelper::init(other.jni());  // an environment already stored is kept
    EXPECT_EQ(JNIEnvHelper::getEnv(), fake.jni());
    onFreshThread([&] { EXPECT_FALSE(JNIEnvHelper::isInitialized()); });
  });
}
