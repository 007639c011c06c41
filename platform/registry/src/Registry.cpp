// The Reg* calls over the registry file.
//
// Every call reads the file afresh, so changes of other processes are seen at once; a call
// that changes anything holds an exclusive lock on "<file>.lock" from that reading until the
// new contents replace the file (written to a temporary file, then renamed over it).
// Handles name their key by path; a key deleted meanwhile gives ERROR_KEY_DELETED.
#include "RegFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace registry {
namespace detail {
namespace {

constexpr size_t kMaxDepth = 512;

// Rights that change a key or what is below it.
constexpr REGSAM kDelete = 0x00010000u;
constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | kDelete | 0x00040000u | 0x00080000u;

struct KeyHandle {
  int root;
  std::vector<std::string> path;
  REGSAM access;
};

struct Injected {
  int root;
  std::vector<std::string> path;  // folded
  LONG error;
};

std::recursive_mutex gMutex;  // guards everything below and serialises file work in-process
std::unordered_set<KeyHandle*> gHandles;
bool gNoAdmin = false;
std::vector<Injected> gInjected;
std::string gLastFileError;

// A key named by root and path, with the rights the caller holds on it.
struct KeyRef {
  int root = -1;
  std::vector<std::string> path;
  REGSAM access = 0;
};

bool resolve(HKEY key, KeyRef& ref) {
  const int root = rootFromHandle(key);
  if (root >= 0) {
    ref.root = root;
    ref.path.clear();
    ref.access = KEY_ALL_ACCESS;
    return true;
  }
  auto* handle = reinterpret_cast<KeyHandle*>(key);
  if (gHandles.count(handle) == 0) return false;
  ref.root = handle->root;
  ref.path = handle->path;
  ref.access = handle->access;
  return true;
}

std::vector<std::string> foldAll(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  out.reserve(names.size());
  for (const std::string& n : names) out.push_back(fold(n));
  return out;
}

bool isPrefix(const std::vector<std::string>& prefix, const std::vector<std::string>& path) {
  if (prefix.size() > path.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (prefix[i] != path[i]) return false;
  }
  return true;
}

bool noAdmin() {
  if (gNoAdmin) return true;
  std::string v;
  return win32::getEnv("KAVRIN_REGISTRY_NOADMIN", v) && !v.empty() && v != "0";
}

std::vector<Injected> injectedFailures() {
  std::vector<Injected> all = gInjected;
  // KAVRIN_REGISTRY_FAIL="KEYPATH=code;KEYPATH=code" does the same for child processes.
  std::string setting;
  if (!win32::getEnv("KAVRIN_REGISTRY_FAIL", setting)) return all;
  size_t pos = 0;
  while (pos < setting.size()) {
    size_t end = setting.find(';', pos);
    if (end == std::string::npos) end = setting.size();
    const std::string item = setting.substr(pos, end - pos);
    const size_t eq = item.rfind('=');
    Injected inj;
    if (eq != std::string::npos && parseFullKeyPath(item.substr(0, eq), inj.root, inj.path)) {
      inj.path = foldAll(inj.path);
      inj.error = static_cast<LONG>(std::strtol(item.c_str() + eq + 1, nullptr, 10));
      if (inj.error != ERROR_SUCCESS) all.push_back(inj);
    }
    pos = end + 1;
  }
  return all;
}

// The injected error for opening, creating or deleting the key at root/path (0 when none).
// With `subtree`, keys below the path count as well (the call deletes them too).
LONG injectedError(int root, const std::vector<std::string>& path, bool subtree) {
  const std::vector<std::string> folded = foldAll(path);
  for (const Injected& inj : injectedFailures()) {
    if (inj.root != root) continue;
    if (isPrefix(inj.path, folded) || (subtree && isPrefix(folded, inj.path))) return inj.error;
  }
  return ERROR_SUCCESS;
}

bool adminDenied(int root, REGSAM access) { return root == kLocalMachine && (access & kWriteRights) != 0 && noAdmin(); }

HKEY newHandle(int root, const std::vector<std::string>& path, REGSAM access) {
  auto* handle = new KeyHandle{root, path, access};
  gHandles.insert(handle);
  return reinterpret_cast<HKEY>(handle);
}

// Names of the keys along `path` as stored (the case they were created with).
std::vector<std::string> storedNames(Tree& tree, int root, const std::vector<std::string>& path) {
  std::vector<std::string> out;
  Key* key = &tree.roots[root];
  for (const std::string& name : path) {
    key = key->child(name);
    if (key == nullptr) return path;
    out.push_back(key->name);
  }
  return out;
}

std::string defaultFilePath() {
  std::string base;
  if (win32::getEnv("XDG_CONFIG_HOME", base) && !base.empty()) return base + "/kavrin/registry.reg";
  std::string home;
  if (!win32::getEnv("HOME", home) || home.empty()) {
    if (const struct passwd* pw = getpwuid(getuid())) home = pw->pw_dir;
  }
  if (home.empty()) home = "/tmp";
  return home + "/.config/kavrin/registry.reg";
}

bool makeParentDirs(const std::string& file) {
  for (size_t pos = file.find('/', 1); pos != std::string::npos; pos = file.find('/', pos + 1)) {
    const std::string dir = file.substr(0, pos);
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace

// The registry file for one call: read (and locked, for a change) on open, written on save.
class Store {
 public:
  Store() : path_(registryFilePath()) {}
  ~Store() {
    if (lockFd_ >= 0) close(lockFd_);  // releases the lock
  }
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Reads the file; with `forWrite` first takes the lock that saving needs.
  LONG open(bool forWrite) {
    if (forWrite) {
      if (!makeParentDirs(path_)) return fileFailure("cannot create the folder of", errno);
      const std::string lockPath = path_ + ".lock";
      lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (lockFd_ < 0) return fileFailure("cannot open the lock file of", errno);
      while (flock(lockFd_, LOCK_EX) != 0) {
        if (errno != EINTR) return fileFailure("cannot lock", errno);
      }
    }
    std::string text;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno != ENOENT && errno != ENOTDIR) return fileFailure("cannot open", errno);
    } else {
      char buf[65536];
      ssize_t n;
      while ((n = ::read(fd, buf, sizeof buf)) != 0) {
        if (n < 0) {
          if (errno == EINTR) continue;
          const int err = errno;
          ::close(fd);
          return fileFailure("cannot read", err);
        }
        text.append(buf, static_cast<size_t>(n));
      }
      ::close(fd);
    }
    std::vector<RegOp> ops;
    std::string error;
    if (!parseRegText(text, ops, error)) {
      gLastFileError = "registry file " + path_ + ": " + error +
                       "; the file is left as it is and changes are refused until it is mended";
      return ERROR_BADDB;
    }
    applyOps(ops, tree);
    gLastFileError.clear();
    return ERROR_SUCCESS;
  }

  LONG save() {
    // Under the lock: a temporary left beside the file is one a killed save left behind.
    const int err = win32::replaceFile(path_, win32::TempName::Beside, formatTree(tree));
    return err == 0 ? ERROR_SUCCESS : fileFailure("cannot save", err);
  }

  Tree tree;

 private:
  LONG fileFailure(const char* what, int err) {
    gLastFileError = std::string(what) + " registry file " + path_ + ": " + std::strerror(err);
    const DWORD code = win32::errorFromErrno(err);
    return static_cast<LONG>(code == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : code);
  }

  std::string path_;
  int lockFd_ = -1;
};

LONG loadSnapshot(Tree& tree) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  Store store;
  const LONG rc = store.open(false);
  if (rc == ERROR_SUCCESS) std::swap(tree, store.tree);
  return rc;
}

namespace {

LONG copyString(const std::string& text, LPSTR buffer, LPDWORD size) {
  if (size == nullptr) return ERROR_INVALID_PARAMETER;
  if (buffer == nullptr || *size < text.size() + 1) {
    *size = static_cast<DWORD>(text.size() + 1);
    return ERROR_MORE_DATA;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *size = static_cast<DWORD>(text.size());
  return ERROR_SUCCESS;
}

// Hands out a value's data as RegQueryValueEx and RegEnumValue do.
LONG copyData(const Value& v, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (type != nullptr) *type = v.type;
  const bool text = v.type == REG_SZ || v.type == REG_EXPAND_SZ;
  const size_t needed = v.data.size() + (text ? 1 : 0);
  if (data == nullptr) {
    if (dataSize != nullptr) *dataSize = static_cast<DWORD>(needed);
    return ERROR_SUCCESS;
  }
  if (dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  if (*dataSize < needed) {
    *dataSize = static_cast<DWORD>(needed);
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, v.data.data(), v.data.size());
  if (text) data[v.data.size()] = 0;
  *dataSize = static_cast<DWORD>(needed);
  return ERROR_SUCCESS;
}

// The key a handle names, or the error for a key that has gone.
LONG findKey(Store& store, const KeyRef& ref, Key*& key) {
  key = store.tree.find(ref.root, ref.path);
  return key != nullptr ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// The key of an open handle, held with the rights `needed` (a change of HKEY_LOCAL_MACHINE's
// also needs an administrator), or the error.
LONG keyWithRights(HKEY key, REGSAM needed, KeyRef& ref) {
  if (!resolve(key, ref)) return ERROR_INVALID_HANDLE;
  if ((ref.access & needed) == 0 || adminDenied(ref.root, needed)) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

// The registry file read (for a change, under its lock) and the key a handle names in it.
LONG openKey(Store& store, bool forChange, const KeyRef& ref, Key*& key) {
  if (LONG rc = store.open(forChange)) return rc;
  return findKey(store, ref, key);
}

// The key of a handle held with the rights `needed`, read from the file (under its lock when
// the rights are those of a change).
LONG keyToUse(HKEY key, REGSAM needed, Store& store, Key*& k) {
  KeyRef ref;
  if (LONG rc = keyWithRights(key, needed, ref)) return rc;
  return openKey(store, needed == KEY_SET_VALUE, ref, k);
}

// The key of a handle for an enumeration that needs the rights `needed`, read from the file.
LONG keyToEnumerate(HKEY key, REGSAM needed, LPDWORD nameSize, Store& store, Key*& k) {
  KeyRef ref;
  if (LONG rc = keyWithRights(key, needed, ref)) return rc;
  if (nameSize == nullptr) return ERROR_INVALID_PARAMETER;
  return openKey(store, false, ref, k);
}

// A key named below the key of a handle.
struct SubKey {
  KeyRef base;                     // the handle's key
  std::vector<std::string> names;  // the names below it
  std::vector<std::string> path;   // the whole path
};

// The key that `subKey` (null: none) names below the key of `key`, or the error.
LONG findSubKey(HKEY key, LPCSTR subKey, SubKey& sub) {
  if (!resolve(key, sub.base)) return ERROR_INVALID_HANDLE;
  if (!splitKeyPath(subKey != nullptr ? subKey : "", sub.names)) return ERROR_INVALID_PARAMETER;
  sub.path = sub.base.path;
  sub.path.insert(sub.path.end(), sub.names.begin(), sub.names.end());
  return ERROR_SUCCESS;
}

// What opening or creating a key with `access` checks before the registry file is read.
LONG subKeyToOpen(HKEY key, LPCSTR subKey, REGSAM access, PHKEY result, SubKey& sub) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (LONG rc = findSubKey(key, subKey, sub)) return rc;
  if (sub.path.size() > kMaxDepth) return ERROR_INVALID_PARAMETER;
  if (LONG rc = injectedError(sub.base.root, sub.path, false)) return rc;
  if (adminDenied(sub.base.root, access)) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace detail

int openKeyCount() {
  std::lock_guard<std::recursive_mutex> lock(detail::gMutex);
  return static_cast<int>(detail::gHandles.size());
}

void setNoAdminMode(bool on) {
  std::lock_guard<std::recursive_mutex> lock(detail::gMutex);
  detail::gNoAdmin = on;
}

void injectFailure(const std::string& keyPath, LONG error) {
  std::lock_guard<std::recursive_mutex> lock(detail::gMutex);
  detail::Injected inj;
  if (!detail::parseFullKeyPath(keyPath, inj.root, inj.path)) return;
  inj.path = detail::foldAll(inj.path);
  inj.error = error;
  detail::gInjected.push_back(inj);
}

void clearInjectedFailures() {
  std::lock_guard<std::recursive_mutex> lock(detail::gMutex);
  detail::gInjected.clear();
}

std::string registryFilePath() {
  std::string path;
  if (win32::getEnv("KAVRIN_REGISTRY", path) && !path.empty()) return path;
  return detail::defaultFilePath();
}

std::string lastFileError() {
  std::lock_guard<std::recursive_mutex> lock(detail::gMutex);
  return detail::gLastFileError;
}

LONG importFile(const std::string& regFile) {
  using namespace detail;
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  std::string text;
  {
    const int fd = ::open(regFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      gLastFileError = "cannot open " + regFile + ": " + std::strerror(errno);
      return static_cast<LONG>(win32::errorFromErrno(errno));
    }
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    const int err = errno;
    ::close(fd);
    if (n < 0) {
      gLastFileError = "cannot read " + regFile + ": " + std::strerror(err);
      return static_cast<LONG>(win32::errorFromErrno(err));
    }
  }
  std::vector<RegOp> ops;
  std::string error;
  if (!parseRegText(text, ops, error)) {
    gLastFileError = regFile + ": " + error;
    return ERROR_INVALID_DATA;
  }
  for (const RegOp& op : ops) {
    if (op.root == kLocalMachine && noAdmin()) return ERROR_ACCESS_DENIED;
    if (op.kind == RegOp::kKey || op.kind == RegOp::kDeleteKey) {
      if (LONG rc = injectedError(op.root, op.path, op.kind == RegOp::kDeleteKey)) return rc;
    }
  }
  Store store;
  if (LONG rc = store.open(true)) return rc;
  applyOps(ops, store.tree);
  return store.save();
}

LONG exportKey(const std::string& keyPath, const std::string& regFile) {
  using namespace detail;
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  int root;
  std::vector<std::string> path;
  if (!parseFullKeyPath(keyPath, root, path)) return ERROR_INVALID_PARAMETER;
  if (LONG rc = injectedError(root, path, false)) return rc;
  Store store;
  if (LONG rc = store.open(false)) return rc;
  const Key* key = store.tree.find(root, path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  const std::string text = formatKey(*key, joinKeyPath(root, storedNames(store.tree, root, path)));
  const std::string tmp = regFile + ".tmp" + std::to_string(getpid());
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (f == nullptr) {
    gLastFileError = "cannot write " + regFile + ": " + std::strerror(errno);
    return static_cast<LONG>(win32::errorFromErrno(errno));
  }
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), regFile.c_str()) != 0) {
    const int err = errno;
    std::remove(tmp.c_str());
    gLastFileError = "cannot write " + regFile + ": " + std::strerror(err);
    return static_cast<LONG>(win32::errorFromErrno(err));
  }
  return ERROR_SUCCESS;
}

}  // namespace registry

using namespace registry::detail;

LONG RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  SubKey sub;
  if (LONG rc = subKeyToOpen(key, subKey, access, result, sub)) return rc;
  const KeyRef& base = sub.base;
  const std::vector<std::string>& path = sub.path;
  Store store;
  if (LONG rc = store.open(false)) return rc;
  if (store.tree.find(base.root, path) == nullptr) {
    return store.tree.find(base.root, base.path) == nullptr ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
  }
  *result = newHandle(base.root, storedNames(store.tree, base.root, path), access);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access, void*, PHKEY result,
                    LPDWORD disposition) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  SubKey sub;
  if (LONG rc = subKeyToOpen(key, subKey, access, result, sub)) return rc;
  const KeyRef& base = sub.base;
  const std::vector<std::string>& path = sub.path;

  // An existing key is only opened: no lock, so a registry file that cannot be written
  // still serves. Otherwise the file is read again under the lock before the change.
  std::unique_ptr<Store> reader = std::make_unique<Store>();
  if (LONG rc = reader->open(false)) return rc;
  if (reader->tree.find(base.root, path) != nullptr) {
    if (disposition != nullptr) *disposition = REG_OPENED_EXISTING_KEY;
    *result = newHandle(base.root, storedNames(reader->tree, base.root, path), access);
    return ERROR_SUCCESS;
  }
  reader.reset();
  Store store;
  if (LONG rc = store.open(true)) return rc;
  Key* parent = store.tree.find(base.root, base.path);
  if (parent == nullptr) return ERROR_KEY_DELETED;
  const bool exists = store.tree.find(base.root, path) != nullptr;
  if (!exists) {
    if ((base.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    if (adminDenied(base.root, KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    Key* k = parent;
    for (const std::string& name : sub.names) k = &k->ensureChild(name);
    if (LONG rc = store.save()) return rc;
  }
  if (disposition != nullptr) *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = newHandle(base.root, storedNames(store.tree, base.root, path), access);
  return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  Store store;
  Key* k;
  if (LONG rc = keyToUse(key, KEY_QUERY_VALUE, store, k)) return rc;
  const Value* v = k->findValue(valueName != nullptr ? valueName : "");
  if (v == nullptr) return ERROR_FILE_NOT_FOUND;
  return copyData(*v, type, data, dataSize);
}

LONG RegSetValueEx(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  KeyRef ref;
  if (LONG rc = keyWithRights(key, KEY_SET_VALUE, ref)) return rc;
  Value value;
  value.name = valueName != nullptr ? valueName : "";
  if (!validValueName(value.name) || (data == nullptr && dataSize != 0)) {
    return ERROR_INVALID_PARAMETER;
  }
  value.type = type;
  value.data.assign(reinterpret_cast<const char*>(data), data != nullptr ? dataSize : 0);
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    const size_t nul = value.data.find('\0');
    if (nul != std::string::npos) value.data.resize(nul);
  }
  Store store;
  Key* k;
  if (LONG rc = openKey(store, true, ref, k)) return rc;
  k->setValue(value);
  return store.save();
}

LONG RegDeleteValue(HKEY key, LPCSTR valueName) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  Store store;
  Key* k;
  if (LONG rc = keyToUse(key, KEY_SET_VALUE, store, k)) return rc;
  if (!k->removeValue(valueName != nullptr ? valueName : "")) return ERROR_FILE_NOT_FOUND;
  return store.save();
}

LONG RegEnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPSTR keyClass, LPDWORD classSize,
                  FILETIME* lastWrite) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  Store store;
  Key* k;
  if (LONG rc = keyToEnumerate(key, KEY_ENUMERATE_SUB_KEYS, nameSize, store, k)) return rc;
  if (index >= k->children.size()) return ERROR_NO_MORE_ITEMS;
  auto it = k->children.begin();
  std::advance(it, index);
  if (LONG rc = copyString(it->second->name, name, nameSize)) return rc;
  if (keyClass != nullptr && classSize != nullptr && *classSize > 0) keyClass[0] = '\0';
  if (classSize != nullptr) *classSize = 0;
  if (lastWrite != nullptr) *lastWrite = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LONG RegEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPDWORD type, LPBYTE data,
                  LPDWORD dataSize) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  Store store;
  Key* k;
  if (LONG rc = keyToEnumerate(key, KEY_QUERY_VALUE, nameSize, store, k)) return rc;
  if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
  const Value& v = k->values[index];
  const LONG nameRc = copyString(v.name, name, nameSize);
  if (nameRc != ERROR_SUCCESS) {
    if (type != nullptr) *type = v.type;
    return nameRc;
  }
  return copyData(v, type, data, dataSize);
}

namespace {

// Shared checks of RegDeleteKey and RegDeleteTree; `path` is the key to go.
LONG deletionAllowed(const KeyRef& base, const std::vector<std::string>& path, bool subtree) {
  if ((base.access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | kDelete)) == 0) {
    return ERROR_ACCESS_DENIED;
  }
  if (LONG rc = injectedError(base.root, path, subtree)) return rc;
  if (adminDenied(base.root, kDelete)) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

// Removes the key `sub` names (not a root) from its parent.
void removeKey(Tree& tree, const SubKey& sub) {
  const std::vector<std::string> parentPath(sub.path.begin(), sub.path.end() - 1);
  tree.find(sub.base.root, parentPath)->removeChild(sub.path.back());
}

}  // namespace

LONG RegDeleteKey(HKEY key, LPCSTR subKey) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  SubKey sub;
  if (LONG rc = findSubKey(key, subKey, sub)) return rc;
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  if (sub.path.empty()) return ERROR_ACCESS_DENIED;  // a root stays
  if (LONG rc = deletionAllowed(sub.base, sub.path, false)) return rc;
  Store store;
  if (LONG rc = store.open(true)) return rc;
  Key* target = store.tree.find(sub.base.root, sub.path);
  if (target == nullptr) return ERROR_FILE_NOT_FOUND;
  if (!target->children.empty()) return ERROR_ACCESS_DENIED;
  removeKey(store.tree, sub);
  return store.save();
}

LONG RegDeleteTree(HKEY key, LPCSTR subKey) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  SubKey sub;
  if (LONG rc = findSubKey(key, subKey, sub)) return rc;
  if (LONG rc = deletionAllowed(sub.base, sub.path, true)) return rc;
  Store store;
  if (LONG rc = store.open(true)) return rc;
  Key* target = store.tree.find(sub.base.root, sub.path);
  if (target == nullptr) {
    return sub.names.empty() ? ERROR_KEY_DELETED : ERROR_FILE_NOT_FOUND;
  }
  if (subKey == nullptr || sub.names.empty()) {
    // Without a subkey the key itself stays, emptied of its subkeys and values.
    target->clear();
  } else {
    removeKey(store.tree, sub);
  }
  return store.save();
}

LONG RegCloseKey(HKEY key) {
  std::lock_guard<std::recursive_mutex> lock(gMutex);
  if (rootFromHandle(key) >= 0) return ERROR_SUCCESS;
  auto* handle = reinterpret_cast<KeyHandle*>(key);
  if (gHandles.erase(handle) == 0) return ERROR_INVALID_HANDLE;
  delete handle;
  return ERROR_SUCCESS;
}
