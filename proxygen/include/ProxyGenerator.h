// The proxy generator: the object that turns one Java class into its C++ proxy.
//
// One object serves one class. It loads the class through the ClassRepository, lets the
// ClassInfoWalker walk the class-file tree, and receives every constructor, method and field
// that the walker reports through its add operations; it filters them by the global filter
// switches and by the class's own member selection and keeps them as records. The same object is
// the collector behind the wizard's member lists and behind the implementation and delegator
// builders.
//
// Member filter (addField, addMethod; addConstructor below). A switch counts only when
// m_bUseGlobalFilter is set:
//   - a member whose name or descriptor holds '$' is dropped;
//   - a public member is kept at every level;
//   - a member with default access is kept unless ExcludeRegular;
//   - at level 0 a private member is kept unless ExcludePrivate, a protected one unless
//     ExcludeProtected;
//   - at level 1 a protected member is kept unless ExcludePrivate (sic: the private switch), a
//     private member is dropped;
//   - from level 2 on private and protected members are dropped.
// addConstructor drops a descriptor with '$' and every constructor above level 0, then keeps
// public ones, and default, private and protected ones unless their method switch excludes them.
//
// Collecting: a later report replaces an earlier record of the same member; a member whose key
// (name immediately followed by descriptor) is in the member selection is not collected. Methods
// that would make uncompilable C++ are not collected: bridge methods (ACC_BRIDGE) are ignored,
// and a method replaces an earlier one with the same name and parameter list whatever its return
// type (covariant overrides), so the class's own override is the one kept.
#pragma once

#include "GeneratedFile.h"
#include "MemberRecords.h"

#include <antlr/AST.hpp>

#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// Member display line to the member's record (the wizard's member lists).
typedef std::map<std::string, MethodDescriptor> MethodLineMap;
typedef std::map<std::string, FieldDescriptor> FieldLineMap;

class ProxyGenerator {
 public:
  explicit ProxyGenerator(std::string javaClassName = std::string());
  // Flushes and deletes a header or source stream that is still open.
  virtual ~ProxyGenerator();
  ProxyGenerator(const ProxyGenerator&) = delete;
  ProxyGenerator& operator=(const ProxyGenerator&) = delete;

  // --- Loading ----------------------------------------------------------------------------
  // Loads the class's description without walking it: sets m_bClassMissing and
  // m_strLoadProblem and, when the class was found, the version, the dotted class name,
  // m_bIsInterface, m_classPath and m_bHasNativeMethods from the repository.
  ProxyGenerator& loadClass(std::string javaClassName, std::string modulePath);
  // The same for a single .class file given by its path (m_bClassMissing and m_version stay).
  // When the file cannot be used the generator keeps its state.
  ProxyGenerator& loadClassFile(std::string path);

  // Loads the class (className, when not empty, replaces the generator's) and walks it under
  // the member filter, filling the member sets. Load and walk errors are dropped; the sets keep
  // what was collected before.
  ProxyGenerator& loadMembers(std::string className = std::string());

  // Loads m_javaClassName through a repository, copies its version and kind, and walks its tree
  // with a ClassInfoWalker under the filter options, filling the member sets. False, with
  // nothing walked, when the repository gives no tree (m_strLoadProblem says why when the
  // class file is there); false too, with the reason in m_strWalkProblem, when the class's
  // super classes reach deeper than ClassRepository::kMaxSuperTypeDepth. What the walk could not
  // read is collected in m_walkProblems. The writers of proxies, implementations and delegators
  // walk through this.
  bool walkClass();
  // The walker's report of a super type it does not follow because it lies `level` steps up.
  void superTypesTooDeep(const std::string& superType, int level);
  // The walker's report of a super type ('/'-separated) that cannot be loaded: no module holds
  // it (`problem` empty) or its class file cannot be read (`problem` says why). What it and its
  // own super types contribute is missing; recorded in m_walkProblems.
  virtual void superTypeMissing(const std::string& superType, const std::string& problem);
  // The walker's report of a class-file tree it cannot walk whole: the tree of the super type
  // `typeName` ('/'-separated), or of the class itself when it is empty. Recorded in
  // m_walkProblems.
  void walkError(const std::string& typeName, const std::string& error);

  // --- The walker's and the builders' callbacks (virtual so that a walk can be observed) ------
  virtual void setIsInterface(bool isInterface);
  virtual void addField(const FieldDescriptor& field, int16_t level);
  virtual void addMethod(const MethodDescriptor& method, int16_t level);
  virtual void addConstructor(const MethodDescriptor& constructor, int16_t level);
  // No access filter, no member selection and no '$' rule: only bridges are dropped.
  void addDelegatorMethod(const MethodDescriptor& method);

  ProxyGenerator& setImplementNatives(bool implementNatives);
  bool isInterface() const { return m_bIsInterface; }
  std::string& getClassName() { return m_javaClassName; }

  // --- Member listing for the wizard ------------------------------------------------------
  // Each clears the map and fills it with one Java-like line per member, such as
  // "public static native void gc();" or "public java.lang.String(char[] p0);".
  void listMethods(MethodLineMap& lines);
  void listNativeMethods(MethodLineMap& lines);
  void listConstructors(MethodLineMap& lines);
  // Fields that are not constants (arrays, non-final, non-static or non-primitive fields).
  void listFields(FieldLineMap& lines);
  // Static final primitive fields with a writable constant value.
  void listConstants(FieldLineMap& lines);

  // Whether a constant's value can be written as a C++ literal: NaN and the infinities of
  // float and double constants cannot.
  bool isConstantWritable(const FieldDescriptor& field) const;
  // A static final field of a primitive non-array type with a writable constant value and no '$'
  // in its name.
  bool isConstant(const FieldDescriptor& field) const;

  // --- Proxy files ------------------------------------------------------------------------
  // Writes directory + the class name with '.' made '_' + "JNIProxy" + ".h" and ".cpp" (or the
  // name the published generation gives them, outputStem): loads and walks the class, then
  // writes the banner, the header sections and the source sections. False when a file cannot
  // be opened or written whole (logged as "FAILED TO WRITE:"; neither file is then kept) or the
  // class cannot be loaded (the files are then left empty); true otherwise. What the walk could
  // not read (m_walkProblems) is logged, and m_bIncomplete set: the files lack those members.
  bool genProxy(std::string directory, bool includeStdafx);

  // --- Interface implementation files (defined in classgen) --------------------------------
  // Writes directory + the class name with '.' made '_' + "JNIImpl" + ".h" and ".cpp": a C++
  // class that carries the class file of a generated Java class implementing the interface,
  // whose methods reach virtual C++ methods. False when a file cannot be opened, the class is
  // not an interface, or the build fails (the reason is logged; nothing escapes).
  bool genInterfaceImpl(std::string directory, bool includeStdafx);
  // The text writer behind genInterfaceImpl: builds the implementation class from the
  // interface's tree and writes both texts into the open streams. False, with nothing written,
  // when the class writer reports errors; the builder's exceptions pass to the caller.
  bool genInterfaceImplCode(antlr::RefAST interfaceTree, bool includeStdafx);

  // --- Delegator files (defined in classgen) -------------------------------------------------
  // Writes directory + the class name with '.' made '_' + "JNIDelegator" + ".h" and ".cpp": a
  // C++ class over a Java object (the delegate) that carries the class file of a generated Java
  // subclass of the class (or implementation of the interface) whose public methods reach
  // virtual C++ methods; by default those call the delegate. False when a file cannot be
  // opened or the build fails, for instance for a final class or java.lang.Object (the reason
  // is logged; nothing escapes).
  bool genDelegator(std::string directory, bool includeStdafx);
  // The text writer behind genDelegator: builds the delegator class from the class's tree and
  // writes both texts into the open streams. False, with nothing written, when a stream is
  // missing (both are then deleted) or the class writer reports errors; the builder's
  // exceptions pass to the caller.
  bool genDelegatorCode(antlr::RefAST classTree, bool includeStdafx);

  // Header sections, in the order genProxy writes them (each does nothing without a header).
  // makeFieldNames and makeMethodNames give every member its unique name; makeMethodNames then
  // runs makeDeclaredNames.
  void makeFieldNames();
  void makeMethodNames();
  // Makes every name the proxy declares unique in its class, none hiding a member of JObject_t
  // or of the standard block: the C++ name of each method (overloads share one), then of each
  // constant, then the accessors of each property field (get_ and put_ + its name), then the
  // name of the property itself (Visual C++ only), get a trailing '_' while taken; a
  // substituted name is used as the user gave it. Then each ID (the unique name + "_ID") is
  // numbered on ("_1", "_2", ...) while taken; m_fieldNames and m_methodNames hold the results
  // without "_ID".
  void makeDeclaredNames();
  void genClassHead();
  void genFieldIds();
  void genMethodIds();
  void genConstructorIds();
  void genConstantDecls();
  void genFieldProperties();
  void genAccessorDecls();
  void genStandardCode();
  void genConstructorDecls();
  void genMethodDecls();
  void genClassTail();

  // Source sections, in the order genProxy writes them (each does nothing without a source).
  void genSourceHead(bool includeStdafx);
  void genFieldIdResets();
  void genMethodIdResets();
  void genConstantDefs();
  void genAccessors();
  void genAccessor(const FieldDescriptor& field);
  void genConstructors();
  void genConstructor(const MethodDescriptor& constructor);
  // The method bodies, then the native stubs.
  void genMethods();
  void genStaticCall(const MethodDescriptor& method);
  void genNonvirtualCall(const MethodDescriptor& method);
  void genVirtualCall(const MethodDescriptor& method);
  // The arguments after the method ID of a generated JNI call: ", p0, (jobject)p1".
  std::string genFunctionCallParams(std::string descriptor);

  // Native skeletons: the JNI export name of every native method (when natives are
  // implemented and a source is open), and the exported stubs with the closing comment.
  void makeNativeNames();
  void genNativeStubs();

  // Names shared by the header and the source.
  // CPP_Java_Bridge::<package parts>::<Simple>JNIProxy
  std::string qualifiedProxyName() const;
  // The C++ name of a field's constant or property (its accessors are get_ and put_ + it): the
  // unique name with the field prefix, through the substitutions, made unique in the class.
  std::string fieldCppName(const FieldDescriptor& field) const;
  // The C++ name of a method (overloads share it): the Java name with the method prefix,
  // through the substitutions, made unique in the class.
  std::string methodCppName(const MethodDescriptor& method) const;
  // A field that becomes a static const member: a static final primitive that is not an array.
  bool isConstantLike(const FieldDescriptor& field) const;
  // A field with an ID and accessors: not constant-like, no '$' in its name.
  bool isPropertyField(const FieldDescriptor& field) const;
  // A constant-like field whose value is written as a constant.
  bool isWrittenConstant(const FieldDescriptor& field) const;
  // Whether the method gets a native skeleton instead of a proxy body.
  bool hasNativeSkeleton(const MethodDescriptor& method) const;

  // --- Helpers of the file writers --------------------------------------------------------
  // directory + the class name with '.' made '_' + suffix (the stem of ".h" and ".cpp"), or
  // directory + the name the generation published on the thread gives the class's files of
  // that kind (GenerationFiles.h).
  std::string outputStem(const std::string& directory, const std::string& suffix) const;
  // Deletes streams left from an earlier call, then opens stem ".h" and ".cpp" (created or
  // emptied), the header first. When either is not open, logs "FAILED TO WRITE:" + path for each
  // one that is not (header first) in the directory's log, deletes both streams and returns
  // false.
  bool openOutputFiles(const std::string& directory, const std::string& suffix);
  // Writes, closes and deletes both streams; false when a file could not be written whole (then
  // neither is kept, and each is logged, GeneratedFile.h).
  bool closeOutputFiles();
  // Appends m_walkProblems to the directory's log and sets m_bIncomplete when there are any.
  void logWalkProblems(const std::string& directory);
  // m_packageParts from the text before the last '.' of the class name (none for the default
  // package).
  void makePackageParts();

  // --- State (read and set by the generation run, the builders and the wizard) -----------
  unsigned char m_version[4];                 // minor_version, major_version as in the file
  bool m_bUseGlobalFilter;                    // the global switches apply to this class
  bool m_bClassMissing;                       // loadClass found no class-file tree
  bool m_bImplementNatives;                   // native methods get C++ skeletons
  bool m_bHasNativeMethods;                   // the loaded class has native methods
  std::set<std::string>* m_pMemberSelection;  // keys the user unchecked (not owned); null: none
  std::string m_classPath;                    // module in which the class was found
  bool m_bIsInterface;
  std::string m_javaClassName;   // dotted
  std::string m_strWalkProblem;  // why the last walk stopped short (logged), or ""
  std::string m_strLoadProblem;  // why the class file, found, could not be read, or ""
  // What the last walk could not read, as log lines, each once: "MISSING SUPER TYPE: <dotted
  // super type> (of <class>)" for a super type that cannot be loaded, preceded by "Cannot
  // process Bytecode: <dotted super type>: <why>" when its class file is there but unreadable;
  // "Cannot process Bytecode: <dotted type>: <error>" for a tree that cannot be walked whole.
  std::vector<std::string> m_walkProblems;
  // A writer logged that the files it wrote lack something (m_walkProblems, or the super types
  // an implementation or delegator builder could not load): a problem of the run, though the
  // files were written.
  bool m_bIncomplete;
  std::set<MethodDescriptor> m_constructors;
  std::set<MethodDescriptor> m_methods;
  std::set<MethodDescriptor> m_delegatedMethods;
  std::set<MethodDescriptor> m_nativeMethods;  // the class's own native methods
  std::set<FieldDescriptor> m_fields;
  std::vector<std::string> m_packageParts;                // outermost first
  std::map<std::string, std::string> m_methodNames;       // member key to unique C++ name
  std::map<std::string, std::string> m_fieldNames;        // member key to unique C++ name
  std::map<std::string, int> m_nameCounts;                // C++ base name to its uses so far
  std::map<std::string, std::string> m_nativeNames;       // native method key to JNI export name
  std::map<std::string, std::string> m_methodCppNames;    // Java method name to its C++ name
  std::map<std::string, std::string> m_fieldCppNames;     // field key to its constant's or accessors' C++ name
  std::map<std::string, std::string> m_propertyCppNames;  // field key to its property's name (Visual C++)
  GeneratedFile* m_pHeader;                               // owned, while a writer writes it
  GeneratedFile* m_pSource;                               // owned, while a writer writes it

 private:
  bool keepByAccess(uint16_t flags, int level, bool excludeRegular, bool excludePrivate, bool excludeProtected) const;
  bool isSelectedOut(const std::string& key) const;
  // Loads m_javaClassName and walks it; false when there is no tree.
  bool loadAndWalk(bool takeNativeFlag);
};

// The comment box at the top of every generated file, followed by an empty line.
void genBanner(std::ostream& out);

// Writes directory + "defproxies.h" and "defproxies.cpp": one default proxy class per emitted C++
// name of referencedClasses, and the includes of every generated proxy, implementation and
// delegator header. False, with "FAILED TO WRITE:" lines in the directory's log for each file
// that cannot be opened, when either cannot be opened.
bool genDefProxies(std::string directory, bool includeStdafx);

// Class entries of a .zip, .jar or .jmod archive (any case of the suffix), in archive order, each
// name once; a .jmod module gives its entries under classes/ without that prefix; a Java image
// (".../lib/modules") or one module of it (".../lib/modules/java.base") gives its classes as
// "java/lang/String.class". Returns their number; out is replaced only when there is at least
// one. 0 for any other path and for an archive that cannot be read; for a damaged image `error`
// (when given) receives the reason.
int listArchiveClasses(std::string path, std::vector<std::string>* out, std::string* error = nullptr);

// --- Global filter switches ---------------------------------------------------------------------
// Process-wide, false at start; each setter stores its argument and returns it.
extern bool fieldsExcludeInherited;   // the walker reports no fields of super types
extern bool fieldsExcludeRegular;     // drop fields with default access
extern bool fieldsExcludePrivate;     // drop private fields; protected ones one level up
extern bool fieldsExcludeProtected;   // drop protected fields of the class
extern bool methodsExcludeInherited;  // the walker reports no methods of super types
extern bool methodsExcludeRegular;    // drop methods and constructors with default access
extern bool methodsExcludePrivate;    // drop private ones; protected methods one level up
extern bool methodsExcludeProtected;  // drop protected methods and constructors of the class
extern bool addFieldPrefix;           // field-derived C++ names get "fld_"
extern bool addMethodPrefix;          // method-derived C++ names get "mth_"

bool setFieldsExcludeInherited(bool value);
bool setFieldsExcludeRegular(bool value);
bool setFieldsExcludePrivate(bool value);
bool setFieldsExcludeProtected(bool value);
bool setMethodsExcludeInherited(bool value);
bool setMethodsExcludeRegular(bool value);
bool setMethodsExcludePrivate(bool value);
bool setMethodsExcludeProtected(bool value);
bool setAddFieldPrefix(bool value);
bool setAddMethodPrefix(bool value);
