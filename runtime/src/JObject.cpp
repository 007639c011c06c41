// JObject_t: a Java object held through one global reference shared by all copies.
#include "RuntimeInternal.h"

namespace jni_helpers {

// The shared global reference and its share count. Deleting the holder deletes the reference.
class GlobalRefHolder {
 public:
  explicit GlobalRefHolder(jobject r) : ref(r), count(1) {}
  GlobalRefHolder(const GlobalRefHolder&) = delete;
  GlobalRefHolder& operator=(const GlobalRefHolder&) = delete;
  virtual ~GlobalRefHolder() { detail::releaseGlobalRef(ref); }

  // A Java object wrapped and let go on every call (an object result) costs no trip to the
  // heap: each thread keeps a few freed holders for its next ones.
  static void* operator new(std::size_t size) {
    if (void* block = detail::takeHolderBlock()) return block;
    return ::operator new(size);
  }
  static void operator delete(void* block) {
    if (!detail::keepHolderBlock(block)) ::operator delete(block);
  }

  jobject ref;
  std::atomic<long> count;
};

namespace {

// A new holder of a global reference to `obj`; null for a null object.
GlobalRefHolder* holderFor(jobject obj) {
  if (obj == nullptr) return nullptr;
  jobject ref = JNIEnvHelper::NewGlobalRef(obj);
  if (ref == nullptr) return nullptr;
  try {
    return new GlobalRefHolder(ref);
  } catch (...) {
    detail::releaseGlobalRef(ref);
    throw;
  }
}

}  // namespace

CSmartString javaStringText(jobject str) {
  if (str == nullptr) return CSmartString();
  JNIEnv* env = JNIEnvHelper::getEnv();
  if (jthrowable thrown = env->ExceptionOccurred()) detail::raisePending(env, thrown, 0, CSmartString());
  // A string function given another object brings the VM down.
  detail::LocalRef stringClass(env->FindClass("java/lang/String"));
  if (!stringClass) {
    env->ExceptionClear();
    throw JVMException("JStringHelper: the class java.lang.String cannot be found");
  }
  if (!env->IsInstanceOf(str, static_cast<jclass>(stringClass.get())))
    throw JVMException("JStringHelper: the object is not a java.lang.String");
  return detail::stringUnits(static_cast<jstring>(str));
}

CSmartString detail::stringUnits(jstring string) {
  const jsize length = JNIEnvHelper::GetStringLength(string);
  const jchar* chars = JNIEnvHelper::GetStringCritical(string, nullptr);
  CSmartString text;
  try {
    text = CSmartString(chars, static_cast<unsigned int>(length));
  } catch (...) {
    JNIEnvHelper::ReleaseStringCritical(string, chars);
    throw;
  }
  JNIEnvHelper::ReleaseStringCritical(string, chars);
  return text;
}

}  // namespace jni_helpers

using jni_helpers::GlobalRefHolder;

JObject_t::JObject_t() : m_pHolder(nullptr) {}

JObject_t::JObject_t(const jobject obj) : m_pHolder(jni_helpers::holderFor(obj)) {}

JObject_t::JObject_t(const JObject_t& other) : m_pHolder(other.m_pHolder) {
  if (m_pHolder != nullptr) m_pHolder->count.fetch_add(1, std::memory_order_relaxed);
}

JObject_t::~JObject_t() { release(); }

JObject_t& JObject_t::operator=(const JObject_t& other) {
  Assign(other);
  return *this;
}

void JObject_t::Assign(const JObject_t& other) {
  if (m_pHolder == other.m_pHolder) return;
  GlobalRefHolder* holder = other.m_pHolder;
  if (holder != nullptr) holder->count.fetch_add(1, std::memory_order_relaxed);
  release();
  m_pHolder = holder;
}

void JObject_t::Assign(const jobject obj) {
  GlobalRefHolder* holder = nullptr;
  try {
    holder = jni_helpers::holderFor(obj);
  } catch (...) {
    release();
    throw;
  }
  release();
  m_pHolder = holder;
}

void JObject_t::AssignResult(jobject local) {
  GlobalRefHolder* holder = nullptr;
  if (local != nullptr) {
    // Nothing is pending after the checked call, and making a global reference raises no
    // Java exception: there is nothing to check here.
    JNIEnv* env = JNIEnvHelper::getEnv();
    jobject ref = env->NewGlobalRef(local);
    env->DeleteLocalRef(local);
    if (ref != nullptr) {
      try {
        holder = new GlobalRefHolder(ref);
      } catch (...) {
        jni_helpers::detail::releaseGlobalRef(ref);
        release();
        throw;
      }
    }
  }
  release();
  m_pHolder = holder;
}

JObject_t::operator jobject() const { return m_pHolder != nullptr ? m_pHolder->ref : nullptr; }

bool JObject_t::isNullObject() const { return m_pHolder == nullptr || m_pHolder->ref == nullptr; }

void JObject_t::clear() {
  if (m_pHolder == nullptr) return;
  // Every copy that shares the holder sees the object as null from now on.
  m_pHolder->ref = nullptr;
  release();
}

void JObject_t::release() {
  GlobalRefHolder* holder = m_pHolder;
  m_pHolder = nullptr;
  if (holder != nullptr && holder->count.fetch_sub(1, std::memory_order_acq_rel) == 1) delete holder;
}
