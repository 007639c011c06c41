// Shared helpers for the project's tests: temporary folders, files, child processes, the JDK's
// tools, archive listings and environment variables. Header-only; POSIX.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "TestPaths.h"

namespace kavrin_test {

// A fresh folder under $TMPDIR (else /tmp), removed with everything in it when the object goes.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "kavrin") {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
    path_ = buf.data();
  }
  ~TempDir() {
    if (!path_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(path_, ec);
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  TempDir(TempDir&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  TempDir& operator=(TempDir&&) = delete;

  const std::string& path() const { return path_; }
  // path()/relative
  std::string file(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

inline std::vector<std::uint8_t> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Writes (replaces) the file, creating missing parent folders.
inline void writeFile(const std::string& path, const void* data, std::size_t size) {
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline void writeFile(const std::string& path, const std::string& content) {
  writeFile(path, content.data(), content.size());
}

inline void writeFile(const std::string& path, const std::vector<std::uint8_t>& content) {
  writeFile(path, content.data(), content.size());
}

struct CommandResult {
  int exitCode = -1;      // exit status; 128 + signal when killed; 127 when it could not start
  bool timedOut = false;  // killed after the timeout
  std::string output;     // standard output and standard error, interleaved
};

// Runs argv[0] (searched on PATH) with its arguments, stdin from /dev/null, collecting stdout and
// stderr. After timeoutSeconds the child's whole process group is killed. workDir: "" keeps ours.
inline CommandResult runCommand(const std::vector<std::string>& argv, int timeoutSeconds = 120,
                                const std::string& workDir = "") {
  if (argv.empty()) throw std::invalid_argument("runCommand: empty command");
  // Everything the child needs is prepared before fork.
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const char* dir = workDir.empty() ? nullptr : workDir.c_str();

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  }
  if (pid == 0) {
    setpgid(0, 0);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    if (dir && chdir(dir) != 0) _exit(127);
    execvp(args[0], args.data());
    static const char msg[] = "runCommand: cannot execute\n";
    ssize_t ignored = write(2, msg, sizeof msg - 1);
    (void)ignored;
    _exit(127);
  }
  setpgid(pid, pid);  // also here, so a kill cannot race the child's own call
  close(fds[1]);

  CommandResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  bool reaped = false;
  char buf[8192];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(-pid, SIGKILL);
      result.timedOut = true;
      break;
    }
    pollfd pfd{fds[0], POLLIN, 0};
    int n = poll(&pfd, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
    if (n < 0 && errno != EINTR) break;
    if (n > 0) {
      ssize_t got = read(fds[0], buf, sizeof buf);
      if (got > 0) {
        result.output.append(buf, static_cast<std::size_t>(got));
        continue;
      }
      if (got == 0 || errno != EINTR) break;  // end of output: every writer has gone
    }
    // A child that exited while something it started still holds the pipe: stop waiting.
    if (waitpid(pid, &status, WNOHANG) == pid) {
      reaped = true;
      int flags = fcntl(fds[0], F_GETFL);
      fcntl(fds[0], F_SETFL, flags | O_NONBLOCK);
      ssize_t got;
      while ((got = read(fds[0], buf, sizeof buf)) > 0) result.output.append(buf, static_cast<std::size_t>(got));
      break;
    }
  }
  close(fds[0]);
  if (!reaped) {
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.exitCode = 128 + WTERMSIG(status);
  return result;
}

// Runs one line through /bin/sh -c.
inline CommandResult runShell(const std::string& line, int timeoutSeconds = 120, const std::string& workDir = "") {
  return runCommand({"/bin/sh", "-c", line}, timeoutSeconds, workDir);
}

// Runs JDK 17's java with the class path and arguments (e.g. a main class and its arguments),
// with the variables that make the VM print notices removed.
inline CommandResult runJava(const std::string& classPath, const std::vector<std::string>& args,
                             int timeoutSeconds = 120) {
  std::vector<std::string> argv = {"/usr/bin/env",  "-u", "JAVA_TOOL_OPTIONS", "-u",
                                   "_JAVA_OPTIONS", "-u", "JDK_JAVA_OPTIONS",  kJava};
  if (!classPath.empty()) {
    argv.push_back("-cp");
    argv.push_back(classPath);
  }
  argv.insert(argv.end(), args.begin(), args.end());
  return runCommand(argv, timeoutSeconds);
}

// Waits until `condition` holds (ten seconds at most, or `seconds`); the last look decides.
inline bool eventually(const std::function<bool()>& condition, int seconds = 10) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

// The lines of a stream, without their ends (none from a stream that cannot be read).
inline std::vector<std::string> readLines(std::istream& in) {
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Every entry name of a zip archive (jar or jmod), in archive order, from `unzip -Z1`.
// unzip exits 1 on the 4-byte prefix of a jmod, which is only a warning.
inline std::vector<std::string> listArchiveEntries(const std::string& archive) {
  // stderr (the prefix warning) is dropped so that it cannot mix with the names.
  CommandResult r = runCommand({"/bin/sh", "-c", "LC_ALL=C exec \"$0\" -Z1 \"$1\" 2>/dev/null", kUnzip, archive});
  if (r.timedOut || (r.exitCode != 0 && r.exitCode != 1))
    throw std::runtime_error("unzip -Z1 " + archive + " failed with exit status " + std::to_string(r.exitCode));
  std::vector<std::string> entries;
  std::istringstream in(r.output);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) entries.push_back(line);
  }
  return entries;
}

// The entries of an archive that name class files.
inline std::vector<std::string> listArchiveClasses(const std::string& archive) {
  std::vector<std::string> classes;
  for (std::string& e : listArchiveEntries(archive)) {
    if (e.size() > 6 && e.compare(e.size() - 6, 6, ".class") == 0) classes.push_back(std::move(e));
  }
  return classes;
}

// Sets (or with std::nullopt, removes) an environment variable; the old state comes back on
// destruction.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = getenv(name_.c_str())) old_ = std::string(old);
    if (value)
      setenv(name_.c_str(), value->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_.c_str(), old_->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace kavrin_test
