#include "GenerationRun.h"

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

// Writes the files of one class; false when any of its writers failed.
bool generateClass(const std::string& directory, const std::string& name, const ClassSettings& entry) {
  ClassSettings settings = entry;
  ProxyGenerator generator(name);
  generator.m_bUseGlobalFilter = settings.bUseGlobalFilter;
  generator.m_pMemberSelection = &settings.members;
  generator.setImplementNatives(settings.bIsMethodsIml);
  bool written = settings.bIsInterfaceIml ? generator.genInterfaceImpl(directory, true)
                                          : generator.genProxy(directory, true);
  if (settings.bIsDelegatorIml) written = generator.genDelegator(directory, true) && written;
  if (!written) appendLogLine(directory, kLogCannotProcess + generator.getClassName());
  return written;
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
      appendLogLine(directory, kLogMissingBytecode + name);
      outcome.success = false;
      continue;
    }
    outcome.success = generateClass(directory, name, entry.second) && outcome.success;
  }
  if (!classes.empty()) outcome.success = writeDefProxies(directory, true) && outcome.success;
  return outcome;
}

int barPosition(int number) { return std::min(20 * number, 100); }

std::string problemMessage() {
  return "There are problems in generating of JNI wrappers! See " + getLogFileName().substr(1);
}

}  // namespace generationrun

bool writeDefProxies(std::string directory, bool includeStdafx) { return callGenDefProxies(directory, includeStdafx); }

bool callGenDefProxies(std::string directory, bool includeStdafx) { return genDefProxies(directory, includeStdafx); }
