// _simple_class_loader: the library's own class loader, an instance of CustClassLdr1234567890
// (a java.net.URLClassLoader that looks in its own entries first), whose class file the library
// carries and defines in the VM itself.
#include "RuntimeInternal.h"

#include "Win32.h"

#include <cstdio>
#include <memory>
#include <set>
#include <string>

namespace jni_helpers {

namespace detail {
// The loader class's file, compiled with the library.
extern const unsigned char kLoaderClassBytes[];
extern const unsigned long kLoaderClassBytesSize;
}  // namespace detail

namespace {

using detail::LocalRef;

const char kLoaderClassName[] = "CustClassLdr1234567890";
const char kLoadClassSignature[] = "(Ljava/lang/String;)Ljava/lang/Class;";

// Entries given while no loader exists; handed to the loader when it is made.
std::set<CSmartString> gClassPath;
jclass gLoaderClass = nullptr;    // global reference
jobject gLoaderObject = nullptr;  // global reference
// The URL array the loader was made with; kept while the loader lives.
JObjectArrayHelper* gUrlArray = nullptr;
jmethodID gLoadClass = nullptr;

// Makes java.net.URL objects of class path entries: new java.io.File(entry).toURI().toURL(),
// absolute, and with a trailing "/" for an existing directory.
class UrlFactory {
 public:
  // False when the classes are missing.
  bool open() {
    m_urlClass.reset(JNIEnvHelper::FindClass("java/net/URL"));
    m_fileClass.reset(JNIEnvHelper::FindClass("java/io/File"));
    m_uriClass.reset(JNIEnvHelper::FindClass("java/net/URI"));
    if (!m_urlClass || !m_fileClass || !m_uriClass) return false;
    m_fileInit = JNIEnvHelper::GetMethodID(static_cast<jclass>(m_fileClass.get()), "<init>", "(Ljava/lang/String;)V");
    m_toUri = JNIEnvHelper::GetMethodID(static_cast<jclass>(m_fileClass.get()), "toURI", "()Ljava/net/URI;");
    m_toUrl = JNIEnvHelper::GetMethodID(static_cast<jclass>(m_uriClass.get()), "toURL", "()Ljava/net/URL;");
    return true;
  }

  // A new array of the URLs of `entries`, in their order.
  template <typename Entries>
  std::unique_ptr<JObjectArrayHelper> array(const Entries& entries) {
    std::unique_ptr<JObjectArrayHelper> urls(
        new JObjectArrayHelper(static_cast<jsize>(entries.size()), "java/net/URL"));
    const jsize length = urls->length();
    jsize index = 0;
    for (const auto& entry : entries) {
      LocalRef url(make(text(entry)));
      if (url && index < length) urls->setElement(index++, url);
    }
    return urls;
  }

 private:
  static const CSmartString& text(const CSmartString& entry) { return entry; }
  static CSmartString text(const std::string& entry) { return CSmartString(entry.c_str()); }

  jobject make(const CSmartString& entry) {
    JStringHelper path(entry);
    LocalRef file(
        JNIEnvHelper::NewObject(static_cast<jclass>(m_fileClass.get()), m_fileInit, static_cast<jobject>(path)));
    LocalRef uri(JNIEnvHelper::CallObjectMethod(file, m_toUri));
    return JNIEnvHelper::CallObjectMethod(uri, m_toUrl);
  }

  LocalRef m_urlClass;
  LocalRef m_fileClass;
  LocalRef m_uriClass;
  jmethodID m_fileInit = nullptr;
  jmethodID m_toUri = nullptr;
  jmethodID m_toUrl = nullptr;
};

// Deletes the loader's references (only forgets them on a thread without an environment).
void dropLoader() {
  const bool haveEnv = JNIEnvHelper::isInitialized();
  if (gUrlArray != nullptr) {
    if (!haveEnv) gUrlArray->clear();
    delete gUrlArray;
    gUrlArray = nullptr;
  }
  if (haveEnv) {
    JNIEnvHelper::DeleteGlobalRef(gLoaderObject);
    JNIEnvHelper::DeleteGlobalRef(gLoaderClass);
  }
  gLoaderObject = nullptr;
  gLoaderClass = nullptr;
  gLoadClass = nullptr;
  detail::lookupsChanged();
}

// The message box of a loader failure: recorded in the message-box journal (it never waits for
// anyone) and written to the error stream.
void reportLoaderError(const CSmartString& message) {
  const char* text = message;
  MessageBox(nullptr, text != nullptr ? text : "", "Class Loader Error", MB_OK);
  std::fprintf(stderr, "Class Loader Error: %s\n", text != nullptr ? text : "");
  std::fflush(stderr);
}

// The entries of a list separated by ';' or ':', sorted, each once; empty ones dropped.
std::set<std::string> splitEntries(const CSmartString& list) {
  std::set<std::string> entries;
  const char* text = list;
  if (text == nullptr) return entries;
  std::string entry;
  for (const char* p = text;; ++p) {
    if (*p == ';' || *p == ':' || *p == '\0') {
      if (!entry.empty()) entries.insert(entry);
      entry.clear();
      if (*p == '\0') break;
    } else {
      entry.push_back(*p);
    }
  }
  return entries;
}

}  // namespace

bool _simple_class_loader::init() {
  return init(kLoaderClassName, reinterpret_cast<const jbyte*>(detail::kLoaderClassBytes),
              static_cast<long>(detail::kLoaderClassBytesSize));
}

bool _simple_class_loader::init(CSmartString className, const jbyte* bytes, long length) {
  if (gLoaderClass != nullptr) return true;
  // Set only once everything succeeded: a failed init leaves no half-made loader behind.
  jclass loaderClass = nullptr;
  jobject loaderObject = nullptr;
  try {
    dropLoader();
    // The working directory when no entry was given; an init that fails keeps it out of
    // the entries that wait for the next one.
    std::set<CSmartString> entries = gClassPath;
    if (entries.empty()) entries.insert(CSmartString("."));

    UrlFactory factory;
    if (!factory.open()) return false;
    std::unique_ptr<JObjectArrayHelper> urls = factory.array(entries);

    LocalRef found(JNIEnvHelper::FindClass(className));
    if (!found) {
      // Defined into an empty URL class loader whose parent is the system class loader.
      LocalRef urlLoaderClass(JNIEnvHelper::FindClass("java/net/URLClassLoader"));
      if (!urlLoaderClass) return false;
      const jclass cls = static_cast<jclass>(urlLoaderClass.get());
      const jmethodID newInstance =
          JNIEnvHelper::GetStaticMethodID(cls, "newInstance", "([Ljava/net/URL;)Ljava/net/URLClassLoader;");
      JObjectArrayHelper none(0, "java/net/URL");
      LocalRef host(JNIEnvHelper::CallStaticObjectMethod(cls, newInstance, static_cast<jobject>(none)));
      // Unchecked: a failure leaves its Java exception pending for the caller.
      found.reset(JNIEnvHelper::DefineClass(className, host, bytes, static_cast<jsize>(length)));
      if (!found) return false;
    }
    const jclass cls = static_cast<jclass>(found.get());
    const jmethodID construct = JNIEnvHelper::GetMethodID(cls, "<init>", "([Ljava/net/URL;)V");
    const jmethodID loadClass = JNIEnvHelper::GetMethodID(cls, "loadClass", kLoadClassSignature);
    LocalRef object(JNIEnvHelper::NewObject(cls, construct, static_cast<jobject>(*urls)));
    if (!object) return false;
    loaderClass = static_cast<jclass>(JNIEnvHelper::NewGlobalRef(cls));
    loaderObject = JNIEnvHelper::NewGlobalRef(object);

    gLoaderClass = loaderClass;
    gLoaderObject = loaderObject;
    gUrlArray = urls.release();
    gLoadClass = loadClass;
    gClassPath.clear();  // the entries live in the loader now
    detail::lookupsChanged();
    return true;
  } catch (const JVMException& e) {
    if (JNIEnv* env = detail::currentEnv()) {
      env->ExceptionClear();
      if (loaderObject != nullptr) env->DeleteGlobalRef(loaderObject);
      if (loaderClass != nullptr) env->DeleteGlobalRef(loaderClass);
    }
    gClassPath.clear();
    const CSmartString message = e.getMessage();
    reportLoaderError(message);
    throw JVMException(message, e);
  }
}

bool _simple_class_loader::init(jclass loaderClass, jobject loaderObject) {
  dropLoader();
  if (loaderClass != nullptr) gLoaderClass = static_cast<jclass>(JNIEnvHelper::NewGlobalRef(loaderClass));
  if (loaderObject != nullptr) gLoaderObject = JNIEnvHelper::NewGlobalRef(loaderObject);
  detail::lookupsChanged();
  return gLoaderClass != nullptr && gLoaderObject != nullptr;
}

void _simple_class_loader::deinit() { dropLoader(); }

bool _simple_class_loader::isInitialized() { return gLoaderClass != nullptr && gLoaderObject != nullptr; }

jclass _simple_class_loader::getLoaderClass() { return gLoaderClass; }

jobject _simple_class_loader::getLoaderObject() { return gLoaderObject; }

void _simple_class_loader::addClassPath(CSmartString pathList) {
  const std::set<std::string> entries = splitEntries(pathList);
  if (!isInitialized()) {
    for (const std::string& entry : entries) gClassPath.insert(CSmartString(entry.c_str()));
    return;
  }
  if (entries.empty()) return;
  jmethodID addUrls = nullptr;
  try {
    addUrls = JNIEnvHelper::GetMethodID(gLoaderClass, "addURLs", "([Ljava/net/URL;)V");
  } catch (const JVMException&) {
    // An adopted loader without addURLs takes no entries.
    return;
  }
  UrlFactory factory;
  if (!factory.open()) return;
  std::unique_ptr<JObjectArrayHelper> urls = factory.array(entries);
  try {
    JNIEnvHelper::CallVoidMethod(gLoaderObject, addUrls, static_cast<jobject>(*urls));
  } catch (const JVMException&) {
    // The loader refused them: they are not added.
  }
  // A class the loader's parent gave before may now come from the new entries.
  detail::lookupsChanged();
}

jclass _simple_class_loader::getClass(CSmartString className) {
  if (!isInitialized()) return nullptr;
  JNIEnv* env = JNIEnvHelper::getEnv();
  try {
    jmethodID loadClass = gLoadClass;
    if (loadClass == nullptr) loadClass = JNIEnvHelper::GetMethodID(gLoaderClass, "loadClass", kLoadClassSignature);
    JStringHelper name(className);
    // A class the loader cannot give is an ordinary answer here: the exception is dropped
    // without rendering its stack trace.
    jobject found = env->CallObjectMethod(gLoaderObject, loadClass, static_cast<jobject>(name));
    if (env->ExceptionCheck()) {
      env->ExceptionClear();
      if (found != nullptr) env->DeleteLocalRef(found);
      return nullptr;
    }
    return static_cast<jclass>(found);
  } catch (const JVMException&) {
    env->ExceptionClear();
    return nullptr;
  }
}

}  // namespace jni_helpers
