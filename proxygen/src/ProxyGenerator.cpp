#include "ProxyGenerator.h"

#include "ClassInfoWalker.hpp"
#include "ClassRepository.h"
#include "CppNames.h"
#include "GenerationFiles.h"
#include "GenerationLog.h"
#include "JavaTypes.h"
#include "TypeMapping.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>

#include <algorithm>

bool fieldsExcludeInherited = false;
bool fieldsExcludeRegular = false;
bool fieldsExcludePrivate = false;
bool fieldsExcludeProtected = false;
bool methodsExcludeInherited = false;
bool methodsExcludeRegular = false;
bool methodsExcludePrivate = false;
bool methodsExcludeProtected = false;
bool addFieldPrefix = false;
bool addMethodPrefix = false;

bool setFieldsExcludeInherited(bool value) { return fieldsExcludeInherited = value; }
bool setFieldsExcludeRegular(bool value) { return fieldsExcludeRegular = value; }
bool setFieldsExcludePrivate(bool value) { return fieldsExcludePrivate = value; }
bool setFieldsExcludeProtected(bool value) { return fieldsExcludeProtected = value; }
bool setMethodsExcludeInherited(bool value) { return methodsExcludeInherited = value; }
bool setMethodsExcludeRegular(bool value) { return methodsExcludeRegular = value; }
bool setMethodsExcludePrivate(bool value) { return methodsExcludePrivate = value; }
bool setMethodsExcludeProtected(bool value) { return methodsExcludeProtected = value; }
bool setAddFieldPrefix(bool value) { return addFieldPrefix = value; }
bool setAddMethodPrefix(bool value) { return addMethodPrefix = value; }

namespace {

bool hasDollar(const std::string& text) { return text.find('$') != std::string::npos; }

// Removes every method with the same name and parameter list (the descriptor up to and including
// its ')'), whatever its return type. Such records are neighbours in the set, which is ordered by
// name + descriptor.
void eraseSameParameters(std::set<MethodDescriptor>& set, const std::string& name, const std::string& descriptor) {
  const std::size_t paren = descriptor.find(')');
  const std::string parameters = paren == std::string::npos ? descriptor : descriptor.substr(0, paren + 1);
  MethodDescriptor probe;
  probe.setName(name);
  probe.setSignature(parameters);
  auto it = set.lower_bound(probe);
  while (it != set.end() && it->getName() == name && it->getSignature().compare(0, parameters.size(), parameters) == 0)
    it = set.erase(it);
}

// Deleting a stream that is still open writes its file (GeneratedFile.h).
void deleteStream(GeneratedFile*& stream) {
  delete stream;
  stream = nullptr;
}

}  // namespace

ProxyGenerator::ProxyGenerator(std::string javaClassName)
    : m_version{0, 0, 0, 0},
      m_bUseGlobalFilter(true),
      m_bClassMissing(false),
      m_bImplementNatives(false),
      m_bHasNativeMethods(false),
      m_pMemberSelection(nullptr),
      m_bIsInterface(false),
      m_javaClassName(std::move(javaClassName)),
      m_bIncomplete(false),
      m_pHeader(nullptr),
      m_pSource(nullptr) {}

ProxyGenerator::~ProxyGenerator() {
  deleteStream(m_pHeader);
  deleteStream(m_pSource);
}

// --- Loading ------------------------------------------------------------------------------------

namespace {

// What the generator keeps of a class the repository loaded: its dotted name, its kind, the
// module it came from and whether it has native methods.
void takeLoadedClass(ProxyGenerator& generator, const ClassRepository& repository) {
  generator.m_javaClassName = replaceChar(repository.getClassName(), '/', '.');
  generator.m_bIsInterface = repository.isInterface();
  generator.m_classPath = repository.getModulePath();
  generator.m_bHasNativeMethods = repository.hasNativeMethods();
}

}  // namespace

ProxyGenerator& ProxyGenerator::loadClass(std::string javaClassName, std::string modulePath) {
  ClassRepository repository;
  antlr::RefAST tree = repository.loadClass(javaClassName, modulePath);
  m_bClassMissing = !tree;
  m_strLoadProblem = repository.getLoadProblem();
  if (tree) {
    std::copy(repository.getVersion(), repository.getVersion() + 4, m_version);
    takeLoadedClass(*this, repository);
  }
  return *this;
}

ProxyGenerator& ProxyGenerator::loadClassFile(std::string path) {
  ClassRepository repository;
  antlr::RefAST tree = repository.loadClassFile(path);
  if (tree) takeLoadedClass(*this, repository);
  return *this;
}

ProxyGenerator& ProxyGenerator::loadMembers(std::string className) {
  if (!className.empty()) m_javaClassName = className;
  if (!m_javaClassName.empty()) loadAndWalk(true);
  return *this;
}

bool ProxyGenerator::walkClass() { return loadAndWalk(false); }

bool ProxyGenerator::loadAndWalk(bool takeNativeFlag) {
  m_strWalkProblem.clear();
  m_walkProblems.clear();
  ClassRepository repository;
  antlr::RefAST tree = repository.loadClass(m_javaClassName, std::string());
  m_strLoadProblem = repository.getLoadProblem();
  if (!tree) return false;
  std::copy(repository.getVersion(), repository.getVersion() + 4, m_version);
  m_bIsInterface = repository.isInterface();
  if (takeNativeFlag) m_bHasNativeMethods = repository.hasNativeMethods();

  antlr::ASTFactory factory;
  ClassInfoWalker walker(this, 0);
  walker.setFieldsExcludeInherited(fieldsExcludeInherited);
  walker.setMethodsExcludeInherited(methodsExcludeInherited);
  walker.setFieldsExcludeRegular(fieldsExcludeRegular);
  walker.setMethodsExcludeRegular(methodsExcludeRegular);
  walker.setFieldsExcludePrivate(fieldsExcludePrivate);
  walker.setMethodsExcludePrivate(methodsExcludePrivate);
  walker.setFieldsExcludeProtected(fieldsExcludeProtected);
  walker.setMethodsExcludeProtected(methodsExcludeProtected);
  walker.setUseGlobalFilter(m_bUseGlobalFilter);
  ClassInfoWalker::initializeASTFactory(factory);
  walker.setASTFactory(&factory);
  try {
    walker.walk(tree);
  } catch (const antlr::ANTLRException&) {
    // What was collected before the error stays collected.
  }
  return m_strWalkProblem.empty();
}

void ProxyGenerator::superTypesTooDeep(const std::string& superType, int level) {
  if (m_strWalkProblem.empty())
    m_strWalkProblem = "the super types of " + m_javaClassName + " reach deeper than " +
                       std::to_string(ClassRepository::kMaxSuperTypeDepth) + " levels (" +
                       replaceChar(superType, '/', '.') + " at level " + std::to_string(level) +
                       "): the hierarchy is not walked";
}

namespace {

void addOnce(std::vector<std::string>& lines, std::string line) {
  if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(std::move(line));
}

}  // namespace

void ProxyGenerator::superTypeMissing(const std::string& superType, const std::string& problem) {
  const std::string dotted = replaceChar(superType, '/', '.');
  if (!problem.empty()) addOnce(m_walkProblems, kLogCannotProcess + dotted + ": " + problem);
  addOnce(m_walkProblems, kLogMissingSuperType + dotted + " (of " + m_javaClassName + ")");
}

void ProxyGenerator::walkError(const std::string& typeName, const std::string& error) {
  const std::string dotted = typeName.empty() ? m_javaClassName : replaceChar(typeName, '/', '.');
  addOnce(m_walkProblems, kLogCannotProcess + dotted + ": " + error);
}

void ProxyGenerator::logWalkProblems(const std::string& directory) {
  if (m_walkProblems.empty()) return;
  appendLogLines(directory, m_walkProblems);
  m_bIncomplete = true;
}

// --- Member collection --------------------------------------------------------------------------

void ProxyGenerator::setIsInterface(bool isInterface) { m_bIsInterface = isInterface; }

ProxyGenerator& ProxyGenerator::setImplementNatives(bool implementNatives) {
  m_bImplementNatives = implementNatives;
  return *this;
}

bool ProxyGenerator::keepByAccess(uint16_t flags, int level, bool excludeRegular, bool excludePrivate,
                                  bool excludeProtected) const {
  const bool g = m_bUseGlobalFilter;
  const uint16_t access = flags & (kAccPublic | kAccPrivate | kAccProtected);
  if (access & kAccPublic) return true;
  if (access == 0) return !(g && excludeRegular);
  if (level <= 0) {
    if (access & kAccPrivate) return !(g && excludePrivate);
    return !(g && excludeProtected);
  }
  if (level == 1 && !(access & kAccPrivate)) return !(g && excludePrivate);
  return false;
}

bool ProxyGenerator::isSelectedOut(const std::string& key) const {
  return m_pMemberSelection && m_pMemberSelection->count(key) != 0;
}

void ProxyGenerator::addField(const FieldDescriptor& field, int16_t level) {
  if (hasDollar(field.getName()) || hasDollar(field.getType())) return;
  if (!keepByAccess(field.getAccessFlags(), level, fieldsExcludeRegular, fieldsExcludePrivate, fieldsExcludeProtected))
    return;
  m_fields.erase(field);
  if (!isSelectedOut(field.getName() + field.getType())) m_fields.insert(field);
}

void ProxyGenerator::addMethod(const MethodDescriptor& method, int16_t level) {
  if (method.getAccessFlags() & kAccBridge) return;
  const std::string name = method.getName();
  const std::string descriptor = method.getSignature();
  if (hasDollar(name) || hasDollar(descriptor)) return;
  if (!keepByAccess(method.getAccessFlags(), level, methodsExcludeRegular, methodsExcludePrivate,
                    methodsExcludeProtected))
    return;
  eraseSameParameters(m_methods, name, descriptor);
  if (!m_pMemberSelection || !isSelectedOut(name + descriptor)) m_methods.insert(method);
  if (level == 0 && (method.getAccessFlags() & kAccNative)) m_nativeMethods.insert(method);
}

void ProxyGenerator::addConstructor(const MethodDescriptor& constructor, int16_t level) {
  if (hasDollar(constructor.getSignature())) return;
  if (level > 0) return;
  const bool g = m_bUseGlobalFilter;
  const uint16_t access = constructor.getAccessFlags() & (kAccPublic | kAccPrivate | kAccProtected);
  bool keep = true;
  if (access & kAccPublic)
    keep = true;
  else if (access == 0)
    keep = !(g && methodsExcludeRegular);
  else if (access & kAccPrivate)
    keep = !(g && methodsExcludePrivate);
  else
    keep = !(g && methodsExcludeProtected);
  if (!keep) return;
  m_constructors.erase(constructor);
  if (!isSelectedOut(constructor.getName() + constructor.getSignature())) m_constructors.insert(constructor);
}

void ProxyGenerator::addDelegatorMethod(const MethodDescriptor& method) {
  // The delegator's class forwards every such method: each needs its C++ member, also with a
  // nested class ('$') in its name or types.
  if (method.getAccessFlags() & kAccBridge) return;
  eraseSameParameters(m_delegatedMethods, method.getName(), method.getSignature());
  m_delegatedMethods.insert(method);
}

// --- Helpers of the file writers ------------------------------------------------------------------

std::string ProxyGenerator::outputStem(const std::string& directory, const std::string& suffix) const {
  if (const GenerationFiles* generation = publishedGeneration())
    return directory + generation->fileStem(m_javaClassName, suffix);
  return directory + generatedFileStem(m_javaClassName) + suffix;
}

bool ProxyGenerator::openOutputFiles(const std::string& directory, const std::string& suffix) {
  deleteStream(m_pHeader);
  deleteStream(m_pSource);
  const std::string stem = outputStem(directory, suffix);
  const std::string headerPath = stem + ".h";
  const std::string sourcePath = stem + ".cpp";
  m_pHeader = new GeneratedFile(headerPath, directory);
  m_pSource = new GeneratedFile(sourcePath, directory);
  const bool headerOpen = m_pHeader->is_open();
  const bool sourceOpen = m_pSource->is_open();
  if (headerOpen && sourceOpen) return true;
  std::vector<std::string> lines;
  if (!headerOpen) lines.push_back(kLogFailedToWrite + headerPath);
  if (!sourceOpen) lines.push_back(kLogFailedToWrite + sourcePath);
  appendLogLines(directory, lines);
  deleteStream(m_pHeader);
  deleteStream(m_pSource);
  return false;
}

bool ProxyGenerator::closeOutputFiles() {
  bool written = true;
  if (m_pHeader && m_pSource) written = closeTogether(*m_pHeader, *m_pSource);
  for (GeneratedFile** stream : {&m_pHeader, &m_pSource}) {
    if (*stream && !(*stream)->close()) written = false;
    deleteStream(*stream);
  }
  return written;
}

void ProxyGenerator::makePackageParts() {
  m_packageParts.clear();
  const std::size_t dot = m_javaClassName.rfind('.');
  if (dot != std::string::npos) splitString(&m_packageParts, m_javaClassName.substr(0, dot), ".");
}
