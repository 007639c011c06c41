// The interface implementation files: a C++ class derived from jni_helpers::JNIInterface that
// carries the class file of a Java class implementing the interface (built by
// InterfaceImplBuilder, written by ClassFileWriter into a ClassBytesSink) and registers the native
// thunks through which the Java object's calls reach the virtual C++ methods.
#include "ClassBytesSink.h"
#include "ClassFileParser.hpp"
#include "ClassFileWriter.hpp"
#include "ClassRepository.h"
#include "GeneratedText.h"
#include "GenerationLog.h"
#include "InterfaceImplBuilder.hpp"
#include "ProxyGenerator.h"
#include "TypeMapping.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>

#include <cstring>
#include <exception>
#include <map>
#include <sstream>
#include <vector>

namespace {

// Log lines of this writer: a prefix directly followed by its subject.
const char* const kLogImplFailed = "IMPLEMENTATION FAILED: ";
const char* const kLogMissingSuperInterface = "MISSING SUPER-INTERFACE: ";

std::string indent(std::size_t units)
{
    std::string text;
    for (std::size_t i = 0; i < units; ++i)
        text += indentUnit;
    return text;
}

std::string joinTypes(const std::vector<std::string>& types)
{
    std::string text;
    for (std::size_t k = 0; k < types.size(); ++k) {
        if (k)
            text += ", ";
        text += types[k] + " p" + std::to_string(k);
    }
    return text;
}

// The C++ return type of the virtual method of a descriptor.
std::string virtualReturnType(const std::string& descriptor)
{
    const std::string type = jniMethodType(descriptor);
    return type == "jobject" ? "JObject_t" : type;
}

// The interface method's descriptor of a native twin's descriptor ("(J" + the rest).
std::string forwardedDescriptor(const std::string& twinDescriptor)
{
    if (twinDescriptor.compare(0, 2, "(J") == 0)
        return "(" + twinDescriptor.substr(2);
    return twinDescriptor;
}

// The name and parameter list under which C++ declares a method: two Java methods that differ
// only in their results (covariant redeclarations in super-interfaces) are one C++ method.
std::string cppSignatureKey(const std::string& javaName, const std::string& descriptor)
{
    std::string key = substituteName(javaName) + "(";
    for (const std::string& type : methodHelperParams(descriptor))
        key += type + ",";
    return key + ")";
}

// The texts of one implementation, written to the files only when all of them could be made.
struct ImplTexts {
    std::string header;
    std::string source;
    std::vector<std::string> missingTypes;
};

ImplTexts buildImplTexts(ProxyGenerator& generator, const antlr::RefAST& interfaceTree, bool includeStdafx, bool& ok);

}  // namespace

bool ProxyGenerator::genInterfaceImpl(std::string directory, bool includeStdafx)
{
    if (!openOutputFiles(directory, implSuffix))
        return false;

    ClassRepository repository;
    const antlr::RefAST tree = repository.loadClass(m_javaClassName, std::string());
    m_bClassMissing = !tree;
    if (tree) {
        std::memcpy(m_version, repository.getVersion(), sizeof m_version);
        m_bIsInterface = repository.isInterface();
        m_bHasNativeMethods = repository.hasNativeMethods();
    }
    if (!tree || !m_bIsInterface) {
        closeOutputFiles();
        return false;
    }

    // Nothing escapes: a failed build is logged and leaves both files empty.
    std::string failure;
    ImplTexts texts;
    bool ok = false;
    try {
        texts = buildImplTexts(*this, tree, includeStdafx, ok);
        if (!ok)
            failure = "the generated class file has errors";
    } catch (const antlr::ANTLRException& e) {
        failure = e.getMessage().empty() ? e.toString() : e.getMessage();
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "unknown error";
    }

    std::vector<std::string> lines;
    for (const std::string& missing : texts.missingTypes)
        lines.push_back(kLogMissingSuperInterface + replaceChar(missing, '/', '.') + " (of " + m_javaClassName + ")");
    if (!ok)
        lines.push_back(kLogImplFailed + m_javaClassName + ": " + failure);
    if (!lines.empty())
        appendLogLines(directory, lines);

    if (ok) {
        *m_pHeader << texts.header;
        *m_pSource << texts.source;
        ok = m_pHeader->good() && m_pSource->good();
    }
    closeOutputFiles();
    if (!ok)
        return false;
    const std::string stem = outputStem(directory, implSuffix);
    reencodeGeneratedFile(stem + ".h");
    reencodeGeneratedFile(stem + ".cpp");
    generatedImpls.insert(m_javaClassName);
    return true;
}

bool ProxyGenerator::genInterfaceImplCode(antlr::RefAST interfaceTree, bool includeStdafx)
{
    if (!m_pHeader || !m_pSource)
        return false;
    bool ok = false;
    const ImplTexts texts = buildImplTexts(*this, interfaceTree, includeStdafx, ok);
    if (!ok)
        return false;
    *m_pHeader << texts.header;
    *m_pSource << texts.source;
    m_pSource->flush();
    m_pSource->close();
    m_pHeader->flush();
    m_pHeader->close();
    return true;
}

namespace {

ImplTexts buildImplTexts(ProxyGenerator& generator, const antlr::RefAST& interfaceTree, bool includeStdafx, bool& ok)
{
    ImplTexts texts;
    ok = false;

    // The Java class and its bytes.
    antlr::ASTFactory factory;
    {
        ClassFileParser registrar;
        registrar.initializeASTFactory(factory);
    }
    InterfaceImplBuilder::initializeASTFactory(factory);
    generator.m_methods.clear();
    InterfaceImplBuilder builder(&generator);
    builder.setASTFactory(&factory);
    builder.classFile(interfaceTree);
    texts.missingTypes = builder.getMissingTypes();
    const antlr::RefAST implTree = builder.getAST();
    const std::string javaClassName = builder.getImplClassName();

    ClassBytesSink sink;
    ClassFileWriter writer(sink.getStream());
    writer.setASTFactory(&factory);
    writer.classFile(implTree);
    if (writer.hadErrors())
        return texts;
    const std::string byteText = sink.toString();

    // Names.
    const std::string& dotted = generator.m_javaClassName;
    generator.makePackageParts();
    const std::vector<std::string>& parts = generator.m_packageParts;
    const std::size_t n = parts.size();
    const std::string simple = simpleCppName(dotted);
    const std::string className = simple + implSuffix;
    const std::string nativeNamespace = className + nativeSuffix;
    std::string qualifiedPrefix = "CPP_Java_Bridge::";
    std::string namingClass;
    for (const std::string& part : parts) {
        qualifiedPrefix += substituteName(part) + "::";
        namingClass += part + ".";
    }
    namingClass += implClassPrefix + simple;

    std::map<std::string, int> nativeNameUses;
    for (const MethodDescriptor& record : generator.m_methods) {
        if (record.isNative())
            ++nativeNameUses[record.getName()];
    }
    generator.m_nativeNames.clear();
    std::map<std::string, int> functionNameUses;
    for (const MethodDescriptor& record : generator.m_methods) {
        if (!record.isNative())
            continue;
        const std::string function = jniFunctionName(record.getName(), record.getSignature(), namingClass,
                                                     nativeNameUses[record.getName()] > 1);
        generator.m_nativeNames[record.getName() + record.getSignature()] = function;
        ++functionNameUses[function];
    }
    // Methods that differ in their results only (covariant redeclarations) have one JNI name; the
    // thunks, C++ functions bound through the methods table, get the mangled result too.
    for (const MethodDescriptor& record : generator.m_methods) {
        if (!record.isNative())
            continue;
        std::string& function = generator.m_nativeNames[record.getName() + record.getSignature()];
        if (functionNameUses[function] > 1) {
            const std::string descriptor = record.getSignature();
            function += "__" + jniMangle(descriptor.substr(descriptor.rfind(')') + 1));
        }
    }

    // One virtual method per C++ name and parameter list; the first declaration's return type.
    std::map<std::string, std::string> declaredReturn;
    std::vector<const MethodDescriptor*> declared;
    for (const MethodDescriptor& record : generator.m_methods) {
        if (record.isNative())
            continue;
        const std::string key = cppSignatureKey(record.getName(), record.getSignature());
        if (declaredReturn.emplace(key, virtualReturnType(record.getSignature())).second)
            declared.push_back(&record);
    }

    // --- Source ---------------------------------------------------------------------------------
    std::ostringstream source;
    genBanner(source);
    if (includeStdafx)
        source << "#include \"stdafx.h\"\n";
    source << "#include \"defproxies.h\"\n\n\n";
    source << "const JNINativeMethod " << qualifiedPrefix << className << "::methods[] = {\n";
    for (const MethodDescriptor& record : generator.m_methods) {
        if (!record.isNative())
            continue;
        const std::string descriptor = record.getSignature();
        source << indent(1) << "{(char*)\"" << record.getName() << "\", (char*)\"(" << descriptor.substr(1)
               << "\", \n";
        source << indent(1) << " (void*)" << qualifiedPrefix << nativeNamespace
               << "::" << generator.m_nativeNames[record.getName() + descriptor] << "},\n";
    }
    source << "};\n\n";
    source << "namespace CPP_Java_Bridge{\n";
    source << "using namespace ::jni_helpers;\n";
    for (std::size_t i = 1; i <= n; ++i)
        source << indent(i) << "namespace " << substituteName(parts[i - 1]) << "{\n";
    source << "const char* " << className << "::_clazzName = \"" << javaClassName << "\";\n";
    source << "const unsigned char " << className << "::bytes[] = {\n";
    source << byteText << "};\n";
    source << className << "::" << className << "(){\n";
    source << indent(1) << "try{\n";
    source << indent(2) << "JNIInterface::init(_clazzName, methods, sizeof(methods)/sizeof(JNINativeMethod), "
           << "reinterpret_cast<const signed char*>(bytes), sizeof(bytes));\n";
    source << indent(1) << "}catch(::jni_helpers::JVMException e){\n";
    source << indent(2) << "throw ::jni_helpers::JVMException(e.getMessage());\n";
    source << indent(1) << "}catch(...){\n";
    source << indent(2) << "throw ::jni_helpers::JVMException(\"System Error\");\n";
    source << indent(1) << "}\n";
    source << "}\n";

    for (const MethodDescriptor& record : generator.m_methods) {
        if (!record.isNative())
            continue;
        const std::string descriptor = record.getSignature();
        const std::string result = jniMethodType(descriptor);
        const std::vector<std::string> params = jniMethodParams(descriptor);
        const std::string javaName = record.getName().substr(nativeMethodPrefix.size());
        const std::string forwarded = forwardedDescriptor(descriptor);
        const std::string called = declaredReturn[cppSignatureKey(javaName, forwarded)];
        source << result << " JNICALL " << nativeNamespace << "::"
               << generator.m_nativeNames[record.getName() + descriptor] << "\n";
        source << "(\n";
        source << indent(1) << "JNIEnv* env, jobject";
        for (std::size_t k = 0; k < params.size(); ++k) {
            if (k == 0)
                source << ", " << params[k] << " peer";
            else
                source << ", " << params[k] << " p" << k;
        }
        source << "\n)\n{\n";
        source << indent(1) << "if(!JNIEnvHelper::isInitialized())\n";
        source << indent(2) << "JNIEnvHelper::init(env);\n";
        source << indent(1) << "try{\n";
        const std::string call = "((" + qualifiedPrefix + className + "*)peer)->" + substituteName(javaName) + "(" +
                                 genNativeCallArgs(descriptor, 1) + ")";
        source << indent(2);
        if (result == "void" || called == "void")
            source << call << ";\n";
        else if (called == "JObject_t")
            source << "return " << (result == "jobject" ? "" : "(" + result + ")")
                   << "::jni_helpers::JNIEnvHelper::NewLocalRef(" << call << ");\n";
        else if (called == result)
            source << "return " << call << ";\n";
        else
            source << "return (" << result << ")(" << call << ");\n";
        source << indent(1) << "}catch(...){\n";
        source << indent(2) << "jni_helpers::JNIEnvHelper::ThrowNew(\"An error in the native code.\");\n";
        source << indent(1) << "}\n";
        const std::string fallback = defaultReturnStatement(descriptor);
        if (!fallback.empty())
            source << indent(1) << fallback << "\n";
        source << "}\n";
    }
    source << std::string(n + 1, '}') << "\n";

    // --- Header ---------------------------------------------------------------------------------
    std::ostringstream header;
    genBanner(header);
    header << "#pragma once\n\n";
    header << "#include \"JNIInteface.h\"\n\n";
    header << "namespace CPP_Java_Bridge{\n";
    for (std::size_t i = 1; i <= n; ++i)
        header << indent(i) << "namespace " << substituteName(parts[i - 1]) << "{\n";
    header << "#ifdef __JNIHDLL\n";
    header << indent(n) << "class __declspec(dllexport) " << className << ": public jni_helpers::JNIInterface{\n";
    header << "#elif __USEDLL\n";
    header << indent(n) << "class __declspec(dllimport) " << className << ": public jni_helpers::JNIInterface{\n";
    header << "#else\n";
    header << indent(n) << "class " << className << ": public jni_helpers::JNIInterface{\n";
    header << "#endif\n";
    header << indent(n + 1) << "static const JNINativeMethod methods[];\n";
    header << indent(n + 1) << "static const unsigned char bytes[];\n";
    header << indent(n + 1) << "static const char* _clazzName;\n";
    header << indent(n) << "public:\n";
    header << indent(n + 1) << className << "();\n";
    header << indent(n + 1) << className << "(const " << className << "& o):JNIInterface(o){}\n";
    for (const MethodDescriptor* record : declared) {
        const std::string descriptor = record->getSignature();
        header << indent(n + 1) << "virtual " << virtualReturnType(descriptor) << " " << substituteName(record->getName())
               << "(" << joinTypes(methodHelperParams(descriptor)) << "){" << defaultReturnStatement(descriptor) << "}\n";
    }
    header << indent(n) << "};\n";
    header << "namespace " << nativeNamespace << "{ extern \"C\" {\n";
    for (const MethodDescriptor& record : generator.m_methods) {
        if (!record.isNative())
            continue;
        const std::string descriptor = record.getSignature();
        header << jniMethodType(descriptor) << " JNICALL " << generator.m_nativeNames[record.getName() + descriptor]
               << "(JNIEnv *, jobject";
        for (const std::string& type : jniMethodParams(descriptor))
            header << ", " << type;
        header << ");\n";
    }
    header << "}}\n";
    header << std::string(n + 1, '}') << "\n";

    texts.header = header.str();
    texts.source = source.str();
    ok = true;
    return texts;
}

}  // namespace
