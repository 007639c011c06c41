// The common state and actions of the class-building walkers.
#include "ClassBuilderBase.h"

#include "ClassFileTokenTypes.hpp"
#include "ClassRepository.h"
#include "KeptByTree.h"
#include "LazyCodeAST.h"
#include "NodeLinks.h"
#include "ProxyGenerator.h"
#include "StringHelpers.h"
#include "ValueAST.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/MismatchedTokenException.hpp>
#include <antlr/NoViableAltException.hpp>
#include <antlr/SemanticException.hpp>

#include <algorithm>
#include <deque>
#include <memory>
#include <typeindex>
#include <typeinfo>
#include <utility>

namespace {

typedef ClassFileTokenTypes T;

const char* const kObjectClass = "java/lang/Object";

const ValueAST* valueOf(const antlr::RefAST& node) {
  return node ? dynamic_cast<const ValueAST*>(node.get()) : nullptr;
}

template <class N>
const N& typed(const antlr::RefAST& node, const char* what) {
  const N* typedNode = node ? dynamic_cast<const N*>(node.get()) : nullptr;
  if (!typedNode) throw antlr::SemanticException(std::string(what) + " node of an unexpected class");
  return *typedNode;
}

// What the walk of a super type leaves in its WalkedType, kept as values. A walker of one kind
// walking one tree always leaves the same, so a later generation rebuilds it from here instead of
// walking the tree again: the ancestors that many classes share (java/lang/Object,
// java/util/AbstractCollection...) are walked once.
struct TypeWalk {
  struct Method {
    uint16_t flags;
    std::string name;
    std::string descriptor;
  };
  bool isInterface = false;
  std::string superClass;
  std::vector<std::string> superTypes;
  std::map<std::string, uint16_t> declared;
  // Whether the walk got to its end (a type that could not be walked keeps no methods).
  bool complete = false;
  std::vector<Method> methods;
};

TypeWalk recordWalk(const WalkedType& type) {
  TypeWalk walk;
  walk.isInterface = type.isInterface;
  walk.superClass = type.superClass;
  walk.superTypes = type.superTypes;
  walk.declared = type.declared;
  walk.complete = static_cast<bool>(type.pool);
  if (walk.complete) {
    walk.methods.reserve(type.methods.size());
    for (const MemberHandle& method : type.methods)
      walk.methods.push_back({method->getAccessFlags(), method->getNameText(), method->getDescriptorText()});
  }
  return walk;
}

// The walked type as the walk left it: the method builders over a pool of their own, which holds
// their names and descriptors (the builders are moved into the generated class's pool before
// anything reads their indices).
void replayWalk(const TypeWalk& walk, WalkedType& type) {
  type.isInterface = walk.isInterface;
  type.superClass = walk.superClass;
  type.superTypes = walk.superTypes;
  type.declared = walk.declared;
  if (!walk.complete) return;
  const PoolHandle pool(new ConstantPool());
  type.methods.reserve(walk.methods.size());
  for (const TypeWalk::Method& method : walk.methods) {
    const EntryHandle name = pool->appendSlot(EntryHandle::make<Utf8Entry>(method.name));
    const EntryHandle descriptor = pool->appendSlot(EntryHandle::make<Utf8Entry>(method.descriptor));
    type.methods.emplace_back(new MethodInfoBuilder(pool, method.flags, name, descriptor));
  }
  type.pool = pool;
}

// The walks of super types by walker kind and type name, each with the tree it was taken from;
// shared by the generations of all threads.
KeptByTree<std::pair<std::type_index, std::string>, TypeWalk>& typeWalks() {
  static KeptByTree<std::pair<std::type_index, std::string>, TypeWalk> walks;
  return walks;
}

}  // namespace

ClassBuilderBase::ClassBuilderBase(ProxyGenerator* generator, uint16_t level, SharedBuild* shared)
    : m_pGenerator(generator), m_inheritanceLevel(level), m_pShared(shared ? shared : &m_ownShared) {}

ClassBuilderBase::ClassBuilderBase() : m_pShared(&m_ownShared) {}

ClassBuilderBase::~ClassBuilderBase() = default;

std::string ClassBuilderBase::derivedClassName(const std::string& name, const std::string& prefix) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return prefix + name;
  return name.substr(0, slash + 1) + prefix + name.substr(slash + 1);
}

std::vector<std::string> ClassBuilderBase::getWalkedTypes() const {
  std::vector<std::string> names;
  for (const auto& type : m_pShared->types) names.push_back(type->name);
  return names;
}

void ClassBuilderBase::initializeASTFactory(antlr::ASTFactory& factory) { factory.setMaxNodeType(99); }

// --- The walk -------------------------------------------------------------------------------

void ClassBuilderBase::beginBuild() {
  // A walker that owns the shared state starts it afresh too: builders left from an earlier walk
  // have been moved into that walk's class and must not reach this one.
  if (m_pShared == &m_ownShared) {
    m_ownShared = SharedBuild();
    m_ownShared.types.emplace_back(new WalkedType());
    m_pType = m_ownShared.types.back().get();
  }
  m_inputClassName.clear();
  m_derivedClassName.clear();
  m_methodBuilders.clear();
  m_inputPool = new ConstantPool();
  m_outputPool = new ConstantPool();
  m_outputNames.clear();
  m_resultFirst = antlr::nullAST;
  m_resultLast = antlr::nullAST;
  m_constantPoolNode = antlr::nullAST;
  m_extendsNode = antlr::nullAST;
  m_superClassNode = antlr::nullAST;
  m_implementsNode = antlr::nullAST;
  m_thisClassNode = antlr::nullAST;
  m_fieldsNode = antlr::nullAST;
  m_methodsNode = antlr::nullAST;
  m_peerField.reset();
  m_thisClassEntry.reset();
  m_interfaceEntry.reset();
  m_superClassEntry.reset();
  m_nextInputIndex = 1;
}

void ClassBuilderBase::appendResult(const antlr::RefAST& node) {
  if (m_resultLast)
    m_resultLast->setNextSibling(node);
  else
    m_resultFirst = node;
  m_resultLast = node;
}

antlr::RefAST ClassBuilderBase::copyNode(const antlr::RefAST& node) {
  if (!node) throw antlr::SemanticException("a node to copy is missing");
  return node->clone();
}

antlr::RefAST ClassBuilderBase::versionNode(const antlr::RefAST& version) {
  antlr::RefAST copy = copyNode(version);
  antlr::RefAST minor = shortNode(T::MINOR, 3);
  copy->setFirstChild(minor);
  minor->setNextSibling(shortNode(T::MAJOR, 45));
  return copy;
}

antlr::RefAST ClassBuilderBase::shortNode(int type, uint16_t value) { return antlr::RefAST(new ShortAST(type, value)); }

antlr::RefAST ClassBuilderBase::emptyNode(int type) { return antlr::RefAST(new StringAST(type, std::string())); }

uint16_t ClassBuilderBase::shortValue(const antlr::RefAST& node) {
  return typed<ShortAST>(node, node ? node->typeName() : "index").getValue();
}

void ClassBuilderBase::setShortValue(const antlr::RefAST& node, uint16_t value) {
  ShortAST* shortNode = node ? dynamic_cast<ShortAST*>(node.get()) : nullptr;
  if (!shortNode)
    throw antlr::SemanticException(std::string(node ? node->typeName() : "count") + " node of an unexpected class");
  shortNode->setValue(value);
}

// --- Input constant pool ----------------------------------------------------------------------

void ClassBuilderBase::beginConstantPool(const antlr::RefAST& poolNode) {
  m_constantPoolNode = copyNode(poolNode);
  appendResult(m_constantPoolNode);
  m_nextInputIndex = 1;
  // The output pool holds about as many entries as the input's: names and descriptors of the
  // same methods, with the class's own entries and those of the generated code.
  const std::size_t count = shortValue(poolNode);
  m_inputPool->reserve(count);
  m_outputPool->reserve(count + count / 2);
}

void ClassBuilderBase::addPoolEntry(const antlr::RefAST& node) {
  EntryHandle entry;
  auto child = [&](int index) {
    antlr::RefAST c = node->getFirstChild();
    for (int i = 0; c && i < index; ++i) c = c->getNextSibling();
    return shortValue(c);
  };
  switch (node->getType()) {
    case T::CONSTANT_UTF8: {
      const ValueAST* value = valueOf(node);
      const StringAST* text = dynamic_cast<const StringAST*>(value);
      entry = EntryHandle::make<Utf8Entry>(text ? text->value() : node->getText());
      break;
    }
    case T::CONSTANT_UNICODE:
      entry = EntryHandle::make<UnicodeEntry>(typed<WStringAST>(node, "CONSTANT_UNICODE").getValue());
      break;
    case T::CONSTANT_INTEGER:
      entry = EntryHandle::make<IntegerEntry>(typed<IntAST>(node, "CONSTANT_INTEGER").getValue());
      break;
    case T::CONSTANT_FLOAT:
      entry = EntryHandle::make<FloatEntry>(typed<FloatAST>(node, "CONSTANT_FLOAT").getValue());
      break;
    case T::CONSTANT_LONG:
      entry = EntryHandle::make<LongEntry>(typed<LongAST>(node, "CONSTANT_LONG").getValue());
      break;
    case T::CONSTANT_DOUBLE:
      entry = EntryHandle::make<DoubleEntry>(typed<DoubleAST>(node, "CONSTANT_DOUBLE").getValue());
      break;
    case T::CONSTANT_CLASS:
      entry = EntryHandle::make<ClassEntry>(shortValue(node));
      break;
    case T::CONSTANT_STRING:
      entry = EntryHandle::make<StringEntry>(child(0));
      break;
    case T::CONSTANT_FIELDREF:
      entry = EntryHandle::make<FieldrefEntry>(child(0), child(1));
      break;
    case T::CONSTANT_METHODREF:
      entry = EntryHandle::make<MethodrefEntry>(child(0), child(1));
      break;
    case T::CONSTANT_INTERFACEMETHODREF:
      entry = EntryHandle::make<InterfaceMethodrefEntry>(child(0), child(1));
      break;
    case T::CONSTANT_NAMEANDTYPE:
      entry = EntryHandle::make<NameAndTypeEntry>(child(0), child(1));
      break;
    case T::CONSTANT_CONTINUED:
      entry = EntryHandle::make<ContinuedEntry>();
      break;
    case T::ATTR_UNKNOWN: {
      const ByteArrayAST& raw = typed<ByteArrayAST>(node, "constant-pool ATTR_UNKNOWN");
      entry = EntryHandle::make<OpaqueEntry>(raw.value());
      break;
    }
    default:
      throw antlr::SemanticException(std::string("no constant-pool entry: ") + node->typeName());
  }
  m_inputPool->appendSlot(entry);
  ++m_nextInputIndex;
}

bool ClassBuilderBase::isSealed(const antlr::RefAST& attributes) {
  if (!attributes) return false;
  for (antlr::RefAST length = attributes->getFirstChild(); length; length = length->getNextSibling()) {
    const antlr::RefAST attribute = length->getFirstChild();
    if (!attribute || attribute->getType() != ClassFileTokenTypes::ATTR_UNKNOWN) continue;
    const antlr::RefAST name = attribute->getFirstChild();
    if (name && name->getType() == ClassFileTokenTypes::UNKNOWN_ATTRIBUTE_NAME &&
        name->getText() == "PermittedSubclasses")
      return true;
  }
  return false;
}

void ClassBuilderBase::checkClassAttributes(const antlr::RefAST& attributes) const {
  if (m_inheritanceLevel == 0 && isSealed(attributes))
    throw antlr::ANTLRException("the type " + replaceChar(m_inputClassName, '/', '.') +
                                " is sealed: only the classes it permits can extend or implement it");
}

namespace {

// The shape check of attribute subtrees, stepping through the tree without taking references.
// Like a walk of the tree parser, a subtree's children are matched from the first on: a list
// ends at the first child of another type, and children past the last one looked at are not.
class AttributeShape {
 public:
  explicit AttributeShape(const antlr::TreeParser& parser) : m_parser(parser) {}

  // The ATTRIBUTE_INFO_LENGTH children of `parent`, each holding one attribute.
  void list(const antlr::AST* parent) const {
    const antlr::AST* child = NodeLinks::firstChild(parent);
    for (; child && child->getType() == T::ATTRIBUTE_INFO_LENGTH; child = NodeLinks::nextSibling(child))
      attribute(NodeLinks::firstChild(child));
  }

 private:
  // `node`, of type `type`; returns its next sibling.
  const antlr::AST* match(const antlr::AST* node, int type) const {
    if (!node || node->getType() != type)
      throw antlr::MismatchedTokenException(m_parser.getTokenNames(), m_parser.getNumTokens(), antlr::RefAST(node),
                                            type, false);
    return NodeLinks::nextSibling(node);
  }

  // The children of `node`: the types in order.
  void children(const antlr::AST* node, std::initializer_list<int> types) const {
    const antlr::AST* child = NodeLinks::firstChild(node);
    for (int type : types) child = match(child, type);
  }

  // The children of `node` while they are of `type`, each with the children `entry` in order;
  // returns the first child of another type.
  const antlr::AST* entries(const antlr::AST* node, int type, std::initializer_list<int> entry = {}) const {
    const antlr::AST* child = NodeLinks::firstChild(node);
    for (; child && child->getType() == type; child = NodeLinks::nextSibling(child)) children(child, entry);
    return child;
  }

  // The children of a stack map's locals or items: verification types.
  void verificationTypes(const antlr::AST* node) const {
    const antlr::AST* child = NodeLinks::firstChild(node);
    for (; child && child->getType() >= T::ITEM_BOGUS && child->getType() <= T::ITEM_UNINITIALIZED;
         child = NodeLinks::nextSibling(child)) {
    }
  }

  void attribute(const antlr::AST* node) const {
    if (!node) throw antlr::NoViableAltException(antlr::nullAST);
    switch (node->getType()) {
      case T::ATTR_CODE: {
        // One that the parser keeps unbuilt was read and checked whole when the class was.
        if (LazyCodeAST::isUnbuilt(node)) break;
        const antlr::AST* child = NodeLinks::firstChild(node);
        child = match(match(match(child, T::MAXSTACK), T::MAXLOCALS), T::CODE_BYTES);
        const antlr::AST* debug = match(child, T::ATTR_EXCEPTIONS);
        entries(child, T::EXCEPTION_INFO, {T::START_PC, T::END_PC, T::HANDLER_PC, T::CATCH_TYPE});
        match(debug, T::DEBUG_ATTRIBUTES);
        list(debug);
        break;
      }
      case T::ATTR_CONSTANT_VALUE:
      case T::ATTR_SOURCE_FILE:
      case T::ATTR_SYNTHETIC:
      case T::ATTR_DEPRECATED:
      case T::ATTR_INNER_CLASSES:
      case T::ATTR_UNKNOWN:
        break;
      case T::ATTR_EXCEPTIONS:
        entries(node, T::EXCEPTION_CLASS);
        break;
      case T::ATTR_LINE_NUMBER_TABLE:
        entries(node, T::LINE_NUMBER_ENTRY, {T::START_PC, T::LINE_NUMBER});
        break;
      case T::ATTR_LOCAL_VARIABLE_TABLE:
        entries(node, T::LOCAL_VARIABLE_TABLE_ENTRY, {T::START_PC, T::LENGTH, T::NAME, T::TYPE, T::INDEX});
        break;
      case T::ATTR_STACK_MAP:
        for (const antlr::AST* map = NodeLinks::firstChild(node); map && map->getType() == T::ATTR_STACK_MAP;
             map = NodeLinks::nextSibling(map)) {
          const antlr::AST* locals = NodeLinks::firstChild(map);
          const antlr::AST* items = match(locals, T::ATTR_STACK_MAP_LOCALS);
          match(items, T::ATTR_STACK_MAP_ITEMS);
          verificationTypes(locals);
          verificationTypes(items);
        }
        break;
      case T::ATTR_PMG:
        children(node, {T::NAME, T::CLASS_INFO});
        break;
      case T::ATTR_SIGNATURE:
        children(node, {T::SIGNATURE_INDEX});
        break;
      case T::ATTR_ENCLOSINGMETHOD:
        children(node, {T::CLASS_INFO, T::METHOD_INFO});
        break;
      default:
        throw antlr::NoViableAltException(antlr::RefAST(node));
    }
  }

  const antlr::TreeParser& m_parser;
};

}  // namespace

void ClassBuilderBase::checkAttributes(const antlr::RefAST& attributes) const {
  if (attributes) AttributeShape(*this).list(attributes.get());
}

void ClassBuilderBase::numberInputPool() {
  m_inputPool->resolveAll();
  m_inputPool->renumber();
}

EntryHandle ClassBuilderBase::inputClassAt(uint16_t index, const char* what) const {
  EntryHandle entry = m_inputPool->at(index, kTagClass);
  if (!entry) throw antlr::SemanticException(std::string(what) + " index " + std::to_string(index) + " names no class");
  return entry;
}

EntryHandle ClassBuilderBase::inputUtf8At(uint16_t index, const char* what) const {
  EntryHandle entry = m_inputPool->at(index, kTagUtf8);
  if (!entry) throw antlr::SemanticException(std::string(what) + " index " + std::to_string(index) + " names no text");
  return entry;
}

EntryHandle ClassBuilderBase::inputUtf8(const std::string& text) {
  // Asked for a text or two per walk: a search costs less than an index of every text.
  for (const EntryHandle& entry : m_inputPool->getEntries()) {
    if (entry && entry->isUtf8() && static_cast<const Utf8Entry*>(entry.get())->getValue() == text) return entry;
  }
  return m_inputPool->appendSlot(EntryHandle::make<Utf8Entry>(text));
}

EntryHandle ClassBuilderBase::addInputClass(const std::string& name) {
  EntryHandle utf8 = m_inputPool->appendSlot(EntryHandle::make<Utf8Entry>(name));
  return m_inputPool->appendSlot(EntryHandle::make<ClassEntry>(utf8));
}

// --- Class info -------------------------------------------------------------------------------

EntryHandle ClassBuilderBase::beginClassInfo(const antlr::RefAST& thisNode, const antlr::RefAST& flags,
                                             const antlr::RefAST& classInfo, const std::string& prefix) {
  antlr::RefAST thisClass = copyNode(thisNode);
  thisClass->setType(T::THIS_CLASS);
  appendResult(thisClass);

  antlr::RefAST accessFlags = copyNode(flags);
  setShortValue(accessFlags, kAccPublic | kAccSuper);
  thisClass->setFirstChild(accessFlags);

  const EntryHandle own = inputClassAt(shortValue(classInfo), "this_class");
  m_inputClassName = static_cast<const ClassEntry*>(own.get())->getClassName();
  if (m_pType) {
    m_pType->isInterface = thisNode->getType() == T::THIS_INTERFACE;
    if (m_pType->name.empty()) {
      // The type asked for: a super type that names it again leads back to it.
      m_pType->name = m_inputClassName;
      m_pShared->typePositions[m_inputClassName] = 0;
    }
  }
  m_derivedClassName = derivedClassName(m_inputClassName, prefix);

  m_thisClassEntry = addInputClass(m_derivedClassName);
  m_thisClassNode = copyNode(classInfo);
  setShortValue(m_thisClassNode, m_thisClassEntry->getIndex());
  accessFlags->setNextSibling(m_thisClassNode);
  return own;
}

EntryHandle ClassBuilderBase::copyExtends(const antlr::RefAST& extendsNode, const antlr::RefAST& superInfo,
                                          bool& declared) {
  m_extendsNode = copyNode(extendsNode);
  m_thisClassNode->setNextSibling(m_extendsNode);
  EntryHandle superEntry;
  declared = superInfo && shortValue(superInfo) != 0;
  if (declared) {
    superEntry = inputClassAt(shortValue(superInfo), "super_class");
    m_superClassNode = copyNode(superInfo);
    if (m_pType) m_pType->superClass = static_cast<const ClassEntry*>(superEntry.get())->getClassName();
  } else {
    superEntry = addInputClass(kObjectClass);
    m_superClassNode = shortNode(T::CLASS_INFO, superEntry->getIndex());
  }
  m_extendsNode->setFirstChild(m_superClassNode);
  return superEntry;
}

void ClassBuilderBase::endClassInfo() {
  m_implementsNode = emptyNode(T::IMPLEMENTS);
  m_extendsNode->setNextSibling(m_implementsNode);
}

void ClassBuilderBase::walkSuperType(const antlr::RefAST& classInfo) {
  const EntryHandle entry = m_inputPool->at(shortValue(classInfo), kTagClass);
  const std::string name = entry ? static_cast<const ClassEntry*>(entry.get())->getClassName() : std::string();
  if (!name.empty() && m_pType) m_pType->superTypes.push_back(name);
}

void ClassBuilderBase::walkAncestry() {
  SharedBuild& shared = *m_pShared;
  // Breadth first: the types vector is the queue, each type walked as it is met.
  for (std::size_t next = 0; next < shared.types.size(); ++next) {
    const std::vector<std::string> superTypes = shared.types[next]->superTypes;
    const unsigned depth = shared.types[next]->depth + 1;
    for (const std::string& name : superTypes) {
      if (shared.typePositions.count(name) != 0) continue;
      if (depth > ClassRepository::kMaxSuperTypeDepth) {
        throw antlr::ANTLRException("the super types of " + replaceChar(m_inputClassName, '/', '.') +
                                    " reach deeper than " + std::to_string(ClassRepository::kMaxSuperTypeDepth) +
                                    " levels (" + replaceChar(name, '/', '.') + " at level " + std::to_string(depth) +
                                    "): the hierarchy is not walked");
      }
      shared.typePositions[name] = shared.types.size();
      shared.types.emplace_back(new WalkedType());
      WalkedType& type = *shared.types.back();
      type.name = name;
      type.depth = depth;

      ClassRepository repository;
      const antlr::RefAST tree = repository.loadClass(name, std::string());
      if (tree)
        walkSuperTypeTree(tree, type);
      else
        shared.missingTypes.push_back(name);
    }
  }
}

void ClassBuilderBase::walkSuperTypeTree(const antlr::RefAST& tree, WalkedType& type) {
  const std::type_index kind(typeid(*this));
  const uint64_t generation = ClassRepository::cacheGeneration();
  std::shared_ptr<const TypeWalk> walk = typeWalks().find({kind, type.name}, tree.get(), generation);
  if (!walk) {
    WalkedType walked;
    walked.name = type.name;
    walked.depth = type.depth;
    walkNested(tree, walked);
    walk = std::make_shared<const TypeWalk>(recordWalk(walked));
    typeWalks().store({kind, type.name}, tree.get(), generation, walk);
  }
  replayWalk(*walk, type);
}

void ClassBuilderBase::beginFields(const antlr::RefAST& fieldsNode) {
  m_fieldsNode = copyNode(fieldsNode);
  appendResult(m_fieldsNode);
}

void ClassBuilderBase::beginMethods(const antlr::RefAST& methodsNode, bool defaultConstructor) {
  m_methodsNode = copyNode(methodsNode);
  appendResult(m_methodsNode);
  if (defaultConstructor) {
    const EntryHandle name = inputUtf8("<init>");
    const EntryHandle descriptor = inputUtf8("()V");
    makeInputMethod(kAccPublic, name, descriptor);
  }
}

// --- Methods ----------------------------------------------------------------------------------

MemberHandle ClassBuilderBase::makeInputMethod(uint16_t flags, const EntryHandle& name, const EntryHandle& descriptor) {
  MemberHandle method(new MethodInfoBuilder(m_inputPool, flags, name, descriptor));
  method->setClassEntry(m_thisClassEntry);
  method->updateIndices();
  m_methodBuilders.push_back(method);
  return method;
}

void ClassBuilderBase::declareMethod(const std::string& key, uint16_t flags) {
  if (m_pType) m_pType->declared.emplace(key, flags);
}

void ClassBuilderBase::endWalk() {
  if (!m_pType) return;
  m_pType->methods = m_methodBuilders;
  m_pType->pool = m_inputPool;
}

std::vector<const WalkedType*> ClassBuilderBase::mostDerivedFirst() const {
  const SharedBuild& shared = *m_pShared;
  const std::size_t count = shared.types.size();
  // Per type, how many of its walked sub types are not placed yet (Kahn's order); the type
  // asked for comes first whatever leads back to it.
  std::vector<std::size_t> pending(count, 0);
  std::vector<std::vector<std::size_t>> supers(count);
  for (std::size_t i = 0; i < count; ++i) {
    for (const std::string& name : shared.types[i]->superTypes) {
      const auto found = shared.typePositions.find(name);
      if (found == shared.typePositions.end() || found->second == 0) continue;
      supers[i].push_back(found->second);
      ++pending[found->second];
    }
  }
  std::vector<const WalkedType*> order;
  std::vector<bool> placed(count, false);
  std::deque<std::size_t> ready;
  if (count != 0) ready.push_back(0);
  while (!ready.empty()) {
    const std::size_t i = ready.front();
    ready.pop_front();
    placed[i] = true;
    order.push_back(shared.types[i].get());
    for (const std::size_t super : supers[i]) {
      if (--pending[super] == 0) ready.push_back(super);
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!placed[i]) order.push_back(shared.types[i].get());
  }
  return order;
}

void ClassBuilderBase::mergeAncestry(uint16_t requiredFlags, uint16_t excludedFlags,
                                     const std::set<std::string>& leftOut) {
  const std::vector<const WalkedType*> order = mostDerivedFirst();
  std::map<std::string, MemberHandle>& merged = m_pShared->methods;
  merged.clear();
  // The least derived first: a more derived declaration replaces it.
  for (auto type = order.rbegin(); type != order.rend(); ++type) {
    std::vector<MemberHandle> members = (*type)->methods;
    if ((*type)->pool)
      collectMethods(members, merged, 1, m_pShared->pools, (*type)->pool, requiredFlags, excludedFlags);
  }
  for (const std::string& key : leftOut) merged.erase(key);
  m_methodBuilders.clear();
  for (const auto& entry : merged) m_methodBuilders.push_back(entry.second);
}

// --- Output -----------------------------------------------------------------------------------

EntryHandle ClassBuilderBase::appendOutput(const EntryHandle& handle) {
  const uint16_t position = static_cast<uint16_t>(m_outputPool->size());
  m_outputPool->append(handle);
  if (handle->isUtf8()) m_outputNames.emplace(handle->getText(), position);
  return handle;
}

EntryHandle ClassBuilderBase::appendOutputClass(const EntryHandle& inputClass) {
  const ClassEntry* source = inputClass ? dynamic_cast<const ClassEntry*>(inputClass.get()) : nullptr;
  const EntryHandle name = appendOutput(EntryHandle::make<Utf8Entry>(source ? source->getName() : EntryHandle()));
  return appendOutput(EntryHandle::make<ClassEntry>(name));
}

namespace {

// Children appended one after the other below a node.
class ChildList {
 public:
  explicit ChildList(antlr::RefAST parent) : m_parent(std::move(parent)) {}

  void append(const antlr::RefAST& child) {
    if (m_last)
      m_last->setNextSibling(child);
    else
      m_parent->setFirstChild(child);
    m_last = child;
  }

 private:
  antlr::RefAST m_parent;
  antlr::RefAST m_last;
};

}  // namespace

// What the steps of assembleClass hand on to each other.
struct ClassBuilderBase::Assembly {
  Assembly(std::vector<MethodDescriptor>& records, const antlr::RefAST& methodsNode)
      : records(records), methods(methodsNode) {}

  EntryHandle thisClass;
  EntryHandle superClass;
  EntryHandle implemented;  // null without an interface entry
  std::vector<MethodDescriptor>& records;
  ChildList methods;
  unsigned methodCount = 0;
  // The native twin of each method that methods forward to.
  std::map<const MemberBuilder*, MemberHandle> twins;
};

void ClassBuilderBase::assembleClass(bool addDescriptorAgain, bool reportConstructors,
                                     std::vector<MethodDescriptor>& records, const Redirections& redirections,
                                     const JavaDefaults& javaDefaults) {
  if (!m_thisClassEntry || !m_superClassEntry || !m_superClassNode || !m_methodsNode || !m_fieldsNode)
    throw antlr::SemanticException("the input's tree is incomplete");

  Assembly assembly(records, m_methodsNode);
  assembleClassEntries(assembly);
  assemblePeerField(assembly);
  takeMethodsOver(assembly, addDescriptorAgain);
  for (const MemberHandle& member : m_methodBuilders) {
    MethodInfoBuilder& method = static_cast<MethodInfoBuilder&>(*member);
    if (method.getNameText() == "<init>") {
      assembleConstructor(assembly, method, reportConstructors);
      continue;
    }
    assembleForwarding(assembly, method, redirections);
    const auto javaDefault = javaDefaults.find(&method);
    if (javaDefault != javaDefaults.end()) assembleJavaDefault(assembly, method, javaDefault->second);
  }
  if (assembly.methodCount > 0xffffu) throw antlr::SemanticException("the generated class has more than 65535 methods");
  finishAssembly(assembly.methodCount);
}

void ClassBuilderBase::assembleClassEntries(Assembly& assembly) {
  assembly.thisClass = appendOutputClass(m_thisClassEntry);
  setShortValue(m_thisClassNode, assembly.thisClass->getIndex());
  assembly.superClass = appendOutputClass(m_superClassEntry);
  setShortValue(m_superClassNode, assembly.superClass->getIndex());
  if (m_interfaceEntry) {
    assembly.implemented = appendOutputClass(m_interfaceEntry);
    m_implementsNode->setFirstChild(shortNode(T::CLASS_INFO, assembly.implemented->getIndex()));
  }
  // The name of every Code attribute.
  m_outputPool->append(EntryHandle::make<Utf8Entry>("Code"));
}

void ClassBuilderBase::assemblePeerField(const Assembly& assembly) {
  // long peer;
  FieldInfoBuilder* peer = new FieldInfoBuilder(*m_outputPool, m_outputNames, 0, "peer", "J");
  m_peerField = peer;
  peer->setClassEntry(assembly.thisClass);
  peer->updateIndices();
  m_fieldsNode->setFirstChild(peer->build());
  setShortValue(m_fieldsNode, 1);
}

void ClassBuilderBase::takeMethodsOver(Assembly& assembly, bool addDescriptorAgain) {
  for (const MemberHandle& member : m_methodBuilders) {
    MethodInfoBuilder* method = static_cast<MethodInfoBuilder*>(member.get());
    method->moveToPool(*m_outputPool, m_outputNames, addDescriptorAgain);
    method->setClassEntry(assembly.thisClass);
  }
  assembly.records.reserve(assembly.records.size() + 2 * m_methodBuilders.size());
  assembly.methodCount = static_cast<unsigned>(m_methodBuilders.size());
}

void ClassBuilderBase::assembleConstructor(Assembly& assembly, MethodInfoBuilder& method, bool reportConstructors) {
  // The super class's constructor of the same descriptor, with the same arguments.
  const EntryHandle nameAndType =
      m_outputPool->append(EntryHandle::make<NameAndTypeEntry>(method.getName(), method.getDescriptor()));
  const EntryHandle superInit =
      m_outputPool->append(EntryHandle::make<MethodrefEntry>(assembly.superClass, nameAndType));
  method.addCode(true, m_outputPool, superInit, assembly.thisClass, m_peerField);
  method.updateIndices();
  assembly.methods.append(method.build());
  if (reportConstructors) assembly.records.push_back(recordOf(method));
}

void ClassBuilderBase::assembleForwarding(Assembly& assembly, MethodInfoBuilder& method,
                                          const Redirections& redirections) {
  const auto redirected = redirections.find(&method);
  const MethodInfoBuilder* target =
      static_cast<const MethodInfoBuilder*>(redirected == redirections.end() ? &method : redirected->second);
  MemberHandle& twin = assembly.twins[target];
  if (!twin) {
    ++assembly.methodCount;
    twin = target->makeNativeMethod(*m_outputPool, m_outputNames);
    twin->setClassEntry(assembly.thisClass);
    twin->updateIndices();
    assembly.methods.append(twin->build());
  }
  const EntryHandle twinRef =
      static_cast<MethodInfoBuilder*>(twin.get())->methodRef(*m_outputPool, assembly.thisClass, EntryHandle());
  method.addCode(false, m_outputPool, twinRef, assembly.thisClass, m_peerField);
  method.updateIndices();
  assembly.methods.append(method.build());
  if (target == &method) {
    assembly.records.push_back(recordOf(method));
    assembly.records.push_back(recordOf(*twin));
  }
}

void ClassBuilderBase::assembleJavaDefault(Assembly& assembly, const MethodInfoBuilder& method, JavaDefault where) {
  // defaultMethodPrefix + name: this, the arguments, invokespecial of the overridden method.
  const bool viaInterface = where == JavaDefault::kInterface && assembly.implemented;
  const EntryHandle nameAndType =
      m_outputPool->append(EntryHandle::make<NameAndTypeEntry>(method.getName(), method.getDescriptor()));
  const EntryHandle overridden =
      m_outputPool->append(viaInterface ? EntryHandle::make<InterfaceMethodrefEntry>(assembly.implemented, nameAndType)
                                        : EntryHandle::make<MethodrefEntry>(assembly.superClass, nameAndType));
  const EntryHandle defaultName =
      findOrAddUtf8(*m_outputPool, m_outputNames, defaultMethodPrefix + method.getNameText());
  MemberHandle runner(
      new MethodInfoBuilder(m_outputPool, kAccPublic | kAccSynthetic, defaultName, method.getDescriptor()));
  runner->setClassEntry(assembly.thisClass);
  static_cast<MethodInfoBuilder*>(runner.get())
      ->addCode(true, m_outputPool, overridden, assembly.thisClass, m_peerField);
  runner->updateIndices();
  assembly.methods.append(runner->build());
  ++assembly.methodCount;
  assembly.records.push_back(recordOf(*runner));
  if (viaInterface) setVersion(0, 52);
}

void ClassBuilderBase::finishAssembly(unsigned methodCount) {
  ChildList entries(m_constantPoolNode);
  for (const EntryHandle& entry : m_outputPool->getEntries()) entries.append(entry->toAST());
  if (m_outputPool->size() + 1 > 0xffffu)
    throw antlr::SemanticException("the generated class has more than 65534 constant-pool entries");
  setShortValue(m_methodsNode, static_cast<uint16_t>(methodCount));
  setShortValue(m_constantPoolNode, static_cast<uint16_t>(m_outputPool->size() + 1));
  appendResult(shortNode(T::ATTRIBUTES, 0));
}

void ClassBuilderBase::setVersion(uint16_t minor, uint16_t major) {
  for (antlr::RefAST node = m_resultFirst; node; node = node->getNextSibling()) {
    if (node->getType() != T::VERSION) continue;
    const antlr::RefAST minorNode = node->getFirstChild();
    setShortValue(minorNode, minor);
    setShortValue(minorNode ? minorNode->getNextSibling() : antlr::nullAST, major);
  }
}

void ClassBuilderBase::recordMethod(const MethodDescriptor& record) {
  if (!m_pGenerator) return;
  std::set<MethodDescriptor>& methods = m_pGenerator->m_methods;
  const auto found = methods.find(record);
  if (found != methods.end()) methods.erase(found);
  methods.insert(record);
}

MethodDescriptor ClassBuilderBase::recordOf(const MemberBuilder& member) {
  MethodDescriptor record;
  record.setName(member.getNameText());
  record.setSignature(member.getDescriptorText());
  record.setAccessFlags(member.getAccessFlags());
  return record;
}
