// kavrin_proxy_driver: runs the proxy generator over named classes into a folder and then writes
// the shared files "defproxies.h" and "defproxies.cpp", the way the wizard's generation run does.
// An internal tool of the tests, benchmarks and the demonstration; not part of any deliverable.
//
//   kavrin_proxy_driver -o DIR [options] CLASS...
//     -o DIR             output folder (created when missing)
//     --jdk HOME         the modules of a JDK or JRE home (its jmods, lib archives)
//     -m MODULE          a further module: a class folder, a .jar/.zip or a .jmod (repeatable)
//     --natives          every class gets native skeletons
//     -n CLASS           this class gets native skeletons (repeatable; the class is generated)
//     --field-prefix     field-derived C++ names get "fld_"
//     --method-prefix    method-derived C++ names get "mth_"
//     -s JAVA=CPP        name substitution (repeatable)
//     --stdafx           generated sources include "stdafx.h"
//
// Classes are dotted names, generated in sorted order, their files named as in a generation run
// (a class whose file name an earlier class takes gets one of its own, "FILE NAME TAKEN: "). A
// class whose class file is missing is logged as "MISSING BYTECODE: ", one whose class file
// cannot be read or whose files cannot be written as "Cannot process Bytecode: ", a super type
// that cannot be loaded as "MISSING SUPER TYPE: ", in DIR/KAVRIN.LOG. CLASSPATH is not read.
// Exit status: 0 when everything was written whole, 1 when a class or shared file failed or a
// proxy lacks inherited members, 2 on a usage error.
#include "ClassRepository.h"
#include "GenerationFiles.h"
#include "GenerationLog.h"
#include "GenerationSetup.h"
#include "ProxyGenerator.h"
#include "TypeMapping.h"

#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <string>

namespace {

int usage(const std::string& problem) {
  std::cerr << "kavrin_proxy_driver: " << problem << "\n"
            << "usage: kavrin_proxy_driver -o DIR [--jdk HOME] [-m MODULE]... [--natives] [-n CLASS]...\n"
            << "       [--field-prefix] [--method-prefix] [-s JAVA=CPP]... [--stdafx] CLASS...\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string outDir;
  std::string jdkHome;
  std::vector<std::string> modules;
  std::set<std::string> classes;
  std::set<std::string> nativeClasses;
  std::map<std::string, std::string> substitutions;
  bool allNatives = false;
  bool stdafx = false;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "-o") {
      if (!value(outDir)) return usage("-o needs a folder");
    } else if (arg == "--jdk") {
      if (!value(jdkHome)) return usage("--jdk needs a folder");
    } else if (arg == "-m") {
      if (!value(v)) return usage("-m needs a module");
      modules.push_back(v);
    } else if (arg == "-n") {
      if (!value(v)) return usage("-n needs a class");
      nativeClasses.insert(v);
      classes.insert(v);
    } else if (arg == "-s") {
      if (!value(v) || v.find('=') == std::string::npos || v.find('=') == 0) return usage("-s needs JAVA=CPP");
      substitutions[v.substr(0, v.find('='))] = v.substr(v.find('=') + 1);
    } else if (arg == "--natives") {
      allNatives = true;
    } else if (arg == "--field-prefix") {
      setAddFieldPrefix(true);
    } else if (arg == "--method-prefix") {
      setAddMethodPrefix(true);
    } else if (arg == "--stdafx") {
      stdafx = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return usage("unknown option " + arg);
    } else {
      classes.insert(arg);
    }
  }
  if (outDir.empty()) return usage("no output folder (-o)");
  if (classes.empty()) return usage("no classes");

  const std::string directory = kavrin_test::startGeneration(outDir, jdkHome, modules);
  GenerationFiles files(classes, {}, {});
  PublishedGeneration published(files);
  appendLogLines(directory, files.renamedLines());

  // Each problem goes to the log, and to the standard error stream.
  auto problem = [&](const std::string& line) {
    appendLogLine(directory, line);
    std::cerr << line << "\n";
  };
  bool success = true;
  int written = 0;
  for (const std::string& className : classes) {
    ProxyGenerator probe(className);
    probe.loadClass(className, std::string());
    if (probe.m_bClassMissing) {
      problem(probe.m_strLoadProblem.empty() ? kLogMissingBytecode + className
                                             : kLogCannotProcess + className + ": " + probe.m_strLoadProblem);
      success = false;
      continue;
    }
    ProxyGenerator generator(className);
    generator.m_bUseGlobalFilter = true;
    nameSubstitutions = &substitutions;
    generator.setImplementNatives(allNatives || nativeClasses.count(className) != 0);
    if (generator.genProxy(directory, stdafx)) {
      ++written;
    } else {
      problem(kLogCannotProcess + generator.getClassName());
      success = false;
    }
    for (const std::string& line : generator.m_walkProblems) std::cerr << line << "\n";
    if (generator.m_bIncomplete) success = false;
  }
  nameSubstitutions = &substitutions;
  if (!genDefProxies(directory, stdafx)) {
    std::cerr << "kavrin_proxy_driver: cannot write the shared files in " << directory << "\n";
    success = false;
  }
  nameSubstitutions = nullptr;
  std::cout << written << " of " << classes.size() << " proxies written to " << directory;
  if (!success) std::cout << "; problems are listed in " << directory << getLogFileName().substr(1);
  std::cout << "\n";
  return success ? 0 : 1;
}
