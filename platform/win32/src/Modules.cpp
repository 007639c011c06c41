// Module loading over the dynamic linker.
//
// A name without a folder is looked up the way the dynamic linker looks it up. When it is
// not found as given, the Windows spellings are tried in their Linux form: "jvm.dll" and
// "jvm" also as "libjvm.so" (and "jvm.so").
#include "Internal.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

thread_local std::string tLoadError;

void noteLoadError(DWORD code, const std::string& text) {
  tLoadError = text;
  SetLastError(code);
}

std::string dlText() {
  const char* e = dlerror();
  return e != nullptr ? std::string(e) : std::string();
}

bool endsWithNoCase(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && win32::detail::fold(text.substr(text.size() - suffix.size())) == suffix;
}

// The names tried for `name`, the name as given first.
std::vector<std::string> candidates(const std::string& name) {
  std::vector<std::string> names{name};
  if (name.find('/') != std::string::npos) return names;
  std::string stem;
  if (endsWithNoCase(name, ".dll")) {
    stem = name.substr(0, name.size() - 4);
  } else if (name.find('.') == std::string::npos) {
    stem = name;
  } else {
    return names;
  }
  if (stem.empty()) return names;
  if (stem.compare(0, 3, "lib") != 0) names.push_back("lib" + stem + ".so");
  names.push_back(stem + ".so");
  return names;
}

HMODULE open(const std::string& name, int flags, std::string& error) {
  for (const std::string& candidate : candidates(name)) {
    dlerror();
    if (void* handle = dlopen(candidate.c_str(), flags)) return static_cast<HMODULE>(handle);
    if (error.empty()) error = dlText();
  }
  return nullptr;
}

}  // namespace

HMODULE LoadLibrary(LPCSTR path) {
  if (path == nullptr || *path == '\0') {
    noteLoadError(ERROR_INVALID_PARAMETER, "LoadLibrary: no module name");
    return nullptr;
  }
  std::string error;
  HMODULE module = open(path, RTLD_NOW | RTLD_LOCAL, error);
  if (module == nullptr) {
    noteLoadError(ERROR_MOD_NOT_FOUND, error.empty() ? std::string("cannot load ") + path : error);
  }
  return module;
}

HMODULE GetModuleHandle(LPCSTR name) {
  if (name == nullptr) {
    // The program itself, which stays loaded: the reference just taken is given back.
    void* self = dlopen(nullptr, RTLD_NOW);
    if (self != nullptr) dlclose(self);
    return static_cast<HMODULE>(self);
  }
  std::string error;
  HMODULE module = open(name, RTLD_NOW | RTLD_NOLOAD, error);
  if (module == nullptr) {
    noteLoadError(ERROR_MOD_NOT_FOUND, error.empty() ? std::string(name) + " is not loaded" : error);
    return nullptr;
  }
  // RTLD_NOLOAD still counts a reference; the module was loaded before and stays loaded.
  dlclose(module);
  return module;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module == nullptr || name == nullptr) {
    noteLoadError(module == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER,
                  "GetProcAddress: no module or no name");
    return nullptr;
  }
  dlerror();
  void* symbol = dlsym(module, name);
  const std::string error = dlText();
  if (symbol == nullptr) {
    noteLoadError(ERROR_PROC_NOT_FOUND, error.empty() ? std::string("symbol ") + name + " is null" : error);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (dlclose(module) != 0) {
    noteLoadError(ERROR_INVALID_HANDLE, dlText());
    return FALSE;
  }
  return TRUE;
}

DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size) {
  std::string path;
  struct link_map* map = nullptr;
  if (module != nullptr) {
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
      noteLoadError(ERROR_INVALID_HANDLE, dlText());
      return 0;
    }
    path = map->l_name != nullptr ? map->l_name : "";
  }
  if (path.empty()) {  // the program itself
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return win32::detail::failWithErrno(errno, static_cast<DWORD>(0));
    path.assign(exe, static_cast<size_t>(n));
  }
  if (buffer == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() + 1 > size) {
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

namespace win32 {

std::string lastLoadError() { return tLoadError; }

}  // namespace win32
