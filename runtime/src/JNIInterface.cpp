// JNIInterface: a C++ object as the peer of a Java object of a generated class whose methods
// forward to native methods. The class is found, or defined from the bytes the generated C++
// class carries; its natives are registered once per VM. The Java object's "peer" field numbers a
// link: the C++ objects that share the Java object, through which its calls reach one of them.
#include "RuntimeInternal.h"

#include "JNIInteface.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace jni_helpers {

namespace {

using detail::LocalRef;

// One lock for the classes defined and registered, and every set-up. Recursive: the Java
// constructor of a delegator may make another JNIInterface on the same thread.
std::recursive_mutex& instanceLock() {
  static std::recursive_mutex* lock = new std::recursive_mutex;
  return *lock;
}

// The classes this library defined, by name (global references). A class defined into a class
// loader of its own cannot be found with FindClass, and cannot be defined twice.
std::map<std::string, jclass>& definedClasses() {
  static std::map<std::string, jclass>* classes = new std::map<std::string, jclass>;
  return *classes;
}

// The classes whose natives are registered, by name, with the VM life they were registered in.
// They stay registered: a Java object that outlives every C++ object of its class still reaches
// its native methods, which tell it that its C++ object is gone.
std::map<std::string, unsigned>& registeredClasses() {
  static std::map<std::string, unsigned>* classes = new std::map<std::string, unsigned>;
  return *classes;
}

const char kCreating[] = "Creating Interface Implementation:\r\n";

// Rethrows the exception being handled as a failure to set an object up.
[[noreturn]] void rethrowAsCreationFailure() {
  try {
    throw;
  } catch (const JVMException& e) {
    throw JVMException(CSmartString(kCreating) + e.getMessage(), e);
  } catch (...) {
    throw JVMException("JNIInterface: System Error");
  }
}

// A new global reference of the class `found` (`name`). Throws when there is no class.
jclass heldClass(jobject found, const CSmartString& name) {
  if (found == nullptr)
    throw JVMException(CSmartString("The class ") + name + CSmartString(" was neither found nor defined"));
  return static_cast<jclass>(JNIEnvHelper::NewGlobalRef(found));
}

// Registers the natives of `clazz` (`key`) unless this VM has them already. Called with the
// instance lock held.
void registerOnce(const std::string& key, jclass clazz, const JNINativeMethod* methods, int count) {
  const unsigned generation = detail::gGeneration.load();
  const auto known = registeredClasses().find(key);
  if (known != registeredClasses().end() && known->second == generation) return;
  detail::registerNatives(clazz, methods, count);
  registeredClasses()[key] = generation;
}

// The class `key` as the library defined it before, or as the VM finds it; a local reference
// or null (nothing left pending).
jclass knownClass(const std::string& key, const CSmartString& name) {
  const auto defined = definedClasses().find(key);
  if (defined != definedClasses().end()) return static_cast<jclass>(JNIEnvHelper::NewLocalRef(defined->second));
  return JNIEnvHelper::FindClass(name);
}

// A base class or interface named in generated class bytes, found as proxies find their
// classes: through the library's loader first, then the VM's.
jclass findBase(const CSmartString& name) {
  if (jclass found = _simple_class_loader::getClass(name)) return found;
  return JNIEnvHelper::FindClass(name);
}

// The class loader to define the class of `bytes` into: the loader of its super class or of
// an interface, whichever is not a boot class, the super class first (the generated class
// must see what it extends or implements). Null for the boot loader: classes under java/, and
// classes whose bases are all boot classes or cannot be found. A local reference.
jobject loaderFor(const std::string& key, const signed char* bytes, int byteCount) {
  if (key.compare(0, 5, "java/") == 0 || bytes == nullptr || byteCount <= 0) return nullptr;
  detail::ClassFileBases bases;
  std::string error;
  if (!detail::readClassFileBases(reinterpret_cast<const unsigned char*>(bytes), static_cast<std::size_t>(byteCount),
                                  bases, error))
    return nullptr;  // DefineClass reports what is wrong with the bytes
  std::vector<std::u16string> candidates;
  if (!bases.superClass.empty()) candidates.push_back(bases.superClass);
  candidates.insert(candidates.end(), bases.interfaces.begin(), bases.interfaces.end());

  LocalRef classClass(JNIEnvHelper::FindClass("java/lang/Class"));
  if (!classClass) return nullptr;
  const jmethodID getClassLoader =
      JNIEnvHelper::GetMethodID(static_cast<jclass>(classClass.get()), "getClassLoader", "()Ljava/lang/ClassLoader;");
  for (const std::u16string& candidate : candidates) {
    LocalRef base(findBase(detail::toSmartString(candidate)));
    if (!base) continue;
    if (jobject loader = JNIEnvHelper::CallObjectMethod(base, getClassLoader)) return loader;
  }
  return nullptr;
}

// A new global reference of `clazz` for a copy. Never throws: null when there is no class or no
// reference could be made.
jclass takeClass(jclass clazz) noexcept {
  if (clazz == nullptr || detail::gVmGone.load()) return nullptr;
  try {
    JNIEnv* env = JNIEnvHelper::getEnv();
    detail::KeepPending keep(env);
    return static_cast<jclass>(env->NewGlobalRef(clazz));
  } catch (...) {
    return nullptr;
  }
}

// --- Links: the C++ objects that share a Java object --------------------------------------------

// A C++ object that shares a Java object, and how many Java calls are inside it now.
struct Sharer {
  const JNIInterface* object;
  long calls;
  bool ending;
};

// The C++ objects that share one Java object, in the order in which they joined: the first one
// that is not ending receives the Java object's calls. Links live in a table and are never freed,
// so that a number a Java object kept is always safe to look up; a link whose last sharer has gone
// starts a new generation, and the numbers of the old one find nothing.
struct Link {
  std::mutex lock;
  std::condition_variable callsLeft;  // a call left an ending object
  std::uint32_t index = 0;            // the place in the table
  std::uint32_t generation = 1;
  std::vector<Sharer> sharers;

  Sharer* find(const JNIInterface* object) {
    for (Sharer& sharer : sharers) {
      if (sharer.object == object) return &sharer;
    }
    return nullptr;
  }
  // The number a Java object holds for the link's present generation: the generation above the
  // place + 1, so that 0 is no link.
  jlong number() const {
    return static_cast<jlong>((static_cast<std::uint64_t>(generation) << 32) | (static_cast<std::uint64_t>(index) + 1));
  }
};

const unsigned kChunkBits = 10;
const std::uint32_t kChunkSize = 1u << kChunkBits;
const std::uint32_t kChunks = 4096;  // up to four million Java objects with C++ peers at a time

// The table: chunks of links, made as they are needed and kept.
std::atomic<Link*> gChunks[kChunks];

struct LinkTable {
  std::mutex lock;
  std::uint32_t made = 0;           // links made so far
  std::vector<std::uint32_t> free;  // places of links without sharers
};

LinkTable& linkTable() {
  static LinkTable* table = new LinkTable;
  return *table;
}

Link* linkAt(std::uint32_t index) {
  if (index >= kChunks * kChunkSize) return nullptr;
  Link* chunk = gChunks[index >> kChunkBits].load(std::memory_order_acquire);
  return chunk != nullptr ? &chunk[index & (kChunkSize - 1)] : nullptr;
}

// A link without sharers. Throws JVMException when the table is full.
Link* freeLink() {
  LinkTable& table = linkTable();
  std::lock_guard<std::mutex> lock(table.lock);
  if (!table.free.empty()) {
    const std::uint32_t index = table.free.back();
    table.free.pop_back();
    return linkAt(index);
  }
  if (table.made == kChunks * kChunkSize) throw JVMException("JNIInterface: too many Java objects with C++ objects");
  const std::uint32_t index = table.made;
  if ((index & (kChunkSize - 1)) == 0) {
    Link* chunk = new Link[kChunkSize];
    for (std::uint32_t i = 0; i < kChunkSize; ++i) chunk[i].index = index + i;
    gChunks[index >> kChunkBits].store(chunk, std::memory_order_release);
  }
  ++table.made;
  return linkAt(index);
}

// Puts a link without sharers back into the table for another Java object. Never throws.
void freeAgain(Link* link) noexcept {
  LinkTable& table = linkTable();
  std::lock_guard<std::mutex> lock(table.lock);
  try {
    table.free.push_back(link->index);
  } catch (...) {
    // The link is not used again.
  }
}

// A link whose one sharer is `object`, for a new Java object.
Link* newLink(const JNIInterface* object) {
  Link* link = freeLink();
  {
    std::lock_guard<std::mutex> lock(link->lock);
    try {
      link->sharers.push_back(Sharer{object, 0, false});
      return link;
    } catch (...) {
    }
  }
  freeAgain(link);
  throw JVMException("JNIInterface: out of memory");
}

// Links the new Java object `object` to `owner`: `slot` (the owner's link) holds the link before
// the object's field "peer" is given the link's number, so that a failure lets it go.
void linkNewObject(const JNIInterface* owner, void*& slot, jobject object, jfieldID peer) {
  Link* link = newLink(owner);
  slot = link;
  JNIEnvHelper::SetLongField(object, peer, link->number());
}

// `object` shares the link's Java object from now on; false when it could not join.
bool join(Link* link, const JNIInterface* object) noexcept {
  if (link == nullptr) return false;
  std::lock_guard<std::mutex> lock(link->lock);
  try {
    link->sharers.push_back(Sharer{object, 0, false});
    return true;
  } catch (...) {
    return false;
  }
}

// `object` no longer shares the link's Java object: new calls go to the next sharer at once, and
// the calls inside `object` are waited for, except the `own` ones of the calling thread. The last
// sharer to go frees the link. Never throws.
void leave(Link* link, const JNIInterface* object, long own) noexcept {
  if (link == nullptr) return;
  {
    std::unique_lock<std::mutex> lock(link->lock);
    Sharer* sharer = link->find(object);
    if (sharer == nullptr) return;
    sharer->ending = true;
    link->callsLeft.wait(lock, [&] { return link->find(object)->calls <= own; });
    link->sharers.erase(link->sharers.begin() + (link->find(object) - link->sharers.data()));
    if (!link->sharers.empty()) return;
    if (++link->generation == 0) link->generation = 1;
  }
  freeAgain(link);
}

// The calls of the calling thread that are inside C++ objects, innermost first.
thread_local JNIInterface::Receiver* tInnermost __attribute__((tls_model("initial-exec"))) = nullptr;

}  // namespace

namespace detail {

void forgetDefinedClasses() noexcept {
  try {
    std::lock_guard<std::recursive_mutex> lock(instanceLock());
    for (auto& entry : definedClasses()) releaseGlobalRef(entry.second);
    definedClasses().clear();
  } catch (...) {
  }
}

}  // namespace detail

JNIInterface::Receiver::Receiver(jlong peer) : m_pObject(nullptr), m_pLink(nullptr), m_pOuter(nullptr) {
  const std::uint64_t number = static_cast<std::uint64_t>(peer);
  const std::uint32_t place = static_cast<std::uint32_t>(number & 0xFFFFFFFFu);
  Link* link = place != 0 ? linkAt(place - 1) : nullptr;
  if (link == nullptr) return;
  std::lock_guard<std::mutex> lock(link->lock);
  if (link->generation != static_cast<std::uint32_t>(number >> 32)) return;
  for (Sharer& sharer : link->sharers) {
    if (!sharer.ending) {
      ++sharer.calls;
      m_pObject = const_cast<JNIInterface*>(sharer.object);
      m_pLink = link;
      m_pOuter = tInnermost;
      tInnermost = this;
      return;
    }
  }
}

JNIInterface::Receiver::~Receiver() {
  if (m_pLink == nullptr) return;
  tInnermost = m_pOuter;
  Link* link = static_cast<Link*>(m_pLink);
  std::lock_guard<std::mutex> lock(link->lock);
  // The object waits in leave() until its calls have left: it is still there.
  Sharer* sharer = link->find(m_pObject);
  if (sharer != nullptr) {
    --sharer->calls;
    if (sharer->ending) link->callsLeft.notify_all();
  }
}

long JNIInterface::Receiver::callsOnThisThread(const JNIInterface* object) {
  long calls = 0;
  for (const Receiver* call = tInnermost; call != nullptr; call = call->m_pOuter) {
    if (call->m_pObject == object) ++calls;
  }
  return calls;
}

JNIInterface::JNIInterface() : m_clazz(nullptr), m_ctorID(nullptr), m_pLink(nullptr) {}

JNIInterface::JNIInterface(const JNIInterface& other)
    : JObject_t(other), m_clazz(nullptr), m_ctorID(other.m_ctorID), m_delegate(other.m_delegate), m_pLink(nullptr) {
  // A class derived from this one initialises the virtual base itself, and may leave it empty.
  JObject_t::Assign(other);
  try {
    m_className = other.m_className;
  } catch (...) {
  }
  m_clazz = takeClass(other.m_clazz);
  if (join(static_cast<Link*>(other.m_pLink), this)) m_pLink = other.m_pLink;
}

JNIInterface& JNIInterface::operator=(const JNIInterface& other) {
  if (this == &other) return *this;
  jclass taken = takeClass(other.m_clazz);
  letGo();
  m_clazz = taken;
  m_className = other.m_className;
  m_ctorID = other.m_ctorID;
  m_delegate = other.m_delegate;
  JObject_t::operator=(other);
  if (join(static_cast<Link*>(other.m_pLink), this)) m_pLink = other.m_pLink;
  return *this;
}

JNIInterface::~JNIInterface() { letGo(); }

void JNIInterface::letGo() {
  leave(static_cast<Link*>(m_pLink), this, Receiver::callsOnThisThread(this));
  m_pLink = nullptr;
  detail::releaseGlobalRef(m_clazz);
  m_clazz = nullptr;
}

void JNIInterface::init(CSmartString className, const JNINativeMethod* methods, int methodCount,
                        const signed char* classBytes, int byteCount) {
  // Not under the lock: the calls inside the object may be set-ups of their own.
  letGo();
  std::lock_guard<std::recursive_mutex> lock(instanceLock());
  try {
    m_className = className;
    const std::string key = detail::jniText(className);
    LocalRef found(knownClass(key, className));
    if (!found) found.reset(getClass(className, classBytes, byteCount));
    JNIEnvHelper::exceptionCheck(0, CSmartString());
    m_clazz = heldClass(found, className);

    m_ctorID = JNIEnvHelper::GetMethodID(m_clazz, "<init>", "()V");
    const jfieldID peer = JNIEnvHelper::GetFieldID(m_clazz, "peer", "J");
    registerOnce(key, m_clazz, methods, methodCount);
    LocalRef object(JNIEnvHelper::NewObject(m_clazz, m_ctorID));
    linkNewObject(this, m_pLink, object, peer);
    Assign(object.get());
  } catch (...) {
    letGo();
    rethrowAsCreationFailure();
  }
}

void JNIInterface::init(JObject_t delegate, CSmartString className, const JNINativeMethod* methods, int methodCount,
                        const signed char* classBytes, int byteCount, CSmartString ctorSignature, jvalue* ctorArgs) {
  try {
    JNIEnvHelper::getEnv();  // a thread without an environment is attached
  } catch (...) {
    rethrowAsCreationFailure();
  }
  if (delegate.isNullObject()) return;
  // Not under the lock: the calls inside the object may be set-ups of their own.
  letGo();
  std::lock_guard<std::recursive_mutex> lock(instanceLock());
  try {
    m_delegate = delegate;
    m_className = className;
    const std::string key = detail::jniText(className);
    LocalRef found(knownClass(key, className));
    if (!found) {
      found.reset(getClass(className, classBytes, byteCount));
      JNIEnvHelper::exceptionCheck(0, CSmartString());
    }
    m_clazz = heldClass(found, className);
    registerOnce(key, m_clazz, methods, methodCount);

    // Calls from the delegated class's constructor find no C++ object yet: the class's own
    // methods run.
    LocalRef object;
    if (ctorArgs != nullptr) {
      m_ctorID = JNIEnvHelper::GetMethodID(m_clazz, "<init>", ctorSignature);
      object.reset(JNIEnvHelper::NewObjectA(m_clazz, m_ctorID, ctorArgs));
    } else {
      m_ctorID = JNIEnvHelper::GetMethodID(m_clazz, "<init>", "()V");
      object.reset(JNIEnvHelper::NewObject(m_clazz, m_ctorID));
    }
    const jfieldID peer = JNIEnvHelper::GetFieldID(m_clazz, "peer", "J");
    linkNewObject(this, m_pLink, object, peer);
    Assign(object.get());
  } catch (...) {
    letGo();
    rethrowAsCreationFailure();
  }
}

JObject_t JNIInterface::getDelegator() { return m_delegate; }

jclass JNIInterface::getClass(CSmartString name, const signed char* classBytes, int byteCount) {
  std::lock_guard<std::recursive_mutex> lock(instanceLock());
  const std::string key = detail::jniText(name);
  LocalRef loader(loaderFor(key, classBytes, byteCount));
  LocalRef defined(JNIEnvHelper::DefineClass(name, loader, classBytes, byteCount));
  if (defined) {
    jclass kept = static_cast<jclass>(JNIEnvHelper::NewGlobalRef(defined));
    if (kept != nullptr) definedClasses()[key] = kept;
    // Proxies of the class may find it now.
    detail::lookupsChanged();
  }
  return static_cast<jclass>(defined.release());
}

}  // namespace jni_helpers
