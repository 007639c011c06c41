// Interface implementations of every public interface of java.util, and delegators of every
// public class of java.util that is not final, from JDK 17's own modules; sealed types are left
// out, as no Java class may take them as its own. Per type: build the generated class, write its
// class file and write the two C++ files. Reports interfaces and classes per second; the class
// files are read and parsed once (the repository's cache keeps them), as in a generation run over
// many classes. Beside each, the anchor of the same run: the creation of the same files alone.
#include "ClassBuilderBase.h"
#include "ClassFileTokenTypes.hpp"
#include "ClassRepository.h"
#include "CppNames.h"
#include "GeneratedFile.h"
#include "ProxyGenerator.h"
#include "StringHelpers.h"
#include "TestSupport.h"
#include "TypeMapping.h"

#include <antlr/AST.hpp>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

typedef ClassFileTokenTypes T;

// The dotted names of the public interfaces in java.util, or of its public classes that are not
// final (nested ones included); none that is sealed.
std::vector<std::string> publicUtilTypes(const std::string& jdkHome, bool interfaces) {
  std::vector<std::string> entries;
  listArchiveClasses(jdkHome + "/jmods/java.base.jmod", &entries);
  std::vector<std::string> names;
  for (const std::string& entry : entries) {
    const std::string prefix = "java/util/";
    if (entry.compare(0, prefix.size(), prefix) != 0 || entry.find('/', prefix.size()) != std::string::npos) continue;
    const std::string name = entry.substr(0, entry.size() - 6);
    ClassRepository repository;
    const antlr::RefAST tree = repository.loadClass(name, std::string());
    if (!tree || repository.isInterface() != interfaces) continue;
    antlr::RefAST head;
    bool sealed = false;
    for (antlr::RefAST node = tree; node; node = node->getNextSibling()) {
      if (node->getType() == (interfaces ? T::THIS_INTERFACE : T::THIS_CLASS))
        head = node;
      else if (node->getType() == T::ATTRIBUTES)
        sealed = ClassBuilderBase::isSealed(node);
    }
    const antlr::RefAST flags = head ? head->getFirstChild() : antlr::nullAST;
    if (sealed || !flags || flags->getType() != T::ACCESS_FLAGS) continue;
    const int access = std::stoi(flags->getText());
    if ((access & kAccPublic) == 0 || (!interfaces && (access & kAccFinal) != 0)) continue;
    names.push_back(replaceChar(name, '/', '.'));
  }
  return names;
}

// What a run does for one type in its folder; false when the type failed.
typedef std::function<bool(const std::string& name, const std::string& directory)> TypeWork;

// Runs the work for every type, `unit` naming the types in the counters.
void runOverTypes(benchmark::State& state, bool interfaces, const char* unit, const TypeWork& work) {
  ClassRepository::resetModules(kavrin_test::kJdkHome);
  const std::vector<std::string> types = publicUtilTypes(kavrin_test::kJdkHome, interfaces);
  if (types.empty()) {
    state.SkipWithError("no such type in java.util");
    return;
  }
  // One folder for all runs of all benchmarks, removed at exit: on a file system that keeps
  // recently deleted inodes out of use for a while, files removed between benchmarks would
  // slow down the creation of the next benchmark's files.
  static kavrin_test::TempDir out("classgen-bench");
  static int runs = 0;
  int64_t written = 0;
  int64_t failed = 0;
  for (auto _ : state) {
    // Each run into a folder of its own, as a first generation into a project: a file system
    // slows down the creation of files in place of ones deleted moments before.
    state.PauseTiming();
    const std::string directory = out.file("run" + std::to_string(++runs)) + "/";
    std::filesystem::create_directory(directory);
    state.ResumeTiming();
    for (const std::string& name : types) {
      if (work(name, directory))
        ++written;
      else
        ++failed;
    }
  }
  state.SetItemsProcessed(written + failed);
  state.counters[unit] = static_cast<double>(types.size());
  state.counters["failed"] = static_cast<double>(failed);
  state.counters[std::string(unit) + "_per_second"] =
      benchmark::Counter(static_cast<double>(written + failed), benchmark::Counter::kIsRate);
}

// Writes the files of every type with the writer.
void generateAll(benchmark::State& state, bool interfaces, const char* unit,
                 bool (ProxyGenerator::*writer)(std::string, bool)) {
  runOverTypes(state, interfaces, unit, [writer](const std::string& name, const std::string& directory) {
    ProxyGenerator generator(name);
    return (generator.*writer)(directory, false);
  });
}

// The anchor of the same run: only the two files per type, created empty under the names the
// writer gives them, as the writer creates them. On a file system slow to create files this is
// most of a generation's time, and no writer gets past it.
void createFilesOnly(benchmark::State& state, bool interfaces, const char* unit, const std::string& suffix) {
  runOverTypes(state, interfaces, unit, [&suffix](const std::string& name, const std::string& directory) {
    const std::string stem = directory + generatedFileStem(name) + suffix;
    GeneratedFile header(stem + ".h", directory);
    GeneratedFile source(stem + ".cpp", directory);
    const bool headerWritten = header.close();
    return source.close() && headerWritten;
  });
}

// The kinds of generated classes: per kind its benchmark and, named after it with the suffix
// "_FilesOnlyAnchor", the anchor of the same run, registered in this order.
struct Kind {
  const char* benchmark;
  bool interfaces;
  const char* unit;
  bool (ProxyGenerator::*writer)(std::string, bool);
  const std::string* suffix;  // the file suffix, read when the benchmark runs
};
const Kind kKinds[] = {
    {"BM_ImplementJavaUtilInterfaces", true, "interfaces", &ProxyGenerator::genInterfaceImpl, &implSuffix},
    {"BM_DelegateJavaUtilClasses", false, "classes", &ProxyGenerator::genDelegator, &delegatorSuffix},
};

const bool kRegistered = [] {
  for (const Kind& kind : kKinds) {
    benchmark::RegisterBenchmark(kind.benchmark, [kind](benchmark::State& state) {
      generateAll(state, kind.interfaces, kind.unit, kind.writer);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        (std::string(kind.benchmark) + "_FilesOnlyAnchor").c_str(),
        [kind](benchmark::State& state) { createFilesOnly(state, kind.interfaces, kind.unit, *kind.suffix); })
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
