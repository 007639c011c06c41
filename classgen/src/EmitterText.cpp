// The text and the file protocol that interface implementations and delegators share.
#include "EmitterText.h"

#include "ClassBytesSink.h"
#include "ClassFileParser.hpp"
#include "ClassFileWriter.hpp"
#include "ClassRepository.h"
#include "CppNames.h"
#include "GenerationLog.h"
#include "ProxyGenerator.h"
#include "TypeMapping.h"

#include <antlr/ANTLRException.hpp>

#include <cstring>
#include <exception>
#include <map>
#include <utility>

namespace classgen_text {

const char* const kHelper = "::jni_helpers::JNIEnvHelper::";

TextStream::TextStream() : std::ostream(nullptr) { rdbuf(&m_buffer); }

TextStream::~TextStream() { recycleTextBuffer(std::move(m_buffer.text)); }

void TextStream::reserve(std::size_t size) {
  if (m_buffer.text.empty() && m_buffer.text.capacity() < size)
    m_buffer.text = takeTextBuffer(size);
  else
    m_buffer.text.reserve(size);
}

std::string TextStream::take() {
  std::string text;
  text.swap(m_buffer.text);
  return text;
}

ClassNames classNames(ProxyGenerator& generator, const std::string& suffix) {
  ClassNames names;
  generator.makePackageParts();
  names.parts = generator.m_packageParts;
  names.simple = simpleCppName(generator.m_javaClassName);
  names.className = names.simple + suffix;
  names.nativeNamespace = names.className + nativeSuffix;
  names.qualifiedPrefix = "CPP_Java_Bridge::";
  // The class that stands for the Java type in "defproxies.h" (recorded for it): a C++ object
  // passed where that type is expected converts to it as to a base class.
  const std::string javaType = cppTypeName("L" + replaceChar(generator.m_javaClassName, '.', '/') + ";", false);
  names.bases = "public ::jni_helpers::JNIInterface";
  names.copyInitializers = "JNIInterface(o)";
  if (javaType != "jstring") {
    names.bases += ", public " + javaType;
    // Every base named, the virtual JObject_t first: compilers warn about a copy constructor
    // that leaves a base to its default constructor.
    names.copyInitializers = "JObject_t(o),JNIInterface(o)," + javaType + "(o)";
  }
  for (const std::string& part : names.parts) {
    names.qualifiedPrefix += namespaceName(part) + "::";
    names.packagePath += part + "/";
    names.packageDots += part + ".";
  }
  return names;
}

void initializeFactory(antlr::ASTFactory& factory) {
  ClassFileParser::initializeASTFactory(factory);
  factory.setMaxNodeType(99);
}

bool classBytes(const antlr::RefAST& tree, antlr::ASTFactory& factory, std::string& bytes) {
  ClassBytesSink sink;
  ClassFileWriter writer(sink.getStream());
  writer.setASTFactory(&factory);
  writer.classFile(tree);
  if (writer.hadErrors()) return false;
  bytes = sink.rawBytes();
  return true;
}

std::size_t sourceTextSize(const std::string& classBytes, std::size_t records) {
  // Besides the bytes, a native function and its forwarding code take one to two and a half
  // thousand characters (java.util's implementations and delegators).
  return ClassBytesSink::textSize(classBytes.size()) + records * 2048 + 4096;
}

std::size_t headerTextSize(std::size_t records) {
  // Two to four hundred characters of declarations per native function.
  return records * 384 + 4096;
}

void makeNativeNames(ProxyGenerator& generator, const std::set<MethodDescriptor>& records,
                     const std::string& namingClass) {
  std::map<std::string, int> nativeNameUses;
  for (const MethodDescriptor& record : records) {
    if (record.isNative()) ++nativeNameUses[record.getName()];
  }
  generator.m_nativeNames.clear();
  std::map<std::string, int> functionNameUses;
  for (const MethodDescriptor& record : records) {
    if (!record.isNative()) continue;
    const std::string function =
        jniFunctionName(record.getName(), record.getSignature(), namingClass, nativeNameUses[record.getName()] > 1);
    generator.m_nativeNames[record.getName() + record.getSignature()] = function;
    ++functionNameUses[function];
  }
  // Methods that differ in their results only (covariant redeclarations) have one JNI name; the
  // thunks, C++ functions bound through the methods table, get the mangled result too.
  for (const MethodDescriptor& record : records) {
    if (!record.isNative()) continue;
    std::string& function = generator.m_nativeNames[record.getName() + record.getSignature()];
    if (functionNameUses[function] > 1) {
      const std::string descriptor = record.getSignature();
      function += "__" + jniMangle(descriptor.substr(descriptor.rfind(')') + 1));
    }
  }
}

void writeSourceHead(TextStream& source, ProxyGenerator& generator, const std::set<MethodDescriptor>& records,
                     const ClassNames& names, bool includeStdafx, const std::string& javaClassName,
                     const std::string& classBytes) {
  genBanner(source);
  if (includeStdafx) source << "#include \"stdafx.h\"\n";
  source << "#include \"defproxies.h\"\n\n\n";
  source << "const JNINativeMethod " << names.qualifiedClass() << "::methods[] = {\n";
  for (const MethodDescriptor& record : records) {
    if (!record.isNative()) continue;
    const std::string descriptor = record.getSignature();
    // RegisterNatives takes the names as the class file holds them (modified UTF-8).
    source << indentation(1) << "{(char*)" << cppStringLiteral(record.getName(), true) << ", (char*)"
           << cppStringLiteral(descriptor, true) << ", \n";
    source << indentation(1) << " (void*)" << names.qualifiedPrefix << names.nativeNamespace
           << "::" << generator.m_nativeNames[record.getName() + descriptor] << "},\n";
  }
  source << "};\n\n";
  source << "namespace CPP_Java_Bridge{\n";
  source << "using namespace ::jni_helpers;\n";
  for (std::size_t i = 1; i <= names.depth(); ++i)
    source << indentation(i) << "namespace " << namespaceName(names.parts[i - 1]) << "{\n";
  source << "const char* " << names.className << "::_clazzName = " << cppStringLiteral(javaClassName) << ";\n";
  source << "const unsigned char " << names.className << "::bytes[] = {\n";
  ClassBytesSink::appendText(classBytes, source.text());
  source << "};\n";
}

void writeSourceTail(std::ostream& source, const ClassNames& names) {
  source << std::string(names.depth() + 1, '}') << "\n";
}

void writeRethrowingCatch(std::ostream& source) {
  source << indentation(1) << "}catch(::jni_helpers::JVMException e){\n";
  source << indentation(2) << "throw ::jni_helpers::JVMException(e.getMessage(), e);\n";
  source << indentation(1) << "}catch(...){\n";
  source << indentation(2) << "throw ::jni_helpers::JVMException(\"System Error\");\n";
  source << indentation(1) << "}\n";
}

bool returnsReference(const std::string& descriptor) {
  const std::size_t paren = descriptor.rfind(')');
  return paren != std::string::npos && paren + 1 < descriptor.size() &&
         (descriptor[paren + 1] == 'L' || descriptor[paren + 1] == '[');
}

std::string parameterLines(const std::vector<std::string>& parameters) {
  std::string text;
  for (std::size_t k = 0; k < parameters.size(); ++k) {
    if (k) text += ", \n";
    text += indentation(1) + parameters[k];
  }
  return text;
}

std::string variadicArguments(const std::string& descriptor, std::size_t first, bool wrapped) {
  const std::vector<char> objects = objectParamFlags(descriptor);
  std::string text;
  for (std::size_t k = first; k < objects.size(); ++k)
    text += std::string(", ") + (wrapped && objects[k] ? "(jobject)" : "") + "p" + std::to_string(k);
  return text;
}

void writeJavaCallingMethod(std::ostream& source, const ClassNames& names, const std::string& result,
                            const std::string& object, const std::string& cppName, const std::string& javaName,
                            const std::string& descriptor) {
  // A JNI type is returned as the call gives it (an array as its local reference); any other
  // type of an object or array result wraps the object.
  const bool wrapped = returnsReference(descriptor) && result != jniMethodType(descriptor);
  const bool cast = !wrapped && returnsReference(descriptor) && result != "jobject";
  std::vector<std::string> parameters;
  const std::vector<std::string> types = methodHelperParams(descriptor);
  for (std::size_t k = 0; k < types.size(); ++k) parameters.push_back(types[k] + " p" + std::to_string(k));
  source << result << " " << names.className << "::" << substituteName(cppName) << "\n";
  source << "(\n" << parameterLines(parameters) << "\n)\n{\n";
  source << indentation(1) << "try{\n";
  if (wrapped) source << indentation(2) << "JObject_t result;\n";
  source << indentation(2) << "jclass objClass = " << kHelper << "GetObjectClass(" << object << ");\n";
  source << indentation(2) << "jmethodID mthID = " << kHelper << "GetMethodID(objClass, " << cppStringLiteral(javaName)
         << ", " << cppStringLiteral(descriptor) << ");\n";
  source << indentation(2) << kHelper << "DeleteLocalRef(objClass);\n";
  source << indentation(2);
  if (wrapped)
    source << "jobject o = ";
  else if (result != "void")
    source << "return " << (cast ? "(" + result + ")" : std::string());
  source << kHelper << "Call" << methodCallType(descriptor) << "Method(" << object << ", mthID"
         << variadicArguments(descriptor, 0, true) << ");\n";
  if (wrapped) {
    source << indentation(2) << "result = JObject_t(o);\n";
    source << indentation(2) << kHelper << "DeleteLocalRef(o);\n";
    source << indentation(2) << "return result;\n";
  }
  writeRethrowingCatch(source);
  source << "}\n";
}

void writeThunkStart(std::ostream& source) {
  source << "{\n";
  source << indentation(1) << "if(!" << kHelper << "isInitialized())\n";
  source << indentation(2) << kHelper << "init(env);\n";
  source << indentation(1) << "try{\n";
}

void writeReceiver(std::ostream& source) {
  source << indentation(2) << "::jni_helpers::JNIInterface::Receiver receiver(peer);\n";
}

void writeGonePeerCheck(std::ostream& source, const std::string& descriptor) {
  const std::string fallback = defaultReturnStatement(descriptor);
  writeReceiver(source);
  source << indentation(2) << "if(!receiver){\n";
  source << indentation(3) << kHelper
         << "ThrowNew(\"The C++ object of this Java object no longer exists.\", "
            "\"java/lang/IllegalStateException\");\n";
  source << indentation(3) << (fallback.empty() ? std::string("return;") : fallback) << "\n";
  source << indentation(2) << "}\n";
}

std::string receiverCall(const ClassNames& names, const std::string& javaName, const std::string& descriptor) {
  return "((" + names.qualifiedClass() + "*)receiver.get())->" + substituteName(javaName) + "(" +
         genNativeCallArgs(descriptor, 1) + ")";
}

void writeThunkEnd(std::ostream& source, const std::string& descriptor) {
  // A Java exception gets back to Java as it was thrown: the same object, of its own class. Any
  // other failure reaches Java with the C++ exception's own message below the fixed first line.
  const std::string failure = "::jni_helpers::CSmartString(\"An error in the native code.\\n\") + ";
  source << indentation(1) << "}catch(const ::jni_helpers::JVMException& e){\n";
  source << indentation(2) << "if(" << kHelper << "Throw(e.getThrowable()) != JNI_OK)\n";
  source << indentation(3) << kHelper << "ThrowNew(" << failure << "e.getMessage());\n";
  source << indentation(1) << "}catch(const ::jni_helpers::BaseException& e){\n";
  source << indentation(2) << kHelper << "ThrowNew(" << failure << "e.getMessage());\n";
  source << indentation(1) << "}catch(const ::std::exception& e){\n";
  source << indentation(2) << kHelper << "ThrowNew(" << failure << "::jni_helpers::CSmartString(e.what()));\n";
  source << indentation(1) << "}catch(...){\n";
  source << indentation(2) << kHelper << "ThrowNew(\"An error in the native code.\");\n";
  source << indentation(1) << "}\n";
  const std::string fallback = defaultReturnStatement(descriptor);
  if (!fallback.empty()) source << indentation(1) << fallback << "\n";
  source << "}\n";
}

std::string initArguments() {
  return "methods, sizeof(methods)/sizeof(JNINativeMethod), reinterpret_cast<const signed char*>(bytes), "
         "sizeof(bytes)";
}

void writeHeaderHead(std::ostream& header, const ClassNames& names) {
  const std::size_t n = names.depth();
  genBanner(header);
  header << "#pragma once\n\n";
  header << "#include \"JNIInteface.h\"\n\n";
  header << "namespace CPP_Java_Bridge{\n";
  for (std::size_t i = 1; i <= n; ++i)
    header << indentation(i) << "namespace " << namespaceName(names.parts[i - 1]) << "{\n";
  writeClassOpening(header, indentation(n), names.className + ": " + names.bases + "{");
  header << indentation(n + 1) << "static const JNINativeMethod methods[];\n";
  header << indentation(n + 1) << "static const unsigned char bytes[];\n";
  header << indentation(n + 1) << "static const char* _clazzName;\n";
  header << indentation(n) << "public:\n";
}

void writeHeaderTail(std::ostream& header, ProxyGenerator& generator, const std::set<MethodDescriptor>& records,
                     const ClassNames& names) {
  header << indentation(names.depth()) << "};\n";
  header << "namespace " << names.nativeNamespace << "{ extern \"C\" {\n";
  for (const MethodDescriptor& record : records) {
    if (!record.isNative()) continue;
    const std::string descriptor = record.getSignature();
    header << jniMethodType(descriptor) << " JNICALL " << generator.m_nativeNames[record.getName() + descriptor]
           << "(JNIEnv *, jobject";
    for (const std::string& type : jniMethodParams(descriptor)) header << ", " << type;
    header << ");\n";
  }
  header << "}}\n";
  header << std::string(names.depth() + 1, '}') << "\n";
}

bool writeClassFiles(ProxyGenerator& generator, const std::string& directory, bool includeStdafx, const FileKind& kind,
                     const TextBuilder& build, std::set<std::string>& written) {
  if (!generator.openOutputFiles(directory, kind.suffix)) return false;

  const std::string& className = generator.m_javaClassName;
  ClassRepository repository;
  const antlr::RefAST tree = repository.loadClass(className, std::string());
  generator.m_bClassMissing = !tree;
  generator.m_strLoadProblem = repository.getLoadProblem();
  if (tree) {
    std::memcpy(generator.m_version, repository.getVersion(), sizeof generator.m_version);
    generator.m_bIsInterface = repository.isInterface();
    generator.m_bHasNativeMethods = repository.hasNativeMethods();
  }
  if (tree && kind.interfacesOnly && !generator.m_bIsInterface) {
    generator.closeOutputFiles();
    return false;
  }

  // Nothing escapes: a failed build is logged and leaves both files empty.
  std::string failure;
  ClassTexts texts;
  bool ok = false;
  try {
    if (!tree)
      failure = generator.m_strLoadProblem.empty() ? "the class file cannot be loaded" : generator.m_strLoadProblem;
    else if (!(ok = build(tree, includeStdafx, texts)))
      failure = "the generated class file has errors";
  } catch (const antlr::ANTLRException& e) {
    failure = e.getMessage().empty() ? e.toString() : e.getMessage();
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "unknown error";
  }

  // The files are written without what the missing super types would give; the class is a
  // problem of the run all the same.
  std::vector<std::string> lines;
  for (const std::string& missing : texts.missingTypes) {
    const std::string dotted = replaceChar(missing, '/', '.');
    const std::string unreadable = ClassRepository::unreadableReason(missing);
    if (!unreadable.empty()) lines.push_back(kLogCannotProcess + dotted + ": " + unreadable);
    lines.push_back(kind.missingTypePrefix + dotted + " (of " + className + ")");
  }
  if (!texts.missingTypes.empty()) generator.m_bIncomplete = true;
  if (!ok) lines.push_back(kind.failurePrefix + className + ": " + failure);
  if (!lines.empty()) appendLogLines(directory, lines);

  if (ok) {
    generator.m_pHeader->putText(std::move(texts.header));
    generator.m_pSource->putText(std::move(texts.source));
  }
  // A file that is not written whole is removed and logged.
  ok = generator.closeOutputFiles() && ok;
  if (!ok) return false;
  written.insert(className);
  return true;
}

bool writeClassCode(ProxyGenerator& generator, const antlr::RefAST& tree, bool includeStdafx,
                    const TextBuilder& build) {
  if (!generator.m_pHeader || !generator.m_pSource) {
    generator.closeOutputFiles();
    return false;
  }
  ClassTexts texts;
  if (!build(tree, includeStdafx, texts)) return false;
  generator.m_pHeader->putText(std::move(texts.header));
  generator.m_pSource->putText(std::move(texts.source));
  return closeTogether(*generator.m_pHeader, *generator.m_pSource);
}

}  // namespace classgen_text
