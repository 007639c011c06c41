// The proxy source: the class name, the ID reset function, the constants, the property accessors,
// the constructors and the method bodies.
//
// Every body turns one C++ call into the runtime's checked JNI calls, caches instance-member IDs
// in the proxy object, converts object results into wrappers and releases every local reference it
// made, on failures too: local references made on a thread that the program attached itself are
// never freed by the VM. Every writer does nothing without an open source stream.
#include "ProxyGenerator.h"

#include "CppNames.h"
#include "GeneratedText.h"
#include "JavaTypes.h"
#include "TypeMapping.h"

namespace {

// Bound to the shared unit, not copied from it: a copy made while the globals of the
// program are initialised could be made before the unit exists.
const std::string& I = indentUnit;
const std::string kHelper = "::jni_helpers::JNIEnvHelper::";
const std::string kLookup = "::jni_helpers::ProxyLookup::";

// The lines that look a member's ID up into `id` through the runtime's cache at their place in
// the generated code (a static LookupSite). A static member's lookup also sets the local clazz to
// its class, which the runtime holds: bodies never delete it. An instance member's ID is also
// kept in the proxy.
void appendMemberLookup(std::string& text, bool isStatic, bool isField, const std::string& id, const std::string& name,
                        const std::string& descriptor) {
  const std::string quoted = cppStringLiteral(name) + ", " + cppStringLiteral(descriptor);
  if (isStatic) {
    appendAll(text, I, I, "static ::jni_helpers::LookupSite _lookup;\n");
    appendAll(text, I, I, "jclass clazz = 0;\n");
    appendAll(text, I, I, isField ? "jfieldID " : "jmethodID ", id, " = ", kLookup,
              isField ? "staticField" : "staticMethod", "(_lookup, _clazzName, ", quoted, ", clazz);\n");
  } else {
    appendAll(text, I, I, "if(", id, " == 0){\n");
    appendAll(text, I, I, I, "static ::jni_helpers::LookupSite _lookup;\n");
    appendAll(text, I, I, I, id, " = ", kLookup, isField ? "field" : "method", "(_lookup, clazz, ", quoted, ");\n");
    appendAll(text, I, I, "}\n");
  }
}

void writeMemberLookup(std::ostream& out, bool isStatic, bool isField, const std::string& id, const std::string& name,
                       const std::string& descriptor) {
  std::string text;
  appendMemberLookup(text, isStatic, isField, id, name, descriptor);
  out << text;
}

// A floating constant keeps a floating literal ("-0" would be the integer 0 and lose the sign).
std::string floatingLiteral(std::string literal) {
  if (literal.find_first_of(".eEn") == std::string::npos) literal += ".0";
  return literal;
}

}  // namespace

void ProxyGenerator::genSourceHead(bool includeStdafx) {
  if (!m_pSource) return;
  std::ostream& out = *m_pSource;
  const std::string q = qualifiedProxyName();
  if (includeStdafx) out << "#include \"stdafx.h\"\n";
  out << "#include \"defproxies.h\"\n";
  out << "\n";
  out << "const char* " << q << "::_clazzName = " << cppStringLiteral(replaceDelimiters(m_javaClassName, ".", "/"))
      << ";\n";
  out << "\n";
  out << "void " << q << "::" << simpleCppName(m_javaClassName) << "_init(){\n";
  genFieldIdResets();
  genMethodIdResets();
  out << "}\n";
}

void ProxyGenerator::genFieldIdResets() {
  if (!m_pSource) return;
  for (const FieldDescriptor& field : m_fields) {
    if (isPropertyField(field)) *m_pSource << I << m_fieldNames[field.getName() + field.getType()] << "_ID = 0;\n";
  }
}

void ProxyGenerator::genMethodIdResets() {
  if (!m_pSource) return;
  for (const auto& entry : m_methodNames) *m_pSource << I << entry.second << "_ID = 0;\n";
}

void ProxyGenerator::genConstantDefs() {
  if (!m_pSource) return;
  std::ostream& out = *m_pSource;
  const std::string q = qualifiedProxyName();
  for (const FieldDescriptor& field : m_fields) {
    if (!isWrittenConstant(field)) continue;
    std::string literal = field.getConstValue().toLiteral();
    const uint8_t kind = field.getConstValue().getKind();
    if (kind == ConstValue::kFloat || kind == ConstValue::kDouble) literal = floatingLiteral(literal);
    out << "const " << cppTypeName(field.getType(), false) << " " << q << "::" << fieldCppName(field) << " = "
        << literal << ";\n";
  }
}

void ProxyGenerator::genAccessors() {
  if (!m_pSource) return;
  for (const FieldDescriptor& field : m_fields) {
    if (isPropertyField(field)) genAccessor(field);
  }
}

void ProxyGenerator::genAccessor(const FieldDescriptor& field) {
  if (!m_pSource) return;
  std::ostream& out = *m_pSource;
  const std::string q = qualifiedProxyName();
  const std::string descriptor = field.getType();
  const std::string type = helperType(descriptor, false, true);
  const std::string call = fieldCallType(descriptor);
  const std::string id = m_fieldNames[field.getName() + descriptor] + "_ID";
  const std::string accessor = fieldCppName(field);
  const bool isStatic = field.isStatic();
  const std::string target = isStatic ? "clazz, " + id : "*this, " + id;
  const std::string access = kHelper + (isStatic ? "GetStatic" : "Get") + call + "Field(" + target + ");";

  auto idLines = [&]() { writeMemberLookup(out, isStatic, true, id, field.getName(), descriptor); };

  // Getter.
  out << "\n";
  out << type << " " << q << "::get_" << accessor << "() {\n";
  genTry(I, out);
  out << I << I << type << " result;\n";
  idLines();
  if (call == "Object") {
    out << I << I << "jobject tmpobject = " << access << "\n";
    out << I << I << "result.AssignResult(tmpobject);\n";
  } else {
    out << I << I << "result = " << access << "\n";
  }
  out << I << I << "return result;\n";
  genCatch(I, q + "::get_" + accessor, out);
  out << "}\n";

  if (field.isFinal()) return;

  // Setter.
  out << "\n";
  out << "void " << q << "::put_" << accessor << "(" << type << " p) {\n";
  genTry(I, out);
  idLines();
  out << I << I << kHelper << (isStatic ? "SetStatic" : "Set") << call << "Field(" << target << ", p);\n";
  genCatch(I, q + "::put_" + accessor, out);
  out << "}\n";
}

void ProxyGenerator::genConstructors() {
  if (!m_pSource) return;
  for (const MethodDescriptor& constructor : m_constructors) genConstructor(constructor);
}

void ProxyGenerator::genConstructor(const MethodDescriptor& constructor) {
  if (!m_pSource) return;
  std::ostream& out = *m_pSource;
  const std::string q = qualifiedProxyName();
  const std::string simple = simpleCppName(m_javaClassName);
  const std::string descriptor = constructor.getSignature();
  const std::string id = m_methodNames["<init>" + descriptor] + "_ID";

  out << "\n";
  out << q << "::" << simple << proxySuffix << "(" << numberedParameters(methodHelperParams(descriptor))
      << ") : clazz(0) {\n";
  genTry(I, out);
  // The class is held by the runtime: the proxy never deletes it.
  out << I << I << "static ::jni_helpers::LookupSite _class;\n";
  out << I << I << "clazz = " << kLookup << "proxyClass(_class, _clazzName);\n";
  out << I << I << simple << "_init();\n";
  writeMemberLookup(out, false, false, id, "<init>", descriptor);
  out << I << I << "jobject tmpobj = " << kHelper << "NewObject(clazz, " << id << genFunctionCallParams(descriptor)
      << ");\n";
  out << I << I << "AssignResult(tmpobj);\n";
  genCatch(I, q + "::" + simple + proxySuffix, out);
  out << "}\n";
}

std::string ProxyGenerator::genFunctionCallParams(std::string descriptor) {
  DescriptorCursor cursor(descriptor);
  if (!cursor.isMethod()) return "ERROR:genFunctionCallParams(" + descriptor + ")";
  std::string text;
  int n = 0;
  while (cursor.hasParameter()) {
    const TypeDescriptor parameter = cursor.nextParameter();
    text += ", ";
    if (parameter.dimensions > 0 || parameter.element == 'L') text += "(jobject)";
    text += "p" + std::to_string(n++);
  }
  return text;
}

namespace {

enum class CallKind { Static, Nonvirtual, Virtual };

}  // namespace

static void writeMethodBody(ProxyGenerator& gen, const MethodDescriptor& method, CallKind kind, const std::string& q);

void ProxyGenerator::genMethods() {
  if (!m_pSource) return;
  const std::string q = qualifiedProxyName();
  for (const MethodDescriptor& method : m_methods) {
    // A native method of the class with a skeleton gets its stub below; every other method,
    // inherited natives included, gets a proxy body.
    if (hasNativeSkeleton(method)) continue;
    writeMethodBody(*this, method,
                    method.isStatic()  ? CallKind::Static
                    : method.isFinal() ? CallKind::Nonvirtual
                                       : CallKind::Virtual,
                    q);
  }
  genNativeStubs();
}

static void writeMethodBody(ProxyGenerator& gen, const MethodDescriptor& method, CallKind kind, const std::string& q) {
  const std::string descriptor = method.getSignature();
  const std::string name = method.getName();
  const std::string id = gen.m_methodNames[name + descriptor] + "_ID";
  const std::string resultType = methodHelperType(descriptor, true);
  // A descriptor whose only ')' comes first has no void result (an "ERROR:" text stands there).
  const bool isVoid = resultType == "void" && descriptor.rfind(')') != 0;
  const std::string call = methodCallType(descriptor);
  const std::string args = gen.genFunctionCallParams(descriptor);
  const bool isStatic = kind == CallKind::Static;

  std::string text;
  text.reserve(1024);
  appendAll(text, "\n", replaceDelimiters(resultType, ".", "::"), " ", q, "::", gen.methodCppName(method), "(",
            numberedParameters(methodHelperParams(descriptor)), ") {\n");
  appendTry(text, I);
  if (!isVoid) appendAll(text, I, I, resultType, " result;\n");
  appendMemberLookup(text, isStatic, false, id, name, descriptor);
  appendAll(text, I, I);
  if (!isVoid) text += call == "Object" ? "jobject tmpobject =" : "result = ";
  switch (kind) {
    case CallKind::Static:
      appendAll(text, kHelper, "CallStatic", call, "Method(clazz, ", id, args, ");");
      break;
    case CallKind::Nonvirtual:
      appendAll(text, kHelper, "CallNonvirtual", call, "Method(*this, clazz, ", id, args, ");");
      break;
    case CallKind::Virtual:
      appendAll(text, kHelper, "Call", call, "Method(*this, ", id, args, ");");
      break;
  }
  text += "\n";
  // The result holds the object; the local reference goes.
  if (!isVoid && call == "Object") appendAll(text, I, I, "result.AssignResult(tmpobject);\n");
  if (!isVoid) appendAll(text, I, I, "return result;\n");
  appendCatch(text, I, q + "::" + name);
  text += "}\n";
  *gen.m_pSource << text;
}

void ProxyGenerator::genStaticCall(const MethodDescriptor& method) {
  if (m_pSource) writeMethodBody(*this, method, CallKind::Static, qualifiedProxyName());
}

void ProxyGenerator::genNonvirtualCall(const MethodDescriptor& method) {
  if (m_pSource) writeMethodBody(*this, method, CallKind::Nonvirtual, qualifiedProxyName());
}

void ProxyGenerator::genVirtualCall(const MethodDescriptor& method) {
  if (m_pSource) writeMethodBody(*this, method, CallKind::Virtual, qualifiedProxyName());
}
