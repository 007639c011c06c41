// Parses every class of JDK 17's java.base module (jmods/java.base.jmod, entries under
// classes/) from memory and reports the throughput in bytes of class files per second.
#include "ClassBytesInput.h"
#include "ClassFileLexer.hpp"
#include "ClassFileParser.hpp"
#include "ValueAST.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>
#include <benchmark/benchmark.h>
#include <unzip.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct ClassEntry {
    std::string name;
    std::vector<unsigned char> bytes;
};

std::vector<ClassEntry> readJavaBase()
{
    std::vector<ClassEntry> entries;
    unzFile zip = unzOpen(KAVRIN_JAVA_BASE_JMOD);
    if (!zip)
        return entries;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        unz_file_info info;
        char name[1024];
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            continue;
        const std::string entry(name);
        if (entry.compare(0, 8, "classes/") != 0 || entry.size() < 6 ||
            entry.compare(entry.size() - 6, 6, ".class") != 0)
            continue;
        ClassEntry e;
        e.name = entry;
        e.bytes.resize(info.uncompressed_size);
        if (unzOpenCurrentFile(zip) != UNZ_OK)
            continue;
        const int n = unzReadCurrentFile(zip, e.bytes.data(), static_cast<unsigned>(e.bytes.size()));
        unzCloseCurrentFile(zip);
        if (n == static_cast<int>(e.bytes.size()))
            entries.push_back(std::move(e));
    }
    unzClose(zip);
    return entries;
}

const std::vector<ClassEntry>& javaBase()
{
    static const std::vector<ClassEntry> entries = readJavaBase();
    return entries;
}

// Parses one class the way the class repository does; false when the parser rejects it.
bool parseOne(const std::vector<unsigned char>& bytes, antlr::RefAST& tree)
{
    ClassBytesInput input(bytes.data(), bytes.size());
    ClassFileLexer lexer(input);
    ClassFileParser parser(lexer);
    antlr::ASTFactory factory;
    ClassFileParser::initializeASTFactory(factory);
    parser.setASTFactory(&factory);
    setTokenNameTable(parser.getTokenNames());
    try {
        parser.classFile(std::string());
    } catch (antlr::ANTLRException&) {
        return false;
    }
    tree = parser.getAST();
    return true;
}

void BM_ParseJavaBase(benchmark::State& state)
{
    const std::vector<ClassEntry>& entries = javaBase();
    if (entries.empty()) {
        state.SkipWithError("cannot read " KAVRIN_JAVA_BASE_JMOD);
        return;
    }
    int64_t bytes = 0;
    int64_t failures = 0;
    for (auto _ : state) {
        for (const ClassEntry& e : entries) {
            antlr::RefAST tree;
            if (!parseOne(e.bytes, tree))
                ++failures;
            benchmark::DoNotOptimize(tree);
            bytes += static_cast<int64_t>(e.bytes.size());
        }
    }
    state.SetBytesProcessed(bytes);
    state.counters["classes"] = static_cast<double>(entries.size());
    state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_ParseJavaBase)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
