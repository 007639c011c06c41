// The banner of every generated file, and the shared files "defproxies.h" and "defproxies.cpp":
// one default proxy class per Java class that generated code names as a type, and the includes
// of every proxy, implementation and delegator header written.
#include "CppNames.h"
#include "GeneratedText.h"
#include "GenerationFiles.h"
#include "GenerationLog.h"
#include "ProxyGenerator.h"
#include "TypeMapping.h"

#include <set>

void genBanner(std::ostream& out) {
  const std::string stars(74, '*');
  out << "/" << stars << "\n";
  out << " *\n";
  out << " * The code is generated for Microsoft VC++ 6.0\n";
  out << " *\n";
  out << " * Do not change the content of this file.\n";
  out << " *\n";
  out << " " << stars << "/\n";
  out << "\n";
}

namespace {

// Each under the name its files were written by.
void writeIncludes(std::ostream& out, const std::set<std::string>& names, const std::string& suffix) {
  const GenerationFiles none;
  const GenerationFiles* generation = publishedGeneration();
  for (const std::string& name : names)
    out << "#include \"" << (generation ? generation : &none)->fileStem(name, suffix) << ".h\"\n";
}

}  // namespace

bool genDefProxies(std::string directory, bool includeStdafx) {
  const std::string headerPath = directory + "defproxies.h";
  const std::string sourcePath = directory + "defproxies.cpp";
  GeneratedFile header(headerPath, directory);
  GeneratedFile source(sourcePath, directory);
  if (!header.is_open() || !source.is_open()) {
    std::vector<std::string> lines;
    if (!header.is_open()) lines.push_back(kLogFailedToWrite + headerPath);
    if (!source.is_open()) lines.push_back(kLogFailedToWrite + sourcePath);
    appendLogLines(directory, lines);
    return false;
  }

  genBanner(header);
  header << "#pragma once\n";
  header << "\n";
  header << "#ifdef _MSC_VER\n";
  header << "#pragma warning(disable: 4305 4309 4715)\n";
  header << "#endif\n";
  header << "#include \"JNIHelpers.h\"\n";
  // The runtime's names are seen in the whole namespace through one directive: a directive in
  // every block would make each lookup in the namespace walk thousands of them (clang takes
  // minutes over a large generation).
  header << "\n";
  header << "namespace CPP_Java_Bridge {\n";
  header << "using namespace ::jni_helpers;\n";
  header << "};\n";

  genBanner(source);
  if (includeStdafx) source << "#include \"stdafx.h\"\n";
  source << "#include \"defproxies.h\"\n";
  source << "\n";
  source << "using namespace ::jni_helpers;\n";

  // Two entries can name one C++ class (a.B$C as the repository read it and a.B_C as a type
  // named it, or two names that the substitutions make one): each class is written once.
  std::set<std::string> written;
  for (const std::string& className : referencedClasses) {
    std::vector<std::string> parts;
    splitString(&parts, className, ".");
    if (parts.empty()) continue;
    const std::string n = substituteName(parts.back());
    parts.pop_back();
    std::string qualified = "CPP_Java_Bridge::";
    for (const std::string& part : parts) qualified += namespaceName(part) + "::";
    if (!written.insert(qualified + n).second) continue;

    const std::size_t k = parts.size();
    const std::string l = indentation(k + 1);
    header << "\n";
    header << "namespace CPP_Java_Bridge {\n";
    for (std::size_t j = 1; j <= k; ++j)
      header << indentation(j) << "namespace " << namespaceName(parts[j - 1]) << " {\n";
    writeClassOpening(header, l, n + ": public virtual JObject_t {");
    header << l << "public:\n";
    header << l << indentUnit << n << "(){}\n";
    header << l << indentUnit << n << "(const JObject_t& o);\n";
    header << l << indentUnit << n << "& operator = (const jobject o);\n";
    header << l << "};\n";
    for (std::size_t j = k; j >= 1; --j) header << indentation(j) << "}\n";
    header << "};\n";
    header << "\n";

    source << "\n";
    source << qualified << n << "::" << n << "(const JObject_t& o):JObject_t(o){}\n";
    source << qualified << n << "& " << qualified << n << "::operator = (const jobject o) {\n";
    source << indentUnit << "Assign(o);\n";
    source << indentUnit << "return *this;\n";
    source << "}\n";
  }

  writeIncludes(header, generatedProxies, proxySuffix);
  writeIncludes(header, generatedImpls, implSuffix);
  writeIncludes(header, generatedDelegators, delegatorSuffix);

  // A file that is not written whole is removed with its partner, and logged.
  return closeTogether(header, source);
}
