// Small helpers for the platform stand-ins' tests: temporary folders, files, child processes.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform_test {

// A fresh folder under /tmp, removed with its contents when the object goes.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/kavrin-platform-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error(std::strerror(errno));
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs a program (no shell) with stdout and stderr collected apart. The child inherits this
// process's environment.
inline RunResult run(const std::vector<std::string>& argv, const std::string& scratchDir) {
  const std::string outPath = scratchDir + "/.run.out";
  const std::string errPath = scratchDir + "/.run.err";
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(args[0], args.data());
    _exit(127);
  }
  RunResult r;
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = readText(outPath);
  r.err = readText(errPath);
  return r;
}

// Sets an environment variable for the life of the object and puts back the old state.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const char* value) : name_(name) {
    if (const char* old = getenv(name.c_str())) {
      had_ = true;
      old_ = old;
    }
    if (value != nullptr) {
      setenv(name.c_str(), value, 1);
    } else {
      unsetenv(name.c_str());
    }
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_.c_str(), old_.c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

// A fresh folder whose registry.reg is the registry for the life of the object, so that a test
// neither sees nor leaves keys of others.
class ScratchRegistry : public TempDir {
 public:
  ScratchRegistry() : registry_("KAVRIN_REGISTRY", file("registry.reg").c_str()) {}

 private:
  ScopedEnv registry_;
};

}  // namespace platform_test
