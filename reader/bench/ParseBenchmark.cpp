// The reader over every class of JDK 17's java.base module (jmods/java.base.jmod, entries under
// classes/), from memory, on one core, beside ASM over the same bytes in the same run:
//   BM_TreeMemory        the heap that the trees of all of java.base hold, per class-file byte,
//                        beside the heap of ASM's ClassNodes (counter asm_bytes_per_class_byte)
//   BM_AsmTree           ASM reading each class into a ClassNode (anchor of BM_Parse)
//   BM_Parse             parsing each class into its class-file tree, as the class repository does
//   BM_AsmReadWrite      ASM reading each class straight into a ClassWriter (anchor of
//                        BM_ParseAndWrite)
//   BM_AsmTreeReadWrite  ASM reading each class into a ClassNode and writing that
//   BM_ParseAndWrite     parsing each class and writing its tree back to bytes
// Throughput is in bytes of class files per second. The project's rows carry the counter x_asm:
// the processor time of their fastest pass over that of their anchor's fastest pass (for ASM with
// its garbage collections), the fastest being the least disturbed by the rest of a shared machine;
// best_mb_per_s is the throughput of that pass. ASM runs in a JVM of its own (AsmClassBench.java);
// without ASM the anchors are skipped.
#include "ClassFileWriter.hpp"
#include "JavaBaseCorpus.h"
#include "TestSupport.h"
#include "writer_corpus.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using writer_corpus::ClassBytes;

int64_t corpusBytes() {
  int64_t bytes = 0;
  for (const ClassBytes& c : javaBase()) bytes += static_cast<int64_t>(c.bytes.size());
  return bytes;
}

double threadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// --- ASM -------------------------------------------------------------------------------------

// The numbers one mode of AsmClassBench printed ("name=value" pairs); empty when it did not run.
using AsmResult = std::map<std::string, double>;

const AsmResult& asmRun(const std::string& mode) {
  static std::map<std::string, AsmResult> results;
  auto found = results.find(mode);
  if (found != results.end()) return found->second;
  AsmResult& result = results[mode];
  if (std::string(KAVRIN_ASM_CLASSPATH).empty() || javaBase().empty()) return result;
  // The corpus as the benchmark writes it: a 4-byte big-endian length before every class.
  kavrin_test::TempDir dir("kavrin-asm");
  const std::string corpus = dir.file("java.base.classes");
  std::vector<std::uint8_t> content;
  for (const ClassBytes& c : javaBase()) {
    const std::size_t n = c.bytes.size();
    for (int shift = 24; shift >= 0; shift -= 8) content.push_back(static_cast<std::uint8_t>(n >> shift));
    content.insert(content.end(), c.bytes.begin(), c.bytes.end());
  }
  kavrin_test::writeFile(corpus, content);
  const kavrin_test::CommandResult run = kavrin_test::runJava(
      KAVRIN_ASM_CLASSPATH, {"-XX:+UseSerialGC", "-Xms2g", "-Xmx2g", "AsmClassBench", mode, corpus, "3"}, 600);
  if (run.exitCode != 0) {
    std::fprintf(stderr, "AsmClassBench %s failed:\n%s\n", mode.c_str(), run.output.c_str());
    return result;
  }
  std::istringstream words(run.output);
  std::string word;
  while (words >> word) {
    const std::size_t eq = word.find('=');
    if (eq != std::string::npos) result[word.substr(0, eq)] = std::stod(word.substr(eq + 1));
  }
  return result;
}

// An anchor row: ASM's time per pass as the iteration time.
void asmAnchor(benchmark::State& state, const char* mode) {
  const AsmResult& result = asmRun(mode);
  if (!result.count("seconds_per_pass")) {
    state.SkipWithError("ASM did not run (libasm-java missing?)");
    return;
  }
  for (auto _ : state) state.SetIterationTime(result.at("seconds_per_pass"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * result.at("bytes_per_pass")));
}

// Registers the anchor row of ASM's run of `mode` under the name; true.
bool registerAsmAnchor(const char* name, const char* mode) {
  benchmark::RegisterBenchmark(name, [mode](benchmark::State& state) { asmAnchor(state, mode); })
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  return true;
}

// The project's fastest pass beside its anchor's.
void compareWithAsm(benchmark::State& state, const char* mode, double bestSeconds) {
  if (bestSeconds <= 0) return;
  state.counters["best_mb_per_s"] = static_cast<double>(corpusBytes()) / bestSeconds / 1e6;
  const AsmResult& result = asmRun(mode);
  if (result.count("seconds_per_pass")) state.counters["x_asm"] = bestSeconds / result.at("seconds_per_pass");
}

// The processor time of the fastest of the passes timed with it.
class FastestPass {
 public:
  void start() { m_start = threadSeconds(); }
  void stop() {
    const double spent = threadSeconds() - m_start;
    if (m_best <= 0 || spent < m_best) m_best = spent;
  }
  double seconds() const { return m_best; }

 private:
  double m_start = 0;
  double m_best = 0;
};

// Times passes that parse every class of the corpus and run `perClass` on its tree, and reports
// the fastest against ASM's run of `asmMode`. False, the benchmark skipped with the reason, when
// the corpus is missing or a class does not parse.
template <class PerClass>
bool timeParsePasses(benchmark::State& state, const char* asmMode, PerClass perClass) {
  if (!haveJavaBase(state)) return false;
  FastestPass fastest;
  for (auto _ : state) {
    fastest.start();
    for (const ClassBytes& c : javaBase()) {
      antlr::RefAST tree;
      try {
        tree = writer_corpus::parse(c.bytes).tree;
      } catch (antlr::ANTLRException&) {
        state.SkipWithError(("cannot parse " + c.name).c_str());
        return false;
      }
      perClass(tree);
    }
    fastest.stop();
  }
  compareWithAsm(state, asmMode, fastest.seconds());
  state.SetBytesProcessed(state.iterations() * corpusBytes());
  state.counters["classes"] = static_cast<double>(javaBase().size());
  return true;
}

// First, while no tree has been parsed: nodes freed by the other rows would serve it again.
std::size_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void BM_TreeMemory(benchmark::State& state) {
  if (!haveJavaBase(state)) return;
  double perByte = 0;
  for (auto _ : state) {
    std::vector<antlr::RefAST> trees;
    trees.reserve(javaBase().size());
    const std::size_t before = heapInUse();
    for (const ClassBytes& c : javaBase()) trees.push_back(writer_corpus::parse(c.bytes).tree);
    perByte = static_cast<double>(heapInUse() - before) / static_cast<double>(corpusBytes());
  }
  state.counters["bytes_per_class_byte"] = perByte;
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_mib"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  const AsmResult& result = asmRun("memory");
  if (result.count("heap_bytes") && result.at("bytes") > 0)
    state.counters["asm_bytes_per_class_byte"] = result.at("heap_bytes") / result.at("bytes");
}
BENCHMARK(BM_TreeMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

const bool kAsmTreeRegistered = registerAsmAnchor("BM_AsmTree", "tree");

void BM_Parse(benchmark::State& state) {
  timeParsePasses(state, "tree", [](const antlr::RefAST& tree) { benchmark::DoNotOptimize(tree); });
}
BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond)->MinTime(3.0);

const bool kAsmReadWriteRegistered = registerAsmAnchor("BM_AsmReadWrite", "stream");

const bool kAsmTreeReadWriteRegistered = registerAsmAnchor("BM_AsmTreeReadWrite", "roundtrip");

void BM_ParseAndWrite(benchmark::State& state) {
  int64_t errors = 0;
  antlr::ASTFactory factory;
  std::ostringstream out;
  const bool timed = timeParsePasses(state, "stream", [&](const antlr::RefAST& tree) {
    out.str(std::string());
    ClassFileWriter writer(&out);
    writer.setASTFactory(&factory);
    writer.classFile(tree);
    errors += static_cast<int64_t>(writer.getErrorCount());
    benchmark::DoNotOptimize(out.tellp());
  });
  if (timed) state.counters["write_errors"] = static_cast<double>(errors);
}
BENCHMARK(BM_ParseAndWrite)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
