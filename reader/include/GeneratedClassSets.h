// The four process-wide sets of dotted Java class names from which the shared proxy files
// ("defproxies.h" and "defproxies.cpp") are written.
//
//   referencedClasses    every class the class repository loaded (parsed or taken from its
//                        cache), and every class or array type
//                        that the type mapping turned into a proxy type: one default proxy class
//                        each;
//   generatedProxies     classes whose proxy files were written: one include each;
//   generatedImpls       interfaces whose implementation files were written;
//   generatedDelegators  classes whose delegator files were written.
//
// They live beside the class repository, which fills referencedClasses and empties all four
// when it rebuilds its module set; a generation run empties them when it starts, so that its
// shared files name its own classes only. The proxy generator reaches them through
// TypeMapping.h.
// Plain globals without locks: they are changed by one job at a time.
#pragma once

#include <set>
#include <string>

extern std::set<std::string> referencedClasses;
extern std::set<std::string> generatedProxies;
extern std::set<std::string> generatedImpls;
extern std::set<std::string> generatedDelegators;

// Empties referencedClasses, generatedProxies, generatedImpls and generatedDelegators, in
// that order.
void clearGeneratedClassSets();
