// An X server of a test's own: Xvfb on a display number it picks itself among the free ones
// (it writes the number to a pipe once it is ready), stopped by its process id when the test
// ends. Tests that need one skip when Xvfb is missing. Its screen is 1280 by 1024 unless a test
// asks for another size.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace kavrin_test {

class VirtualDisplay {
 public:
  explicit VirtualDisplay(int width = 1280, int height = 1024) {
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const std::string writeEnd = std::to_string(fds[1]);
    pid_t pid = fork();
    if (pid < 0) {
      close(fds[0]);
      close(fds[1]);
      return;
    }
    if (pid == 0) {
      fcntl(fds[1], F_SETFD, 0);  // the server's end stays open across exec
      int devnull = open("/dev/null", O_RDWR);
      if (devnull >= 0) {
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
      }
      execlp("Xvfb", "Xvfb", "-displayfd", writeEnd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
             "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The number, then a newline, once the server accepts connections (10 s at most).
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
      char buffer[16];
      ssize_t n = read(fds[0], buffer, sizeof buffer);
      if (n <= 0) break;
      number.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
      return;
    }
    pid_ = pid;
    name_ = ":" + number.substr(0, number.find('\n'));
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool running() const { return pid_ > 0; }
  const std::string& name() const { return name_; }  // ":N"

 private:
  pid_t pid_ = -1;
  std::string name_;
};

}  // namespace kavrin_test
