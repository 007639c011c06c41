// File attributes, deletion and folder scans.
#include "Internal.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

DWORD attributesOf(const struct stat& st) {
  DWORD attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if ((st.st_mode & kWriteBits) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

// The status of the file at `path` (of a link itself unless `followLinks`); false with the last
// error set when there is none, ERROR_INVALID_PARAMETER for an empty or missing path.
bool statusOf(LPCSTR path, bool followLinks, struct stat& st) {
  if (path == nullptr || *path == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if ((followLinks ? stat(path, &st) : lstat(path, &st)) != 0) return win32::detail::failWithErrno(errno, false);
  return true;
}

// Matches `name` against a pattern of '*' and '?' without regard to (ASCII) case.
bool wildcardMatch(const char* pattern, const char* name) {
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      starPattern = ++pattern;
      starName = name;
    } else if (*pattern == '?' ||
               (*pattern != '\0' && win32::detail::foldChar(*pattern) == win32::detail::foldChar(*name))) {
      ++pattern;
      ++name;
    } else if (starPattern != nullptr) {
      pattern = starPattern;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

// Sorted as a Windows folder lists: case ignored first, then bytes, for a stable order.
bool nameLess(const std::string& a, const std::string& b) {
  const std::string fa = win32::detail::fold(a);
  const std::string fb = win32::detail::fold(b);
  return fa != fb ? fa < fb : a < b;
}

struct FoundEntry {
  std::string name;
  DWORD attributes;
  uint64_t size;
};

struct FindState {
  std::vector<FoundEntry> entries;
  size_t next = 0;
};

std::mutex gFindMutex;
std::unordered_set<FindState*> gFindHandles;

// Scans `folder` for entries matching `pattern`; dangling links are left out.
// Returns false (last error set) when the folder cannot be read.
bool scan(const std::string& folder, const std::string& pattern, std::vector<FoundEntry>& out) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : win32::errorFromErrno(errno));
    return false;
  }
  while (struct dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (!wildcardMatch(pattern.c_str(), name)) continue;
    struct stat st;
    const std::string path = folder + "/" + name;
    if (stat(path.c_str(), &st) != 0) continue;  // dangling link or vanished meanwhile
    out.push_back({name, attributesOf(st), static_cast<uint64_t>(st.st_size)});
  }
  closedir(dir);
  std::sort(out.begin(), out.end(), [](const FoundEntry& a, const FoundEntry& b) { return nameLess(a.name, b.name); });
  return true;
}

void fill(const FoundEntry& entry, WIN32_FIND_DATA* data) {
  data->dwFileAttributes = entry.attributes;
  data->nFileSize = entry.size;
  const size_t n = std::min(entry.name.size(), static_cast<size_t>(MAX_PATH - 1));
  std::memcpy(data->cFileName, entry.name.data(), n);
  data->cFileName[n] = '\0';
}

}  // namespace

DWORD GetFileAttributes(LPCSTR path) {
  struct stat st;
  if (!statusOf(path, true, st)) return INVALID_FILE_ATTRIBUTES;
  return attributesOf(st);
}

BOOL SetFileAttributes(LPCSTR path, DWORD attributes) {
  struct stat st;
  if (!statusOf(path, true, st)) return FALSE;
  mode_t mode = st.st_mode & 07777;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    mode &= ~kWriteBits;
  } else if ((mode & kWriteBits) == 0) {
    mode |= S_IWUSR;
  }
  if (mode != (st.st_mode & 07777) && chmod(path, mode) != 0) {
    return win32::detail::failWithErrno(errno, FALSE);
  }
  return TRUE;
}

BOOL DeleteFile(LPCSTR path) {
  struct stat st;
  if (!statusOf(path, false, st)) return FALSE;
  // Folders are not files, and a read-only file must be made writable first, as on Windows.
  if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && (st.st_mode & kWriteBits) == 0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (unlink(path) != 0) return win32::detail::failWithErrno(errno, FALSE);
  return TRUE;
}

HANDLE FindFirstFile(LPCSTR pattern, WIN32_FIND_DATA* data) {
  if (pattern == nullptr || *pattern == '\0' || data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string full(pattern);
  const size_t slash = full.rfind('/');
  std::string folder = slash == std::string::npos ? "." : full.substr(0, slash);
  if (folder.empty()) folder = "/";
  const std::string filePattern = slash == std::string::npos ? full : full.substr(slash + 1);
  if (filePattern.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }

  auto state = std::make_unique<FindState>();
  if (filePattern.find_first_of("*?") == std::string::npos) {
    // An exact name: this file system tells case apart, so the name is taken as given.
    struct stat st;
    if (stat(full.c_str(), &st) != 0) {
      SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : win32::errorFromErrno(errno));
      return INVALID_HANDLE_VALUE;
    }
    state->entries.push_back({filePattern, attributesOf(st), static_cast<uint64_t>(st.st_size)});
  } else if (!scan(folder, filePattern, state->entries)) {
    return INVALID_HANDLE_VALUE;
  }
  if (state->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  fill(state->entries[0], data);
  state->next = 1;
  FindState* handle = state.release();
  std::lock_guard<std::mutex> lock(gFindMutex);
  gFindHandles.insert(handle);
  return handle;
}

BOOL FindNextFile(HANDLE find, WIN32_FIND_DATA* data) {
  std::lock_guard<std::mutex> lock(gFindMutex);
  auto* state = static_cast<FindState*>(find);
  if (gFindHandles.count(state) == 0 || data == nullptr) {
    SetLastError(data == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (state->next >= state->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  fill(state->entries[state->next++], data);
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  std::lock_guard<std::mutex> lock(gFindMutex);
  auto* state = static_cast<FindState*>(find);
  if (gFindHandles.erase(state) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete state;
  return TRUE;
}

namespace win32 {

bool fileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> listFolder(const std::string& folder, const std::string& suffix) {
  std::vector<FoundEntry> entries;
  std::vector<std::string> names;
  if (!scan(folder.empty() ? std::string(".") : folder, "*", entries)) return names;
  const std::string foldedSuffix = detail::fold(suffix);
  for (const FoundEntry& e : entries) {
    if (e.name.size() < suffix.size()) continue;
    if (detail::fold(e.name.substr(e.name.size() - suffix.size())) != foldedSuffix) continue;
    names.push_back(e.name);
  }
  return names;
}

}  // namespace win32
