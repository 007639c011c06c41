// The constant-pool model: shared ownership of entries, pools and member builders; the tree node
// of every entry kind (written by the class-file writer and parsed back); indices kept right as
// entries are linked, added and renumbered.
#include "ClassgenTestSupport.h"
#include "ConstantPool.h"
#include "MemberBuilders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

using namespace classgen_test;

namespace {

// An entry that counts its destructions.
class CountedEntry : public Utf8Entry {
 public:
  explicit CountedEntry(std::string text) : Utf8Entry(std::move(text)) {}
  CountedEntry(const CountedEntry& other) : Utf8Entry(other) {}
  ~CountedEntry() override { ++destroyed; }
  static int destroyed;
};
int CountedEntry::destroyed = 0;

class CountedPool : public ConstantPool {
 public:
  ~CountedPool() override { ++destroyed; }
  static int destroyed;
};
int CountedPool::destroyed = 0;

class SharingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CountedEntry::destroyed = 0;
    CountedPool::destroyed = 0;
  }
};

// --- Shared ownership -------------------------------------------------------------------------

TEST_F(SharingTest, HandlesOfOneObjectShareOneHolderAndDestroyItOnce) {
  CountedEntry* raw = new CountedEntry("x");
  {
    EntryHandle first(raw);
    EntryHandle second(raw);  // found again through the back-pointer
    EXPECT_EQ(first.holder(), second.holder());
    EXPECT_EQ(first.useCount(), 2);
    RefHandle<Utf8Entry> typed(raw);
    EntryHandle widened(typed);
    EXPECT_EQ(first.useCount(), 4);
    EXPECT_TRUE(widened == first);
    EXPECT_EQ(raw->getHolder(), first.holder());
    second.reset();
    typed = RefHandle<Utf8Entry>();
    EXPECT_EQ(first.useCount(), 2);
    EXPECT_EQ(CountedEntry::destroyed, 0);
  }
  EXPECT_EQ(CountedEntry::destroyed, 1);
}

TEST_F(SharingTest, AnEntryMadeWithItsHolderIsSharedAndDestroyedLikeAnyOther) {
  {
    EntryHandle made = EntryHandle::make<CountedEntry>("y");
    EXPECT_EQ(made.useCount(), 1);
    EXPECT_EQ(made->getText(), "y");
    // A handle made again from the object finds the same holder.
    CountedEntry* raw = static_cast<CountedEntry*>(made.get());
    EntryHandle again(raw);
    EXPECT_TRUE(again == made);
    EXPECT_EQ(made.useCount(), 2);
    ConstantPool pool;
    pool.appendSlot(again);
    made.reset();
    again.reset();
    EXPECT_EQ(CountedEntry::destroyed, 0);
    EXPECT_EQ(pool.at(1)->getText(), "y");
  }
  EXPECT_EQ(CountedEntry::destroyed, 1);
}

TEST_F(SharingTest, AssigningTheSameHolderChangesNoCount) {
  EntryHandle a(new CountedEntry("a"));
  EntryHandle b(a);
  ASSERT_EQ(a.useCount(), 2);
  const EntryHandle& alias = a;
  a = alias;
  EXPECT_EQ(a.useCount(), 2);
  a = b;
  EXPECT_EQ(a.useCount(), 2);
  a = a.get();  // from the raw pointer of the object it holds
  EXPECT_EQ(a.useCount(), 2);
  b = std::move(a);
  EXPECT_EQ(b.useCount(), 1);
  EXPECT_TRUE(a.isNull());
  EXPECT_EQ(CountedEntry::destroyed, 0);

  // Assigning a new object takes it first, then lets the old one go.
  b = new CountedEntry("b");
  EXPECT_EQ(CountedEntry::destroyed, 1);
  EXPECT_EQ(b->getText(), "b");
  b = nullptr;
  EXPECT_EQ(CountedEntry::destroyed, 2);
}

TEST_F(SharingTest, ACopiedEntryIsOwnedOnItsOwn) {
  EntryHandle original(new CountedEntry("text"));
  const CountedEntry copy(*static_cast<CountedEntry*>(original.get()));
  EXPECT_EQ(copy.getHolder(), nullptr);
  {
    EntryHandle ofCopy(new CountedEntry(copy));
    EXPECT_NE(ofCopy.holder(), original.holder());
    EXPECT_EQ(ofCopy.useCount(), 1);
    EXPECT_EQ(original.useCount(), 1);
    EXPECT_EQ(ofCopy->getText(), "text");
  }
  EXPECT_EQ(CountedEntry::destroyed, 1);
  EXPECT_EQ(original->getText(), "text");

  // A Utf8 entry made from another entry's handle takes its text, not the entry.
  Utf8Entry fromHandle(original);
  EXPECT_EQ(fromHandle.getText(), "text");
  EXPECT_EQ(fromHandle.getHolder(), nullptr);
}

TEST_F(SharingTest, APoolReleasesEntriesThatReferToEachOtherOnce) {
  {
    PoolHandle pool(new CountedPool());
    PoolHandle again(pool.get());
    EXPECT_EQ(pool.useCount(), 2);
    EntryHandle name = pool->append(EntryHandle(new CountedEntry("a/B")));
    EntryHandle cls = pool->append(EntryHandle(new ClassEntry(name)));
    EntryHandle type = pool->append(EntryHandle(new CountedEntry("I")));
    EntryHandle field = pool->append(EntryHandle(new CountedEntry("f")));
    EntryHandle nat = pool->append(EntryHandle(new NameAndTypeEntry(field, type)));
    pool->append(EntryHandle(new FieldrefEntry(cls, nat)));
    EXPECT_EQ(name.useCount(), 3);  // here, the pool, the Class entry
    again.reset();
  }
  EXPECT_EQ(CountedPool::destroyed, 1);
  EXPECT_EQ(CountedEntry::destroyed, 3);
}

TEST_F(SharingTest, MemberBuildersAreSharedLikeEntries) {
  PoolHandle pool(new ConstantPool());
  Utf8Positions names;
  FieldInfoBuilder* raw = new FieldInfoBuilder(*pool, names, 0, "peer", "J");
  MemberHandle first(raw);
  MemberHandle second(raw);
  EXPECT_EQ(first.useCount(), 2);
  EXPECT_EQ(first.as<FieldInfoBuilder>().get(), raw);
  EXPECT_TRUE(first.as<MethodInfoBuilder>().isNull());
  EXPECT_EQ(first.useCount(), 2);
}

TEST(MemberEntries, AFieldAddsItsNameBeforeItsDescriptorOnEveryCompiler) {
  // The generated class's pool (and so its bytes) must be the same whichever order a compiler
  // evaluates arguments in: a new name comes first, then a new descriptor; texts already in
  // the pool are found, not added again.
  const struct {
    std::vector<std::string> before;
    std::vector<std::string> after;
  } cases[] = {
      {{}, {"peer", "J"}},
      {{"J"}, {"J", "peer"}},
      {{"peer"}, {"peer", "J"}},
      {{"Code", "peer", "J"}, {"Code", "peer", "J"}},
  };
  for (const auto& c : cases) {
    PoolHandle pool(new ConstantPool());
    Utf8Positions names;
    for (const std::string& text : c.before) findOrAddUtf8(*pool, names, text);
    MemberHandle field(new FieldInfoBuilder(*pool, names, 0, "peer", "J"));
    std::vector<std::string> texts;
    for (const EntryHandle& entry : pool->getEntries()) texts.push_back(entry->getText());
    EXPECT_EQ(texts, c.after);
    EXPECT_EQ(pool->textAt(field->getNameIndex()), "peer");
    EXPECT_EQ(pool->textAt(field->getDescriptorIndex()), "J");
  }
}

TEST(NullHandles, AreConstAndNull) {
  static_assert(std::is_const<decltype(kNullEntry)>::value, "the null entry handle is const");
  static_assert(std::is_const<decltype(kNullMember)>::value, "the null member handle is const");
  static_assert(std::is_const<decltype(kNullPool)>::value, "the null pool handle is const");
  EXPECT_TRUE(kNullEntry.isNull());
  EXPECT_EQ(kNullEntry.get(), nullptr);
  EntryHandle empty;
  EXPECT_TRUE(empty == kNullEntry);
  EXPECT_EQ(kNullPool.useCount(), 0);
}

// --- Trees of every kind ----------------------------------------------------------------------

TEST(EntryTrees, EveryKindMakesTheNodeOfItsTag) {
  EXPECT_FALSE(ConstantPoolEntry().toAST());

  Utf8Entry utf8("java/lang/Object");
  antlr::RefAST node = utf8.toAST();
  EXPECT_EQ(node->getType(), T::CONSTANT_UTF8);
  EXPECT_EQ(dynamic_cast<StringAST&>(*node).getValue(), "java/lang/Object");

  UnicodeEntry unicode(u"\u00e9t\u00e9");
  node = unicode.toAST();
  EXPECT_EQ(node->getType(), T::CONSTANT_UNICODE);
  EXPECT_EQ(dynamic_cast<WStringAST&>(*node).getValue(), u"\u00e9t\u00e9");

  node = IntegerEntry(-123456).toAST();
  EXPECT_EQ(node->getType(), T::CONSTANT_INTEGER);
  EXPECT_EQ(dynamic_cast<IntAST&>(*node).getValue(), -123456);

  node = FloatEntry(1.5f).toAST();
  EXPECT_EQ(node->getType(), T::CONSTANT_FLOAT);
  EXPECT_EQ(dynamic_cast<FloatAST&>(*node).getValue(), 1.5f);

  const int64_t wide = static_cast<int64_t>(0x8000000000000001ull);
  node = LongEntry(wide).toAST();
  EXPECT_EQ(node->getType(), T::CONSTANT_LONG);
  EXPECT_EQ(dynamic_cast<LongAST&>(*node).getValue(), wide);

  const double precise = std::nextafter(1.0, 2.0);
  node = DoubleEntry(precise).toAST();
  EXPECT_EQ(node->getType(), T::CONSTANT_DOUBLE);
  const double held = dynamic_cast<DoubleAST&>(*node).getValue();
  EXPECT_EQ(std::memcmp(&held, &precise, sizeof held), 0);

  node = ClassEntry(7).toAST();
  EXPECT_EQ(node->getType(), T::CONSTANT_CLASS);
  EXPECT_EQ(shortOf(node), 7);

  node = StringEntry(9).toAST();
  EXPECT_EQ(node->getType(), T::CONSTANT_STRING);
  ASSERT_EQ(children(node).size(), 1u);
  EXPECT_EQ(node->getFirstChild()->getType(), T::STRING_INDEX);
  EXPECT_EQ(shortOf(node->getFirstChild()), 9);

  const struct {
    ConstantPoolEntry* entry;
    int type;
  } refs[] = {{new FieldrefEntry(2, 3), T::CONSTANT_FIELDREF},
              {new MethodrefEntry(4, 5), T::CONSTANT_METHODREF},
              {new InterfaceMethodrefEntry(6, 7), T::CONSTANT_INTERFACEMETHODREF}};
  for (const auto& ref : refs) {
    EntryHandle held(ref.entry);
    node = held->toAST();
    EXPECT_EQ(node->getType(), ref.type);
    const std::vector<antlr::RefAST> kids = children(node);
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_EQ(kids[0]->getType(), T::CLASS_INDEX);
    EXPECT_EQ(kids[1]->getType(), T::NAME_AND_TYPE_INDEX);
    const MemberRefEntry& member = dynamic_cast<MemberRefEntry&>(*held);
    EXPECT_EQ(shortOf(kids[0]), member.getClassIndex());
    EXPECT_EQ(shortOf(kids[1]), member.getNameAndTypeIndex());
  }

  NameAndTypeEntry nat(11, 12);
  node = nat.toAST();
  EXPECT_EQ(node->getType(), T::CONSTANT_NAMEANDTYPE);
  ASSERT_EQ(children(node).size(), 2u);
  EXPECT_EQ(children(node)[0]->getType(), T::NAME);
  EXPECT_EQ(shortOf(children(node)[0]), 11);
  EXPECT_EQ(children(node)[1]->getType(), T::TYPE);
  EXPECT_EQ(shortOf(children(node)[1]), 12);

  EXPECT_EQ(ContinuedEntry().toAST()->getType(), T::CONSTANT_CONTINUED);
  node = OpaqueEntry({16, 0, 5}).toAST();
  EXPECT_EQ(node->getType(), T::ATTR_UNKNOWN);
  EXPECT_EQ(dynamic_cast<ByteArrayAST&>(*node).value(), (std::vector<unsigned char>{16, 0, 5}));
  EXPECT_EQ(OpaqueEntry({16, 0, 5}).tag(), 16);
}

TEST(EntryTrees, CompoundTreesAreMadeOnceAndKeepTheirFirstIndices) {
  EntryHandle name(new Utf8Entry("f"));
  EntryHandle type(new Utf8Entry("I"));
  name->setIndex(3);
  type->setIndex(4);
  NameAndTypeEntry nat(name, type);
  const antlr::RefAST first = nat.toAST();
  name->setIndex(30);
  nat.updateIndices();
  EXPECT_EQ(nat.getNameIndex(), 30);
  const antlr::RefAST second = nat.toAST();
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(shortOf(second->getFirstChild()), 3);

  MethodrefEntry ref(5, 6);
  EXPECT_EQ(ref.toAST().get(), ref.toAST().get());
  // The single-node kinds and String make a new tree every time.
  ClassEntry cls(2);
  EXPECT_NE(cls.toAST().get(), cls.toAST().get());
}

TEST(EntryTrees, TextsAndTagsByKind) {
  EXPECT_EQ(Utf8Entry("t").getText(), "t");
  EXPECT_TRUE(Utf8Entry("t").isUtf8());
  EXPECT_EQ(UnicodeEntry(u"w").getText(), "");
  EXPECT_EQ(UnicodeEntry(u"w").getWideText(), u"w");
  EXPECT_FALSE(UnicodeEntry(u"w").isUtf8());
  EXPECT_EQ(IntegerEntry(1).getText(), "");
  EXPECT_EQ(ClassEntry(1).getText(), "");
  EXPECT_EQ(Utf8Entry("t").getWideText(), u"");
  const std::vector<std::pair<uint8_t, uint8_t>> tags = {{Utf8Entry("").tag(), 1},
                                                         {UnicodeEntry(u"").tag(), 2},
                                                         {IntegerEntry(0).tag(), 3},
                                                         {FloatEntry(0).tag(), 4},
                                                         {LongEntry(0).tag(), 5},
                                                         {DoubleEntry(0).tag(), 6},
                                                         {ClassEntry(0).tag(), 7},
                                                         {StringEntry(0).tag(), 8},
                                                         {FieldrefEntry(0, 0).tag(), 9},
                                                         {MethodrefEntry(0, 0).tag(), 10},
                                                         {InterfaceMethodrefEntry(0, 0).tag(), 11},
                                                         {NameAndTypeEntry(0, 0).tag(), 12},
                                                         {ContinuedEntry().tag(), 0}};
  for (const auto& tag : tags) EXPECT_EQ(tag.first, tag.second);

  // assign copies the value of an entry of the same kind only.
  LongEntry target(1);
  target.assign(LongEntry(std::numeric_limits<int64_t>::min()));
  EXPECT_EQ(target.getValue(), std::numeric_limits<int64_t>::min());
  target.assign(IntegerEntry(5));
  EXPECT_EQ(target.getValue(), std::numeric_limits<int64_t>::min());
  MethodrefEntry method(1, 2);
  method.assign(FieldrefEntry(7, 8));
  EXPECT_EQ(method.getClassIndex(), 1);
  method.assign(MethodrefEntry(7, 8));
  EXPECT_EQ(method.getClassIndex(), 7);
}

// A class file whose pool holds every kind the model writes, made of the entries' trees.
TEST(EntryTrees, APoolOfEveryKindIsWrittenAndReadBack) {
  PoolHandle pool(new ConstantPool());
  Utf8Positions names;
  const EntryHandle self = pool->append(EntryHandle(new ClassEntry(findOrAddUtf8(*pool, names, "p/Every"))));
  const EntryHandle object = pool->append(EntryHandle(new ClassEntry(findOrAddUtf8(*pool, names, "java/lang/Object"))));
  pool->append(EntryHandle(new UnicodeEntry(u"wide")));
  pool->append(EntryHandle(new IntegerEntry(-7)));
  pool->append(EntryHandle(new FloatEntry(0.25f)));
  pool->append(EntryHandle(new LongEntry(static_cast<int64_t>(0xfedcba9876543210ull))));
  pool->append(EntryHandle(new DoubleEntry(-2.5)));
  pool->append(EntryHandle(new StringEntry(findOrAddUtf8(*pool, names, "constant"))));
  const EntryHandle nat = pool->append(
      EntryHandle(new NameAndTypeEntry(findOrAddUtf8(*pool, names, "m"), findOrAddUtf8(*pool, names, "()V"))));
  pool->append(EntryHandle(new FieldrefEntry(self, nat)));
  pool->append(EntryHandle(new MethodrefEntry(object, nat)));
  pool->append(EntryHandle(new InterfaceMethodrefEntry(self, nat)));
  pool->appendSlot(EntryHandle(new OpaqueEntry({16, 0, 10})));  // a MethodType of "()V"

  // MAGIC VERSION CONSTANT_POOL THIS_CLASS FIELDS METHODS ATTRIBUTES
  antlr::RefAST magic(new ByteArrayAST(T::MAGIC_NUMBER, {0xca, 0xfe, 0xba, 0xbe}));
  antlr::RefAST version(new StringAST(T::VERSION, ""));
  antlr::RefAST minor(new ShortAST(T::MINOR, 0));
  version->setFirstChild(minor);
  minor->setNextSibling(antlr::RefAST(new ShortAST(T::MAJOR, 52)));
  antlr::RefAST cp(new ShortAST(T::CONSTANT_POOL, static_cast<uint16_t>(pool->size() + 1)));
  antlr::RefAST last;
  for (const EntryHandle& entry : pool->getEntries()) {
    antlr::RefAST node = entry->toAST();
    if (last)
      last->setNextSibling(node);
    else
      cp->setFirstChild(node);
    last = node;
  }
  antlr::RefAST thisClass(new StringAST(T::THIS_CLASS, ""));
  antlr::RefAST flags(new ShortAST(T::ACCESS_FLAGS, 0x21));
  antlr::RefAST info(new ShortAST(T::CLASS_INFO, self->getIndex()));
  antlr::RefAST extends(new StringAST(T::EXTENDS, ""));
  extends->setFirstChild(antlr::RefAST(new ShortAST(T::CLASS_INFO, object->getIndex())));
  thisClass->setFirstChild(flags);
  flags->setNextSibling(info);
  info->setNextSibling(extends);
  extends->setNextSibling(antlr::RefAST(new StringAST(T::IMPLEMENTS, "")));
  antlr::RefAST nodes[] = {magic,
                           version,
                           cp,
                           thisClass,
                           antlr::RefAST(new ShortAST(T::FIELDS, 0)),
                           antlr::RefAST(new ShortAST(T::METHODS, 0)),
                           antlr::RefAST(new ShortAST(T::ATTRIBUTES, 0))};
  for (std::size_t i = 1; i < sizeof nodes / sizeof nodes[0]; ++i) nodes[i - 1]->setNextSibling(nodes[i]);

  const Written written = writeTree(magic);
  ASSERT_EQ(written.errors, 0u);
  const antlr::RefAST parsed = parseClassBytes(written.bytes);
  const std::vector<antlr::RefAST> read = poolByIndex(parsed);
  ASSERT_EQ(read.size(), pool->size() + 1);
  for (std::size_t i = 1; i < read.size(); ++i) {
    const antlr::RefAST expected = pool->at(i)->toAST();
    EXPECT_EQ(read[i]->getType(), expected->getType()) << "index " << i;
    EXPECT_EQ(read[i]->getText(), expected->getText()) << "index " << i;
    const std::vector<antlr::RefAST> readKids = children(read[i]);
    const std::vector<antlr::RefAST> expectedKids = children(expected);
    ASSERT_EQ(readKids.size(), expectedKids.size()) << "index " << i;
    for (std::size_t k = 0; k < readKids.size(); ++k)
      EXPECT_EQ(readKids[k]->getText(), expectedKids[k]->getText()) << "index " << i;
  }
  EXPECT_EQ(classAt(read, shortOf(child(topLevel(parsed, T::THIS_CLASS), T::CLASS_INFO))), "p/Every");
}

// --- Indices ----------------------------------------------------------------------------------

TEST(Renumbering, IndicesFollowTheEntriesTheyName) {
  // Entries linked by handle before they are in a pool: their indices come with the appends.
  EntryHandle name(new Utf8Entry("a/B"));
  EntryHandle cls(new ClassEntry(name));
  EXPECT_EQ(dynamic_cast<ClassEntry&>(*cls).getNameIndex(), 0);
  PoolHandle pool(new ConstantPool());
  pool->append(EntryHandle(new LongEntry(1)));  // indices 1 and 2
  pool->append(cls);                            // index 3, still naming index 0
  pool->append(name);                           // index 4
  EXPECT_EQ(pool->size(), 4u);
  EXPECT_EQ(pool->at(2)->tag(), kTagNone);
  EXPECT_EQ(cls->getIndex(), 3);
  EXPECT_EQ(name->getIndex(), 4);
  EXPECT_EQ(dynamic_cast<ClassEntry&>(*cls).getNameIndex(), 0);
  cls->updateIndices();
  EXPECT_EQ(dynamic_cast<ClassEntry&>(*cls).getNameIndex(), 4);
  EXPECT_EQ(dynamic_cast<ClassEntry&>(*cls).getClassName(), "a/B");

  // renumber sets every index by position and refreshes every reference.
  name->setIndex(99);
  cls->setIndex(98);
  pool->renumber();
  EXPECT_EQ(name->getIndex(), 4);
  EXPECT_EQ(cls->getIndex(), 3);
  EXPECT_EQ(dynamic_cast<ClassEntry&>(*cls).getNameIndex(), 4);
  EXPECT_EQ(pool->at(1)->getIndex(), 1);
}

TEST(Renumbering, ReferencesByIndexAreLinkedToEntriesOfTheirKind) {
  PoolHandle pool(new ConstantPool());
  // 1 Methodref #2.#3 (forward references), 2 Class #4, 3 NameAndType #5:#6, 4..6 texts,
  // 7 String #1 (not a text), 8 Class #0, 9 Class #50
  pool->appendSlot(EntryHandle(new MethodrefEntry(2, 3)));
  pool->appendSlot(EntryHandle(new ClassEntry(4)));
  pool->appendSlot(EntryHandle(new NameAndTypeEntry(5, 6)));
  pool->appendSlot(EntryHandle(new Utf8Entry("p/Q")));
  pool->appendSlot(EntryHandle(new Utf8Entry("run")));
  pool->appendSlot(EntryHandle(new Utf8Entry("()V")));
  pool->appendSlot(EntryHandle(new StringEntry(1)));
  pool->appendSlot(EntryHandle(new ClassEntry(0)));
  pool->appendSlot(EntryHandle(new ClassEntry(50)));
  pool->resolveAll();

  const MethodrefEntry& ref = dynamic_cast<const MethodrefEntry&>(*pool->at(1));
  EXPECT_EQ(ref.getClassEntry().get(), pool->at(2).get());
  EXPECT_EQ(ref.getNameAndType().get(), pool->at(3).get());
  const NameAndTypeEntry& nat = dynamic_cast<const NameAndTypeEntry&>(*pool->at(3));
  EXPECT_EQ(nat.getName()->getText(), "run");
  EXPECT_EQ(nat.getDescriptor()->getText(), "()V");
  EXPECT_EQ(dynamic_cast<const ClassEntry&>(*pool->at(2)).getClassName(), "p/Q");
  // Indices that name nothing of the right kind stay unlinked, with their values.
  EXPECT_TRUE(dynamic_cast<const StringEntry&>(*pool->at(7)).getString().isNull());
  EXPECT_EQ(dynamic_cast<const StringEntry&>(*pool->at(7)).getStringIndex(), 1);
  EXPECT_TRUE(dynamic_cast<const ClassEntry&>(*pool->at(8)).getName().isNull());
  EXPECT_EQ(dynamic_cast<const ClassEntry&>(*pool->at(9)).getClassName(), "");
  EXPECT_TRUE(pool->at(0).isNull());
  EXPECT_TRUE(pool->at(10).isNull());
  EXPECT_TRUE(pool->at(2, kTagUtf8).isNull());
  EXPECT_EQ(pool->textAt(5), "run");
  EXPECT_EQ(pool->textAt(2), "");

  // A second resolve leaves linked references alone.
  pool->resolveAll();
  EXPECT_EQ(ref.getClassEntry().get(), pool->at(2).get());
}

TEST(Renumbering, TextsAreFoundOnceAndThePoolHasALimit) {
  PoolHandle pool(new ConstantPool());
  Utf8Positions names;
  const EntryHandle a = findOrAddUtf8(*pool, names, "a");
  const EntryHandle b = findOrAddUtf8(*pool, names, "b");
  EXPECT_EQ(findOrAddUtf8(*pool, names, "a").get(), a.get());
  EXPECT_EQ(pool->size(), 2u);
  EXPECT_EQ(names.at("b"), 1);
  EXPECT_EQ(b->getIndex(), 2);

  for (std::size_t i = pool->size(); i < ConstantPool::kMaxEntries; ++i)
    pool->appendSlot(EntryHandle(new IntegerEntry(static_cast<int32_t>(i))));
  EXPECT_EQ(pool->at(ConstantPool::kMaxEntries)->getIndex(), 65534);
  EXPECT_THROW(pool->appendSlot(EntryHandle(new IntegerEntry(0))), std::length_error);
  EXPECT_EQ(pool->size(), ConstantPool::kMaxEntries);
}

}  // namespace
