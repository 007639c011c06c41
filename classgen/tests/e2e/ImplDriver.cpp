// classgen_impl_driver: writes the interface implementation files of named interfaces into a
// folder, then the shared files "defproxies.h" and "defproxies.cpp", the way the generation run
// does for interfaces marked for implementation. Internal to the tests and benchmarks.
//
//   classgen_impl_driver -o DIR [--jdk HOME] [-m MODULE]... [--stdafx] INTERFACE...
//
// A class that is not written is logged as "Cannot process Bytecode: " in DIR/KAVRIN.LOG. Exit
// status: 0 when every implementation was written, 1 otherwise, 2 on a usage error.
#include "ClassRepository.h"
#include "GenerationLog.h"
#include "ProxyGenerator.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::string outDir;
    std::string jdkHome;
    std::vector<std::string> modules;
    std::vector<std::string> classes;
    bool stdafx = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-o" || arg == "--jdk" || arg == "-m") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "-o")
                outDir = value;
            else if (arg == "--jdk")
                jdkHome = value;
            else
                modules.push_back(value);
        } else if (arg == "--stdafx") {
            stdafx = true;
        } else if (!arg.empty() && arg[0] != '-') {
            classes.push_back(arg);
        } else {
            std::cerr << "usage: classgen_impl_driver -o DIR [--jdk HOME] [-m MODULE]... [--stdafx] INTERFACE...\n";
            return 2;
        }
    }
    if (outDir.empty() || classes.empty()) {
        std::cerr << "classgen_impl_driver: an output folder and at least one interface are needed\n";
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    std::string directory = outDir;
    if (directory.back() != '/')
        directory += '/';

    unsetenv("CLASSPATH");
    ClassRepository::resetModules(jdkHome);
    for (const std::string& module : modules)
        ClassRepository::addModule(module);

    bool success = true;
    for (const std::string& className : classes) {
        ProxyGenerator generator(className);
        if (!generator.genInterfaceImpl(directory, stdafx)) {
            appendLogLine(directory, kLogCannotProcess + className);
            std::cerr << kLogCannotProcess << className << "\n";
            success = false;
        }
    }
    if (!genDefProxies(directory, stdafx))
        success = false;
    return success ? 0 : 1;
}
