// Writing the trees of every class of JDK 17's java.base module (jmods/java.base.jmod, entries
// under classes/), parsed beforehand. Throughput is in bytes of class files per second (parse and
// round trip beside ASM: ParseBenchmark.cpp):
//   BM_Write          write trees parsed beforehand
//   BM_WalkOnly       walk trees parsed beforehand without output (the flags only)
#include "ClassFileWriter.hpp"
#include "JavaBaseCorpus.h"
#include "writer_corpus.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using writer_corpus::ClassBytes;

struct ParsedClass {
  antlr::RefAST tree;
  std::size_t size = 0;
};

const std::vector<ParsedClass>& parsedJavaBase() {
  static const std::vector<ParsedClass> trees = [] {
    std::vector<ParsedClass> out;
    for (const ClassBytes& c : javaBase()) {
      try {
        out.push_back({writer_corpus::parse(c.bytes).tree, c.bytes.size()});
      } catch (antlr::ANTLRException&) {
      }
    }
    return out;
  }();
  return trees;
}

void BM_Write(benchmark::State& state) {
  if (!haveJavaBase(state)) return;
  const std::vector<ParsedClass>& trees = parsedJavaBase();
  int64_t bytes = 0;
  antlr::ASTFactory factory;
  std::ostringstream out;
  for (auto _ : state) {
    for (const ParsedClass& p : trees) {
      out.str(std::string());
      ClassFileWriter writer(&out);
      writer.setASTFactory(&factory);
      writer.classFile(p.tree);
      benchmark::DoNotOptimize(out.tellp());
      bytes += static_cast<int64_t>(p.size);
    }
  }
  state.SetBytesProcessed(bytes);
  state.counters["classes"] = static_cast<double>(trees.size());
}
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_WalkOnly(benchmark::State& state) {
  if (!haveJavaBase(state)) return;
  const std::vector<ParsedClass>& trees = parsedJavaBase();
  int64_t bytes = 0;
  int64_t natives = 0;
  antlr::ASTFactory factory;
  for (auto _ : state) {
    for (const ParsedClass& p : trees) {
      ClassFileWriter walker;
      walker.setASTFactory(&factory);
      walker.classFile(p.tree);
      natives += walker.hasNativeMethods();
      bytes += static_cast<int64_t>(p.size);
    }
  }
  benchmark::DoNotOptimize(natives);
  state.SetBytesProcessed(bytes);
  state.counters["classes"] = static_cast<double>(trees.size());
}
BENCHMARK(BM_WalkOnly)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
