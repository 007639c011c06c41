// What the writers of interface implementations and delegators share: the names of the generated
// C++ class, the class bytes as initializer text, the native function names, the lines
// that both files of both kinds hold, and the protocol of writing the two files.
#pragma once

#include "GeneratedFile.h"
#include "GeneratedText.h"
#include "MemberRecords.h"

#include <antlr/AST.hpp>
#include <antlr/ASTFactory.hpp>

#include <cstddef>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

class ProxyGenerator;

namespace classgen_text {

// An output stream that appends to a string of its own, handed over by take() without a copy.
// A text reserved up front is not copied again and again as it grows: a generated source holds
// its class file as text, tens of kilobytes.
class TextStream : public std::ostream {
 public:
  TextStream();
  TextStream(const TextStream&) = delete;
  TextStream& operator=(const TextStream&) = delete;
  ~TextStream() override;

  // Room for `size` characters, in memory an earlier text on the thread gave back where it can.
  void reserve(std::size_t size);
  // The text so far, to append to in place: every write goes straight into it.
  std::string& text() { return m_buffer.text; }
  // The text so far; the stream is empty afterwards.
  std::string take();

 private:
  TextBuffer m_buffer;
};

// The names of the C++ class generated for the generator's Java class.
struct ClassNames {
  std::vector<std::string> parts;  // package parts as the Java name holds them
  std::string simple;              // the simple name through the substitutions
  std::string className;           // simple + the kind's suffix
  std::string nativeNamespace;     // className + "_Native"
  std::string qualifiedPrefix;     // "CPP_Java_Bridge::" + each part as a namespace + "::"
  std::string packagePath;         // each raw part followed by '/'
  std::string packageDots;         // each raw part followed by '.'
  std::string bases;               // the base classes of the generated class
  std::string copyInitializers;    // the copy constructor's base initializers, from "o"
  std::size_t depth() const { return parts.size(); }
  // qualifiedPrefix + className
  std::string qualifiedClass() const { return qualifiedPrefix + className; }
};
// Rebuilds the generator's package parts.
ClassNames classNames(ProxyGenerator& generator, const std::string& suffix);

// The class-file writer's bytes of a built tree; false when the writer reports errors.
bool classBytes(const antlr::RefAST& tree, antlr::ASTFactory& factory, std::string& bytes);
// A factory with the class-file node types.
void initializeFactory(antlr::ASTFactory& factory);

// Refills the generator's native-name map from the native records: the JNI name of each on the
// naming class, overloaded when another native record has its name; names that still agree
// (results that differ only) get the mangled result added.
void makeNativeNames(ProxyGenerator& generator, const std::set<MethodDescriptor>& records,
                     const std::string& namingClass);

// Source: banner, includes, the methods table of the native records, the opening namespace
// lines, _clazzName and the class bytes as initializer text (ClassBytesSink).
void writeSourceHead(TextStream& source, ProxyGenerator& generator, const std::set<MethodDescriptor>& records,
                     const ClassNames& names, bool includeStdafx, const std::string& javaClassName,
                     const std::string& classBytes);
// Room for a source of the class bytes and method records, and for its header.
std::size_t sourceTextSize(const std::string& classBytes, std::size_t records);
std::size_t headerTextSize(std::size_t records);
// The closing line of the namespaces.
void writeSourceTail(std::ostream& source, const ClassNames& names);
// The five lines that close a generated constructor's or method's try block: a JVMException
// passes on with its message, anything else becomes "System Error".
void writeRethrowingCatch(std::ostream& source);
// Whether a method descriptor's result is an object or an array.
bool returnsReference(const std::string& descriptor);
// A parameter list with one parameter to a line.
std::string parameterLines(const std::vector<std::string>& parameters);
// The arguments after the method ID of a variadic JNI call, from parameter `first` on; with
// `wrapped`, objects and arrays are passed as their jobject.
std::string variadicArguments(const std::string& descriptor, std::size_t first, bool wrapped);
// The definition of a C++ method of the generated class whose body calls a Java method through
// JNI: `javaName` with the method's descriptor on the object `object` (an expression), with the
// method's C++ parameters; the C++ name is `cppName` through the substitutions. A result of
// `result` (a C++ type) is returned: a wrapper of an object or array is made from a new global
// reference, a JNI type is returned as the call gives it. Failures: as writeRethrowingCatch.
void writeJavaCallingMethod(std::ostream& source, const ClassNames& names, const std::string& result,
                            const std::string& object, const std::string& cppName, const std::string& javaName,
                            const std::string& descriptor);
// A native thunk's first lines after its parameter list: "{", the thread's environment, "try{".
void writeThunkStart(std::ostream& source);
// The runtime's JNIEnvHelper, qualified in full: generated names never hide it.
extern const char* const kHelper;
// Inside a thunk's try block: `receiver`, the C++ object that receives the Java object's calls,
// held for the call.
void writeReceiver(std::ostream& source);
// The receiver, and for a Java object whose C++ object has ended an IllegalStateException and
// the default result.
void writeGonePeerCheck(std::ostream& source, const std::string& descriptor);
// Inside a thunk: the call of the C++ method for the Java method `javaName` on the receiver, with
// the thunk's arguments after the peer.
std::string receiverCall(const ClassNames& names, const std::string& javaName, const std::string& descriptor);
// A native thunk's last lines: any exception becomes a pending Java exception (a Java exception
// carried by a JVMException is thrown again itself), then the default result of the descriptor
// is returned.
void writeThunkEnd(std::ostream& source, const std::string& descriptor);
// JNIInterface::init's arguments after the class name up to the bytes' count.
std::string initArguments();

// Header: banner, include, namespaces, the class head with its static members, "public:".
void writeHeaderHead(std::ostream& header, const ClassNames& names);
// Header: the class's end, the native declarations and the closing lines.
void writeHeaderTail(std::ostream& header, ProxyGenerator& generator, const std::set<MethodDescriptor>& records,
                     const ClassNames& names);

// The texts of one generated class: written only when all could be made.
struct ClassTexts {
  std::string header;
  std::string source;
  std::vector<std::string> missingTypes;  // '/'-separated super types no module holds
};
// Builds the texts from the class's tree; false (and nothing written) when the class writer
// reports errors. Builder exceptions pass.
typedef std::function<bool(const antlr::RefAST& tree, bool includeStdafx, ClassTexts& texts)> TextBuilder;
// A kind's text builder, for the given generator.
typedef bool (*KindTextBuilder)(ProxyGenerator& generator, const antlr::RefAST& tree, bool includeStdafx,
                                ClassTexts& texts);
inline TextBuilder textBuilderFor(ProxyGenerator& generator, KindTextBuilder build) {
  return [&generator, build](const antlr::RefAST& tree, bool includeStdafx, ClassTexts& texts) {
    return build(generator, tree, includeStdafx, texts);
  };
}

// The Java class a builder makes: its '/'-separated name and its class file.
struct BuiltClass {
  std::string name;
  std::string bytes;
};

// Runs a level-0 `Builder` for `generator` over the class's tree and writes the class it builds;
// `records`, the generator's set that the builder reports the generated methods into, is emptied
// first. The super types it could not find go to `texts`. False when the class writer reports
// errors; builder exceptions pass.
template <class Builder>
bool buildClass(ProxyGenerator& generator, const antlr::RefAST& tree, std::set<MethodDescriptor>& records,
                ClassTexts& texts, BuiltClass& built) {
  records.clear();
  antlr::ASTFactory factory;
  initializeFactory(factory);
  Builder builder(&generator);
  builder.setASTFactory(&factory);
  builder.classFile(tree);
  texts.missingTypes = builder.getMissingTypes();
  built.name = builder.getDerivedClassName();
  return classBytes(builder.getAST(), factory, built.bytes);
}

// What differs between the two kinds of files.
struct FileKind {
  std::string suffix;             // "JNIImpl", "JNIDelegator"
  std::string failurePrefix;      // log line of a failed build
  std::string missingTypePrefix;  // log line of a super type no module holds
  bool interfacesOnly;            // any other class: false, not logged (the run logs it)
};
// The file writer: opens directory + stem + suffix ".h" and ".cpp" (failures logged), loads the
// class and copies its version and kind into the generator, builds the texts and writes them.
// Every exception of the build is caught and logged; the files are then left empty. The class is
// added to `written` on success.
bool writeClassFiles(ProxyGenerator& generator, const std::string& directory, bool includeStdafx, const FileKind& kind,
                     const TextBuilder& build, std::set<std::string>& written);
// The text writer on open streams: builds the texts and writes them, closing both streams.
bool writeClassCode(ProxyGenerator& generator, const antlr::RefAST& tree, bool includeStdafx, const TextBuilder& build);

}  // namespace classgen_text
