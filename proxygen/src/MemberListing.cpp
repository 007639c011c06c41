// The member lists of the wizard's views: one Java-like line per member.
#include "JavaTypes.h"
#include "ProxyGenerator.h"

#include "GeneratedText.h"
#include "TypeMapping.h"

#include <cmath>

namespace {

// "(" + "type p0, type p1" + ");"
std::string parameterList(const std::string& descriptor) {
  return "(" + numberedParameters(jmethodParams(descriptor)) + ");";
}

std::string methodLine(const MethodDescriptor& method) {
  std::string line = javaAccessWord(method.getAccessFlags());
  if (method.isAbstract()) line += "abstract ";
  if (method.isNative()) line += "native ";
  line += staticFinalWords(method.getAccessFlags());
  line += replaceChar(jmethodType(method.getSignature()), '$', '.') + " " + method.getName();
  return line + parameterList(method.getSignature());
}

void listMethodSet(const std::set<MethodDescriptor>& methods, MethodLineMap& lines) {
  lines.clear();
  for (const MethodDescriptor& method : methods) lines[methodLine(method)] = method;
}

// The lines of the fields that `kept` keeps, each type written as `typeName` gives it.
template <typename Kept, typename TypeName>
void listFieldSet(const std::set<FieldDescriptor>& fields, FieldLineMap& lines, Kept kept, TypeName typeName) {
  lines.clear();
  for (const FieldDescriptor& field : fields) {
    if (!kept(field)) continue;
    const std::string line = javaAccessWord(field.getAccessFlags()) + staticFinalWords(field.getAccessFlags()) +
                             typeName(field.getType()) + " " + field.getName() + ";";
    lines[line] = field;
  }
}

}  // namespace

// A constant is written only when it is of the kind that the field's type takes (int for boolean,
// byte, char, short and int; long, float, double and String for their own types): a class file
// that pairs them otherwise is malformed, and the text of a string must never stand where the
// generated code expects a number. NaN and the infinities have no portable C++ literal.
bool ProxyGenerator::isConstantWritable(const FieldDescriptor& field) const {
  const ConstValue& value = field.getConstValue();
  const std::string type = field.getType();
  switch (value.getKind()) {
    case ConstValue::kNone:
      return true;
    case ConstValue::kInt:
      return type.size() == 1 && containsChar("BCISZ", type[0]);
    case ConstValue::kLong:
      return type == "J";
    case ConstValue::kFloat:
      return type == "F" && std::isfinite(value.getFloat());
    case ConstValue::kDouble:
      return type == "D" && std::isfinite(value.getDouble());
    default:
      return type == "Ljava/lang/String;";
  }
}

// The constants of the list are the constants that the proxy writes.
bool ProxyGenerator::isConstant(const FieldDescriptor& field) const { return isWrittenConstant(field); }

void ProxyGenerator::listMethods(MethodLineMap& lines) { listMethodSet(m_methods, lines); }

void ProxyGenerator::listNativeMethods(MethodLineMap& lines) { listMethodSet(m_nativeMethods, lines); }

void ProxyGenerator::listConstructors(MethodLineMap& lines) {
  lines.clear();
  for (const MethodDescriptor& constructor : m_constructors) {
    const std::string line = javaAccessWord(constructor.getAccessFlags()) +
                             staticFinalWords(constructor.getAccessFlags()) + m_javaClassName +
                             parameterList(constructor.getSignature());
    lines[line] = constructor;
  }
}

// The fields of the list are the fields that the proxy gives accessors.
void ProxyGenerator::listFields(FieldLineMap& lines) {
  listFieldSet(
      m_fields, lines, [this](const FieldDescriptor& field) { return isPropertyField(field); },
      [](const std::string& type) { return replaceChar(javaTypeName(type), '$', '.'); });
}

void ProxyGenerator::listConstants(FieldLineMap& lines) {
  listFieldSet(
      m_fields, lines, [this](const FieldDescriptor& field) { return isConstant(field); },
      [](const std::string& type) { return javaTypeName(type); });
}
