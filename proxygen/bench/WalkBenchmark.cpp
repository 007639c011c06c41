// Loads and walks every public class of JDK 17's java.base through the class repository, collecting
// and listing members as the wizard's member views do. Reports classes per second, cold (every class
// and its super types parsed into an empty cache) and warm (served from the cache), and the cache's
// memory per cached class tree.
#include "JavaBaseClasses.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <iostream>
#include <string>
#include <vector>

namespace {

// Dotted names of the classes of java.base whose access flags say public.
const std::vector<std::string>& publicClasses() {
  static const std::vector<std::string> names =
      publicJavaBaseClasses([](const std::string& entry) { return entry.find("module-info") == std::string::npos; });
  return names;
}

// What a member view does with one class.
std::size_t viewClass(const std::string& name) {
  ProxyGenerator gen(name);
  gen.loadMembers();
  MethodLineMap methods, constructors;
  FieldLineMap fields, constants;
  gen.listConstants(constants);
  gen.listFields(fields);
  gen.listConstructors(constructors);
  gen.listMethods(methods);
  return methods.size() + constructors.size() + fields.size() + constants.size();
}

void BM_LoadAndWalkColdCache(benchmark::State& state) {
  const std::vector<std::string>& names = publicClasses();
  std::size_t lines = 0;
  double bytesPerClass = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClassRepository::resetModules("");
    const std::size_t before = mallinfo2().uordblks;
    resetToJdk();
    state.ResumeTiming();
    for (const std::string& name : names) lines += viewClass(name);
    state.PauseTiming();
    const std::size_t cached = ClassRepository::classCache.size();
    const std::size_t after = mallinfo2().uordblks;
    bytesPerClass = cached ? static_cast<double>(after - before) / static_cast<double>(cached) : 0;
    state.ResumeTiming();
  }
  benchmark::DoNotOptimize(lines);
  state.counters["classes"] = static_cast<double>(names.size());
  state.counters["classes_per_second"] =
      benchmark::Counter(static_cast<double>(names.size()), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["cache_bytes_per_class"] = bytesPerClass;
  state.counters["cached_trees"] = static_cast<double>(ClassRepository::classCache.size());
}
BENCHMARK(BM_LoadAndWalkColdCache)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WalkWarmCache(benchmark::State& state) {
  const std::vector<std::string>& names = publicClasses();
  resetToJdk();
  for (const std::string& name : names) viewClass(name);
  std::size_t lines = 0;
  for (auto _ : state)
    for (const std::string& name : names) lines += viewClass(name);
  benchmark::DoNotOptimize(lines);
  state.counters["classes_per_second"] =
      benchmark::Counter(static_cast<double>(names.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_WalkWarmCache)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
