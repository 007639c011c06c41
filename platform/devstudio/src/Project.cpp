// The project model and its project file.
#include "DevStudioHost.h"

#include <algorithm>

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
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

bool writeAtomically(const std::string& path, const std::string& text, std::string& error) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = (dir.empty() ? std::string("/") : dir + "/") + "." + base + ".XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) {
    error = "Cannot save " + path + ": " + std::strerror(errno);
    return false;
  }
  int err = fchmod(fd, 0644) != 0 ? errno : 0;
  size_t done = 0;
  while (err == 0 && done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno != EINTR) err = errno;
    if (n > 0) done += static_cast<size_t>(n);
  }
  if (err == 0 && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && err == 0) err = errno;
  if (err == 0 && rename(temp.c_str(), path.c_str()) != 0) err = errno;
  if (err != 0) {
    unlink(temp.c_str());
    error = "Cannot save " + path + ": " + std::strerror(err);
    return false;
  }
  return true;
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

bool Project::save(std::string& error) const { return writeAtomically(path, text(), error); }

}  // namespace devstudio
