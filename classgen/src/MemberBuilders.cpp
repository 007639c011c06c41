// Method and field builders of a class under construction.
#include "MemberBuilders.h"

#include "ByteCodeGenerator.h"
#include "ClassFileTokenTypes.hpp"
#include "TypeMapping.h"
#include "ValueAST.h"

namespace {

typedef ClassFileTokenTypes T;

antlr::RefAST shortNode(int type, uint16_t value) { return antlr::RefAST(new ShortAST(type, value)); }

uint16_t indexOf(const EntryHandle& entry) { return entry ? entry->getIndex() : 0; }

}  // namespace

const char* const defaultMethodPrefix = "default0";

// --- MemberBuilder --------------------------------------------------------------------------

MemberBuilder::MemberBuilder(bool method, uint16_t flags, const EntryHandle& nameEntry,
                             const EntryHandle& descriptorEntry)
    : isMethod(method ? 1 : 0),
      accessFlags(flags),
      nameIndex(indexOf(nameEntry)),
      descriptorIndex(indexOf(descriptorEntry)),
      name(nameEntry),
      descriptor(descriptorEntry) {}

MemberBuilder::~MemberBuilder() = default;

void MemberBuilder::updateIndices() {
  nameIndex = indexOf(name);
  classIndex = indexOf(classEntry);
  descriptorIndex = indexOf(descriptor);
}

void MemberBuilder::appendToTree(const antlr::RefAST& child) {
  if (tree && child) tree->addChild(child);
}

antlr::RefAST MemberBuilder::makeTree(int infoType, int descriptorType, int attributesType) {
  const antlr::RefAST attributes = shortNode(attributesType, 0);
  tree = withChildren(antlr::RefAST(new StringAST(infoType, std::string())),
                      {shortNode(T::ACCESS_FLAGS, accessFlags), shortNode(T::NAME, nameIndex),
                       shortNode(descriptorType, descriptorIndex), attributes});
  return attributes;
}

// --- MethodInfoBuilder ----------------------------------------------------------------------

MethodInfoBuilder::MethodInfoBuilder(const PoolHandle& source, uint16_t flags, const EntryHandle& nameEntry,
                                     const EntryHandle& descriptorEntry)
    : MemberBuilder(true, flags, nameEntry, descriptorEntry), sourcePool(source) {}

void MethodInfoBuilder::updateIndices() {
  MemberBuilder::updateIndices();
  sourceDescriptorIndex = indexOf(sourceDescriptor);
}

void MethodInfoBuilder::moveToPool(ConstantPool& pool, Utf8Positions& positions, bool addDescriptorAgain) {
  const std::string nameText = getNameText();
  const std::string descriptorText = getDescriptorText();
  name = findOrAddUtf8(pool, positions, nameText);
  nameIndex = name->getIndex();
  descriptor = findOrAddUtf8(pool, positions, descriptorText);
  descriptorIndex = descriptor->getIndex();
  sourceDescriptor = descriptor;
  sourceDescriptorIndex = descriptorIndex;
  if (addDescriptorAgain) findOrAddUtf8(pool, positions, descriptorText);
}

MethodInfoBuilder* MethodInfoBuilder::makeNativeMethod(ConstantPool& pool, Utf8Positions& positions) const {
  const std::string source = pool.textAt(sourceDescriptorIndex);
  const std::string twinName = nativeMethodPrefix + pool.textAt(nameIndex);
  const std::string twinDescriptor = "(J" + (source.empty() ? std::string() : source.substr(1));
  const EntryHandle nameEntry = findOrAddUtf8(pool, positions, twinName);
  const EntryHandle descriptorEntry = findOrAddUtf8(pool, positions, twinDescriptor);
  const uint16_t flags = static_cast<uint16_t>((accessFlags & ~kAccAbstract) | kAccNative);
  return new MethodInfoBuilder(sourcePool, flags, nameEntry, descriptorEntry);
}

EntryHandle MethodInfoBuilder::methodRef(ConstantPool& pool, const EntryHandle& declaringClass,
                                         const EntryHandle& otherClass) const {
  const EntryHandle nameAndType = pool.append(EntryHandle::make<NameAndTypeEntry>(name, descriptor));
  const EntryHandle owner = otherClass ? otherClass : declaringClass;
  return pool.append(EntryHandle::make<MethodrefEntry>(owner, nameAndType));
}

void MethodInfoBuilder::addCode(bool direct, const PoolHandle& pool, const EntryHandle& target, const EntryHandle&,
                                const MemberHandle& peerField) {
  // A method with code is neither abstract nor native, whatever the method it stands for was
  // flagged with (an interface method flagged native gets a stub like any other).
  accessFlags = static_cast<uint16_t>(accessFlags & ~(kAccAbstract | kAccNative));
  ByteCodeGenerator generator(direct);
  codeAttribute = generator.buildCodeAttribute(pool, target, peerField);
}

antlr::RefAST MethodInfoBuilder::build() {
  if (!tree) {
    const antlr::RefAST attributes = makeTree(T::METHOD_INFO, T::SIGNATURE, T::METHOD_ATTRIBUTES);
    if (codeAttribute) {
      static_cast<ShortAST*>(attributes.get())->setValue(1);
      attributes->setFirstChild(codeAttribute);
    }
  }
  return tree;
}

// --- FieldInfoBuilder -----------------------------------------------------------------------

FieldInfoBuilder::FieldInfoBuilder(ConstantPool& pool, Utf8Positions& positions, uint16_t flags,
                                   const std::string& nameText, const std::string& descriptorText)
    : MemberBuilder(false, flags, EntryHandle(), EntryHandle()) {
  // The name's entry first, then the descriptor's, in statements of their own: the order of
  // the pool must not depend on the order in which a compiler evaluates arguments.
  name = findOrAddUtf8(pool, positions, nameText);
  descriptor = findOrAddUtf8(pool, positions, descriptorText);
  nameIndex = name->getIndex();
  descriptorIndex = descriptor->getIndex();
}

EntryHandle FieldInfoBuilder::fieldRef(ConstantPool& pool) {
  if (!fieldRefEntry) {
    const EntryHandle nameAndType = pool.append(EntryHandle::make<NameAndTypeEntry>(name, descriptor));
    fieldRefEntry = pool.append(EntryHandle::make<FieldrefEntry>(classEntry, nameAndType));
  }
  return fieldRefEntry;
}

antlr::RefAST FieldInfoBuilder::build() {
  if (!tree) makeTree(T::FIELD_INFO, T::TYPE, T::FIELD_ATTRIBUTES);
  return tree;
}

// --- Collection -----------------------------------------------------------------------------

void collectMethods(std::vector<MemberHandle>& members, std::map<std::string, MemberHandle>& keyMap, uint16_t mode,
                    std::vector<PoolHandle>& pools, const PoolHandle& pool, uint16_t requiredFlags,
                    uint16_t excludedFlags) {
  pools.push_back(pool);
  for (const MemberHandle& member : members) {
    if (!member) continue;
    const uint16_t flags = member->getAccessFlags();
    if ((flags & requiredFlags) != requiredFlags || (flags & excludedFlags) != 0) continue;
    keyMap[member->getKey()] = member;
  }
  if (mode == 0) {
    members.clear();
    for (const auto& entry : keyMap) members.push_back(entry.second);
  }
}
