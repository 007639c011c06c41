// Lookups of generated proxies: classes held by the library for the life of the VM, and member
// IDs cached at the place in the generated code that asks for them.
//
// A place (LookupSite) points at an immutable record of what it found. Records are never freed:
// another thread may be reading one while a newer one takes its place. A class record is good
// while the lookup generation it was made in is current; a member record is good for the class
// it was made for, while the held classes live.
#include "RuntimeInternal.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace jni_helpers {

namespace {

using detail::LocalRef;

// Changes whenever an uncached lookup could find another class than before: the class loader was
// set up, forgotten or given entries, the library defined a class, or the VM ended.
std::atomic<unsigned> gLookupGeneration{1};
// Changes when the held classes are let go (the VM ends): member records made before are stale.
std::atomic<unsigned> gLookupEpoch{1};

struct Record {
  unsigned generation;
  unsigned epoch;
  jclass clazz;
  void* id;
};

struct HeldClass {
  jclass clazz = nullptr;  // global reference
  unsigned generation = 0;
};

struct Cache {
  std::mutex lock;
  std::unordered_map<std::string, HeldClass> classes;
  // Held classes that a later lookup replaced: proxies made before may still use them.
  std::vector<jclass> replaced;
  std::deque<Record> records;
  // The member record of each place and class, so that places used with two classes (made
  // before and after a class path change) do not make a new record on every call.
  std::map<std::pair<const void*, jclass>, const Record*> memberRecords;
};

// Lives as long as the process: threads may still use it while static objects are destroyed.
Cache& cache() {
  static Cache* c = new Cache;
  return *c;
}

// A new record (the cache's lock is held).
const Record* keep(Cache& c, const Record& record) {
  c.records.push_back(record);
  return &c.records.back();
}

// A name (UTF-8) as JNI takes it (modified UTF-8); ASCII text is used as it is.
class JniName {
 public:
  explicit JniName(const char* text) : m_text(text != nullptr ? text : "") {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(m_text); *p != 0; ++p) {
      if (*p >= 0x80) {
        CSmartString wide(m_text);
        m_converted = detail::jniText(wide);
        m_text = m_converted.c_str();
        break;
      }
    }
  }
  JniName(const JniName&) = delete;
  JniName& operator=(const JniName&) = delete;
  const char* c_str() const { return m_text; }

 private:
  const char* m_text;
  std::string m_converted;
};

// The class `name` as proxies find it, uncached: a local reference, or null with nothing pending.
jclass findUncached(const char* name) {
  const CSmartString text(name);
  if (jclass found = _simple_class_loader::getClass(text)) return found;
  return JNIEnvHelper::FindClass(text);
}

// The held class `name` for a lookup that began in `generation`, or null when the class cannot
// be found.
jclass heldClass(const char* name, unsigned generation) {
  Cache& c = cache();
  {
    std::lock_guard<std::mutex> guard(c.lock);
    const auto it = c.classes.find(name);
    if (it != c.classes.end() && it->second.generation == generation) return it->second.clazz;
  }
  // Looked up without the lock: the class loader runs Java code, which may come back here.
  LocalRef found(findUncached(name));
  if (!found) return nullptr;
  JNIEnv* env = JNIEnvHelper::getEnv();
  std::lock_guard<std::mutex> guard(c.lock);
  HeldClass& held = c.classes[name];
  if (held.clazz != nullptr && held.generation > generation)
    return held.clazz;  // a lookup that began later has answered already
  if (held.clazz == nullptr || !env->IsSameObject(held.clazz, found)) {
    jclass ref = static_cast<jclass>(env->NewGlobalRef(found));
    if (ref == nullptr) return nullptr;
    if (held.clazz != nullptr) c.replaced.push_back(held.clazz);
    held.clazz = ref;
  }
  held.generation = generation;
  return held.clazz;
}

// Looks a member of `clazz` up as the checked wrapper `member` does.
template <typename Id>
Id lookupMember(Id (JNIEnv::*get)(jclass, const char*, const char*), const char* member, jclass clazz, const char* name,
                const char* signature) {
  JNIEnv* env = JNIEnvHelper::getEnv();
  if (clazz == nullptr)
    throw JVMException((std::string(member) + ": the class is null (not found: is it on the class path?)").c_str());
  const JniName jniName(name);
  const JniName jniSignature(signature);
  const Id id = (env->*get)(clazz, jniName.c_str(), jniSignature.c_str());
  if (jthrowable thrown = env->ExceptionOccurred()) detail::raisePending(env, thrown, 0, CSmartString());
  return id;
}

}  // namespace

namespace detail {

void lookupsChanged() noexcept { gLookupGeneration.fetch_add(1, std::memory_order_acq_rel); }

void forgetHeldClasses() noexcept {
  Cache& c = cache();
  std::lock_guard<std::mutex> guard(c.lock);
  gLookupEpoch.fetch_add(1, std::memory_order_acq_rel);
  gLookupGeneration.fetch_add(1, std::memory_order_acq_rel);
  for (auto& entry : c.classes) releaseGlobalRef(entry.second.clazz);
  for (jclass clazz : c.replaced) releaseGlobalRef(clazz);
  c.classes.clear();
  c.replaced.clear();
  c.memberRecords.clear();
}

}  // namespace detail

// --- The lookups --------------------------------------------------------------------------

namespace {

// The record a place holds, when it is good for a class lookup now.
inline const Record* classRecord(const std::atomic<const void*>& site) {
  const Record* record = static_cast<const Record*>(site.load(std::memory_order_acquire));
  if (record != nullptr && record->generation == gLookupGeneration.load(std::memory_order_relaxed)) return record;
  return nullptr;
}

// The record a place holds, when it is good for a member of `clazz`.
inline const Record* memberRecord(const std::atomic<const void*>& site, jclass clazz) {
  const Record* record = static_cast<const Record*>(site.load(std::memory_order_acquire));
  if (record != nullptr && record->clazz == clazz && clazz != nullptr &&
      record->epoch == gLookupEpoch.load(std::memory_order_relaxed))
    return record;
  return nullptr;
}

void publish(std::atomic<const void*>& site, const Record& record) {
  Cache& c = cache();
  std::lock_guard<std::mutex> guard(c.lock);
  if (record.epoch != gLookupEpoch.load(std::memory_order_relaxed)) return;  // the held classes went meanwhile
  site.store(keep(c, record), std::memory_order_release);
}

// A static member: the class and the ID, cached at `site`.
template <typename Id>
Id staticMember(std::atomic<const void*>& site, Id (JNIEnv::*get)(jclass, const char*, const char*), const char* member,
                const char* className, const char* name, const char* signature, jclass& clazz) {
  if (const Record* record = classRecord(site)) {
    clazz = record->clazz;
    return static_cast<Id>(record->id);
  }
  const unsigned generation = gLookupGeneration.load(std::memory_order_acquire);
  const unsigned epoch = gLookupEpoch.load(std::memory_order_acquire);
  clazz = className != nullptr ? heldClass(className, generation) : nullptr;
  if (clazz == nullptr && className != nullptr)
    throw JVMException(
        (std::string(member) + ": the class " + className + " is not found (is it on the class path?)").c_str());
  const Id id = lookupMember(get, member, clazz, name, signature);
  publish(site, Record{generation, epoch, clazz, static_cast<void*>(id)});
  return id;
}

// A member of `clazz`, cached at `site`.
template <typename Id>
Id instanceMember(std::atomic<const void*>& site, Id (JNIEnv::*get)(jclass, const char*, const char*),
                  const char* member, jclass clazz, const char* name, const char* signature) {
  if (const Record* record = memberRecord(site, clazz)) return static_cast<Id>(record->id);
  const unsigned epoch = gLookupEpoch.load(std::memory_order_acquire);
  Cache& c = cache();
  if (clazz != nullptr) {
    std::lock_guard<std::mutex> guard(c.lock);
    const auto known = c.memberRecords.find(std::make_pair(static_cast<const void*>(&site), clazz));
    if (known != c.memberRecords.end() && known->second->epoch == epoch) {
      site.store(known->second, std::memory_order_release);
      return static_cast<Id>(known->second->id);
    }
  }
  const Id id = lookupMember(get, member, clazz, name, signature);
  std::lock_guard<std::mutex> guard(c.lock);
  if (epoch == gLookupEpoch.load(std::memory_order_relaxed)) {
    const Record* record = keep(c, Record{0, epoch, clazz, static_cast<void*>(id)});
    c.memberRecords[std::make_pair(static_cast<const void*>(&site), clazz)] = record;
    site.store(record, std::memory_order_release);
  }
  return id;
}

}  // namespace

jclass ProxyLookup::proxyClass(LookupSite& site, const char* className) {
  if (const Record* record = classRecord(site.m_record)) return record->clazz;
  if (className == nullptr) return nullptr;
  const unsigned generation = gLookupGeneration.load(std::memory_order_acquire);
  const unsigned epoch = gLookupEpoch.load(std::memory_order_acquire);
  jclass clazz = heldClass(className, generation);
  if (clazz != nullptr) publish(site.m_record, Record{generation, epoch, clazz, nullptr});
  return clazz;
}

jmethodID ProxyLookup::staticMethod(LookupSite& site, const char* className, const char* name, const char* signature,
                                    jclass& clazz) {
  return staticMember<jmethodID>(site.m_record, &JNIEnv::GetStaticMethodID, "GetStaticMethodID", className, name,
                                 signature, clazz);
}

jfieldID ProxyLookup::staticField(LookupSite& site, const char* className, const char* name, const char* signature,
                                  jclass& clazz) {
  return staticMember<jfieldID>(site.m_record, &JNIEnv::GetStaticFieldID, "GetStaticFieldID", className, name,
                                signature, clazz);
}

jmethodID ProxyLookup::method(LookupSite& site, jclass clazz, const char* name, const char* signature) {
  return instanceMember<jmethodID>(site.m_record, &JNIEnv::GetMethodID, "GetMethodID", clazz, name, signature);
}

jfieldID ProxyLookup::field(LookupSite& site, jclass clazz, const char* name, const char* signature) {
  return instanceMember<jfieldID>(site.m_record, &JNIEnv::GetFieldID, "GetFieldID", clazz, name, signature);
}

}  // namespace jni_helpers
