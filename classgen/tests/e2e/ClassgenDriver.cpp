// classgen_driver: writes the interface implementation files of named interfaces and the
// delegator files of classes named with -d into a folder, then the shared files "defproxies.h"
// and "defproxies.cpp", the way the generation run does for the classes marked for
// implementation and delegation (a class named both ways gets both, the implementation first,
// from one generator). Internal to the tests.
//
//   classgen_driver -o DIR [--jdk HOME] [-m MODULE]... [--stdafx] [-d CLASS]... [INTERFACE]...
//
// A class that is not written is logged as "Cannot process Bytecode: " in DIR/KAVRIN.LOG. Exit
// status: 0 when every file pair was written, 1 otherwise, 2 on a usage error.
#include "ClassRepository.h"
#include "GenerationLog.h"
#include "GenerationSetup.h"
#include "ProxyGenerator.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <set>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::string outDir;
  std::string jdkHome;
  std::vector<std::string> modules;
  std::vector<std::string> classes;  // in the order first named
  std::set<std::string> implemented;
  std::set<std::string> delegated;
  bool stdafx = false;
  auto name = [&classes](const std::string& className) {
    if (std::find(classes.begin(), classes.end(), className) == classes.end()) classes.push_back(className);
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "-o" || arg == "--jdk" || arg == "-m" || arg == "-d") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "-o") {
        outDir = value;
      } else if (arg == "--jdk") {
        jdkHome = value;
      } else if (arg == "-m") {
        modules.push_back(value);
      } else {
        delegated.insert(value);
        name(value);
      }
    } else if (arg == "--stdafx") {
      stdafx = true;
    } else if (!arg.empty() && arg[0] != '-') {
      implemented.insert(arg);
      name(arg);
    } else {
      std::cerr << "usage: classgen_driver -o DIR [--jdk HOME] [-m MODULE]... [--stdafx] [-d CLASS]... "
                   "[INTERFACE]...\n";
      return 2;
    }
  }
  if (outDir.empty() || classes.empty()) {
    std::cerr << "classgen_driver: an output folder and at least one class are needed\n";
    return 2;
  }
  const std::string directory = kavrin_test::startGeneration(outDir, jdkHome, modules);

  bool success = true;
  for (const std::string& className : classes) {
    ProxyGenerator generator(className);
    const bool implementedOk = !implemented.count(className) || generator.genInterfaceImpl(directory, stdafx);
    const bool delegatedOk = !delegated.count(className) || generator.genDelegator(directory, stdafx);
    if (!implementedOk || !delegatedOk) {
      appendLogLine(directory, kLogCannotProcess + className);
      std::cerr << kLogCannotProcess << className << "\n";
      success = false;
    }
  }
  if (!genDefProxies(directory, stdafx)) success = false;
  return success ? 0 : 1;
}
