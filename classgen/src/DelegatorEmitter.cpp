// The delegator files: a C++ class derived from jni_helpers::JNIInterface over a Java object, the
// delegate. It carries the class file of a Java class extending the delegated class (built by
// DelegatorBuilder, written by ClassFileWriter into a ClassBytesSink) whose public methods call
// native thunks; each thunk calls a virtual C++ method, whose default body calls the same method
// of the delegate. A user who overrides a virtual method changes what Java sees.
#include "CppNames.h"
#include "DelegatorBuilder.hpp"
#include "EmitterText.h"
#include "GenerationLog.h"
#include "ProxyGenerator.h"
#include "TypeMapping.h"

#include <vector>

using namespace classgen_text;

namespace {

bool isConstructor(const MethodDescriptor& record) { return !record.isNative() && record.getName() == "<init>"; }

// The C++ result of a forwarded method: the wrapper type of an object or array, else the JNI type.
std::string resultType(const std::string& descriptor) {
  return returnsReference(descriptor) ? methodHelperType(descriptor, false) : jniMethodType(descriptor);
}

// The thunk of a native twin: it calls the C++ object's virtual method; while the Java object has
// no C++ object (a call from the delegated class's constructor, or after its C++ objects have
// ended) the class's own Java method runs.
void writeThunk(std::ostream& source, ProxyGenerator& generator, const MethodDescriptor& record,
                const ClassNames& names) {
  const std::string descriptor = record.getSignature();
  const std::string result = jniMethodType(descriptor);
  const std::vector<std::string> types = jniMethodParams(descriptor);
  const std::string javaName = record.getName().substr(nativeMethodPrefix.size());
  const std::string javaDescriptor = "(" + descriptor.substr(descriptor.compare(0, 2, "(J") == 0 ? 2 : 1);

  std::vector<std::string> parameters = {"JNIEnv* env", "jobject self"};
  for (std::size_t k = 0; k < types.size(); ++k)
    parameters.push_back(types[k] + (k == 0 ? " peer" : " p" + std::to_string(k)));
  source << result << " JNICALL " << names.nativeNamespace
         << "::" << generator.m_nativeNames[record.getName() + descriptor] << "\n";
  source << "(\n" << parameterLines(parameters) << "\n)\n";
  writeThunkStart(source);

  // JNI gives an array as a jobject.
  const std::string cast = returnsReference(descriptor) && result != "jobject" ? "(" + result + ")" : std::string();
  writeReceiver(source);
  source << indentation(2) << "if(!receiver){\n";
  source << indentation(3) << "jclass base = superClassOf(self);\n";
  source << indentation(3) << "jmethodID mthID = " << kHelper << "GetMethodID(base, " << cppStringLiteral(javaName)
         << ", " << cppStringLiteral(javaDescriptor) << ");\n";
  source << indentation(3) << (result == "void" ? "" : result + " result = " + cast) << kHelper << "CallNonvirtual"
         << methodCallType(descriptor) << "Method(self, base, mthID" << variadicArguments(descriptor, 1, false)
         << ");\n";
  source << indentation(3) << kHelper << "DeleteLocalRef(base);\n";
  source << indentation(3) << (result == "void" ? "return;" : "return result;") << "\n";
  source << indentation(2) << "}\n";

  const std::string call = receiverCall(names, javaName, descriptor);
  source << indentation(2);
  if (result == "void")
    source << call << ";\n";
  else if (returnsReference(descriptor))
    source << "return " << cast << "::jni_helpers::JNIEnvHelper::NewLocalRef(" << call << ");\n";
  else
    source << "return " << call << ";\n";
  writeThunkEnd(source, descriptor);
}

// A constructor: the Java object is made with the delegated class's constructor of the same
// descriptor, given the C++ arguments.
void writeConstructor(std::ostream& source, const MethodDescriptor& record, const ClassNames& names) {
  const std::string descriptor = record.getSignature();
  const std::vector<std::string> types = methodHelperParams(descriptor);
  const std::vector<std::string> members = jvalueMembers(descriptor);
  std::vector<std::string> parameters = {"JObject_t delegatedObj"};
  for (std::size_t k = 0; k < types.size(); ++k) parameters.push_back(types[k] + " p" + std::to_string(k));
  source << names.className << "::" << names.className << "\n";
  source << "(\n" << parameterLines(parameters) << "\n)\n{\n";
  source << indentation(1) << "try{\n";
  source << indentation(2) << "jvalue* params = ";
  if (types.empty())
    source << "0;\n";
  else
    source << "(jvalue*)_alloca(" << types.size() << "*sizeof(jvalue));\n";
  for (std::size_t k = 0; k < types.size() && k < members.size(); ++k)
    source << indentation(2) << "params[" << k << "]." << members[k] << " = p" << k << ";\n";
  source << indentation(2) << "JNIInterface::init(delegatedObj, _clazzName, " << initArguments() << ", "
         << cppStringLiteral(descriptor) << ", params);\n";
  writeRethrowingCatch(source);
  source << "}\n";
}

bool buildDelegatorTexts(ProxyGenerator& generator, const antlr::RefAST& classTree, bool includeStdafx,
                         ClassTexts& texts) {
  // The Java class and its bytes.
  BuiltClass built;
  if (!buildClass<DelegatorBuilder>(generator, classTree, generator.m_delegatedMethods, texts, built)) return false;
  const std::string& bytes = built.bytes;

  const std::set<MethodDescriptor>& records = generator.m_delegatedMethods;
  const ClassNames names = classNames(generator, delegatorSuffix);
  const std::size_t n = names.depth();
  makeNativeNames(generator, records, names.packageDots + names.className);
  bool anyNative = false;
  for (const MethodDescriptor& record : records) anyNative = anyNative || record.isNative();

  // --- Source ---------------------------------------------------------------------------------
  TextStream source;
  source.reserve(sourceTextSize(bytes, records.size()));
  writeSourceHead(source, generator, records, names, includeStdafx, built.name, bytes);
  if (anyNative) {
    source << "namespace " << names.nativeNamespace << "{\n";
    source << "// The class the Java delegator extends: a call that reaches a thunk before the Java object\n";
    source << "// has its C++ peer (from that class's constructor) runs that class's method.\n";
    source << "static jclass superClassOf(jobject self)\n{\n";
    source << indentation(1) << "jclass own = " << kHelper << "GetObjectClass(self);\n";
    source << indentation(1) << "jclass base = " << kHelper << "GetSuperclass(own);\n";
    source << indentation(1) << kHelper << "DeleteLocalRef(own);\n";
    source << indentation(1) << "return base;\n";
    source << "}\n}\n";
  }
  for (const MethodDescriptor& record : records) {
    if (record.isNative())
      writeThunk(source, generator, record, names);
    else if (isConstructor(record))
      writeConstructor(source, record, names);
    else
      writeJavaCallingMethod(source, names, resultType(record.getSignature()), "JNIInterface::getDelegator()",
                             record.getName(), record.getName(), record.getSignature());
  }
  writeSourceTail(source, names);

  // --- Header ---------------------------------------------------------------------------------
  TextStream header;
  header.reserve(headerTextSize(records.size()));
  writeHeaderHead(header, names);
  header << indentation(n + 1) << names.className << "(const " << names.className << "& o):" << names.copyInitializers
         << "{}\n";
  for (const MethodDescriptor& record : records) {
    if (record.isNative()) continue;
    const std::string descriptor = record.getSignature();
    const std::string parameters = numberedParameters(methodHelperParams(descriptor));
    if (isConstructor(record))
      header << indentation(n + 1) << names.className << "(JObject_t delegatedObj"
             << (parameters.empty() ? "" : ", " + parameters) << ");\n";
    else
      header << indentation(n + 1) << "virtual " << resultType(descriptor) << " " << substituteName(record.getName())
             << "(" << parameters << ");\n";
  }
  writeHeaderTail(header, generator, records, names);

  texts.header = header.take();
  texts.source = source.take();
  return true;
}

}  // namespace

bool ProxyGenerator::genDelegator(std::string directory, bool includeStdafx) {
  const FileKind kind{delegatorSuffix, "DELEGATOR FAILED: ", kLogMissingSuperType, false};
  return writeClassFiles(*this, directory, includeStdafx, kind, textBuilderFor(*this, buildDelegatorTexts),
                         generatedDelegators);
}

bool ProxyGenerator::genDelegatorCode(antlr::RefAST classTree, bool includeStdafx) {
  return writeClassCode(*this, classTree, includeStdafx, textBuilderFor(*this, buildDelegatorTexts));
}
