// The host: its automation objects (application, project, configurations), and the loading,
// connection, commands and unloading of an add-in.
#include "ComServer.h"
#include "DevStudioHost.h"
#include "Registry.h"

#include <limits.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace devstudio {

struct Host::State {
  std::recursive_mutex mutex;
  std::shared_ptr<Project> project;
  std::vector<std::string> journal;
  std::function<void(const std::string&)> sink;
  std::vector<Command> commands;
  IDispatch* commandDispatch = nullptr;  // the add-in's command object, from SetAddInInfo
  IDSAddIn* addIn = nullptr;
  IApplication* application = nullptr;  // the host's own reference
  CLSID addInClass = CLSID_NULL;
  std::string library;
  LONG cookie = 0;  // of the add-in being connected or connected; 0 for none
  LONG nextCookie = 1;
  bool connected = false;
  bool modeless = true;
  std::atomic<int> liveObjects{0};

  void note(const std::string& line) {
    journal.push_back(line);
    if (sink) sink(line);
  }
};

namespace {

using State = Host::State;

const char* const kAddInsKey = "Software\\DSHost\\AddIns\\";

std::string hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

std::string addInKey(REFCLSID clsid) { return kAddInsKey + com::guidToString(clsid); }

bool hasLineBreak(const std::string& text) {
  return text.find('\n') != std::string::npos || text.find('\r') != std::string::npos;
}

HRESULT fail(HRESULT hr, const std::string& description) {
  return com::reportError(hr, description, "Developer Studio");
}

// An automation object of the host: answers IDispatch by its interface alone (no methods are
// called by name), and is counted among the host's live objects, so that references an add-in
// keeps are seen.
template <class Self, class Interface>
class HostObject : public com::DispatchObject<Self, Interface> {
 public:
  static const com::DispatchMethod<Self>* dispatchMethods() {
    static const com::DispatchMethod<Self> none[] = {{nullptr, 0, nullptr}};
    return none;
  }

 protected:
  explicit HostObject(std::shared_ptr<State> state) : state_(std::move(state)) { ++state_->liveObjects; }
  ~HostObject() { --state_->liveObjects; }

  // The length of one of the project's lists, read under the host's lock.
  template <class List>
  HRESULT countOf(List Project::*list, LONG* count) {
    if (count == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    *count = static_cast<LONG>(((*state_->project).*list).size());
    return S_OK;
  }

  std::shared_ptr<State> state_;
};

template <class T, class Interface>
HRESULT hand(T* object, Interface** out) {
  object->AddRef();
  *out = object;
  return S_OK;
}

class ConfigurationObject : public HostObject<ConfigurationObject, IConfiguration> {
 public:
  ConfigurationObject(std::shared_ptr<State> state, size_t index) : HostObject(std::move(state)), index_(index) {}

  HRESULT AddToolSettings(BSTR tool, BSTR settings, VARIANT) override {
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    const std::string toolName = com::fromBstr(tool);
    const std::string setting = com::fromBstr(settings);
    if (toolName.empty() || toolName.find_first_of(" \t\r\n") != std::string::npos) {
      return fail(E_INVALIDARG, "\"" + toolName + "\" is not a tool name");
    }
    if (setting.empty() || hasLineBreak(setting)) {
      return fail(E_INVALIDARG, "A tool setting must be one line of text");
    }
    Configuration& c = state_->project->configurations[index_];
    const bool added = c.addSetting(toolName, setting);
    state_->project->modified |= added;
    state_->note("AddToolSettings \"" + c.name + "\" " + toolName + " " + setting +
                 (added ? "" : " (already present)"));
    return S_OK;
  }

 private:
  size_t index_;
};

class ConfigurationsObject : public HostObject<ConfigurationsObject, IConfigurations> {
 public:
  explicit ConfigurationsObject(std::shared_ptr<State> state) : HostObject(std::move(state)) {}

  HRESULT get_Count(LONG* count) override { return countOf(&Project::configurations, count); }
  HRESULT Item(VARIANT index, IConfiguration** configuration) override {
    if (configuration == nullptr) return E_POINTER;
    *configuration = nullptr;
    LONG n = 0;
    if (index.vt == VT_I4) {
      n = index.lVal;
    } else if (index.vt == VT_I2) {
      n = index.iVal;
    } else {
      return fail(DISP_E_TYPEMISMATCH, "A configuration is chosen by its number");
    }
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    const LONG count = static_cast<LONG>(state_->project->configurations.size());
    if (n < 1 || n > count) {
      return fail(DISP_E_BADINDEX, "There is no configuration " + std::to_string(n) + " (the project has " +
                                       std::to_string(count) + ")");
    }
    return hand(new ConfigurationObject(state_, static_cast<size_t>(n - 1)), configuration);
  }
};

class BuildProjectObject : public HostObject<BuildProjectObject, IBuildProject> {
 public:
  explicit BuildProjectObject(std::shared_ptr<State> state) : HostObject(std::move(state)) {}

  HRESULT get_FullName(BSTR* fullName) override {
    if (fullName == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    *fullName = com::allocBstr(state_->project->fullName);
    return *fullName != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT AddFile(BSTR file, VARIANT) override {
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    const std::string path = com::fromBstr(file);
    if (path.empty() || hasLineBreak(path) || path.find('\0') != std::string::npos) {
      return fail(E_INVALIDARG, "\"" + path + "\" is not a file name");
    }
    const bool added = state_->project->addFile(path);
    state_->project->modified |= added;
    state_->note("AddFile " + path + (added ? "" : " (already in the project)"));
    return S_OK;
  }
  HRESULT RemoveFile(BSTR file, VARIANT) override {
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    const std::string path = com::fromBstr(file);
    const bool removed = state_->project->removeFile(path);
    state_->project->modified |= removed;
    state_->note("RemoveFile " + path + (removed ? "" : " (not in the project)"));
    return removed ? S_OK : S_FALSE;
  }
  HRESULT get_Configurations(IConfigurations** configurations) override {
    if (configurations == nullptr) return E_POINTER;
    return hand(new ConfigurationsObject(state_), configurations);
  }
  HRESULT get_FileCount(LONG* count) override { return countOf(&Project::files, count); }
  HRESULT FileName(LONG index, BSTR* file) override {
    if (file == nullptr) return E_POINTER;
    *file = nullptr;
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    const std::vector<std::string>& files = state_->project->files;
    if (index < 1 || static_cast<size_t>(index) > files.size()) {
      return fail(DISP_E_BADINDEX, "There is no file " + std::to_string(index) + " (the project has " +
                                       std::to_string(files.size()) + ")");
    }
    *file = com::allocBstr(files[static_cast<size_t>(index - 1)]);
    return *file != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT Save() override {
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    Project& project = *state_->project;
    if (!project.modified) return S_OK;
    std::string error;
    if (!project.save(error)) {
      state_->note("Save failed: " + error);
      return fail(E_FAIL, error);
    }
    project.modified = false;
    state_->note("Save " + project.path);
    return S_OK;
  }
};

// The toolbar buttons the registry keeps for an add-in.
std::vector<std::string> storedButtons(REFCLSID clsid) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  const std::string path = addInKey(clsid) + "\\Buttons";
  if (RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return names;
  }
  for (DWORD i = 0;; ++i) {
    char name[1024];
    DWORD size = sizeof name;
    if (RegEnumValue(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.push_back(name);
  }
  RegCloseKey(key);
  return names;
}

LONG storeButton(REFCLSID clsid, const std::string& command, LONG type) {
  HKEY key = nullptr;
  const std::string path = addInKey(clsid) + "\\Buttons";
  LONG rc = RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  const DWORD value = static_cast<DWORD>(type);
  rc = RegSetValueEx(key, command.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
  return rc;
}

class ApplicationObject : public HostObject<ApplicationObject, IApplication> {
 public:
  explicit ApplicationObject(std::shared_ptr<State> state) : HostObject(std::move(state)) {}

  HRESULT get_ActiveProject(IDispatch** project) override {
    if (project == nullptr) return E_POINTER;
    *project = nullptr;
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    if (!state_->project) return S_OK;
    return hand(static_cast<IDispatch*>(new BuildProjectObject(state_)), project);
  }

  HRESULT SetAddInInfo(LONG_PTR instance, IDispatch* commandDispatch, LONG bitmapMedium, LONG bitmapLarge,
                       LONG cookie) override {
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    if (HRESULT hr = checkCookie(cookie); FAILED(hr)) return hr;
    if (commandDispatch == nullptr) return fail(E_POINTER, "SetAddInInfo needs the command object");
    commandDispatch->AddRef();
    if (state_->commandDispatch != nullptr) state_->commandDispatch->Release();
    state_->commandDispatch = commandDispatch;
    state_->note("SetAddInInfo module=" + std::string(instance != 0 ? "set" : "none") +
                 " bitmaps=" + std::to_string(bitmapMedium) + "," + std::to_string(bitmapLarge));
    return S_OK;
  }

  HRESULT AddCommand(BSTR command, BSTR method, LONG bitmapOffset, LONG cookie, VARIANT_BOOL* added) override {
    if (added == nullptr) return E_POINTER;
    *added = VARIANT_FALSE;
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    if (HRESULT hr = checkCookie(cookie); FAILED(hr)) return hr;
    if (state_->commandDispatch == nullptr) {
      return fail(E_UNEXPECTED, "AddCommand before SetAddInInfo");
    }
    const std::string text = com::fromBstr(command);
    const std::string name = text.substr(0, text.find('\n'));
    const std::string methodName = com::fromBstr(method);
    if (name.empty() || methodName.empty()) {
      return fail(E_INVALIDARG, "A command needs a name and a method");
    }
    // The command object must know the method, or the command could never run.
    std::u16string wide = com::toUtf16(methodName);
    LPOLESTR names[] = {&wide[0]};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(state_->commandDispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
      state_->note("AddCommand " + name + " refused: the command object has no method " + methodName);
      return S_OK;
    }
    const Command made{name, text, methodName, bitmapOffset};
    bool replaced = false;
    for (Command& c : state_->commands) {
      if (c.name == name) {
        c = made;
        replaced = true;
      }
    }
    if (!replaced) state_->commands.push_back(made);
    state_->note("AddCommand " + name + " method=" + methodName + " glyph=" + std::to_string(bitmapOffset));
    *added = VARIANT_TRUE;
    return S_OK;
  }

  HRESULT AddCommandBarButton(LONG buttonType, BSTR commandName, LONG cookie) override {
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    if (HRESULT hr = checkCookie(cookie); FAILED(hr)) return hr;
    const std::string name = com::fromBstr(commandName);
    if (buttonType != dsGlyph && buttonType != dsText) {
      return fail(E_INVALIDARG, "Unknown button type " + std::to_string(buttonType));
    }
    bool known = false;
    for (const Command& c : state_->commands) known |= c.name == name;
    if (!known) return fail(E_INVALIDARG, "No command named \"" + name + "\" was added");
    const std::vector<std::string> buttons = storedButtons(state_->addInClass);
    bool present = false;
    for (const std::string& b : buttons) present |= b == name;
    if (!present) {
      if (LONG rc = storeButton(state_->addInClass, name, buttonType)) {
        return fail(HRESULT_FROM_WIN32(rc), "Cannot record the toolbar button: registry error " + std::to_string(rc));
      }
    }
    state_->note("AddCommandBarButton " + name + " type=" + std::to_string(buttonType) +
                 (present ? " (already present)" : ""));
    return S_OK;
  }

  HRESULT EnableModeless(VARIANT_BOOL enable) override {
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    state_->modeless = enable != VARIANT_FALSE;
    state_->note(std::string("EnableModeless ") + (state_->modeless ? "true" : "false"));
    return S_OK;
  }

 private:
  HRESULT checkCookie(LONG cookie) {
    if (state_->cookie == 0 || cookie != state_->cookie) {
      return fail(E_INVALIDARG, "Cookie " + std::to_string(cookie) + " names no connected add-in");
    }
    return S_OK;
  }
};

std::string realPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// The classes whose InprocServer32 names `library`.
std::vector<CLSID> classesServedBy(const std::string& library) {
  std::vector<CLSID> found;
  HKEY clsidKey = nullptr;
  if (RegOpenKeyEx(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &clsidKey) != ERROR_SUCCESS) {
    return found;
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD size = sizeof name;
    if (RegEnumKeyEx(clsidKey, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    CLSID clsid{};
    if (!com::guidFromString(name, &clsid)) continue;
    HKEY server = nullptr;
    const std::string sub = std::string(name) + "\\InprocServer32";
    if (RegOpenKeyEx(clsidKey, sub.c_str(), 0, KEY_READ, &server) != ERROR_SUCCESS) continue;
    char value[PATH_MAX + 1] = {};
    DWORD valueSize = sizeof value - 1;
    const LONG rc = RegQueryValueEx(server, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(value), &valueSize);
    RegCloseKey(server);
    if (rc == ERROR_SUCCESS && realPath(value) == library) found.push_back(clsid);
  }
  RegCloseKey(clsidKey);
  return found;
}

}  // namespace

Host::Host(std::shared_ptr<Project> project) : state_(std::make_shared<State>()) {
  state_->project = std::move(project);
}

Host::~Host() {
  unloadAddIn();
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  if (state_->application != nullptr) {
    state_->application->Release();
    state_->application = nullptr;
  }
}

void Host::setJournalSink(std::function<void(const std::string&)> sink) {
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  state_->sink = std::move(sink);
}

std::vector<std::string> Host::journal() const {
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  return state_->journal;
}

IApplication* Host::application() {
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  if (state_->application == nullptr) {
    ApplicationObject* app = new ApplicationObject(state_);
    app->AddRef();
    state_->application = app;
  }
  return state_->application;
}

HRESULT Host::registerAddIn(const std::string& library) {
  const std::string path = realPath(library);
  if (path.empty()) return fail(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "Cannot find " + library);
  HMODULE module = LoadLibrary(path.c_str());
  if (module == nullptr) {
    return fail(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), "Cannot load " + path + ": " + win32::lastLoadError());
  }
  auto registerServer = reinterpret_cast<LPFNREGISTERSERVER>(GetProcAddress(module, "DllRegisterServer"));
  HRESULT hr;
  if (registerServer == nullptr) {
    hr = fail(CO_E_ERRORINDLL, path + " does not export DllRegisterServer");
  } else {
    SetErrorInfo(0, nullptr);
    hr = registerServer();
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    state_->note("DllRegisterServer " + hex(hr));
  }
  FreeLibrary(module);
  return hr;
}

HRESULT Host::loadAddIn(const std::string& library) {
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  if (state_->addIn != nullptr) return fail(E_UNEXPECTED, "An add-in is loaded already");
  const std::string path = realPath(library);
  if (path.empty()) return fail(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "Cannot find " + library);
  const std::vector<CLSID> classes = classesServedBy(path);
  if (classes.empty()) {
    return fail(REGDB_E_CLASSNOTREG, "No registered class is served by " + path + "; register the add-in first");
  }
  HRESULT hr = E_NOINTERFACE;
  IDSAddIn* addIn = nullptr;
  CLSID clsid = CLSID_NULL;
  for (const CLSID& c : classes) {
    hr = CoCreateInstance(c, nullptr, CLSCTX_INPROC_SERVER, IID_IDSAddIn, reinterpret_cast<void**>(&addIn));
    if (SUCCEEDED(hr)) {
      clsid = c;
      break;
    }
  }
  if (addIn == nullptr) {
    if (hr == E_NOINTERFACE) fail(hr, "No class served by " + path + " is a Developer Studio add-in");
    return hr;
  }
  state_->addIn = addIn;
  state_->addInClass = clsid;
  state_->library = path;
  state_->cookie = state_->nextCookie++;
  HKEY known = nullptr;
  const bool firstTime = RegOpenKeyEx(HKEY_CURRENT_USER, addInKey(clsid).c_str(), 0, KEY_READ, &known) != ERROR_SUCCESS;
  if (known != nullptr) RegCloseKey(known);
  state_->note("OnConnection " + com::guidToString(clsid) + " firstTime=" + (firstTime ? "true" : "false") +
               " cookie=" + std::to_string(state_->cookie));
  VARIANT_BOOL connected = VARIANT_FALSE;
  hr = addIn->OnConnection(application(), firstTime ? VARIANT_TRUE : VARIANT_FALSE, state_->cookie, &connected);
  if (FAILED(hr) || connected == VARIANT_FALSE) {
    state_->note("Not connected (" + hex(hr) + ")");
    unloadAddIn();
    return FAILED(hr) ? hr : S_FALSE;
  }
  state_->connected = true;
  HKEY key = nullptr;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, addInKey(clsid).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                     nullptr) == ERROR_SUCCESS) {
    RegSetValueEx(key, "Library", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                  static_cast<DWORD>(path.size() + 1));
    RegCloseKey(key);
  } else {
    state_->note("Cannot record the add-in in the registry");
  }
  state_->note("Connected");
  return S_OK;
}

bool Host::connected() const {
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  return state_->connected;
}

HRESULT Host::runCommand(const std::string& command) {
  IDispatch* dispatch = nullptr;
  std::string method;
  std::string name;
  {
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    if (!state_->connected || state_->commandDispatch == nullptr) {
      return fail(E_UNEXPECTED, "No add-in is connected");
    }
    for (const Command& c : state_->commands) {
      if (c.name == command || (name.empty() && c.method == command)) {
        name = c.name;
        method = c.method;
      }
    }
    if (name.empty()) return fail(DISP_E_UNKNOWNNAME, "No command named " + command);
    dispatch = state_->commandDispatch;
    dispatch->AddRef();
  }
  std::u16string wide = com::toUtf16(method);
  LPOLESTR names[] = {&wide[0]};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  EXCEPINFO info{};
  if (SUCCEEDED(hr)) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    UINT argErr = 0;
    hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, &info, &argErr);
    VariantClear(&result);
  }
  dispatch->Release();
  std::string line = "Run " + name + " (" + method + ") " + hex(hr);
  const std::string description = com::fromBstr(info.bstrDescription);
  if (!description.empty()) line += ": " + description;
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrHelpFile);
  {
    std::lock_guard<std::recursive_mutex> lock(state_->mutex);
    state_->note(line);
  }
  if (FAILED(hr)) {
    fail(hr, description.empty() ? "The command " + name + " failed: " + com::errorMessage(hr) : description);
  }
  return hr;
}

void Host::unloadAddIn() {
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  if (state_->addIn == nullptr) return;
  if (state_->connected) {
    state_->note("OnDisconnection");
    state_->addIn->OnDisconnection(VARIANT_FALSE);
  }
  state_->addIn->Release();
  state_->addIn = nullptr;
  if (state_->commandDispatch != nullptr) state_->commandDispatch->Release();
  state_->commandDispatch = nullptr;
  state_->commands.clear();
  state_->connected = false;
  state_->cookie = 0;
  if (state_->application != nullptr) {
    state_->application->Release();
    state_->application = nullptr;
  }
  if (state_->liveObjects > 0) {
    state_->note("The add-in still holds " + std::to_string(state_->liveObjects.load()) + " host object(s)");
  }
  if (HMODULE module = GetModuleHandle(state_->library.c_str())) {
    if (auto canUnload = reinterpret_cast<LPFNCANUNLOADNOW>(GetProcAddress(module, "DllCanUnloadNow"))) {
      state_->note("DllCanUnloadNow " + hex(canUnload()));
    }
  }
  CoFreeUnusedLibraries();
}

const std::vector<Command>& Host::commands() const { return state_->commands; }

std::vector<std::string> Host::toolbarButtons() const {
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  return state_->addInClass == CLSID_NULL ? std::vector<std::string>() : storedButtons(state_->addInClass);
}

bool Host::modelessEnabled() const {
  std::lock_guard<std::recursive_mutex> lock(state_->mutex);
  return state_->modeless;
}

}  // namespace devstudio
