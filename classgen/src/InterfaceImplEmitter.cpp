// The interface implementation files: a C++ class derived from jni_helpers::JNIInterface that
// carries the class file of a Java class implementing the interface (built by
// InterfaceImplBuilder, written by ClassFileWriter into a ClassBytesSink) and registers the native
// thunks through which the Java object's calls reach the virtual C++ methods. A virtual method
// whose Java method has code of its own (a default method, or one of java.lang.Object's declared
// again) runs that code through the Java class's "default0" method unless the user overrides it;
// any other returns the default value of its type.
#include "EmitterText.h"
#include "InterfaceImplBuilder.hpp"
#include "ProxyGenerator.h"
#include "TypeMapping.h"

#include <cstring>
#include <map>
#include <utility>
#include <vector>

using namespace classgen_text;

namespace {

// The C++ return type of the virtual method of a descriptor.
std::string virtualReturnType(const std::string& descriptor) {
  const std::string type = jniMethodType(descriptor);
  return type == "jobject" ? "JObject_t" : type;
}

// The interface method's descriptor of a native twin's descriptor ("(J" + the rest).
std::string forwardedDescriptor(const std::string& twinDescriptor) {
  if (twinDescriptor.compare(0, 2, "(J") == 0) return "(" + twinDescriptor.substr(2);
  return twinDescriptor;
}

// The name and parameter list under which C++ declares a method: two Java methods that differ
// only in their results (covariant redeclarations in super-interfaces) are one C++ method.
std::string cppSignatureKey(const std::string& javaName, const std::string& descriptor) {
  std::string key = substituteName(javaName) + "(";
  for (const std::string& type : methodHelperParams(descriptor)) key += type + ",";
  return key + ")";
}

// A method of the generated class that runs the Java implementation its forwarding method
// overrides (a default method, or java.lang.Object's).
bool runsJavaDefault(const MethodDescriptor& record) {
  return !record.isNative() && (record.getAccessFlags() & kAccSynthetic) != 0 &&
         record.getName().compare(0, std::strlen(defaultMethodPrefix), defaultMethodPrefix) == 0;
}

bool buildImplTexts(ProxyGenerator& generator, const antlr::RefAST& interfaceTree, bool includeStdafx,
                    ClassTexts& texts);

}  // namespace

bool ProxyGenerator::genInterfaceImpl(std::string directory, bool includeStdafx) {
  const FileKind kind{implSuffix, "IMPLEMENTATION FAILED: ", "MISSING SUPER-INTERFACE: ", true};
  return writeClassFiles(*this, directory, includeStdafx, kind, textBuilderFor(*this, buildImplTexts), generatedImpls);
}

bool ProxyGenerator::genInterfaceImplCode(antlr::RefAST interfaceTree, bool includeStdafx) {
  return writeClassCode(*this, interfaceTree, includeStdafx, textBuilderFor(*this, buildImplTexts));
}

namespace {

bool buildImplTexts(ProxyGenerator& generator, const antlr::RefAST& interfaceTree, bool includeStdafx,
                    ClassTexts& texts) {
  // The Java class and its bytes.
  BuiltClass built;
  if (!buildClass<InterfaceImplBuilder>(generator, interfaceTree, generator.m_methods, texts, built)) return false;
  const std::string& bytes = built.bytes;

  // Names.
  const ClassNames names = classNames(generator, implSuffix);
  const std::size_t n = names.depth();
  const std::string& className = names.className;
  const std::string& nativeNamespace = names.nativeNamespace;
  makeNativeNames(generator, generator.m_methods, names.packageDots + implClassPrefix + names.simple);

  // The methods that run a Java implementation, by C++ name and parameter list.
  std::map<std::string, const MethodDescriptor*> javaDefaults;
  for (const MethodDescriptor& record : generator.m_methods) {
    if (runsJavaDefault(record))
      javaDefaults[cppSignatureKey(record.getName().substr(std::strlen(defaultMethodPrefix)), record.getSignature())] =
          &record;
  }
  // One virtual method per C++ name and parameter list; the first declaration's return type.
  std::map<std::string, std::string> declaredReturn;
  std::vector<std::pair<const MethodDescriptor*, std::string>> declared;  // with its key
  for (const MethodDescriptor& record : generator.m_methods) {
    if (record.isNative() || runsJavaDefault(record)) continue;
    const std::string key = cppSignatureKey(record.getName(), record.getSignature());
    if (declaredReturn.emplace(key, virtualReturnType(record.getSignature())).second)
      declared.emplace_back(&record, key);
  }

  // --- Source ---------------------------------------------------------------------------------
  TextStream source;
  source.reserve(sourceTextSize(bytes, generator.m_methods.size()));
  writeSourceHead(source, generator, generator.m_methods, names, includeStdafx, built.name, bytes);
  source << className << "::" << className << "(){\n";
  source << indentation(1) << "try{\n";
  source << indentation(2) << "JNIInterface::init(_clazzName, " << initArguments() << ");\n";
  writeRethrowingCatch(source);
  source << "}\n";
  // Unless the C++ class overrides them, these run the Java implementation.
  for (const auto& method : declared) {
    const MethodDescriptor* record = method.first;
    const auto javaDefault = javaDefaults.find(method.second);
    if (javaDefault != javaDefaults.end())
      writeJavaCallingMethod(source, names, virtualReturnType(record->getSignature()), "*this", record->getName(),
                             javaDefault->second->getName(), javaDefault->second->getSignature());
  }
  for (const MethodDescriptor& record : generator.m_methods) {
    if (!record.isNative()) continue;
    const std::string descriptor = record.getSignature();
    const std::string result = jniMethodType(descriptor);
    const std::vector<std::string> params = jniMethodParams(descriptor);
    const std::string javaName = record.getName().substr(nativeMethodPrefix.size());
    const std::string forwarded = forwardedDescriptor(descriptor);
    const std::string called = declaredReturn[cppSignatureKey(javaName, forwarded)];
    source << result << " JNICALL " << nativeNamespace << "::" << generator.m_nativeNames[record.getName() + descriptor]
           << "\n";
    source << "(\n";
    source << indentation(1) << "JNIEnv* env, jobject";
    for (std::size_t k = 0; k < params.size(); ++k) {
      if (k == 0)
        source << ", " << params[k] << " peer";
      else
        source << ", " << params[k] << " p" << k;
    }
    source << "\n)\n";
    writeThunkStart(source);
    writeGonePeerCheck(source, descriptor);
    const std::string call = receiverCall(names, javaName, descriptor);
    source << indentation(2);
    if (result == "void" || called == "void")
      source << call << ";\n";
    else if (called == "JObject_t")
      source << "return " << (result == "jobject" ? "" : "(" + result + ")")
             << "::jni_helpers::JNIEnvHelper::NewLocalRef(" << call << ");\n";
    else if (called == result)
      source << "return " << call << ";\n";
    else
      source << "return (" << result << ")(" << call << ");\n";
    writeThunkEnd(source, descriptor);
  }
  writeSourceTail(source, names);

  // --- Header ---------------------------------------------------------------------------------
  TextStream header;
  header.reserve(headerTextSize(generator.m_methods.size()));
  writeHeaderHead(header, names);
  header << indentation(n + 1) << className << "();\n";
  header << indentation(n + 1) << className << "(const " << className << "& o):" << names.copyInitializers << "{}\n";
  for (const auto& method : declared) {
    const MethodDescriptor* record = method.first;
    const std::string descriptor = record->getSignature();
    header << indentation(n + 1) << "virtual " << virtualReturnType(descriptor) << " "
           << substituteName(record->getName()) << "(" << numberedParameters(methodHelperParams(descriptor)) << ")";
    if (javaDefaults.count(method.second))
      header << ";\n";
    else
      header << "{" << defaultReturnStatement(descriptor) << "}\n";
  }
  writeHeaderTail(header, generator, generator.m_methods, names);

  texts.header = header.take();
  texts.source = source.take();
  return true;
}

}  // namespace
