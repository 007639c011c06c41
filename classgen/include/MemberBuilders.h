// Member builders: the methods and fields of a class under construction. A builder holds the
// member's access flags and its name and descriptor as Utf8 entries of a constant pool; it can
// move those entries from the pool of the class it was read from into the new class's pool,
// derive its native twin, get a forwarding body (ByteCodeGenerator), and finally build its
// METHOD_INFO or FIELD_INFO subtree of the class-file tree.
//
// Order of use: a method builder is moved into the new pool (moveToPool) before its native twin
// is made (makeNativeMethod reads the texts from the new pool); every builder gets its class
// entry (setClassEntry) and its indices refreshed (updateIndices) before it is built; a native
// twin has no code. `build` builds the subtree once; later calls give the same tree.
#pragma once

#include "ConstantPool.h"
#include "JavaTypes.h"
#include "RefHandle.h"

#include <antlr/AST.hpp>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The name prefix of a generated method that runs the Java implementation its forwarding method
// overrides ("default0" + name).
extern const char* const defaultMethodPrefix;

class MemberBuilder {
 public:
  typedef MemberBuilder RefBase;

  MemberBuilder(const MemberBuilder&) = delete;
  MemberBuilder& operator=(const MemberBuilder&) = delete;
  virtual ~MemberBuilder();

  // nameIndex and classIndex (and the descriptor index) from their entries' current indices.
  virtual void updateIndices();
  // The member's METHOD_INFO or FIELD_INFO subtree.
  virtual antlr::RefAST build() = 0;

  // Adds the node as the last child of the built tree; nothing before the first build.
  void appendToTree(const antlr::RefAST& child);

  bool isMethodBuilder() const { return isMethod != 0; }
  uint16_t getAccessFlags() const { return accessFlags; }
  void setAccessFlags(uint16_t flags) { accessFlags = flags; }
  uint16_t getNameIndex() const { return nameIndex; }
  uint16_t getDescriptorIndex() const { return descriptorIndex; }
  uint16_t getClassIndex() const { return classIndex; }
  void setClassEntry(const EntryHandle& entry) { classEntry = entry; }
  EntryHandle getClassEntry() const { return classEntry; }
  EntryHandle getName() const { return name; }
  EntryHandle getDescriptor() const { return descriptor; }
  // Texts of the name and descriptor entries ("" when one is missing).
  std::string getNameText() const { return name ? name->getText() : std::string(); }
  std::string getDescriptorText() const { return descriptor ? descriptor->getText() : std::string(); }
  // Name followed by descriptor: the key under which members are collected.
  std::string getKey() const { return getNameText() + getDescriptorText(); }

  RefHolder<MemberBuilder>* getHolder() const { return holder; }

 protected:
  MemberBuilder(bool method, uint16_t flags, const EntryHandle& nameEntry, const EntryHandle& descriptorEntry);
  // Makes the tree: `infoType` over ACCESS_FLAGS, NAME, the descriptor's node of `descriptorType`
  // and the attribute count of `attributesType` (0), which it returns for the attributes.
  antlr::RefAST makeTree(int infoType, int descriptorType, int attributesType);

  template <class>
  friend class RefHandle;

  uint8_t isMethod;
  uint16_t accessFlags;
  uint16_t nameIndex;
  uint16_t classIndex = 0;
  uint16_t descriptorIndex;
  EntryHandle classEntry;
  EntryHandle name;
  EntryHandle descriptor;
  antlr::RefAST tree;
  RefHolder<MemberBuilder>* holder = nullptr;
};

typedef RefHandle<MemberBuilder> MemberHandle;
// The null member handle that code compares against.
inline const MemberHandle kNullMember{};

class MethodInfoBuilder : public MemberBuilder {
 public:
  // A method of `sourcePool` whose name and descriptor are entries of it.
  MethodInfoBuilder(const PoolHandle& sourcePool, uint16_t flags, const EntryHandle& nameEntry,
                    const EntryHandle& descriptorEntry);

  void updateIndices() override;
  antlr::RefAST build() override;

  // Re-homes the name and descriptor into `pool` (found or added through `positions`); the
  // descriptor becomes the source descriptor too. With `addDescriptorAgain` the descriptor text
  // is looked up once more (it adds nothing when found).
  void moveToPool(ConstantPool& pool, Utf8Positions& positions, bool addDescriptorAgain);
  // The native twin: name "native0" + name, descriptor "(J" + the source descriptor after its
  // '(', flags without ABSTRACT and with NATIVE, no code. The caller wraps it in a handle.
  MethodInfoBuilder* makeNativeMethod(ConstantPool& pool, Utf8Positions& positions) const;
  // A NameAndType and a Methodref (on otherClass when given, else on declaringClass) of this
  // method, appended to `pool`; the Methodref's handle.
  EntryHandle methodRef(ConstantPool& pool, const EntryHandle& declaringClass, const EntryHandle& otherClass) const;
  // Clears ABSTRACT and gives the method a forwarding body that invokes `target`
  // (ByteCodeGenerator). Throws ByteCodeException; the method then keeps no code.
  void addCode(bool direct, const PoolHandle& pool, const EntryHandle& target, const EntryHandle& spare,
               const MemberHandle& peerField);

  EntryHandle getSourceDescriptor() const { return sourceDescriptor; }
  uint16_t getSourceDescriptorIndex() const { return sourceDescriptorIndex; }
  const PoolHandle& getSourcePool() const { return sourcePool; }
  bool hasCode() const { return static_cast<bool>(codeAttribute); }

 private:
  uint16_t sourceDescriptorIndex = 0;
  EntryHandle sourceDescriptor;
  PoolHandle sourcePool;
  antlr::RefAST codeAttribute;
};

class FieldInfoBuilder : public MemberBuilder {
 public:
  // A field of `pool`: the name and descriptor texts are found or added through `positions`.
  FieldInfoBuilder(ConstantPool& pool, Utf8Positions& positions, uint16_t flags, const std::string& nameText,
                   const std::string& descriptorText);

  antlr::RefAST build() override;

  // The field's Fieldref in `pool`: made (with its NameAndType) on the first call, the same
  // entry afterwards.
  EntryHandle fieldRef(ConstantPool& pool);

 private:
  EntryHandle fieldRefEntry;
};

// Collects members by key (name followed by descriptor) into `keyMap`: every member of `members`
// that has all of `requiredFlags` and none of `excludedFlags` replaces the map's earlier member
// of its key. `pool` is first appended to `pools`, which keeps the pools of the members alive.
// With mode 0 `members` is then refilled from the map in byte-wise key order.
void collectMethods(std::vector<MemberHandle>& members, std::map<std::string, MemberHandle>& keyMap, uint16_t mode,
                    std::vector<PoolHandle>& pools, const PoolHandle& pool, uint16_t requiredFlags,
                    uint16_t excludedFlags);
