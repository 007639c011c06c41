// Where a Java installation keeps its parts and how a class path names archives, as every
// deliverable looks for them: the registration tool and the add-in record a runtime's VM library
// (so both pick the same libjvm.so of a kit that holds several), the class repository and the
// runtime library read CLASSPATH. Header-only, so that each deliverable compiles it into itself
// and none links another.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

namespace javalayout {

// The VM libraries of a runtime home, in the order they are looked for: the server VM before the
// client VM, the layouts of today (lib/<vm>) before those of JDK 8 (lib/amd64/<vm>) and of
// runtimes that keep it beside their programs (bin/<vm>).
inline const std::vector<std::string>& vmLibraries() {
  static const std::vector<std::string> libraries = {
      "/lib/server/libjvm.so",       "/lib/amd64/server/libjvm.so", "/lib/client/libjvm.so",
      "/lib/amd64/client/libjvm.so", "/bin/server/libjvm.so",       "/bin/client/libjvm.so",
  };
  return libraries;
}

inline bool isRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

inline bool isFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The runtime inside a development kit: its "jre" folder when it has one (kits before Java 9),
// otherwise the kit itself (a kit of today is its own runtime).
inline std::string embeddedRuntimeHome(const std::string& kitHome) {
  const std::string jre = kitHome + "/jre";
  return isFolder(jre) ? jre : kitHome;
}

// The first VM library of vmLibraries() that the runtime home holds as a file; lib/server/libjvm.so
// when it holds none (the kit may belong to another machine image).
inline std::string runtimeLibraryPath(const std::string& runtimeHome) {
  for (const std::string& library : vmLibraries()) {
    if (isRegularFile(runtimeHome + library)) return runtimeHome + library;
  }
  return runtimeHome + vmLibraries().front();
}

// A class path entry as the java launcher reads it: "dir/*" (and "*" alone, the current folder)
// stands for every file of that folder whose name ends in ".jar" or ".JAR", in name order, and
// for nothing when it has none; sub-folders are not searched, and any other entry, "dir/*.jar"
// among them, is taken as it is.
inline std::vector<std::string> expandClassPathEntry(const std::string& entry) {
  const bool wildcard = entry == "*" || (entry.size() >= 2 && entry.compare(entry.size() - 2, 2, "/*") == 0);
  if (!wildcard) return {entry};
  const std::string folder = entry.size() == 1 ? std::string() : entry.substr(0, entry.size() - 2);
  std::vector<std::string> jars;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return jars;
  while (const dirent* found = readdir(dir)) {
    const std::string name = found->d_name;
    if (name.size() <= 4) continue;
    const std::string suffix = name.substr(name.size() - 4);
    if (suffix != ".jar" && suffix != ".JAR") continue;
    const std::string path = folder.empty() ? name : folder + "/" + name;
    if (isRegularFile(path)) jars.push_back(path);
  }
  closedir(dir);
  std::sort(jars.begin(), jars.end());
  return jars;
}

// The ':'-separated entries of a class path with every wildcard entry expanded; empty entries are
// kept when `keepEmpty` is set and dropped otherwise.
inline std::vector<std::string> classPathEntries(const std::string& classPath, bool keepEmpty) {
  std::vector<std::string> entries;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type colon = classPath.find(':', start);
    const std::string entry = classPath.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!entry.empty()) {
      for (std::string& expanded : expandClassPathEntry(entry)) entries.push_back(std::move(expanded));
    } else if (keepEmpty) {
      entries.push_back(entry);
    }
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return entries;
}

// A class path with its wildcard entries expanded, the others (empty ones too) kept in place.
inline std::string expandClassPath(const std::string& classPath) {
  std::string expanded;
  bool first = true;
  for (const std::string& entry : classPathEntries(classPath, true)) {
    if (!first) expanded += ':';
    expanded += entry;
    first = false;
  }
  return expanded;
}

}  // namespace javalayout
