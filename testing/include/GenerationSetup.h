// The start of a test tool's generation run: the output folder and the class repository.
#pragma once

#include "ClassRepository.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace kavrin_test {

// Makes `outDir` and gives it with a trailing '/' (the generators put file names straight after
// the folder); the repository then searches the JDK's home and `modules`, and no CLASSPATH.
inline std::string startGeneration(const std::string& outDir, const std::string& jdkHome,
                                   const std::vector<std::string>& modules) {
  std::error_code ec;
  std::filesystem::create_directories(outDir, ec);
  std::string directory = outDir;
  if (directory.back() != '/') directory += '/';
  unsetenv("CLASSPATH");
  ClassRepository::resetModules(jdkHome);
  for (const std::string& module : modules) ClassRepository::addModule(module);
  return directory;
}

}  // namespace kavrin_test
