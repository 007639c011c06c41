// Constant-pool entries and the pool that holds them.
#include "ConstantPool.h"

#include "ClassFileTokenTypes.hpp"
#include "ValueAST.h"

#include <stdexcept>

namespace {

typedef ClassFileTokenTypes T;

antlr::RefAST shortNode(int type, uint16_t value) { return antlr::RefAST(new ShortAST(type, value)); }

antlr::RefAST emptyNode(int type) { return antlr::RefAST(new StringAST(type, std::string())); }

// The entry at `index` of the pool when it has the tag, else the null handle.
EntryHandle linked(const ConstantPool& pool, uint16_t index, uint8_t tag) { return pool.at(index, tag); }

uint16_t indexOf(const EntryHandle& entry, uint16_t fallback) { return entry ? entry->getIndex() : fallback; }

}  // namespace

// --- Base -----------------------------------------------------------------------------------

ConstantPoolEntry::~ConstantPoolEntry() = default;

void ConstantPoolEntry::assign(const ConstantPoolEntry&) {}

void ConstantPoolEntry::resolve(const ConstantPool&) {}

int entryTreeType(uint8_t tag) {
  static const int kTreeTypes[] = {
      0,
      T::CONSTANT_UTF8,
      T::CONSTANT_UNICODE,
      T::CONSTANT_INTEGER,
      T::CONSTANT_FLOAT,
      T::CONSTANT_LONG,
      T::CONSTANT_DOUBLE,
      T::CONSTANT_CLASS,
      T::CONSTANT_STRING,
      T::CONSTANT_FIELDREF,
      T::CONSTANT_METHODREF,
      T::CONSTANT_INTERFACEMETHODREF,
      T::CONSTANT_NAMEANDTYPE,
  };
  return tag < sizeof kTreeTypes / sizeof kTreeTypes[0] ? kTreeTypes[tag] : 0;
}

// --- Class and String -----------------------------------------------------------------------

Utf8RefEntry::Utf8RefEntry(const EntryHandle& utf8Entry) : utf8Index(indexOf(utf8Entry, 0)), utf8(utf8Entry) {}

void Utf8RefEntry::assign(const ConstantPoolEntry& other) {
  const Utf8RefEntry* same = dynamic_cast<const Utf8RefEntry*>(&other);
  if (same && same->tag() == tag()) {
    utf8Index = same->utf8Index;
    utf8 = same->utf8;
  }
}

void Utf8RefEntry::updateIndices() { utf8Index = indexOf(utf8, utf8Index); }

void Utf8RefEntry::resolve(const ConstantPool& pool) {
  if (!utf8) utf8 = linked(pool, utf8Index, kTagUtf8);
}

antlr::RefAST ClassEntry::toAST() { return shortNode(T::CONSTANT_CLASS, utf8Index); }

antlr::RefAST StringEntry::toAST() {
  antlr::RefAST root = emptyNode(T::CONSTANT_STRING);
  root->setFirstChild(shortNode(T::STRING_INDEX, utf8Index));
  return root;
}

// --- NameAndType and member references ---------------------------------------------------

RefPairEntry::RefPairEntry(const EntryHandle& firstEntry, const EntryHandle& secondEntry, uint8_t firstEntryTag,
                           uint8_t secondEntryTag)
    : firstIndex(indexOf(firstEntry, 0)),
      secondIndex(indexOf(secondEntry, 0)),
      firstTag(firstEntryTag),
      secondTag(secondEntryTag),
      first(firstEntry),
      second(secondEntry) {}

void RefPairEntry::assign(const ConstantPoolEntry& other) {
  const RefPairEntry* same = dynamic_cast<const RefPairEntry*>(&other);
  if (same && same->tag() == tag()) {
    firstIndex = same->firstIndex;
    secondIndex = same->secondIndex;
    first = same->first;
    second = same->second;
  }
}

void RefPairEntry::updateIndices() {
  firstIndex = indexOf(first, firstIndex);
  secondIndex = indexOf(second, secondIndex);
}

void RefPairEntry::resolve(const ConstantPool& pool) {
  if (!first) first = linked(pool, firstIndex, firstTag);
  if (!second) second = linked(pool, secondIndex, secondTag);
}

antlr::RefAST RefPairEntry::pairTree(int rootType, int firstType, int secondType) {
  if (!node)
    node = withChildren(emptyNode(rootType), {shortNode(firstType, firstIndex), shortNode(secondType, secondIndex)});
  return node;
}

antlr::RefAST NameAndTypeEntry::toAST() { return pairTree(T::CONSTANT_NAMEANDTYPE, T::NAME, T::TYPE); }

antlr::RefAST MemberRefEntry::toAST() { return pairTree(entryTreeType(tag()), T::CLASS_INDEX, T::NAME_AND_TYPE_INDEX); }

// --- Placeholders ---------------------------------------------------------------------------

antlr::RefAST ContinuedEntry::toAST() { return emptyNode(T::CONSTANT_CONTINUED); }

void OpaqueEntry::assign(const ConstantPoolEntry& other) {
  if (const OpaqueEntry* same = dynamic_cast<const OpaqueEntry*>(&other)) bytes = same->bytes;
}

antlr::RefAST OpaqueEntry::toAST() { return antlr::RefAST(new ByteArrayAST(T::ATTR_UNKNOWN, bytes)); }

// --- Pool -----------------------------------------------------------------------------------

ConstantPool::~ConstantPool() = default;

const EntryHandle& ConstantPool::at(std::size_t index) const {
  if (index == 0 || index > entries.size()) return kNullEntry;
  return entries[index - 1];
}

EntryHandle ConstantPool::at(std::size_t index, uint8_t tag) const {
  const EntryHandle& entry = at(index);
  if (!entry || entry->tag() != tag) return EntryHandle();
  return entry;
}

std::string ConstantPool::textAt(std::size_t index) const {
  const EntryHandle& entry = at(index);
  return entry && entry->isUtf8() ? entry->getText() : std::string();
}

EntryHandle ConstantPool::appendSlot(const EntryHandle& entry) {
  if (entries.size() >= kMaxEntries) throw std::length_error("the constant pool holds more than 65534 entries");
  entries.push_back(entry);
  if (entry) {
    entry->setIndex(static_cast<uint16_t>(entries.size()));
    entry->updateIndices();
  }
  return entry;
}

EntryHandle ConstantPool::append(const EntryHandle& entry) {
  appendSlot(entry);
  if (entry && entry->slotCount() == 2) appendSlot(EntryHandle::make<ContinuedEntry>());
  return entry;
}

void ConstantPool::renumber() {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i]) entries[i]->setIndex(static_cast<uint16_t>(i + 1));
  }
  for (const EntryHandle& entry : entries) {
    if (entry) entry->updateIndices();
  }
}

void ConstantPool::resolveAll() {
  for (const EntryHandle& entry : entries) {
    if (entry) entry->resolve(*this);
  }
}

EntryHandle findOrAddUtf8(ConstantPool& pool, Utf8Positions& positions, const std::string& text) {
  const auto found = positions.find(text);
  if (found != positions.end()) {
    const EntryHandle& entry = pool.at(found->second + 1u);
    if (entry && entry->isUtf8() && entry->getText() == text) return entry;
  }
  const uint16_t position = static_cast<uint16_t>(pool.size());
  EntryHandle entry = pool.appendSlot(EntryHandle::make<Utf8Entry>(text));
  positions[text] = position;
  return entry;
}
