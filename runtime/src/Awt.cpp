// AWT interop: from a native window to the java.awt.Component that owns it, and back.
//
// On this platform a native window is an X11 window id. The AWT native interface is libjawt.so
// beside the loaded libawt.so, with its entry JAWT_GetAWT; the window of a component is the
// drawable of its drawing surface.
#include "RuntimeInternal.h"

#include "Win32.h"

// After the platform layer: the X11 headers that jawt_md.h includes define short macro names.
#include <jawt.h>
#include <jawt_md.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

namespace jni_helpers {

void* JNIEnvHelper::_hAWT = nullptr;

namespace {

using detail::LocalRef;

// How components are found from windows: not decided yet, through the toolkit's own helper
// method, or through the AWT native interface.
const jint kModeUndecided = 0;
const jint kModeToolkit = 0x10003;
const jint kModeNativeInterface = 0x10004;
std::atomic<jint> gMode{kModeUndecided};

std::mutex gLibrarySearch;

typedef jboolean(JNICALL* GetAwtFn)(JNIEnv* env, JAWT* awt);

// The library of the AWT native interface, found once: libjawt.so beside the loaded libawt.so,
// or libawt.so itself when libjawt.so cannot be loaded; null while AWT is not loaded (nothing
// is loaded to find out).
void* awtLibrary(void*& cached) {
  std::lock_guard<std::mutex> lock(gLibrarySearch);
  if (cached != nullptr) return cached;
  HMODULE awt = GetModuleHandle("awt");
  if (awt == nullptr) return nullptr;
  HMODULE library = nullptr;
  try {
    std::string path(4096, '\0');
    const DWORD length = GetModuleFileName(awt, &path[0], static_cast<DWORD>(path.size()));
    if (length > 0 && length < path.size()) {
      path.resize(length);
      const std::size_t slash = path.rfind('/');
      if (slash != std::string::npos) {
        path.resize(slash + 1);
        path += "libjawt.so";
        library = LoadLibrary(path.c_str());
      }
    }
  } catch (...) {
    library = nullptr;
  }
  cached = library != nullptr ? library : awt;
  return cached;
}

GetAwtFn awtEntry(void* library) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<GetAwtFn>(GetProcAddress(static_cast<HMODULE>(library), "JAWT_GetAWT"));
}

// Decides once whether the toolkit has its own lookup of components by window.
void decideMode() {
  jint expected = kModeUndecided;
  if (!gMode.compare_exchange_strong(expected, kModeNativeInterface)) return;
  JNIEnv* env = JNIEnvHelper::getEnv();
  LocalRef toolkit(JNIEnvHelper::FindClass("sun/awt/SunToolkit"));
  if (!toolkit) return;
  jmethodID lookup = env->GetMethodID(static_cast<jclass>(toolkit.get()), "getComponentFromNativeWindowHandle",
                                      "(I)Ljava/awt/Component;");
  env->ExceptionClear();
  if (lookup != nullptr) gMode.store(kModeToolkit);
}

// The component of a window through the default toolkit's getComponentFromNativeWindowHandle.
jobject componentFromToolkit(long hwnd) {
  LocalRef sunToolkit(JNIEnvHelper::FindClass("sun/awt/SunToolkit"));
  LocalRef toolkitClass(JNIEnvHelper::FindClass("java/awt/Toolkit"));
  if (!sunToolkit || !toolkitClass) return nullptr;
  const jmethodID getDefault = JNIEnvHelper::GetStaticMethodID(static_cast<jclass>(toolkitClass.get()),
                                                               "getDefaultToolkit", "()Ljava/awt/Toolkit;");
  const jmethodID lookup = JNIEnvHelper::GetMethodID(static_cast<jclass>(sunToolkit.get()),
                                                     "getComponentFromNativeWindowHandle", "(I)Ljava/awt/Component;");
  LocalRef toolkit(JNIEnvHelper::CallStaticObjectMethod(static_cast<jclass>(toolkitClass.get()), getDefault));
  if (!toolkit || !JNIEnvHelper::IsInstanceOf(JObject_t(toolkit.get()), static_cast<jclass>(sunToolkit.get())))
    return nullptr;
  return JNIEnvHelper::CallObjectMethod(toolkit, lookup, static_cast<jint>(hwnd));
}

// The window of a component of a JDK 1.1 VM, through its peer's drawing surface.
long handleFromLegacySurface(jobject component) {
  LocalRef surfaceClass(JNIEnvHelper::FindClass("sun/awt/DrawingSurface"));
  LocalRef infoClass(JNIEnvHelper::FindClass("sun/awt/DrawingSurfaceInfo"));
  LocalRef windowsInfoClass(JNIEnvHelper::FindClass("sun/awt/windows/WDrawingSurfaceInfo"));
  LocalRef componentClass(JNIEnvHelper::FindClass("java/awt/Component"));
  if (!surfaceClass || !infoClass || !windowsInfoClass || !componentClass) return 0;
  const jmethodID getInfo = JNIEnvHelper::GetMethodID(static_cast<jclass>(surfaceClass.get()), "getDrawingSurfaceInfo",
                                                      "()Lsun/awt/DrawingSurfaceInfo;");
  const jmethodID getPeer = JNIEnvHelper::GetMethodID(static_cast<jclass>(componentClass.get()), "getPeer",
                                                      "()Ljava/awt/peer/ComponentPeer;");
  const jmethodID lock = JNIEnvHelper::GetMethodID(static_cast<jclass>(infoClass.get()), "lock", "()I");
  const jmethodID unlock = JNIEnvHelper::GetMethodID(static_cast<jclass>(infoClass.get()), "unlock", "()V");
  const jmethodID getHWnd = JNIEnvHelper::GetMethodID(static_cast<jclass>(windowsInfoClass.get()), "getHWnd", "()I");
  JNIEnv* env = JNIEnvHelper::getEnv();
  LocalRef peer(env->CallObjectMethod(component, getPeer));
  env->ExceptionClear();
  if (!peer || !env->IsInstanceOf(peer, static_cast<jclass>(surfaceClass.get()))) return 0;
  LocalRef info(JNIEnvHelper::CallObjectMethod(peer, getInfo));
  if (!info) return 0;
  JNIEnvHelper::CallIntMethod(info, lock);
  long handle = 0;
  try {
    handle = JNIEnvHelper::CallIntMethod(info, getHWnd);
  } catch (...) {
    env->CallVoidMethod(info, unlock);
    throw;
  }
  JNIEnvHelper::CallVoidMethod(info, unlock);
  return handle;
}

// Whether `component` is a java.awt.Component with a native window of its own yet.
bool isDisplayable(jobject component) {
  LocalRef componentClass(JNIEnvHelper::FindClass("java/awt/Component"));
  if (!componentClass) return false;
  const jclass cls = static_cast<jclass>(componentClass.get());
  JNIEnv* env = JNIEnvHelper::getEnv();
  if (!env->IsInstanceOf(component, cls)) return false;
  const jmethodID displayable = JNIEnvHelper::GetMethodID(cls, "isDisplayable", "()Z");
  return JNIEnvHelper::CallBooleanMethod(component, displayable) == JNI_TRUE;
}

// The drawable of the component's drawing surface (the AWT native interface at version 1.3).
long handleFromDrawingSurface(JNIEnv* env, GetAwtFn getAwt, jobject component) {
  JAWT awt;
  std::memset(&awt, 0, sizeof awt);
  awt.version = JAWT_VERSION_1_3;
  if (getAwt(env, &awt) == JNI_FALSE || awt.GetDrawingSurface == nullptr) return 0;
  JAWT_DrawingSurface* surface = awt.GetDrawingSurface(env, component);
  if (surface == nullptr) return 0;
  long handle = 0;
  const jint locked = surface->Lock(surface);
  if ((locked & JAWT_LOCK_ERROR) == 0) {
    if (JAWT_DrawingSurfaceInfo* info = surface->GetDrawingSurfaceInfo(surface)) {
      if (info->platformInfo != nullptr)
        handle = static_cast<long>(static_cast<JAWT_X11DrawingSurfaceInfo*>(info->platformInfo)->drawable);
      surface->FreeDrawingSurfaceInfo(info);
    }
    surface->Unlock(surface);
  }
  awt.FreeDrawingSurface(surface);
  return handle;
}

}  // namespace

jobject JNIEnvHelper::getComponentFromNative(long hwnd) {
  const jint version = GetVersion();
  if (version <= JNI_VERSION_1_2) return hwnd != 0 ? componentFromToolkit(hwnd) : nullptr;

  LocalRef system(FindClass("java/lang/System"));
  if (!system) return nullptr;
  GetAwtFn getAwt = awtEntry(awtLibrary(_hAWT));
  if (hwnd == 0 || getAwt == nullptr) return nullptr;
  decideMode();
  if (gMode.load() == kModeToolkit) return componentFromToolkit(hwnd);

  JNIEnv* env = getEnv();
  JAWT awt;
  std::memset(&awt, 0, sizeof awt);
  awt.version = JAWT_VERSION_1_4;
  if (getAwt(env, &awt) == JNI_FALSE || awt.GetComponent == nullptr) {
    env->ExceptionClear();
    return nullptr;
  }
  jobject component = awt.GetComponent(env, reinterpret_cast<void*>(static_cast<std::intptr_t>(hwnd)));
  // A window that belongs to no component: the native interface raises an exception.
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    if (component != nullptr) env->DeleteLocalRef(component);
    return nullptr;
  }
  return component;
}

long JNIEnvHelper::getNativeFromComponent(jobject component) {
  if (component == nullptr) return 0;
  const jint version = GetVersion();
  if (version == JNI_VERSION_1_1) return handleFromLegacySurface(component);

  JNIEnv* env = getEnv();
  LocalRef sunToolkit(FindClass("sun/awt/SunToolkit"));
  jmethodID fromComponent = nullptr;
  if (sunToolkit) {
    fromComponent = env->GetMethodID(static_cast<jclass>(sunToolkit.get()), "getNativeWindowHandleFromComponent",
                                     "(Ljava/awt/Component;)I");
  }
  if (fromComponent != nullptr) {
    const jmethodID getDefault =
        GetStaticMethodID(static_cast<jclass>(sunToolkit.get()), "getDefaultToolkit", "()Ljava/awt/Toolkit;");
    LocalRef toolkit(CallStaticObjectMethod(static_cast<jclass>(sunToolkit.get()), getDefault));
    return toolkit ? CallIntMethod(toolkit, fromComponent, component) : 0;
  }
  env->ExceptionClear();

  LocalRef system(FindClass("java/lang/System"));
  // A component without a native window yet has no drawing surface to ask.
  if (!system || !isDisplayable(component)) return 0;
  GetAwtFn getAwt = awtEntry(awtLibrary(_hAWT));
  if (getAwt == nullptr) return 0;
  MonitorEnter(component);
  long handle = 0;
  try {
    handle = handleFromDrawingSurface(env, getAwt, component);
  } catch (...) {
    MonitorExit(component);
    throw;
  }
  MonitorExit(component);
  return handle;
}

}  // namespace jni_helpers
