// A JNI environment made of fake functions, for tests that run without a Java VM.
//
// Objects are handles to records kept by the fake; every local and global reference handed out
// is a handle of its own, so that tests can count what was made and deleted. Function-table
// slots that a test leaves empty crash when called, which proves they were not.
#pragma once

#include <jni.h>

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace fakejni {

struct Object {
  std::string kind;          // "class", "string", "throwable", "object"
  std::string name;          // class name (for a class, the class itself; else the object's class)
  std::vector<jchar> chars;  // string contents, without a terminator
  std::string message;       // throwable message
};

struct Handle {
  Object* object;
  bool global;
  bool live;
};

class Env {
 public:
  Env() {
    std::memset(&table, 0, sizeof table);
    env.functions = &table;
    current() = this;
    for (const char* name :
         {"java/lang/Object", "java/lang/String", "java/lang/RuntimeException", "java/lang/IllegalArgumentException",
          "java/io/StringWriter", "java/io/PrintWriter", "java/lang/StringBuffer"})
      classes.insert(name);
    installBasics();
  }
  ~Env() {
    if (current() == this) current() = nullptr;
  }
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;

  static Env*& current() {
    static Env* env = nullptr;
    return env;
  }
  static Env& self() { return *current(); }

  JNIEnv* jni() { return &env; }

  // --- objects and references ---
  Object* make(const std::string& kind, const std::string& name) {
    objects.push_back(std::unique_ptr<Object>(new Object{kind, name, {}, {}}));
    return objects.back().get();
  }
  jobject ref(Object* object, bool global = false) {
    if (object == nullptr) return nullptr;
    handles.push_back(std::unique_ptr<Handle>(new Handle{object, global, true}));
    jobject h = reinterpret_cast<jobject>(handles.back().get());
    (global ? liveGlobals : liveLocals).insert(h);
    return h;
  }
  Object* object(jobject h) {
    if (h == nullptr) return nullptr;
    Handle* handle = reinterpret_cast<Handle*>(h);
    if (!handle->live) errors.push_back("use of a deleted reference");
    return handle->object;
  }
  jclass classRef(const std::string& name) { return static_cast<jclass>(ref(make("class", name))); }
  jstring stringRef(const std::vector<jchar>& text) {
    Object* s = make("string", "java/lang/String");
    s->chars = text;
    return static_cast<jstring>(ref(s));
  }
  void raise(const std::string& className, const std::string& message) {
    pending = make("throwable", className);
    pending->message = message;
  }
  void deleteRef(jobject h, bool global) {
    if (h == nullptr) return;
    Handle* handle = reinterpret_cast<Handle*>(h);
    if (!handle->live) errors.push_back("reference deleted twice");
    if (handle->global != global)
      errors.push_back(global ? "DeleteGlobalRef of a local reference" : "DeleteLocalRef of a global reference");
    handle->live = false;
    (handle->global ? liveGlobals : liveLocals).erase(h);
  }
  int count(const std::string& function) {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = calls.find(function);
    return it == calls.end() ? 0 : it->second;
  }
  void note(const char* function) {
    std::lock_guard<std::mutex> lock(mutex);
    ++calls[function];
  }

  JNINativeInterface_ table;
  JNIEnv_ env;
  jint version = JNI_VERSION_1_8;
  std::set<std::string> classes;
  // Member IDs found by GetMethodID and friends, by name + signature; anything else fails.
  std::set<std::string> members{"<init>()V",
                                "<init>(Ljava/io/Writer;)V",
                                "printStackTrace(Ljava/io/PrintWriter;)V",
                                "getBuffer()Ljava/lang/StringBuffer;",
                                "toString()Ljava/lang/String;",
                                "twice(I)I",
                                "fail()V"};
  std::vector<std::unique_ptr<Object>> objects;
  std::vector<std::unique_ptr<Handle>> handles;
  std::set<jobject> liveLocals;
  std::set<jobject> liveGlobals;
  Object* pending = nullptr;
  Object* lastThrowable = nullptr;  // the throwable whose trace printStackTrace wrote last
  std::map<std::string, int> calls;
  std::vector<std::string> errors;
  std::vector<JNINativeMethod> registered;
  std::vector<std::string> registeredClasses;
  int failGetObjectClass = 0;       // so many GetObjectClass calls raise an error (-1: all)
  std::map<Object*, int> monitors;  // how often each monitor was entered and not left
  std::mutex mutex;

 private:
  static std::string idText(jmethodID id) { return *reinterpret_cast<const std::string*>(id); }
  jmethodID idFor(const std::string& key) {
    auto it = members.find(key);
    return it == members.end() ? nullptr : reinterpret_cast<jmethodID>(const_cast<std::string*>(&*it));
  }

  void installBasics() {
    table.GetVersion = [](JNIEnv*) -> jint {
      self().note("GetVersion");
      return self().version;
    };
    table.ExceptionOccurred = [](JNIEnv*) -> jthrowable {
      self().note("ExceptionOccurred");
      return static_cast<jthrowable>(self().ref(self().pending));
    };
    table.ExceptionClear = [](JNIEnv*) {
      self().note("ExceptionClear");
      self().pending = nullptr;
    };
    table.ExceptionCheck = [](JNIEnv*) -> jboolean {
      self().note("ExceptionCheck");
      return self().pending != nullptr ? JNI_TRUE : JNI_FALSE;
    };
    table.FindClass = [](JNIEnv*, const char* name) -> jclass {
      self().note("FindClass");
      if (self().classes.count(name) == 0) {
        self().raise("java/lang/NoClassDefFoundError", name);
        return nullptr;
      }
      return self().classRef(name);
    };
    table.ThrowNew = [](JNIEnv*, jclass clazz, const char* message) -> jint {
      self().note("ThrowNew");
      self().raise(self().object(clazz)->name, message != nullptr ? message : "");
      return JNI_OK;
    };
    table.DeleteLocalRef = [](JNIEnv*, jobject obj) {
      self().note("DeleteLocalRef");
      self().deleteRef(obj, false);
    };
    table.NewGlobalRef = [](JNIEnv*, jobject obj) -> jobject {
      self().note("NewGlobalRef");
      return self().ref(self().object(obj), true);
    };
    table.DeleteGlobalRef = [](JNIEnv*, jobject obj) {
      self().note("DeleteGlobalRef");
      self().deleteRef(obj, true);
    };
    table.GetObjectClass = [](JNIEnv*, jobject obj) -> jclass {
      self().note("GetObjectClass");
      if (self().failGetObjectClass != 0) {
        if (self().failGetObjectClass > 0) --self().failGetObjectClass;
        self().raise("java/lang/OutOfMemoryError", "no class for you");
        return nullptr;
      }
      return self().classRef(self().object(obj)->name);
    };
    auto lookup = [](JNIEnv*, jclass, const char* name, const char* sig) -> jmethodID {
      self().note("GetMethodID");
      jmethodID id = self().idFor(std::string(name) + sig);
      if (id == nullptr) self().raise("java/lang/NoSuchMethodError", name);
      return id;
    };
    table.GetMethodID = lookup;
    table.GetStaticMethodID = lookup;
    table.NewObjectV = [](JNIEnv*, jclass clazz, jmethodID, va_list) -> jobject {
      self().note("NewObject");
      return self().ref(self().make("object", self().object(clazz)->name));
    };
    table.CallVoidMethodV = [](JNIEnv*, jobject obj, jmethodID id, va_list) {
      self().note("CallVoidMethod");
      if (idText(id) == "printStackTrace(Ljava/io/PrintWriter;)V")
        self().lastThrowable = self().object(obj);
      else if (idText(id) == "fail()V")
        self().raise("java/lang/IllegalStateException", "fail called");
    };
    table.CallObjectMethodV = [](JNIEnv*, jobject, jmethodID id, va_list) -> jobject {
      self().note("CallObjectMethod");
      if (idText(id) == "getBuffer()Ljava/lang/StringBuffer;")
        return self().ref(self().make("object", "java/lang/StringBuffer"));
      Object* t = self().lastThrowable;
      std::string trace = t != nullptr ? t->name + ": " + t->message + "\n\tat Fake.frame(Fake.java:1)\n" : "";
      for (char& c : trace)
        if (c == '/') c = '.';
      return self().stringRef(std::vector<jchar>(trace.begin(), trace.end()));
    };
    table.CallStaticIntMethodV = [](JNIEnv*, jclass, jmethodID, va_list args) -> jint {
      self().note("CallStaticIntMethod");
      return 2 * va_arg(args, jint);
    };
    table.NewString = [](JNIEnv*, const jchar* chars, jsize len) -> jstring {
      self().note("NewString");
      return self().stringRef(std::vector<jchar>(chars, chars + len));
    };
    table.GetStringLength = [](JNIEnv*, jstring s) -> jsize {
      self().note("GetStringLength");
      return static_cast<jsize>(self().object(s)->chars.size());
    };
    auto chars = [](JNIEnv*, jstring s, jboolean* isCopy) -> const jchar* {
      if (isCopy != nullptr) *isCopy = JNI_FALSE;
      static const jchar none = 0;
      const std::vector<jchar>& text = self().object(s)->chars;
      return text.empty() ? &none : text.data();
    };
    table.GetStringCritical = chars;
    table.GetStringChars = chars;
    table.ReleaseStringCritical = [](JNIEnv*, jstring, const jchar*) { self().note("ReleaseStringCritical"); };
    table.ReleaseStringChars = [](JNIEnv*, jstring, const jchar*) { self().note("ReleaseStringChars"); };
    table.MonitorEnter = [](JNIEnv*, jobject obj) -> jint {
      self().note("MonitorEnter");
      ++self().monitors[self().object(obj)];
      return JNI_OK;
    };
    table.MonitorExit = [](JNIEnv*, jobject obj) -> jint {
      self().note("MonitorExit");
      int& held = self().monitors[self().object(obj)];
      if (held == 0) {
        self().raise("java/lang/IllegalMonitorStateException", "current thread is not owner");
        return JNI_ERR;
      }
      --held;
      return JNI_OK;
    };
    // Classes are told apart by name; there is no hierarchy.
    table.IsInstanceOf = [](JNIEnv*, jobject obj, jclass clazz) -> jboolean {
      self().note("IsInstanceOf");
      return self().object(obj)->name == self().object(clazz)->name ? JNI_TRUE : JNI_FALSE;
    };
    table.RegisterNatives = [](JNIEnv*, jclass clazz, const JNINativeMethod* methods, jint n) -> jint {
      self().note("RegisterNatives");
      self().registeredClasses.push_back(self().object(clazz)->name);
      self().registered.insert(self().registered.end(), methods, methods + n);
      return JNI_OK;
    };
  }
};

}  // namespace fakejni
