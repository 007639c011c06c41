// genProxy: the proxy header and source of one class.
#include "ProxyGenerator.h"

#include "GenerationLog.h"
#include "TypeMapping.h"

bool ProxyGenerator::genProxy(std::string directory, bool includeStdafx) {
  if (!openOutputFiles(directory, proxySuffix)) return false;
  // A class that cannot be loaded leaves its two files empty and is reported to the caller,
  // which logs it; it gets no include line in the shared header.
  if (!walkClass()) {
    closeOutputFiles();
    if (!m_strWalkProblem.empty())
      appendLogLine(directory, "PROXY FAILED: " + m_javaClassName + ": " + m_strWalkProblem);
    return false;
  }
  // The proxy is written without what could not be read, which the log tells.
  logWalkProblems(directory);
  makePackageParts();
  genBanner(*m_pHeader);
  makeFieldNames();
  makeMethodNames();
  genClassHead();
  genFieldIds();
  genMethodIds();
  genConstructorIds();
  genConstantDecls();
  genFieldProperties();
  genAccessorDecls();
  genStandardCode();
  genConstructorDecls();
  genMethodDecls();
  genClassTail();

  genBanner(*m_pSource);
  genSourceHead(includeStdafx);
  genConstantDefs();
  genAccessors();
  genConstructors();
  genMethods();
  // A file that is not written whole is removed with its partner, and logged; only a class
  // whose files are both there gets its include line in the shared header.
  if (!closeOutputFiles()) return false;
  generatedProxies.insert(m_javaClassName);
  return true;
}
