// Interface implementations of every public interface of java.util, from JDK 17's own modules:
// build the implementation class, write its class file and write the two C++ files. Reports
// interfaces per second; the class files are read and parsed once (the repository's cache keeps
// them), as in a generation run over many classes.
#include "ClassRepository.h"
#include "ProxyGenerator.h"
#include "StringHelpers.h"
#include "TestSupport.h"

#include <antlr/AST.hpp>
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

const int kAccPublic = 0x0001;
const int kThisInterface = 22;
const int kAccessFlags = 27;

// The dotted names of the public interfaces in java.util (nested ones included).
std::vector<std::string> publicUtilInterfaces(const std::string& jdkHome)
{
    std::vector<std::string> entries;
    listArchiveClasses(jdkHome + "/jmods/java.base.jmod", &entries);
    std::vector<std::string> names;
    for (const std::string& entry : entries) {
        const std::string prefix = "java/util/";
        if (entry.compare(0, prefix.size(), prefix) != 0 || entry.find('/', prefix.size()) != std::string::npos)
            continue;
        const std::string name = entry.substr(0, entry.size() - 6);
        ClassRepository repository;
        const antlr::RefAST tree = repository.loadClass(name, std::string());
        if (!tree || !repository.isInterface())
            continue;
        antlr::RefAST head = tree;
        while (head && head->getType() != kThisInterface)
            head = head->getNextSibling();
        const antlr::RefAST flags = head ? head->getFirstChild() : antlr::nullAST;
        if (!flags || flags->getType() != kAccessFlags || (std::stoi(flags->getText()) & kAccPublic) == 0)
            continue;
        names.push_back(replaceChar(name, '/', '.'));
    }
    return names;
}

void BM_ImplementJavaUtilInterfaces(benchmark::State& state)
{
    ClassRepository::resetModules(kavrin_test::kJdkHome);
    const std::vector<std::string> interfaces = publicUtilInterfaces(kavrin_test::kJdkHome);
    if (interfaces.empty()) {
        state.SkipWithError("no public interface of java.util found");
        return;
    }
    kavrin_test::TempDir out("classgen-bench");
    const std::string directory = out.path() + "/";
    int64_t written = 0;
    int64_t failed = 0;
    for (auto _ : state) {
        for (const std::string& name : interfaces) {
            ProxyGenerator generator(name);
            if (generator.genInterfaceImpl(directory, false))
                ++written;
            else
                ++failed;
        }
    }
    state.SetItemsProcessed(written + failed);
    state.counters["interfaces"] = static_cast<double>(interfaces.size());
    state.counters["failed"] = static_cast<double>(failed);
    state.counters["interfaces_per_second"] =
        benchmark::Counter(static_cast<double>(written + failed), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImplementJavaUtilInterfaces)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
