// The project model and its project file.
#include "DevStudioHost.h"

#include <algorithm>

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace devstudio {

namespace {

std::string absolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

}  // namespace

std::vector<std::string> Configuration::settingsOf(const std::string& tool) const {
  for (const ToolSettings& t : tools) {
    if (t.tool == tool) return t.settings;
  }
  return {};
}

bool Configuration::addSetting(const std::string& tool, const std::string& setting) {
  for (ToolSettings& t : tools) {
    if (t.tool != tool) continue;
    for (const std::string& s : t.settings) {
      if (s == setting) return false;
    }
    t.settings.push_back(setting);
    return true;
  }
  tools.push_back(ToolSettings{tool, {setting}});
  return true;
}

bool Project::addFile(const std::string& file) {
  for (const std::string& f : files) {
    if (f == file) return false;
  }
  files.push_back(file);
  return true;
}

bool Project::removeFile(const std::string& file) {
  const auto it = std::find(files.begin(), files.end(), file);
  if (it == files.end()) return false;
  files.erase(it);
  return true;
}

std::string Project::text() const {
  std::string out = "# dshost project file\n";
  if (fullNameGiven) out += "fullname " + fullName + "\n";
  for (const std::string& f : files) out += "file " + f + "\n";
  for (const Configuration& c : configurations) {
    out += "configuration " + c.name + "\n";
    for (const ToolSettings& t : c.tools) {
      for (const std::string& s : t.settings) out += "setting " + t.tool + " " + s + "\n";
    }
  }
  return out;
}

bool Project::load(const std::string& path, Project& project, std::string& error) {
  project = Project();
  project.path = path;
  project.fullName = absolutePath(path);
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
    error = "Cannot read the project file " + path + ": " +
            (S_ISDIR(st.st_mode) ? std::string("it is a folder") : std::strerror(errno));
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "Cannot read the project file " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string line;
  int number = 0;
  const auto bad = [&](const std::string& why) {
    error = path + ":" + std::to_string(number) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t blank = line.find(' ');
    const std::string keyword = line.substr(0, blank);
    const std::string value = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    if (value.empty()) return bad("\"" + keyword + "\" needs a value");
    if (keyword == "fullname") {
      project.fullName = value;
      project.fullNameGiven = true;
    } else if (keyword == "file") {
      project.addFile(value);
    } else if (keyword == "configuration") {
      project.configurations.push_back(Configuration{value, {}});
    } else if (keyword == "setting") {
      if (project.configurations.empty()) return bad("a setting before any configuration");
      const size_t split = value.find(' ');
      if (split == 0 || split == std::string::npos || split + 1 == value.size()) {
        return bad("a setting needs a tool and the setting");
      }
      project.configurations.back().addSetting(value.substr(0, split), value.substr(split + 1));
    } else {
      return bad("unknown entry \"" + keyword + "\"");
    }
  }
  if (in.bad()) {
    error = "Cannot read the project file " + path;
    return false;
  }
  return true;
}

bool Project::save(std::string& error) const {
  // Through a temporary file and a rename, as the settings files are saved: a full disk or a
  // killed session leaves the former project file whole.
  if (const int err = win32::replaceFile(path, win32::TempName::Hidden, text())) {
    error = "Cannot save " + path + ": " + std::strerror(err);
    return false;
  }
  return true;
}

ProjectLock::~ProjectLock() { release(); }

bool ProjectLock::acquire(const std::string& projectPath, std::string& error) {
  release();
  const std::string path = projectPath + ".lock";
  // A file that an ending session removed between its opening here and the lock is not the
  // lock any more: open it afresh.
  for (int attempt = 0; attempt < 16; ++attempt) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
      error = "Cannot lock the project " + projectPath + ": cannot make " + path + ": " + std::strerror(errno);
      return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      char text[32] = {};
      const ssize_t n = pread(fd, text, sizeof text - 1, 0);
      close(fd);
      if (err != EWOULDBLOCK) {
        error = "Cannot lock the project " + projectPath + ": " + std::strerror(err);
        return false;
      }
      std::string holder = n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
      holder.erase(holder.find_last_not_of("\n") + 1);
      if (holder.find_first_not_of("0123456789") != std::string::npos) holder.clear();
      error = "The project " + projectPath + " is open in another session" +
              (holder.empty() ? std::string() : " (process " + holder + ")") + ": close it there first";
      return false;
    }
    struct stat opened {};
    struct stat named {};
    if (fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
        opened.st_ino == named.st_ino) {
      // The holder's process, for the other sessions' message; the lock holds without it.
      const std::string pid = std::to_string(getpid()) + "\n";
      if (ftruncate(fd, 0) == 0) {
        const ssize_t written = pwrite(fd, pid.data(), pid.size(), 0);
        (void)written;
      }
      fd_ = fd;
      path_ = path;
      return true;
    }
    close(fd);
  }
  error = "Cannot lock the project " + projectPath + ": " + path + " keeps changing";
  return false;
}

void ProjectLock::release() {
  if (fd_ < 0) return;
  // Removed while still held, so that no other session locks the file on its way out.
  unlink(path_.c_str());
  close(fd_);
  fd_ = -1;
  path_.clear();
}

}  // namespace devstudio
