#include "GeneratedClassSets.h"

std::set<std::string> referencedClasses;
std::set<std::string> generatedProxies;
std::set<std::string> generatedImpls;
std::set<std::string> generatedDelegators;

void clearGeneratedClassSets() {
  referencedClasses.clear();
  generatedProxies.clear();
  generatedImpls.clear();
  generatedDelegators.clear();
}
