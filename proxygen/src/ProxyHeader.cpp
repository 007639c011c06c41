// The proxy header: unique C++ names of the members, and the sections of the class declaration.
//
// The proxy of a.b.Bar is CPP_Java_Bridge::a::b::BarJNIProxy, derived from JObject_t. Member lines
// sit at (package parts + 2) indentation units. Every section writer does nothing without an open
// header stream.
#include "ProxyGenerator.h"

#include "CppNames.h"
#include "GeneratedText.h"
#include "JavaTypes.h"
#include "TypeMapping.h"

#include <iterator>
#include <set>

namespace {

// Whether `methods` holds a method with the C++ name of `method` whose C++ parameters are those
// of `method` without the last: a default for that last parameter would make calls ambiguous
// (a class with both main() and main(String[])).
bool hasOverloadWithout(const std::set<MethodDescriptor>& methods, const MethodDescriptor& method) {
  std::vector<std::string> shorter = methodHelperParams(method.getSignature());
  if (shorter.empty()) return false;
  shorter.pop_back();
  for (const MethodDescriptor& other : methods) {
    if (other.getName() == method.getName() && methodHelperParams(other.getSignature()) == shorter) return true;
  }
  return false;
}

// Names that every proxy declares or inherits besides its Java members: the typedef and data
// members of the class head, the members of the standard block, and the public and protected
// members of JObject_t, which generated code calls and a member of the same name would hide.
const char* const kProxyOwnNames[] = {
    "jstringArray",     "_clazzName", "clazz",  "getObjectClass", "isNullObject", "getProxyClass",
    "getJavaClassName", "JObject_t",  "Assign", "AssignResult",   "clear",
};

// `name`, or `name` + "_<n>" with the first n from 1 on that makes `name_n` + suffix a name not
// yet taken; the whole name is then taken.
std::string takeNumbered(std::set<std::string>& taken, const std::string& name, const std::string& suffix) {
  std::string candidate = name;
  for (int n = 1; taken.count(candidate + suffix); ++n) candidate = name + "_" + std::to_string(n);
  taken.insert(candidate + suffix);
  return candidate;
}

// The unique name of a member: the Java name with '$' made '_', then "_<n>" from the
// second use of the counted name on.
std::string countedName(std::map<std::string, int>& counts, const std::string& countedName,
                        const std::string& baseName) {
  auto it = counts.find(countedName);
  const int n = it == counts.end() ? 0 : it->second + 1;
  counts[countedName] = n;
  std::string name = replaceChar(baseName, '$', '_');
  if (n != 0) name += "_" + std::to_string(n);
  return name;
}

// A name looked up in the user's substitutions; false when they do not name it.
bool substitutedName(const std::string& key, std::string& name) {
  if (!nameSubstitutions) return false;
  auto it = nameSubstitutions->find(key);
  if (it == nameSubstitutions->end()) return false;
  name = it->second;
  return true;
}

// The methods the proxy declares: its methods and, with skeletons on, every native of the class
// (its stub calls it, also when the user unchecked it). `withNatives` holds the set then.
const std::set<MethodDescriptor>& declaredMethods(const ProxyGenerator& gen, std::set<MethodDescriptor>& withNatives) {
  if (!gen.m_bImplementNatives) return gen.m_methods;
  withNatives = gen.m_methods;
  withNatives.insert(gen.m_nativeMethods.begin(), gen.m_nativeMethods.end());
  return withNatives;
}
}  // namespace

// --- Names shared by the header and the source --------------------------------------------------

std::string ProxyGenerator::qualifiedProxyName() const {
  std::string name = "CPP_Java_Bridge::";
  for (const std::string& part : m_packageParts) name += namespaceName(part) + "::";
  return name + simpleCppName(m_javaClassName) + proxySuffix;
}

std::string ProxyGenerator::fieldCppName(const FieldDescriptor& field) const {
  const std::string key = field.getName() + field.getType();
  auto named = m_fieldCppNames.find(key);
  if (named != m_fieldCppNames.end()) return named->second;
  return substituteName((addFieldPrefix ? "fld_" : "") + replaceChar(field.getName(), '$', '_'));
}

std::string ProxyGenerator::methodCppName(const MethodDescriptor& method) const {
  auto named = m_methodCppNames.find(method.getName());
  if (named != m_methodCppNames.end()) return named->second;
  return substituteName((addMethodPrefix ? "mth_" : "") + replaceChar(method.getName(), '$', '_'));
}

bool ProxyGenerator::isConstantLike(const FieldDescriptor& field) const {
  const std::string type = field.getType();
  return arrayDimensions(type) == 0 && field.isStatic() && field.isFinal() && isPrimitiveElement(type);
}

bool ProxyGenerator::isPropertyField(const FieldDescriptor& field) const {
  return !isConstantLike(field) && !containsChar(field.getName(), '$');
}

bool ProxyGenerator::isWrittenConstant(const FieldDescriptor& field) const {
  return isConstantLike(field) && field.getConstValue().getKind() != ConstValue::kNone && isConstantWritable(field) &&
         !containsChar(field.getName(), '$');
}

bool ProxyGenerator::hasNativeSkeleton(const MethodDescriptor& method) const {
  return m_bImplementNatives && m_nativeNames.count(method.getName() + method.getSignature()) != 0;
}

// --- Unique names -------------------------------------------------------------------------------

void ProxyGenerator::makeFieldNames() {
  m_nameCounts.clear();
  m_fieldNames.clear();
  for (const FieldDescriptor& field : m_fields)
    m_fieldNames[field.getName() + field.getType()] = countedName(m_nameCounts, field.getName(), field.getName());
}

void ProxyGenerator::makeMethodNames() {
  if (m_bImplementNatives) makeNativeNames();
  m_methodNames.clear();
  for (const MethodDescriptor& method : m_methods) {
    const std::string key = method.getName() + method.getSignature();
    if (m_bImplementNatives && m_nativeNames.count(key)) continue;
    m_methodNames[key] = countedName(m_nameCounts, method.getName(), method.getName());
  }
  const std::string simple = simpleCppName(m_javaClassName);
  for (const MethodDescriptor& constructor : m_constructors)
    m_methodNames["<init>" + constructor.getSignature()] = countedName(m_nameCounts, "<init>", simple);
  makeDeclaredNames();
}

void ProxyGenerator::makeDeclaredNames() {
  std::set<std::string> taken(std::begin(kProxyOwnNames), std::end(kProxyOwnNames));
  const std::string simple = simpleCppName(m_javaClassName);
  taken.insert(simple + proxySuffix);
  taken.insert(simple + "_init");

  // Methods first: overloads share one name, which a substitution gives as it stands.
  m_methodCppNames.clear();
  std::set<MethodDescriptor> withNatives;
  for (const MethodDescriptor& method : declaredMethods(*this, withNatives)) {
    if (m_methodCppNames.count(method.getName())) continue;
    const std::string key = (addMethodPrefix ? "mth_" : "") + replaceChar(method.getName(), '$', '_');
    std::string name;
    if (!substitutedName(key, name)) {
      name = cppIdentifier(key);
      while (taken.count(name)) name += '_';
    }
    taken.insert(name);
    m_methodCppNames[method.getName()] = name;
  }

  // Then the constants and the accessors of the properties (get_ and put_ + the name).
  m_fieldCppNames.clear();
  for (const FieldDescriptor& field : m_fields) {
    const bool property = isPropertyField(field);
    if (!property && !isWrittenConstant(field)) continue;
    const std::string fieldKey = field.getName() + field.getType();
    const std::string key = (addFieldPrefix ? "fld_" : "") + m_fieldNames[fieldKey];
    std::string name;
    if (!substitutedName(key, name)) {
      name = cppIdentifier(key);
      while (property ? taken.count("get_" + name) || taken.count("put_" + name) : taken.count(name)) name += '_';
    }
    if (property) {
      taken.insert("get_" + name);
      taken.insert("put_" + name);
    } else {
      taken.insert(name);
    }
    m_fieldCppNames[fieldKey] = name;
  }
  // The properties themselves (declared for Visual C++ only) yield to every other name.
  m_propertyCppNames.clear();
  for (const FieldDescriptor& field : m_fields) {
    if (!isPropertyField(field)) continue;
    const std::string fieldKey = field.getName() + field.getType();
    std::string name = m_fieldCppNames[fieldKey];
    while (taken.count(name)) name += '_';
    taken.insert(name);
    m_propertyCppNames[fieldKey] = name;
  }

  // Last the private IDs: the unique name, numbered on while its ID is taken.
  for (const FieldDescriptor& field : m_fields) {
    std::string& unique = m_fieldNames[field.getName() + field.getType()];
    if (isPropertyField(field)) unique = takeNumbered(taken, cppIdentifier(unique), "_ID");
  }
  for (auto& entry : m_methodNames) entry.second = takeNumbered(taken, cppIdentifier(entry.second), "_ID");
}

// --- Sections -----------------------------------------------------------------------------------

namespace {

// The one shape of the header's sections: `write` gets the open header and the indentation of
// member lines; nothing is written without a header.
template <typename Write>
void headerSection(const ProxyGenerator& gen, Write write) {
  if (gen.m_pHeader) write(static_cast<std::ostream&>(*gen.m_pHeader), indentation(gen.m_packageParts.size() + 2));
}

// A list within a section: `entry` for each of `items` that `kept` keeps, `title` before the
// first. Whether there was one.
template <typename Items, typename Kept, typename Entry>
bool titledList(std::ostream& out, const std::string& title, const Items& items, Kept kept, Entry entry) {
  bool any = false;
  for (const auto& item : items) {
    if (!kept(item)) continue;
    if (!any) out << title;
    any = true;
    entry(item);
  }
  return any;
}

// The fields that the member test `test` of `gen` passes.
auto fieldsPassing(const ProxyGenerator& gen, bool (ProxyGenerator::*test)(const FieldDescriptor&) const) {
  return [&gen, test](const FieldDescriptor& field) { return (gen.*test)(field); };
}

bool isConstructorKey(const std::string& key) { return key.compare(0, 6, "<init>") == 0; }

}  // namespace

void ProxyGenerator::genClassHead() {
  headerSection(*this, [&](std::ostream& out, const std::string& m) {
    const std::string cls = simpleCppName(m_javaClassName) + proxySuffix;
    const std::size_t parts = m_packageParts.size();
    out << "#pragma once\n\n\n";
    out << "namespace CPP_Java_Bridge {\n";
    for (std::size_t k = 1; k <= parts; ++k)
      out << indentation(k) << "namespace " << namespaceName(m_packageParts[k - 1]) << " {\n";
    const std::string c = indentation(parts + 1);
    // The class that stands for the Java type in "defproxies.h" is the base (recorded for it), so
    // a proxy passed where its own type is expected converts to it as to a base class. A String
    // is a JStringHelper where the generated code expects one.
    std::string base = cppTypeName("L" + replaceChar(m_javaClassName, '.', '/') + ";", false);
    if (base == "jstring") base = "JObject_t";
    writeClassOpening(out, c, cls + ": public " + base + " {");
    out << m << "typedef jobjectArray jstringArray;\n";
    out << "private:\n";
    out << m << "static const char* _clazzName;\n";
    out << m << "mutable jclass clazz;\n";
  });
}

void ProxyGenerator::genFieldIds() {
  headerSection(*this, [&](std::ostream& out, const std::string& m) {
    titledList(out, "\n" + m + "// Field IDs:\n", m_fields, fieldsPassing(*this, &ProxyGenerator::isPropertyField),
               [&](const FieldDescriptor& field) {
                 out << m << "jfieldID  " << m_fieldNames[field.getName() + field.getType()] << "_ID;\n";
               });
  });
}

void ProxyGenerator::genMethodIds() {
  headerSection(*this, [&](std::ostream& out, const std::string& m) {
    titledList(
        out, "\n" + m + "// Method IDs:\n", m_methodNames,
        [](const std::pair<const std::string, std::string>& entry) { return !isConstructorKey(entry.first); },
        [&](const std::pair<const std::string, std::string>& entry) {
          out << m << "jmethodID " << entry.second << "_ID;\n";
        });
  });
}

void ProxyGenerator::genConstructorIds() {
  headerSection(*this, [&](std::ostream& out, const std::string& m) {
    out << "\n" << m << "// Constructor IDs:\n";
    for (const auto& entry : m_methodNames) {
      if (isConstructorKey(entry.first)) out << m << "jmethodID " << entry.second << "_ID;\n";
    }
    out << "\n" << m << "void " << simpleCppName(m_javaClassName) << "_init();\n";
  });
}

void ProxyGenerator::genConstantDecls() {
  headerSection(*this, [&](std::ostream& out, const std::string& m) {
    // The public section opens here whether or not constants follow.
    out << "public:\n";
    titledList(out, m + "// Constants:\n", m_fields, fieldsPassing(*this, &ProxyGenerator::isWrittenConstant),
               [&](const FieldDescriptor& field) {
                 out << m << "// " << cppCommentText(javaTypeName(field.getType()) + " " + field.getName()) << ";\n";
                 out << m << "static const " << cppTypeName(field.getType(), false) << " " << fieldCppName(field)
                     << ";\n";
               });
  });
}

void ProxyGenerator::genFieldProperties() {
  headerSection(*this, [&](std::ostream& out, const std::string& m) {
    const bool any = titledList(
        out, "\n" + m + "// Fields:\n#ifdef _MSC_VER\n", m_fields,
        fieldsPassing(*this, &ProxyGenerator::isPropertyField), [&](const FieldDescriptor& field) {
          const std::string n = fieldCppName(field);
          const std::string type = helperType(field.getType(), false, false);
          auto property = m_propertyCppNames.find(field.getName() + field.getType());
          const std::string propertyName = property == m_propertyCppNames.end() ? n : property->second;
          out << m << "// " << javaAccessWord(field.getAccessFlags()) << staticFinalWords(field.getAccessFlags())
              << cppCommentText(javaTypeName(field.getType()) + " " + field.getName()) << ";\n";
          if (field.isFinal())
            out << m << "__declspec(property(get=get_" << n << "))\n";
          else
            out << m << "__declspec(property(get=get_" << n << " ,put=put_" << n << "))\n";
          out << m << type << " " << propertyName << ";\n";
        });
    if (any) out << "#endif\n";
  });
}

void ProxyGenerator::genAccessorDecls() {
  headerSection(*this, [&](std::ostream& out, const std::string& m) {
    titledList(out, "\n" + m + "// Property gets/sets:\n", m_fields,
               fieldsPassing(*this, &ProxyGenerator::isPropertyField), [&](const FieldDescriptor& field) {
                 const std::string n = fieldCppName(field);
                 const std::string type = replaceDelimiters(helperType(field.getType(), false, false), ".", "::");
                 const std::string st = field.isStatic() ? "static " : "";
                 out << m << st << type << " get_" << n << "();\n";
                 if (!field.isFinal()) out << m << st << "void put_" << n << "(" << type << " p);\n";
               });
  });
}

void ProxyGenerator::genStandardCode() {
  headerSection(*this, [&](std::ostream& out, const std::string& m) {
    const std::string m1 = m + indentUnit;
    const std::string m2 = m1 + indentUnit;
    const std::string m3 = m2 + indentUnit;
    const std::string simple = simpleCppName(m_javaClassName);
    const std::string cls = simple + proxySuffix;
    const std::string context = replaceDelimiters(m_javaClassName, ".", "::") + proxySuffix;

    out << "\n" << m << "////////// Begin Proxy's standard code //////////////\n";

    // The class of every form, held by the runtime: the proxy never deletes it.
    auto classLookup = [&]() {
      out << m2 << "static ::jni_helpers::LookupSite _class;\n";
      out << m2 << "clazz = ::jni_helpers::ProxyLookup::proxyClass(_class, _clazzName);\n";
    };
    // Form A: from a Java reference.
    auto fromReference = [&]() {
      out << m << cls << "(const jobject _peerObj):JObject_t(_peerObj),clazz(0){\n";
      genTry(m1, out);
      classLookup();
      out << m2 << simple << "_init();\n";
      genCatch(m1, context, out);
      out << m << "};\n";
    };

    // Form C: from another proxy of the class.
    auto fromProxy = [&]() {
      out << m << cls << "( " << cls << "&"
          << " _Obj):/*peerObj(0),*/clazz(0){\n";
      genTry(m1, out);
      classLookup();
      out << m2 << "if(clazz != 0){\n";
      out << m3 << "Assign(_Obj);\n";
      out << m3 << simple << "_init();\n";
      out << m2 << "}\n";
      genCatch(m1, context, out);
      out << m << "};\n";
    };

    if (m_bIsInterface) {
      fromReference();
    } else {
      // Form B: from a JObject_t (temporaries bind as well).
      out << m << cls << "(const JObject_t& o):JObject_t(o),clazz(0){\n";
      genTry(m1, out);
      classLookup();
      out << m2 << simple << "_init();\n";
      genCatch(m1, context, out);
      out << m << "};\n";
      fromReference();
    }
    fromProxy();

    out << "\n" << m << "// Destructor:\n";
    out << m << "virtual ~" << cls << "(){\n";
    out << m << "}\n";

    out << m << "jobject getObjectClass(jobject obj) {\n";
    out << m1 << "jobject result = 0;\n";
    out << m1
        << "jclass tmpclazz = reinterpret_cast<jclass> "
           "(::jni_helpers::JNIEnvHelper::FindClass(\"java/lang/Object\"));\n";
    out << m1
        << "jmethodID getClass_ID = ::jni_helpers::JNIEnvHelper::GetMethodID(tmpclazz, \"getClass\", "
           "\"()Ljava/lang/Class;\" );\n";
    out << m1 << "result = ::jni_helpers::JNIEnvHelper::CallNonvirtualObjectMethod(obj, tmpclazz, getClass_ID);\n";
    out << m1 << "::jni_helpers::JNIEnvHelper::DeleteLocalRef(tmpclazz);\n";
    out << m1 << "return result;\n";
    out << m << "}\n";

    out << m << cls << "& operator = (const jobject o){\n";
    genTry(m1, out);
    out << m2 << "Assign(o);\n";
    genCatch(m1, context + "::operator =", out);
    out << m1 << "return *this;\n";
    out << m << "}\n";

    out << m << "bool isNullObject() const {\n";
    out << m1 << "return JObject_t::isNullObject();\n";
    out << m << "}\n";

    out << m << "const jclass getProxyClass() const {\n";
    out << m1 << "return clazz;\n";
    out << m << "}\n";

    out << m << "static const char* getJavaClassName() { \n";
    out << m1 << "return _clazzName;\n";
    out << m << "}\n";

    // A conversion to a base class is never called by other compilers, which warn about it.
    out << "#ifdef _MSC_VER\n";
    out << m << "operator const JObject_t&() const {\n";
    out << m1 << "return (JObject_t&)*this;\n";
    out << m << "}\n";
    out << "#endif\n";

    out << m << cls << "& operator = (const JObject_t& o){\n";
    out << m1 << "Assign(o);\n";
    out << m1 << "return *this;\n";
    out << m << "}\n";

    // Copy assignment shares the other's object; the class stays the one this proxy looked up.
    out << m << cls << "& operator = (const " << cls << "& o){\n";
    out << m1 << "Assign(o);\n";
    out << m1 << "return *this;\n";
    out << m << "}\n";

    out << m << "////////// End Proxy's standard code //////////////\n";
  });
}

void ProxyGenerator::genConstructorDecls() {
  headerSection(*this, [&](std::ostream& out, const std::string& m) {
    const std::string cls = simpleCppName(m_javaClassName) + proxySuffix;
    out << "\n" << m << "// Constructors:\n";
    for (const MethodDescriptor& constructor : m_constructors) {
      const uint16_t flags = constructor.getAccessFlags();
      const std::string st = (flags & kAccStatic) ? "static " : "";
      out << m << "// " << javaAccessWord(flags) << staticFinalWords(flags)
          << cppCommentText(m_javaClassName + "(" + numberedParameters(jmethodParams(constructor.getSignature())))
          << ");\n";
      out << m << st << cls << "(" << numberedParameters(methodHelperParams(constructor.getSignature())) << ");\n";
    }
  });
}

void ProxyGenerator::genMethodDecls() {
  headerSection(*this, [&](std::ostream& out, const std::string& m) {
    std::set<MethodDescriptor> withNatives;
    const std::set<MethodDescriptor>& methods = declaredMethods(*this, withNatives);
    out << "\n" << m << "// Methods:\n";
    std::string text;
    for (const MethodDescriptor& method : methods) {
      const uint16_t flags = method.getAccessFlags();
      const std::string descriptor = method.getSignature();
      const std::string name = method.getName();
      text.clear();
      appendAll(text, m, "// ", javaAccessWord(flags));
      if (flags & kAccAbstract) text += "abstract ";
      if (flags & kAccNative) text += "native ";
      const std::vector<std::string> javaParams = jmethodParams(descriptor);
      appendAll(text, staticFinalWords(flags),
                cppCommentText(jmethodType(descriptor) + " " + name + "(" + numberedParameters(javaParams)), ");\n");

      std::string params = numberedParameters(methodHelperParams(descriptor));
      if (name == "main" && !javaParams.empty() && javaParams.back() == "java.lang.String[]" &&
          !hasOverloadWithout(methods, method))
        params += " = ::jni_helpers::JStringArrayHelper(0L)";
      appendAll(text, m, (flags & kAccStatic) ? "static " : "",
                replaceDelimiters(methodHelperType(descriptor, false), ".", "::"), " ", methodCppName(method), "(",
                params, ");\n");
      out << text;
    }
  });
}

void ProxyGenerator::genClassTail() {
  headerSection(*this, [&](std::ostream& out, const std::string&) {
    for (std::size_t k = m_packageParts.size() + 1; k >= 1; --k) out << indentation(k) << "};\n";
    out << "};\n";
  });
}
