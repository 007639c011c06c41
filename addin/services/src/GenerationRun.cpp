#include "GenerationRun.h"

#include "ClassRepository.h"
#include "GenerationFiles.h"
#include "GenerationLog.h"
#include "ProxyGenerator.h"
#include "TypeMapping.h"

#include <algorithm>

namespace generationrun {

namespace {

// Publishes the substitutions while it lives.
class PublishedSubstitutions {
 public:
  explicit PublishedSubstitutions(NameSubstitutionMap* substitutions) { nameSubstitutions = substitutions; }
  ~PublishedSubstitutions() { nameSubstitutions = nullptr; }
  PublishedSubstitutions(const PublishedSubstitutions&) = delete;
  PublishedSubstitutions& operator=(const PublishedSubstitutions&) = delete;
};

// Writes the files of one class; false when any of its writers failed or logged that its files
// lack something.
bool generateClass(const std::string& directory, const std::string& name, const ClassSettings& entry) {
  ClassSettings settings = entry;
  ProxyGenerator generator(name);
  generator.m_bUseGlobalFilter = settings.bUseGlobalFilter;
  generator.m_pMemberSelection = &settings.members;
  generator.setImplementNatives(settings.bIsMethodsIml);
  bool written =
      settings.bIsInterfaceIml ? generator.genInterfaceImpl(directory, true) : generator.genProxy(directory, true);
  if (settings.bIsDelegatorIml) written = generator.genDelegator(directory, true) && written;
  if (!written) {
    const std::string& problem = generator.m_strLoadProblem;
    appendLogLine(directory, kLogCannotProcess + generator.getClassName() + (problem.empty() ? "" : ": " + problem));
  }
  return written && !generator.m_bIncomplete;
}

// A class without bytecode: its class file is missing, or it is there and cannot be read.
std::string noBytecodeLine(const std::string& name) {
  const std::string unreadable = ClassRepository::unreadableReason(name);
  return unreadable.empty() ? kLogMissingBytecode + name : kLogCannotProcess + name + ": " + unreadable;
}

}  // namespace

Outcome generateClasses(const std::string& directory, const ClassSettingsMap& classes,
                        NameSubstitutionMap* substitutions, const ClassStarted& classStarted,
                        const StopRequested& stopRequested) {
  Outcome outcome;
  PublishedSubstitutions published(substitutions);
  // The shared files name this run's classes only: what an earlier run in this session wrote or
  // referenced is forgotten (a class taken out since would leave an include of a deleted file).
  clearGeneratedClassSets();
  GenerationFiles files = generationFiles(classes);
  PublishedGeneration publishedFiles(files);
  appendLogLines(directory, files.renamedLines());
  int number = 0;
  for (const auto& entry : classes) {
    if (stopRequested && stopRequested()) {
      outcome.stopped = true;
      return outcome;
    }
    ++number;
    if (classStarted) classStarted(number);
    const std::string& name = entry.first.str();
    if (entry.second.bMissingBytecode) {
      appendLogLine(directory, noBytecodeLine(name));
      outcome.success = false;
      continue;
    }
    outcome.success = generateClass(directory, name, entry.second) && outcome.success;
  }
  if (!classes.empty()) outcome.success = writeDefProxies(directory, true) && outcome.success;
  return outcome;
}

GenerationFiles generationFiles(const ClassSettingsMap& classes) {
  std::set<std::string> proxies, impls, delegators;
  for (const auto& entry : classes) {
    (entry.second.bIsInterfaceIml ? impls : proxies).insert(entry.first.str());
    if (entry.second.bIsDelegatorIml) delegators.insert(entry.first.str());
  }
  return GenerationFiles(proxies, impls, delegators);
}

int barPosition(int number) { return std::min(20 * number, 100); }

std::string problemMessage() {
  return "There are problems in generating of JNI wrappers! See " + getLogFileName().substr(1);
}

}  // namespace generationrun

bool writeDefProxies(std::string directory, bool includeStdafx) { return callGenDefProxies(directory, includeStdafx); }

bool callGenDefProxies(std::string directory, bool includeStdafx) { return genDefProxies(directory, includeStdafx); }
