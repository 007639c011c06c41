// Shared by the fuzz targets: properties whose failure ends the run as a crash does (libFuzzer
// then keeps the input), a scratch folder for targets that read files, and a quiet std::cerr for
// code that reports bad input there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>

namespace fuzz_support {

[[noreturn]] inline void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz property failed: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// A folder of this process (under TMPDIR or /tmp), removed when the process ends normally.
inline const std::string& scratchFolder() {
  struct Folder {
    std::string path;
    Folder() {
      const char* base = std::getenv("TMPDIR");
      std::string pattern = std::string(base && *base ? base : "/tmp") + "/kavrin-fuzz.XXXXXX";
      if (!mkdtemp(&pattern[0])) fail("cannot make a scratch folder " + pattern);
      path = pattern;
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static Folder folder;
  return folder.path;
}

// Writes the bytes to a file of the scratch folder and returns its path.
inline std::string writeScratchFile(const std::string& name, const uint8_t* data, std::size_t size) {
  const std::string path = scratchFolder() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) fail("cannot write " + path);
  return path;
}

// Drops what the code under test writes to std::cerr (one line per bad input), unless
// KAVRIN_FUZZ_VERBOSE is set (to see why a kept input failed).
inline void quietErrorStream() {
  if (!std::getenv("KAVRIN_FUZZ_VERBOSE")) std::cerr.rdbuf(nullptr);
}

}  // namespace fuzz_support

#define FUZZ_CHECK(condition, what)                                                             \
  do {                                                                                          \
    if (!(condition)) ::fuzz_support::fail(std::string(#condition) + ": " + std::string(what)); \
  } while (0)
