// The constant pool of a class under construction, held as objects: one entry object per pool
// slot, one class per class-file tag, in index order in a ConstantPool. Entries refer to each
// other by 16-bit pool index (as the class file does) and by counted handles, so that an entry
// can be made before the indices of what it names are known, and its indices refreshed after the
// pool has grown (updateIndices). Each entry makes the class-file tree node of its kind
// (ValueAST.h), which the builders put under the CONSTANT_POOL node of the class they build.
//
// Position p (0-based) of a pool holds the entry whose index is p + 1. Every entry takes one
// position, a long or double as well; the unusable slot after a long or double is a
// ContinuedEntry of its own, so that positions and class-file indices always agree. Entries are
// never removed or moved.
//
// Lookups by index are checked: an index outside the pool, or one that names an entry of another
// kind, gives the null handle (a malformed class file yields missing names, never a crash).
#pragma once

#include "RefHandle.h"
#include "ValueAST.h"

#include <antlr/AST.hpp>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ConstantPool;

// Class-file tags of the entry kinds.
enum ConstantPoolTag : uint8_t {
  kTagNone = 0,
  kTagUtf8 = 1,
  kTagUnicode = 2,
  kTagInteger = 3,
  kTagFloat = 4,
  kTagLong = 5,
  kTagDouble = 6,
  kTagClass = 7,
  kTagString = 8,
  kTagFieldref = 9,
  kTagMethodref = 10,
  kTagInterfaceMethodref = 11,
  kTagNameAndType = 12,
};

// The base of every entry (tag 0).
class ConstantPoolEntry {
 public:
  typedef ConstantPoolEntry RefBase;

  ConstantPoolEntry() = default;
  // Copies the index and the kind's value; neither the holder (the copy is an object of its
  // own, owned by the handles made of it) nor the cached tree.
  ConstantPoolEntry(const ConstantPoolEntry& other) : index(other.index) {}
  ConstantPoolEntry& operator=(const ConstantPoolEntry&) = delete;
  virtual ~ConstantPoolEntry();

  // Copies the kind's value fields from an entry of the same kind (nothing for another kind).
  virtual void assign(const ConstantPoolEntry& other);
  virtual uint8_t tag() const { return kTagNone; }
  // The entry's class-file tree node; the null AST for the base.
  virtual antlr::RefAST toAST() { return antlr::nullAST; }
  virtual bool isUtf8() const { return false; }
  // Copies the index of each entry this one refers to into the matching index field (a null
  // handle leaves its field as it is).
  virtual void updateIndices() {}
  // The text of a Utf8 entry, "" for every other kind.
  virtual std::string getText() const { return std::string(); }
  // The text of a Unicode entry, empty for every other kind.
  virtual std::u16string getWideText() const { return std::u16string(); }
  // Links each null reference to the pool entry its index field names, when that entry is of
  // the kind the reference needs.
  virtual void resolve(const ConstantPool& pool);

  uint16_t getIndex() const { return index; }
  void setIndex(uint16_t i) { index = i; }
  // Slots the entry takes in a class file: 2 for long and double, else 1.
  int slotCount() const { return tag() == kTagLong || tag() == kTagDouble ? 2 : 1; }

  RefHolder<ConstantPoolEntry>* getHolder() const { return holder; }

 protected:
  template <class>
  friend class RefHandle;

  uint16_t index = 0;
  // The cached tree of the compound kinds.
  antlr::RefAST node;
  RefHolder<ConstantPoolEntry>* holder = nullptr;
};

typedef RefHandle<ConstantPoolEntry> EntryHandle;
// The null entry handle that code compares against.
inline const EntryHandle kNullEntry{};

// The token type of the class-file tree of an entry with the tag (tags 1 to 12; 0 for another).
int entryTreeType(uint8_t tag);

// An entry that holds one value of its own (Utf8, Unicode and the four numeric kinds), as the
// node class of its tree carries it.
template <class Node, uint8_t Tag>
class ValueEntry : public ConstantPoolEntry {
 public:
  typedef typename Node::Value Value;

  explicit ValueEntry(Value v) : value(std::move(v)) {}
  ValueEntry(const ValueEntry& other) = default;

  const Value& getValue() const { return value; }

  void assign(const ConstantPoolEntry& other) override {
    if (const ValueEntry* same = dynamic_cast<const ValueEntry*>(&other)) value = same->value;
  }
  uint8_t tag() const override { return Tag; }
  antlr::RefAST toAST() override { return antlr::RefAST(new Node(entryTreeType(Tag), value)); }

 protected:
  Value value;
};

class Utf8Entry : public ValueEntry<StringAST, kTagUtf8> {
 public:
  explicit Utf8Entry(std::string text) : ValueEntry(std::move(text)) {}
  // The text of another entry (its getText).
  explicit Utf8Entry(const EntryHandle& other) : ValueEntry(other ? other->getText() : std::string()) {}
  Utf8Entry(const Utf8Entry& other) = default;

  void setValue(std::string text) { value = std::move(text); }

  bool isUtf8() const override { return true; }
  std::string getText() const override { return value; }
};

class UnicodeEntry : public ValueEntry<WStringAST, kTagUnicode> {
 public:
  explicit UnicodeEntry(std::u16string text) : ValueEntry(std::move(text)) {}
  UnicodeEntry(const UnicodeEntry& other) = default;

  std::u16string getWideText() const override { return value; }
};

typedef ValueEntry<IntAST, kTagInteger> IntegerEntry;
typedef ValueEntry<FloatAST, kTagFloat> FloatEntry;
typedef ValueEntry<LongAST, kTagLong> LongEntry;
typedef ValueEntry<DoubleAST, kTagDouble> DoubleEntry;

// The common base of the entries that name one Utf8 entry, Class and String (tag 0 itself, no
// tree).
class Utf8RefEntry : public ConstantPoolEntry {
 public:
  void assign(const ConstantPoolEntry& other) override;
  void updateIndices() override;
  void resolve(const ConstantPool& pool) override;

 protected:
  // From an index; the handle stays null until resolve.
  explicit Utf8RefEntry(uint16_t utf8Idx) : utf8Index(utf8Idx) {}
  // From the Utf8 entry; the index is taken from it.
  explicit Utf8RefEntry(const EntryHandle& utf8Entry);
  Utf8RefEntry(const Utf8RefEntry& other) = default;

  uint16_t utf8Index;
  EntryHandle utf8;
};

// A Class entry: the Utf8 entry of a class name.
class ClassEntry : public Utf8RefEntry {
 public:
  explicit ClassEntry(uint16_t nameIdx) : Utf8RefEntry(nameIdx) {}
  explicit ClassEntry(const EntryHandle& nameEntry) : Utf8RefEntry(nameEntry) {}
  ClassEntry(const ClassEntry& other) = default;

  uint16_t getNameIndex() const { return utf8Index; }
  const EntryHandle& getName() const { return utf8; }
  // The class name (the text of the name entry; "" when it is not linked).
  std::string getClassName() const { return utf8 ? utf8->getText() : std::string(); }

  uint8_t tag() const override { return kTagClass; }
  antlr::RefAST toAST() override;
};

class StringEntry : public Utf8RefEntry {
 public:
  explicit StringEntry(uint16_t stringIdx) : Utf8RefEntry(stringIdx) {}
  explicit StringEntry(const EntryHandle& stringEntry) : Utf8RefEntry(stringEntry) {}
  StringEntry(const StringEntry& other) = default;

  uint16_t getStringIndex() const { return utf8Index; }
  const EntryHandle& getString() const { return utf8; }

  uint8_t tag() const override { return kTagString; }
  antlr::RefAST toAST() override;
};

// The common base of the entries that name two entries, NameAndType and the member references
// (tag 0 itself, no tree).
class RefPairEntry : public ConstantPoolEntry {
 public:
  void assign(const ConstantPoolEntry& other) override;
  void updateIndices() override;
  void resolve(const ConstantPool& pool) override;

 protected:
  // From the indices; the handles stay null until resolve links them to entries of the tags.
  RefPairEntry(uint16_t firstIdx, uint16_t secondIdx, uint8_t firstEntryTag, uint8_t secondEntryTag)
      : firstIndex(firstIdx), secondIndex(secondIdx), firstTag(firstEntryTag), secondTag(secondEntryTag) {}
  // From the entries; the indices are taken from them.
  RefPairEntry(const EntryHandle& firstEntry, const EntryHandle& secondEntry, uint8_t firstEntryTag,
               uint8_t secondEntryTag);
  RefPairEntry(const RefPairEntry& other) = default;
  // The tree of `rootType` over the two indices as nodes of their token types, built on the
  // first call and kept: later calls give the same tree.
  antlr::RefAST pairTree(int rootType, int firstType, int secondType);

  uint16_t firstIndex;
  uint16_t secondIndex;
  uint8_t firstTag;
  uint8_t secondTag;
  EntryHandle first;
  EntryHandle second;
};

class NameAndTypeEntry : public RefPairEntry {
 public:
  NameAndTypeEntry(uint16_t nameIdx, uint16_t descriptorIdx)
      : RefPairEntry(nameIdx, descriptorIdx, kTagUtf8, kTagUtf8) {}
  NameAndTypeEntry(const EntryHandle& nameEntry, const EntryHandle& descriptorEntry)
      : RefPairEntry(nameEntry, descriptorEntry, kTagUtf8, kTagUtf8) {}
  NameAndTypeEntry(const NameAndTypeEntry& other) = default;

  uint16_t getNameIndex() const { return firstIndex; }
  uint16_t getDescriptorIndex() const { return secondIndex; }
  const EntryHandle& getName() const { return first; }
  const EntryHandle& getDescriptor() const { return second; }

  uint8_t tag() const override { return kTagNameAndType; }
  antlr::RefAST toAST() override;
};

// The common base of the three member references (tag 0 itself, no tree).
class MemberRefEntry : public RefPairEntry {
 public:
  uint16_t getClassIndex() const { return firstIndex; }
  uint16_t getNameAndTypeIndex() const { return secondIndex; }
  const EntryHandle& getClassEntry() const { return first; }
  const EntryHandle& getNameAndType() const { return second; }

  // The tree of the reference's kind, built on the first call and kept.
  antlr::RefAST toAST() override;

 protected:
  MemberRefEntry(uint16_t classIdx, uint16_t nameAndTypeIdx)
      : RefPairEntry(classIdx, nameAndTypeIdx, kTagClass, kTagNameAndType) {}
  MemberRefEntry(const EntryHandle& classRef, const EntryHandle& nameAndTypeRef)
      : RefPairEntry(classRef, nameAndTypeRef, kTagClass, kTagNameAndType) {}
  MemberRefEntry(const MemberRefEntry& other) = default;
};

// A member reference of one kind: Fieldref, Methodref or InterfaceMethodref.
template <uint8_t Tag>
class MemberRefOf : public MemberRefEntry {
 public:
  MemberRefOf(uint16_t classIdx, uint16_t nameAndTypeIdx) : MemberRefEntry(classIdx, nameAndTypeIdx) {}
  MemberRefOf(const EntryHandle& classRef, const EntryHandle& nameAndTypeRef)
      : MemberRefEntry(classRef, nameAndTypeRef) {}
  MemberRefOf(const MemberRefOf& other) = default;
  uint8_t tag() const override { return Tag; }
};

typedef MemberRefOf<kTagFieldref> FieldrefEntry;
typedef MemberRefOf<kTagMethodref> MethodrefEntry;
typedef MemberRefOf<kTagInterfaceMethodref> InterfaceMethodrefEntry;

// The unusable slot after a long or double (tag 0): nothing refers to it. Its tree is the
// CONSTANT_CONTINUED node that the class-file writer passes over.
class ContinuedEntry : public ConstantPoolEntry {
 public:
  ContinuedEntry() = default;
  ContinuedEntry(const ContinuedEntry& other) = default;
  antlr::RefAST toAST() override;
};

// An entry of a kind the model does not hold as values (method handle, method type, dynamic,
// invokedynamic, module, package: tags 15-20), kept as the raw bytes that the class-file parser
// read (tag byte and body). It holds its position; nothing of the builders refers to it.
class OpaqueEntry : public ConstantPoolEntry {
 public:
  explicit OpaqueEntry(std::vector<unsigned char> raw) : bytes(std::move(raw)) {}
  OpaqueEntry(const OpaqueEntry& other) = default;
  const std::vector<unsigned char>& getBytes() const { return bytes; }

  void assign(const ConstantPoolEntry& other) override;
  // The first raw byte (0 when there is none).
  uint8_t tag() const override { return bytes.empty() ? 0 : bytes[0]; }
  // An ATTR_UNKNOWN node with the raw bytes, as the parser made it.
  antlr::RefAST toAST() override;

 private:
  std::vector<unsigned char> bytes;
};

class ConstantPool {
 public:
  typedef ConstantPool RefBase;

  // The largest number of entries a class file can hold (constant_pool_count is a u2).
  static constexpr std::size_t kMaxEntries = 65534;

  ConstantPool() = default;
  ConstantPool(const ConstantPool&) = delete;
  ConstantPool& operator=(const ConstantPool&) = delete;
  // Releases the entries.
  virtual ~ConstantPool();

  std::size_t size() const { return entries.size(); }
  // The entry at index (position index - 1); the null handle for 0 and indices past the end.
  const EntryHandle& at(std::size_t index) const;
  // The entry at index when it has the tag, else the null handle.
  EntryHandle at(std::size_t index, uint8_t tag) const;
  // The text of the Utf8 entry at index; "" when there is none.
  std::string textAt(std::size_t index) const;

  // Room for `count` slots, so that filling the pool moves no entries.
  void reserve(std::size_t count) { entries.reserve(count < kMaxEntries ? count : kMaxEntries); }
  // Appends the entry as its own slot, sets its index to the new size and refreshes its
  // indices; returns its handle. Throws std::length_error when the pool is full.
  EntryHandle appendSlot(const EntryHandle& entry);
  // The same, and after a long or a double also the ContinuedEntry of its second slot.
  EntryHandle append(const EntryHandle& entry);
  // Sets the index of every entry to its position + 1 and refreshes every entry's indices.
  void renumber();
  // Links every entry's null references through the pool (ConstantPoolEntry::resolve).
  void resolveAll();

  const std::vector<EntryHandle>& getEntries() const { return entries; }
  RefHolder<ConstantPool>* getHolder() const { return holder; }

 private:
  template <class>
  friend class RefHandle;

  std::vector<EntryHandle> entries;
  RefHolder<ConstantPool>* holder = nullptr;
};

typedef RefHandle<ConstantPool> PoolHandle;
// The null pool handle that code compares against.
inline const PoolHandle kNullPool{};

// Text of a Utf8 entry to the position (index - 1) of the entry that holds it, kept beside a pool
// by its builder.
typedef std::map<std::string, uint16_t> Utf8Positions;

// The Utf8 entry of `text` in the pool: the one that `positions` records, or a new one appended
// to the pool and recorded.
EntryHandle findOrAddUtf8(ConstantPool& pool, Utf8Positions& positions, const std::string& text);
