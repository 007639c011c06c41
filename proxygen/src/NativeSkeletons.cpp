// Native-method skeletons: one exported C function per native method of the class, under the
// name the VM looks up, that sets up the runtime for the calling thread and forwards the call to
// a C++ member of the proxy, which the user writes. A C++ failure becomes a pending Java
// exception and the function returns a default value.
#include "ProxyGenerator.h"

#include "TypeMapping.h"

#include <map>
#include <set>

namespace {

// Bound to the shared unit, not copied from it: a copy made while the globals of the
// program are initialised could be made before the unit exists.
const std::string& I = indentUnit;

bool isReferenceType(const std::string& jniType) {
  static const std::set<std::string> kReferences = {
      "jobject",     "jintArray",  "jbyteArray",  "jcharArray",    "jdoubleArray",
      "jfloatArray", "jlongArray", "jshortArray", "jbooleanArray", "jobjectArray",
  };
  return kReferences.count(jniType) != 0;
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) text += separator;
    text += parts[i];
  }
  return text;
}

}  // namespace

void ProxyGenerator::makeNativeNames() {
  if (!m_pSource || !m_pSource->is_open() || !m_bImplementNatives || m_nativeMethods.empty()) return;
  m_nativeNames.clear();
  std::map<std::string, int> perName;
  for (const MethodDescriptor& method : m_nativeMethods) ++perName[method.getName()];
  for (const MethodDescriptor& method : m_nativeMethods) {
    m_nativeNames[method.getName() + method.getSignature()] =
        jniFunctionName(method.getName(), method.getSignature(), m_javaClassName, perName[method.getName()] > 1);
  }
}

void ProxyGenerator::genNativeStubs() {
  if (!m_pSource || !m_bImplementNatives) return;
  std::ostream& out = *m_pSource;
  const std::string q = qualifiedProxyName();
  out << "\n";
  if (m_nativeMethods.empty()) return;
  out << "extern \"C\" {";
  for (const MethodDescriptor& method : m_nativeMethods) {
    const std::string descriptor = method.getSignature();
    const std::string returnType = jniMethodType(descriptor);
    const std::vector<std::string> params = jniMethodParams(descriptor);
    const std::string member = methodCppName(method);
    const bool isStatic = method.isStatic();

    out << "\n";
    out << "JNIEXPORT " << returnType << " JNICALL " << m_nativeNames[method.getName() + descriptor] << "(JNIEnv* env"
        << (isStatic ? ", jclass clazz" : ", jobject obj");
    for (std::size_t i = 0; i < params.size(); ++i) out << ", " << params[i] << " p" << i;
    out << "){\n";
    genTry(I, out);
    out << I << I << "if(!::jni_helpers::JNIEnvHelper::isInitialized())\n";
    out << I << I << I << "::jni_helpers::JNIEnvHelper::init(env);\n";
    if (!isStatic) out << I << I << q << " jniObj(obj);\n";
    out << I << I;
    if (returnType != "void") out << "return ";
    const bool cast = isReferenceType(returnType);
    if (cast) out << "(" << returnType << ")::jni_helpers::JNIEnvHelper::NewLocalRef((jobject)";
    out << (isStatic ? q + "::" : std::string("jniObj.")) << member << "(" << genNativeCallArgs(descriptor, 0) << ")";
    if (cast) out << ")";
    out << ";\n";
    out << I << "}catch(::jni_helpers::JVMException e){\n";
    out << I << I << "::jni_helpers::JNIEnvHelper::ThrowNew(e.getMessage());\n";
    out << I << "}catch(...){\n";
    out << I << I << "::jni_helpers::JNIEnvHelper::ThrowNew(\"System Error\");\n";
    out << I << "}\n";
    // After a failure the VM ignores the value, but the function must still return one.
    const std::string fallback = defaultReturnStatement(descriptor);
    if (returnType != "void" && !fallback.empty()) out << I << fallback << "\n";
    out << "}\n";
  }
  out << "}\n";
  out << "///////////////////////////////////////\n";
  out << (m_nativeMethods.size() > 1 ? "//Implement these methods in your code:\n"
                                     : "//Implement this method in your code:\n");
  for (const MethodDescriptor& method : m_nativeMethods) {
    const std::string descriptor = method.getSignature();
    out << "//" << replaceDelimiters(methodHelperType(descriptor, false), ".", "::") << " " << q
        << "::" << methodCppName(method) << "(" << joined(methodHelperParams(descriptor), ", ") << ");\n";
  }
  out << "///////////////////////////////////////\n";
}
