// The generation run over the project model: for every selected class in order, a proxy or an
// interface implementation and, where asked for, a delegator, written into the project
// directory; then the shared files "defproxies.h" and "defproxies.cpp". Problems are not thrown:
// each becomes a line of the log "KAVRIN.LOG" in the project directory ("MISSING BYTECODE: "
// for a class without a class file, "Cannot process Bytecode: " for a class whose class file
// cannot be read or whose files could not be written, "MISSING SUPER TYPE: " for a super type
// whose members a class's files lack), and the run's result tells whether there were any. Each
// class's files are named as generationFiles gives them; a class that does not get the name of
// its own is logged ("FILE NAME TAKEN: ").
#pragma once

#include "GenerationFiles.h"
#include "ProjectModel.h"

#include <functional>
#include <string>

namespace generationrun {

// Called before each class with its number (1, 2, ...).
typedef std::function<void(int number)> ClassStarted;
// Polled between classes: true ends the run early (nothing further is written).
typedef std::function<bool()> StopRequested;

struct Outcome {
  bool success = true;   // no class and no shared file failed
  bool stopped = false;  // the run was asked to stop before its end
};

// `directory` ends with '/'. The user's name substitutions are published to the generator for
// the length of the run. The shared files are written when there is at least one class, also
// when classes failed.
Outcome generateClasses(const std::string& directory, const ClassSettingsMap& classes,
                        NameSubstitutionMap* substitutions, const ClassStarted& classStarted = nullptr,
                        const StopRequested& stopRequested = nullptr);

// The files of a generation of the classes: a proxy or an implementation for each, and a delegator
// where asked for, each class named after itself unless a class before it takes that name.
GenerationFiles generationFiles(const ClassSettingsMap& classes);

// The bar position of class `number`: 20 per class, at most 100.
int barPosition(int number);

// The text of the message that ends a run with problems:
// "There are problems in generating of JNI wrappers! See KAVRIN.LOG".
std::string problemMessage();

}  // namespace generationrun

// Writes "defproxies.h" and "defproxies.cpp" into `directory`; true when both were written.
bool writeDefProxies(std::string directory, bool includeStdafx);
bool callGenDefProxies(std::string directory, bool includeStdafx);
