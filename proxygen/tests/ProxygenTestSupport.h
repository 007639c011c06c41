// Helpers of the proxy generator's tests: a clean process-wide state per test, and the module
// set of JDK 17 plus the fixture classes.
#pragma once

#include "ClassRepository.h"
#include "ProxyGenerator.h"
#include "TestSupport.h"
#include "TypeMapping.h"

#include <optional>
#include <string>

namespace proxygen_test {

// Clears the global filter switches, the name substitutions, the module set, the tree cache and
// the generated-class sets, on construction and again on destruction.
class CleanGlobals {
 public:
  CleanGlobals() { reset(); }
  ~CleanGlobals() { reset(); }
  CleanGlobals(const CleanGlobals&) = delete;
  CleanGlobals& operator=(const CleanGlobals&) = delete;

  static void reset() {
    for (bool (*setter)(bool) :
         {setFieldsExcludeInherited, setFieldsExcludeRegular, setFieldsExcludePrivate, setFieldsExcludeProtected,
          setMethodsExcludeInherited, setMethodsExcludeRegular, setMethodsExcludePrivate, setMethodsExcludeProtected,
          setAddFieldPrefix, setAddMethodPrefix})
      setter(false);
    nameSubstitutions = nullptr;
    ClassRepository::resetModules("");
  }
};

// Member records as the class-info walker reports them; public unless `flags` say otherwise.
template <class Record>
Record named(Record record, const std::string& name, uint16_t flags) {
  record.setName(name);
  record.setAccessFlags(flags);
  return record;
}

inline MethodDescriptor method(const std::string& name, const std::string& descriptor, uint16_t flags = 0x0001) {
  MethodDescriptor m;
  m.setSignature(descriptor);
  return named(m, name, flags);
}

inline FieldDescriptor field(const std::string& name, const std::string& type, uint16_t flags = 0x0001) {
  FieldDescriptor f;
  f.setType(type);
  return named(f, name, flags);
}

// Modules: JDK 17's jmods and the fixture classes (CLASSPATH left out).
inline void useJdkAndFixtures() {
  kavrin_test::ScopedEnv noClassPath("CLASSPATH", std::nullopt);
  ClassRepository::resetModules(kavrin_test::kJdkHome);
  ClassRepository::addModule(kavrin_test::kFixtureClasses);
}

}  // namespace proxygen_test
