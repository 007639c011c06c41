// Generates the proxies of every public class of JDK 17's java.util (nested classes included),
// each through its own ProxyGenerator as the generation run does, and then the shared files;
// reports classes per second (of processor time). Cold: every class and its super types are
// parsed into an empty cache, as in the first run after the JVM job; warm: the trees come from the
// cache and only walking and writing remain. Each run writes into a folder of its own, as a first
// generation into a project does: a file system slows down the creation of files in place of ones
// deleted moments before, which a loop of runs over one folder would measure instead.
#include "JavaBaseClasses.h"
#include "TypeMapping.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Dotted names of the classes of the package java.util whose access flags say public.
const std::vector<std::string>& publicClasses() {
  static const std::vector<std::string> names = publicJavaBaseClasses([](const std::string& entry) {
    const std::string package = "java/util/";
    return entry.compare(0, package.size(), package) == 0 && entry.find('/', package.size()) == std::string::npos;
  });
  return names;
}

// A new empty folder under the benchmark's folder, for one run.
std::string newRunFolder(const kavrin_test::TempDir& dir) {
  static int runs = 0;
  const std::string folder = dir.file("run" + std::to_string(++runs)) + "/";
  std::filesystem::create_directory(folder);
  return folder;
}

// One generation run over the classes into the folder; the number of proxies written.
std::size_t generateAll(const std::string& directory) {
  std::size_t written = 0;
  for (const std::string& name : publicClasses()) {
    ProxyGenerator gen(name);
    if (gen.genProxy(directory, false)) ++written;
  }
  genDefProxies(directory, false);
  return written;
}

// The counters of a generation benchmark over `classes` classes; an error when its last run wrote
// fewer proxies.
void report(benchmark::State& state, std::size_t classes, std::size_t written) {
  if (written != classes) state.SkipWithError("not every proxy was written");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * classes));
  state.counters["classes"] = static_cast<double>(classes);
  state.counters["classes_per_second"] =
      benchmark::Counter(static_cast<double>(classes), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_GenerateJavaUtilColdCache(benchmark::State& state) {
  kavrin_test::TempDir dir("kavrin-genbench");
  const std::size_t classes = publicClasses().size();
  std::size_t written = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClassRepository::resetModules("");
    resetToJdk();
    const std::string folder = newRunFolder(dir);
    state.ResumeTiming();
    written = generateAll(folder);
  }
  report(state, classes, written);
}
BENCHMARK(BM_GenerateJavaUtilColdCache)->Unit(benchmark::kMillisecond);

void BM_GenerateJavaUtilWarmCache(benchmark::State& state) {
  kavrin_test::TempDir dir("kavrin-genbench");
  const std::size_t classes = publicClasses().size();
  resetToJdk();
  generateAll(dir.path() + "/");
  std::size_t written = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string folder = newRunFolder(dir);
    state.ResumeTiming();
    written = generateAll(folder);
  }
  report(state, classes, written);
}
BENCHMARK(BM_GenerateJavaUtilWarmCache)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
