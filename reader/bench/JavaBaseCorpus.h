// The benchmarks' corpus: the class entries of JDK 17's java.base module (KAVRIN_JAVA_BASE_JMOD,
// entries under classes/), read once.
#pragma once

#include "writer_corpus.h"

#include <benchmark/benchmark.h>

#include <exception>
#include <vector>

namespace {

const std::vector<writer_corpus::ClassBytes>& javaBase() {
  static const std::vector<writer_corpus::ClassBytes> entries = [] {
    try {
      return writer_corpus::archiveClasses(KAVRIN_JAVA_BASE_JMOD, "classes/");
    } catch (std::exception&) {
      return std::vector<writer_corpus::ClassBytes>();
    }
  }();
  return entries;
}

// Whether the corpus could be read; a benchmark without it is skipped with the reason.
bool haveJavaBase(benchmark::State& state) {
  if (!javaBase().empty()) return true;
  state.SkipWithError("cannot read " KAVRIN_JAVA_BASE_JMOD);
  return false;
}

}  // namespace
