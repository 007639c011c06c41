// Common base of the tree-building walkers that make a new class out of the class-file tree of a
// Java type: the interface implementation builder and the delegator builder. A walker reads the
// input's constant pool into `inputPool` (one entry object per slot), makes a member builder per
// method of the input, walks the super types with nested walkers one inheritance level deeper,
// collects the methods of all levels by name and descriptor, and at level 0 assembles the new
// class's tree with its own pool `outputPool`.
//
// The output tree is built from copies of matched input nodes (a copy carries the node's type
// and value, no children) and from new nodes; the walker's result is the sibling list
// MAGIC_NUMBER, VERSION, CONSTANT_POOL, THIS_CLASS, FIELDS, METHODS, ATTRIBUTES.
//
// Errors are antlr exceptions: a matched node of an unexpected class or an index that names no
// entry of the needed kind raise antlr::SemanticException with a description.
#pragma once

#include "ConstantPool.h"
#include "MemberBuilders.h"
#include "MemberRecords.h"

#include <antlr/AST.hpp>
#include <antlr/TreeParser.hpp>

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class ProxyGenerator;

// One type of the ancestry of the walked type. Every super type is walked once, however many
// paths lead to it.
struct WalkedType {
  // '/'-separated, as the walk asked for it.
  std::string name;
  // The number of super-type steps from the type asked for (0 for that type).
  unsigned depth = 0;
  bool isInterface = false;
  // The super class ("" when the type declares none).
  std::string superClass;
  // The super class and the interfaces, in the order the class file names them.
  std::vector<std::string> superTypes;
  // The method builders this walk made (those a generated class may take over), over `pool`.
  std::vector<MemberHandle> methods;
  PoolHandle pool;
  // The access flags of every method the type declares (constructors and the static
  // initializer left out), by name followed by descriptor.
  std::map<std::string, uint16_t> declared;
};

// What a walker shares with the walkers of its super types, owned by the level-0 walker.
struct SharedBuild {
  // The input pools of every walk: the collected member builders refer to their entries.
  std::vector<PoolHandle> pools;
  // The collected methods of all levels, by name followed by descriptor.
  std::map<std::string, MemberHandle> methods;
  // '/'-separated names of super types that no module holds, in the order met.
  std::vector<std::string> missingTypes;
  // The walked types in the order met, the type asked for first; and their positions by name.
  std::vector<std::unique_ptr<WalkedType>> types;
  std::map<std::string, std::size_t> typePositions;
};

// antlr's generated tree parser names antlr::TreeParser in its constructor's initialiser list,
// which is allowed only for a direct or a virtual base.
class ClassBuilderBase : public virtual antlr::TreeParser {
 public:
  ~ClassBuilderBase() override;

  uint16_t getInheritanceLevel() const { return m_inheritanceLevel; }
  // The '/'-separated name of the walked type; meaningful after the walk.
  std::string getInputClassName() const { return m_inputClassName; }
  // The super types that could not be found, '/'-separated (all levels).
  const std::vector<std::string>& getMissingTypes() const { return m_pShared->missingTypes; }
  const PoolHandle& getInputPool() const { return m_inputPool; }
  const PoolHandle& getOutputPool() const { return m_outputPool; }
  // The '/'-separated name of the generated class; meaningful after the walk.
  std::string getDerivedClassName() const { return m_derivedClassName; }
  // The '/'-separated names of the walked types, the type asked for first, then its super types
  // in the order met (missing ones included); meaningful after a walk at level 0.
  std::vector<std::string> getWalkedTypes() const;

  // The name with `prefix` before its last '/'-separated part: java/lang/Runnable with
  // "JNIImplementationOf" gives java/lang/JNIImplementationOfRunnable.
  static std::string derivedClassName(const std::string& name, const std::string& prefix);

  // Whether a class's own attributes (its ATTRIBUTES node) make it sealed: a PermittedSubclasses
  // attribute lets only the classes it names extend or implement the type.
  static bool isSealed(const antlr::RefAST& attributes);

  // Sets the factory's highest node type (99).
  static void initializeASTFactory(antlr::ASTFactory& factory);

 protected:
  // A walker at `level` reporting to `generator`, sharing `shared` (null: its own).
  ClassBuilderBase(ProxyGenerator* generator, uint16_t level, SharedBuild* shared);
  ClassBuilderBase();

  // --- The walk ----------------------------------------------------------------------------
  // Resets the walker for a walk from the start, with the shared state when it is its own.
  void beginBuild();
  // Appends a node to the result sibling list.
  void appendResult(const antlr::RefAST& node);
  // A copy of the node (type and value, no children or siblings).
  static antlr::RefAST copyNode(const antlr::RefAST& node);
  // VERSION with MINOR 3 and MAJOR 45.
  static antlr::RefAST versionNode(const antlr::RefAST& version);
  static antlr::RefAST shortNode(int type, uint16_t value);
  static antlr::RefAST emptyNode(int type);
  // The value of a ShortAST node; antlr::SemanticException when the node is of another class.
  static uint16_t shortValue(const antlr::RefAST& node);
  // Stores a value in a ShortAST node; antlr::SemanticException for a node of another class.
  static void setShortValue(const antlr::RefAST& node, uint16_t value);

  // --- Input constant pool -------------------------------------------------------------------
  // The copied CONSTANT_POOL node becomes the output pool's node; it is appended to the result.
  void beginConstantPool(const antlr::RefAST& poolNode);
  // One entry per pool child, in order (the opaque kinds and CONSTANT_CONTINUED included, so
  // that positions and indices agree).
  void addPoolEntry(const antlr::RefAST& node);
  // Links the references of the input pool, numbers its entries by position and refreshes
  // their indices.
  void numberInputPool();
  // The Class entry at an input index; antlr::SemanticException naming `what` when there is
  // none.
  EntryHandle inputClassAt(uint16_t index, const char* what) const;
  // The Utf8 entry at an input index; antlr::SemanticException naming `what` when there is none.
  EntryHandle inputUtf8At(uint16_t index, const char* what) const;
  // The Utf8 entry of a text in the input pool: the first one that holds it, or a new one.
  EntryHandle inputUtf8(const std::string& text);
  // Appends a Utf8 entry of the text and a Class entry of it to the input pool; the Class
  // entry.
  EntryHandle addInputClass(const std::string& name);

  // --- Class info ------------------------------------------------------------------------------
  // THIS_CLASS or THIS_INTERFACE copied as THIS_CLASS with flags 0x0021 and the Class entry of
  // the generated class (the input's name with `prefix` before its simple name); the input's
  // own Class entry.
  EntryHandle beginClassInfo(const antlr::RefAST& thisNode, const antlr::RefAST& flags, const antlr::RefAST& classInfo,
                             const std::string& prefix);
  // EXTENDS copied with its CLASS_INFO; the input's super Class entry. An input without a super
  // class (`declared` false) gets a new Class entry and CLASS_INFO of java/lang/Object.
  EntryHandle copyExtends(const antlr::RefAST& extendsNode, const antlr::RefAST& superInfo, bool& declared);
  // The output's empty IMPLEMENTS node after EXTENDS.
  void endClassInfo();
  // The input's own attributes (the ATTRIBUTES node): a sealed input (one with a
  // PermittedSubclasses attribute) is refused at level 0 with antlr::ANTLRException, since
  // the VM lets only the classes it names extend or implement it.
  void checkClassAttributes(const antlr::RefAST& attributes) const;
  // The attribute subtrees below a node of attributes (ATTRIBUTES, FIELD_ATTRIBUTES or
  // METHOD_ATTRIBUTES): nothing of them reaches the generated class, they are only checked to
  // have the shapes the class-file parser builds (an attribute of no known kind raises
  // antlr::NoViableAltException, a misplaced node antlr::MismatchedTokenException).
  void checkAttributes(const antlr::RefAST& attributes) const;
  // A super class or interface of the walked type, noted for the walk of the ancestry.
  void walkSuperType(const antlr::RefAST& classInfo);
  // Runs a nested builder over a loaded tree, walking `type` (defined by the generated class).
  virtual void walkNested(const antlr::RefAST& tree, WalkedType& type) = 0;
  // Runs a nested builder of the same kind: a super type that cannot be walked adds nothing.
  template <class Builder>
  void runNested(const antlr::RefAST& tree, WalkedType& type) {
    antlr::ASTFactory factory;
    initializeASTFactory(factory);
    const unsigned level = type.depth < 0xffffu ? type.depth : 0xffffu;
    Builder nested(m_pGenerator, static_cast<uint16_t>(level), m_pShared);
    nested.m_pType = &type;
    nested.setASTFactory(&factory);
    try {
      nested.classFile(tree);
    } catch (const antlr::ANTLRException&) {
    }
  }
  // Walks a super type's tree into `type` (named and placed by the caller) with walkNested, or
  // takes what an earlier walk of the same tree by a walker of this kind left.
  void walkSuperTypeTree(const antlr::RefAST& tree, WalkedType& type);
  // Level 0: walks every super type of the ancestry once, nearest first, each with a nested
  // builder. A super type that no module holds is named in the missing types; one more than
  // ClassRepository::kMaxSuperTypeDepth steps away ends the walk with antlr::ANTLRException.
  void walkAncestry();

  void beginFields(const antlr::RefAST& fieldsNode);
  // METHODS copied; with `defaultConstructor` the builder of a public "<init>" "()V" first.
  void beginMethods(const antlr::RefAST& methodsNode, bool defaultConstructor);

  // --- Methods ---------------------------------------------------------------------------------
  // A method builder over the input pool for a METHOD_INFO's flags, name and descriptor.
  MemberHandle makeInputMethod(uint16_t flags, const EntryHandle& name, const EntryHandle& descriptor);
  // Notes a method the walked type declares (see WalkedType::declared).
  void declareMethod(const std::string& key, uint16_t flags);
  // Ends a walk: this walk's method builders and pool go to its type.
  void endWalk();
  // The walked types ordered so that every type comes before its super types (the type asked
  // for first; types of a cyclic hierarchy last, in the order met).
  std::vector<const WalkedType*> mostDerivedFirst() const;
  // Level 0: the methods of the whole ancestry by name and descriptor, of each the declaration
  // of the most derived type that has one with all of `requiredFlags` and none of
  // `excludedFlags`; the keys of `leftOut` are left out. They become the method builders, in
  // byte-wise order of name followed by descriptor.
  void mergeAncestry(uint16_t requiredFlags, uint16_t excludedFlags, const std::set<std::string>& leftOut);

  // --- Output ----------------------------------------------------------------------------------
  // Methods whose bodies forward to the native twin of another collected method (with the
  // same parameters and a result that fits theirs) instead of a twin of their own.
  typedef std::map<const MemberBuilder*, const MemberBuilder*> Redirections;
  // Where the Java implementation that a forwarding method overrides lives, for the methods
  // that have one the C++ side may run: an interface's default method (reached through the
  // interface the generated class implements), or java.lang.Object's (through the super class).
  enum class JavaDefault { kInterface, kSuperClass };
  typedef std::map<const MemberBuilder*, JavaDefault> JavaDefaults;
  // Assembles the generated class (level 0): its class, super class and (when there is an
  // interface entry) interface, the field "peer", and per collected method a constructor
  // calling the super class's of the same descriptor, or a native twin followed by the method
  // forwarding to it and, for a method of `javaDefaults`, a method defaultMethodPrefix + name
  // of the same descriptor that runs the Java implementation (the class then has version 52.0,
  // the first to call an interface's method directly). The pool and the counts are filled in.
  // `records` receives the forwarding method and its twin per method that has a twin of its
  // own, then its default method (and each constructor with `reportConstructors`).
  void assembleClass(bool addDescriptorAgain, bool reportConstructors, std::vector<MethodDescriptor>& records,
                     const Redirections& redirections = Redirections(),
                     const JavaDefaults& javaDefaults = JavaDefaults());
  // Its steps, in order: the class entries and the name "Code"; the field "peer"; the method
  // builders moved to the output pool; per method its constructor, or its forwarding method
  // (after its twin, when it is the first to forward to it) and Java default; the pool's tree and
  // the counts.
  struct Assembly;
  void assembleClassEntries(Assembly& assembly);
  void assemblePeerField(const Assembly& assembly);
  void takeMethodsOver(Assembly& assembly, bool addDescriptorAgain);
  void assembleConstructor(Assembly& assembly, MethodInfoBuilder& method, bool reportConstructors);
  void assembleForwarding(Assembly& assembly, MethodInfoBuilder& method, const Redirections& redirections);
  void assembleJavaDefault(Assembly& assembly, const MethodInfoBuilder& method, JavaDefault where);
  void finishAssembly(unsigned methodCount);
  // Appends to the output pool a copy of the class name of an input Class entry and a Class
  // entry of it; the Class entry.
  EntryHandle appendOutputClass(const EntryHandle& inputClass);
  // Appends an entry to the output pool and registers a Utf8 text in outputNames.
  EntryHandle appendOutput(const EntryHandle& entry);

  // The generated class's version (the result's VERSION node).
  void setVersion(uint16_t minor, uint16_t major);
  // Records a method of the generated class in the generator's method set, replacing an equal
  // record; no filter applies.
  void recordMethod(const MethodDescriptor& record);
  static MethodDescriptor recordOf(const MemberBuilder& member);

  ProxyGenerator* m_pGenerator = nullptr;
  uint16_t m_inheritanceLevel = 0;
  std::string m_inputClassName;
  std::string m_derivedClassName;
  std::vector<MemberHandle> m_methodBuilders;
  PoolHandle m_inputPool;
  PoolHandle m_outputPool;
  Utf8Positions m_outputNames;
  SharedBuild* m_pShared;
  SharedBuild m_ownShared;
  // The type this walk walks (an entry of the shared types).
  WalkedType* m_pType = nullptr;

  antlr::RefAST m_resultFirst;
  antlr::RefAST m_resultLast;
  antlr::RefAST m_constantPoolNode;
  antlr::RefAST m_extendsNode;
  antlr::RefAST m_superClassNode;
  antlr::RefAST m_implementsNode;
  antlr::RefAST m_thisClassNode;
  antlr::RefAST m_fieldsNode;
  antlr::RefAST m_methodsNode;
  MemberHandle m_peerField;
  EntryHandle m_thisClassEntry;
  EntryHandle m_interfaceEntry;
  EntryHandle m_superClassEntry;
  // Running class-file index of the next input pool entry.
  uint16_t m_nextInputIndex = 1;
};
