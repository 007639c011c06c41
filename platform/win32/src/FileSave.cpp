// Whole-file saves through a temporary file beside the target, the removal of temporaries that
// killed saves left behind, and the failures tests inject into saves.
#include "Internal.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

struct WriteFault {
  std::string fileName;
  int error;  // 0: the process is killed
  size_t afterBytes;
};

std::mutex gFaultMutex;
std::vector<WriteFault> gFaults;

bool endsWithName(const std::string& path, const std::string& name) {
  if (path == name) return true;
  return path.size() > name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0 &&
         path[path.size() - name.size() - 1] == '/';
}

// The fault injected for saves of `path`, if any.
bool faultFor(const std::string& path, WriteFault& fault) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  for (const WriteFault& f : gFaults) {
    if (endsWithName(path, f.fileName)) {
      fault = f;
      return true;
    }
  }
  return false;
}

// mkstemp's six characters.
bool isTempSuffix(const char* text) {
  for (int i = 0; i < 6; ++i) {
    const char c = text[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return text[6] == '\0';
}

// Removes the temporaries named `prefix` + six characters in `folder` that no save is writing:
// a live save holds a lock on its temporary, a killed one's lock went with its process.
void removeStaleTemporaries(const std::string& folder, const std::string& prefix) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> stale;
  while (struct dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0 &&
        isTempSuffix(entry->d_name + prefix.size())) {
      stale.push_back(folder + "/" + entry->d_name);
    }
  }
  closedir(dir);
  for (const std::string& path : stale) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat opened {};
    struct stat named {};
    if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
      unlink(path.c_str());
    }
    close(fd);
  }
}

// A new temporary named `prefix` + six characters, locked for this save. -1 with errno set.
int createTemporary(const std::string& prefix, std::string& name) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = prefix + "XXXXXX";
    const int fd = mkstemp(&name[0]);
    if (fd < 0) return -1;
    struct stat st {};
    // A cleaner may have taken it for a leftover before the lock was held: then make another.
    if (flock(fd, LOCK_EX) == 0 && fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
    close(fd);
  }
  errno = EAGAIN;
  return -1;
}

// Writes `size` bytes; a failure injected for the file strikes once `fault.afterBytes` are out.
int writeAll(int fd, const char* data, size_t size, const WriteFault* fault) {
  size_t written = 0;
  while (written < size) {
    size_t chunk = size - written;
    if (fault != nullptr) {
      if (written >= fault->afterBytes) {
        if (fault->error == 0) raise(SIGKILL);
        return fault->error;
      }
      chunk = std::min(chunk, fault->afterBytes - written);
    }
    const ssize_t n = ::write(fd, data + written, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    written += static_cast<size_t>(n);
  }
  if (fault != nullptr && written >= fault->afterBytes) {
    if (fault->error == 0) raise(SIGKILL);
    return fault->error;
  }
  return 0;
}

}  // namespace

namespace win32 {

int replaceFile(const std::string& path, TempName naming, const std::string& content) {
  if (path.empty()) return ENOENT;
  std::string target = path;
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) target = resolved;
  }
  mode_t mode = 0644;
  if (stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    mode = st.st_mode & 07777;
  }
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : slash == 0 ? "/" : target.substr(0, slash);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string namePrefix = (naming == TempName::Hidden ? "." + base : base) + ".";
  removeStaleTemporaries(folder, namePrefix);

  std::string temp;
  const int fd = createTemporary((folder == "/" ? "/" : folder + "/") + namePrefix, temp);
  if (fd < 0) return errno;
  WriteFault fault;
  const bool faulty = faultFor(path, fault) || faultFor(target, fault);
  int err = fchmod(fd, mode) == 0 ? 0 : errno;
  if (err == 0) err = writeAll(fd, content.data(), content.size(), faulty ? &fault : nullptr);
  if (err == 0 && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) unlink(temp.c_str());
  return err;
}

void injectWriteFailure(const std::string& fileName, int error, size_t afterBytes) {
  if (error == 0) return;
  std::lock_guard<std::mutex> lock(gFaultMutex);
  gFaults.push_back(WriteFault{fileName, error, afterBytes});
}

void injectKillDuringWrite(const std::string& fileName, size_t afterBytes) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  gFaults.push_back(WriteFault{fileName, 0, afterBytes});
}

void clearWriteFailures() {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  gFaults.clear();
}

}  // namespace win32
