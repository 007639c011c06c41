// Building a project with g++ from its files and the tool settings of its first configuration.
#include "ProjectBuild.h"

#include "Registry.h"

#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

extern char** environ;

namespace devstudio {

namespace {

const char* const kCompiler = "g++";

// Libraries of the Windows platform that a project of the original platform lists and that
// have no counterpart here.
const char* const kSystemLibraries[] = {"kernel32", "user32", "gdi32",    "winspool", "comdlg32", "advapi32",
                                        "shell32",  "ole32",  "oleaut32", "uuid",     "odbc32",   "odbccp32",
                                        "comctl32", "winmm",  "ws2_32",   "version"};

bool endsWithNoCase(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && strcasecmp(text.c_str() + text.size() - suffix.size(), suffix.c_str()) == 0;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stem(const std::string& path) {
  const std::string base = baseName(path);
  const size_t dot = base.rfind('.');
  return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

std::string absolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

// "$(VAR)" replaced and '\' made '/'; false with `error` naming a variable that is not set.
bool expand(const std::string& text, const VariableLookup& lookup, std::string& out, std::string& error) {
  out.clear();
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find("$(", at);
    if (open == std::string::npos) {
      out += text.substr(at);
      break;
    }
    const size_t close = text.find(')', open + 2);
    if (close == std::string::npos) {
      error = "\"" + text + "\": \"$(\" is not closed";
      return false;
    }
    out += text.substr(at, open - at);
    const std::string name = text.substr(open + 2, close - open - 2);
    std::string value;
    if (name.empty() || !lookup(name, value)) {
      error = "\"" + text + "\" names $(" + name + "), which is not set";
      return false;
    }
    out += value;
    at = close + 1;
  }
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return true;
}

// Blank-separated words of a setting; double quotes group blanks and are taken off.
// A quote left open runs to the end of the setting.
std::vector<std::string> words(const std::string& setting) {
  std::vector<std::string> out;
  win32::splitQuotedWords(setting, out);
  return out;
}

struct Options {
  std::vector<std::string> compile;    // -I, -D
  std::vector<std::string> folders;    // -L, -Wl,-rpath
  std::vector<std::string> libraries;  // -L of a library named with its folder, -l
  bool library = false;                // /dll
};

// The value of an option given as "/Xvalue" or "/X value".
bool optionValue(const std::vector<std::string>& ws, size_t& i, size_t nameLength, std::string& value) {
  if (ws[i].size() > nameLength) {
    value = ws[i].substr(nameLength);
    return true;
  }
  if (i + 1 >= ws.size()) return false;
  value = ws[++i];
  return true;
}

bool isSystemLibrary(const std::string& name) {
  for (const char* s : kSystemLibraries) {
    if (strcasecmp(s, name.c_str()) == 0) return true;
  }
  return false;
}

bool readSettings(const Configuration& configuration, const VariableLookup& lookup, Options& options,
                  std::vector<std::string>& notes, std::string& error) {
  for (const ToolSettings& tool : configuration.tools) {
    const bool compiler = strcasecmp(tool.tool.c_str(), "cl.exe") == 0;
    const bool linker = strcasecmp(tool.tool.c_str(), "link.exe") == 0;
    if (!compiler && !linker) {
      notes.push_back("the settings of " + tool.tool + " are left out");
      continue;
    }
    for (const std::string& setting : tool.settings) {
      std::vector<std::string> ws = words(setting);
      for (std::string& w : ws) {
        std::string expanded;
        if (!expand(w, lookup, expanded, error)) {
          error = tool.tool + " setting " + error;
          return false;
        }
        w = expanded;
      }
      for (size_t i = 0; i < ws.size(); ++i) {
        const std::string& w = ws[i];
        const bool option = !w.empty() && (w[0] == '/' || w[0] == '-');
        std::string value;
        if (linker && endsWithNoCase(w, ".lib")) {
          const std::string name = stem(w);
          if (isSystemLibrary(name)) {
            notes.push_back(w + " is a library of the Windows platform: left out");
            continue;
          }
          if (w.find('/') != std::string::npos) options.libraries.push_back("-L" + folderOf(w));
          options.libraries.push_back("-l" + name);
        } else if (compiler && option && (w[1] == 'I' || w[1] == 'D')) {
          if (!optionValue(ws, i, 2, value)) {
            error = tool.tool + " setting \"" + setting + "\": " + w + " needs a value";
            return false;
          }
          options.compile.push_back(std::string("-") + w[1] + value);
        } else if (linker && option && strcasecmp(w.c_str() + 1, "dll") == 0) {
          options.library = true;
        } else if (linker && option && startsWithNoCase(w.substr(1), "libpath:")) {
          value = w.substr(9);
          if (value.empty()) {
            error = tool.tool + " setting \"" + setting + "\": " + w + " needs a folder";
            return false;
          }
          while (value.size() > 1 && value.back() == '/') value.pop_back();
          options.folders.push_back("-L" + value);
          options.folders.push_back("-Wl,-rpath," + value);
        } else {
          notes.push_back(tool.tool + " option " + w + " has no counterpart here: left out");
        }
      }
    }
  }
  return true;
}

// The configuration's last word: "App - Win32 Debug" gives "Debug".
std::string configurationFolder(const Project& project) {
  if (project.configurations.empty()) return "Build";
  const std::string& name = project.configurations.front().name;
  const size_t blank = name.find_last_of(" \t");
  const std::string last = blank == std::string::npos ? name : name.substr(blank + 1);
  std::string folder;
  for (char c : last) folder += (c == '/' || c == '\\') ? '_' : c;
  return folder.empty() ? std::string("Build") : folder;
}

std::string shellWord(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\"'\\$`!*?;&|<>()[]{}#~") == std::string::npos) return word;
  std::string out = "'";
  for (char c : word) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string commandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& a : argv) line += (line.empty() ? "" : " ") + shellWord(a);
  return line;
}

// Runs a command in `directory` with this program's standard streams; its exit status, or -1
// with `error`.
int run(const std::vector<std::string>& argv, const std::string& directory, std::string& error) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    error = "Cannot start " + argv[0] + ": " + std::strerror(rc);
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      error = "Cannot wait for " + argv[0] + ": " + std::strerror(errno);
      return -1;
    }
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  error = argv[0] + " ended by signal " + std::to_string(WTERMSIG(status));
  return -1;
}

bool makeFolder(const std::string& path, std::string& error) {
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  }
  error = "Cannot make the folder " + path + ": " + std::strerror(errno == 0 ? ENOTDIR : errno);
  return false;
}

}  // namespace

VariableLookup userEnvironment() {
  return [](const std::string& name, std::string& value) {
    if (const char* set = std::getenv(name.c_str())) {
      value = set;
      return true;
    }
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "Environment", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[4096] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LONG rc = RegQueryValueEx(key, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    value = buffer;
    return true;
  };
}

// The header named by the first `#include "..."` line of `source` whose name is stdafx.h in any
// case, or "" when there is none (or the file cannot be read).
std::string stdafxIncludeOf(const std::string& source) {
  FILE* file = std::fopen(source.c_str(), "r");
  if (file == nullptr) return "";
  std::string found;
  char line[4096];
  while (found.empty() && std::fgets(line, sizeof line, file) != nullptr) {
    std::string text = line;
    const size_t hash = text.find_first_not_of(" \t");
    if (hash == std::string::npos || text[hash] != '#') continue;
    const size_t open = text.find('"', hash);
    const size_t close = open == std::string::npos ? open : text.find('"', open + 1);
    if (close == std::string::npos || text.compare(hash, 8, "#include") != 0) continue;
    const std::string name = text.substr(open + 1, close - open - 1);
    if (strcasecmp(name.c_str(), "stdafx.h") == 0) found = name;
  }
  std::fclose(file);
  return found;
}

bool isFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string programOf(const Project& project) {
  const std::string projectFile = absolutePath(project.path);
  return folderOf(projectFile) + "/" + stem(projectFile);
}

bool planBuild(const Project& project, const VariableLookup& lookup, BuildPlan& plan, std::string& error) {
  plan = BuildPlan();
  const std::string projectFile = absolutePath(project.path);
  const std::string directory = folderOf(projectFile);
  const std::string name = stem(projectFile);
  plan.directory = directory;
  plan.program = programOf(project);

  Options options;
  if (!project.configurations.empty() &&
      !readSettings(project.configurations.front(), lookup, options, plan.notes, error)) {
    error = project.path + ": " + error;
    return false;
  }

  const std::string folder = configurationFolder(project);
  plan.objects = directory + "/" + folder;
  std::set<std::string> taken;
  std::vector<std::string> objectFiles;
  std::map<std::string, std::vector<std::string>> stdafxUsers;  // by the name they include
  for (const std::string& file : project.files) {
    std::string path;
    if (!expand(file, lookup, path, error)) {
      error = project.path + ": file " + error;
      return false;
    }
    if (!endsWithNoCase(path, ".cpp")) continue;
    // The commands run in the project folder: what lies in it is named from there.
    if (path.compare(0, directory.size() + 1, directory + "/") == 0) path = path.substr(directory.size() + 1);
    std::string object = stem(path);
    for (int n = 2; !taken.insert(object).second; ++n) object = stem(path) + "_" + std::to_string(n);
    object = folder + "/" + object + ".o";
    const std::string header = stdafxIncludeOf(path[0] == '/' ? path : directory + "/" + path);
    if (!header.empty()) stdafxUsers[header].push_back(path);
    std::vector<std::string> compile = {kCompiler, "-std=c++17", "-g", "-c", path, "-o", object};
    if (options.library) compile.push_back("-fPIC");
    compile.insert(compile.end(), options.compile.begin(), options.compile.end());
    plan.compiles.push_back(compile);
    objectFiles.push_back(object);
  }
  if (plan.compiles.empty()) {
    error = "The project " + project.path + " has no .cpp file to build";
    return false;
  }
  // Generated sources include the project's precompiled header first: without one, each of them
  // fails to compile, and the build says why before the compiler does.
  for (const auto& users : stdafxUsers) {
    const std::vector<std::string>& sources = users.second;
    std::vector<std::string> folders;
    for (const std::string& source : sources)
      folders.push_back(folderOf(source[0] == '/' ? source : directory + "/" + source));
    for (const std::string& option : options.compile) {
      if (option.compare(0, 2, "-I") == 0)
        folders.push_back((option.size() > 2 && option[2] == '/' ? "" : directory + "/") + option.substr(2));
    }
    bool found = false;
    for (const std::string& folder : folders) found = found || isFile(folder + "/" + users.first);
    if (found) continue;
    const std::string who = sources.size() == 1
                                ? sources.front() + " includes"
                                : sources.front() + " and " + std::to_string(sources.size() - 1) + " more include";
    plan.notes.push_back(who + " \"" + users.first +
                         "\", which is missing: it is the project's precompiled header, "
                         "which may be empty; put one beside the project file");
  }
  plan.library = options.library;
  if (plan.library) plan.program = directory + "/lib" + name + ".so";
  plan.linkedAs = folder + "/." + name + ".linking";
  plan.link = {kCompiler, "-o", plan.linkedAs};
  if (plan.library) plan.link.insert(plan.link.begin() + 1, "-shared");
  plan.link.insert(plan.link.end(), objectFiles.begin(), objectFiles.end());
  plan.link.insert(plan.link.end(), options.folders.begin(), options.folders.end());
  plan.link.insert(plan.link.end(), options.libraries.begin(), options.libraries.end());
  return true;
}

bool runBuild(const BuildPlan& plan, std::ostream& log, std::string& error) {
  for (const std::string& note : plan.notes) log << "note: " << note << "\n";
  if (!makeFolder(plan.objects, error)) return false;
  int failures = 0;
  for (const std::vector<std::string>& compile : plan.compiles) {
    log << commandLine(compile) << std::endl;
    std::string why;
    const int status = run(compile, plan.directory, why);
    if (status != 0) {
      ++failures;
      if (status < 0) log << why << std::endl;
    }
  }
  if (failures > 0) {
    error = std::to_string(failures) + " of " + std::to_string(plan.compiles.size()) +
            " source file(s) did not compile; " + plan.program + " is not linked";
    return false;
  }
  log << commandLine(plan.link) << std::endl;
  std::string why;
  const int status = run(plan.link, plan.directory, why);
  const std::string linked = plan.directory + "/" + plan.linkedAs;
  if (status != 0) {
    unlink(linked.c_str());
    error = status < 0 ? why : "The link of " + plan.program + " failed";
    return false;
  }
  if (rename(linked.c_str(), plan.program.c_str()) != 0) {
    error = "Cannot write " + plan.program + ": " + std::strerror(errno);
    unlink(linked.c_str());
    return false;
  }
  log << "built " << plan.program << std::endl;
  return true;
}

}  // namespace devstudio
