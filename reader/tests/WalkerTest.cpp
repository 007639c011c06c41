// The class-info walker: what it reports, in which order and at which inheritance level, with a
// generator that records every report; constants against a java run; failures and cycles.
#include "ClassInfoWalker.hpp"
#include "ClassRepository.h"
#include "ProxyGenerator.h"
#include "ReaderTestSupport.h"
#include "TestSupport.h"
#include "ValueAST.h"

#include <antlr/ASTFactory.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using kavrin_test::TempDir;

namespace {

const std::string kClasses = kavrin_test::kFixtureClasses;

struct Report {
  char what;  // 'K' kind, 'F' field, 'M' method, 'C' constructor
  std::string key;
  uint16_t flags;
  int level;
  ConstValue value;
  std::string name;
  std::string descriptor;
};

// The reports of one walk.
struct Walk {
  // "level:what:key" per report (the kind without a level).
  std::vector<std::string> trace() const {
    std::vector<std::string> out;
    for (const Report& r : reports)
      out.push_back(r.what == 'K' ? "K:" + r.key : std::to_string(r.level) + ":" + r.what + ":" + r.key);
    return out;
  }
  const Report* find(char what, const std::string& key, int level) const {
    for (const Report& r : reports)
      if (r.what == what && r.key == key && r.level == level) return &r;
    return nullptr;
  }

  std::vector<Report> reports;
  // "name" or "name: problem" per super type that could not be loaded, in order.
  std::vector<std::string> missing;
};

// Records every report of a walk, unfiltered.
class RecordingGenerator : public ProxyGenerator {
 public:
  void setIsInterface(bool isInterface) override {
    walk.reports.push_back({'K', isInterface ? "interface" : "class", 0, -1, ConstValue(), "", ""});
  }
  void addField(const FieldDescriptor& f, int16_t level) override {
    walk.reports.push_back(
        {'F', f.getName() + f.getType(), f.getAccessFlags(), level, f.getConstValue(), f.getName(), f.getType()});
  }
  void addMethod(const MethodDescriptor& m, int16_t level) override {
    walk.reports.push_back(
        {'M', m.getName() + m.getSignature(), m.getAccessFlags(), level, ConstValue(), m.getName(), m.getSignature()});
  }
  void addConstructor(const MethodDescriptor& m, int16_t level) override {
    walk.reports.push_back(
        {'C', m.getName() + m.getSignature(), m.getAccessFlags(), level, ConstValue(), m.getName(), m.getSignature()});
  }
  void superTypeMissing(const std::string& superType, const std::string& problem) override {
    walk.missing.push_back(problem.empty() ? superType : superType + ": " + problem);
  }

  Walk walk;
};

struct Options {
  bool useGlobalFilter = true;
  bool fieldsExcludeInherited = false;
  bool methodsExcludeInherited = false;
};

void walk(const antlr::RefAST& tree, ProxyGenerator& gen, const Options& options = Options()) {
  antlr::ASTFactory factory;
  ClassInfoWalker walker(&gen, 0);
  walker.setFieldsExcludeInherited(options.fieldsExcludeInherited);
  walker.setMethodsExcludeInherited(options.methodsExcludeInherited);
  walker.setUseGlobalFilter(options.useGlobalFilter);
  ClassInfoWalker::initializeASTFactory(factory);
  walker.setASTFactory(&factory);
  walker.classFile(tree);
}

Walk walkClass(const std::string& name, const Options& options = Options()) {
  RecordingGenerator gen;
  ClassRepository loader;
  antlr::RefAST tree = loader.loadClass(name, "");
  EXPECT_TRUE(tree) << name;
  walk(tree, gen, options);
  return gen.walk;
}

// --- javap as the oracle ----------------------------------------------------------------------

struct JavapClass {
  bool isInterface = false;
  std::string super;                                  // dotted; empty when javap names none
  std::vector<std::string> interfaces;                // dotted, in declaration order
  std::vector<std::pair<char, std::string>> members;  // 'F', 'M', 'C' with the member key, file order
};

std::string trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(' ');
  const std::size_t e = s.find_last_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

std::string lastWord(const std::string& s) {
  const std::size_t space = s.rfind(' ');
  return space == std::string::npos ? s : s.substr(space + 1);
}

// The classes whose javap views the tests use, read with one javap run (each run costs a VM start).
const char* const kJavapClasses[] = {"fixtures.Derived", "fixtures.Middle",    "fixtures.Base",
                                     "fixtures.Named",   "fixtures.Sized",     "fixtures.impl.Child",
                                     "java.lang.Object", "java.util.ArrayList"};

// Parses `javap -p -s` output of one or more classes: members in the order of the class file.
void parseJavap(const std::string& output, std::map<std::string, JavapClass>& classes) {
  std::istringstream in(output);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);

  JavapClass* current = nullptr;
  std::string className;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string line = lines[i];
    if (!line.empty() && line[0] != ' ' && line.back() == '{') {
      std::string head = line.substr(0, line.find('{'));
      const bool isInterface = head.find("interface ") != std::string::npos;
      const std::size_t nameAt = head.find(isInterface ? "interface " : "class ");
      if (nameAt == std::string::npos) continue;
      std::string rest = head.substr(nameAt + (isInterface ? 10 : 6));
      className = rest.substr(0, rest.find_first_of(" <"));
      current = &classes[className];
      *current = JavapClass();
      current->isInterface = isInterface;
      // Type arguments are not wanted here: drop every <...>.
      std::string plain;
      int depth = 0;
      for (char c : head) {
        if (c == '<')
          ++depth;
        else if (c == '>')
          --depth;
        else if (depth == 0)
          plain.push_back(c);
      }
      const std::size_t impl = plain.find(" implements ");
      if (impl != std::string::npos && !isInterface) {
        std::stringstream parts(plain.substr(impl + 12));
        plain = plain.substr(0, impl);
        for (std::string part; std::getline(parts, part, ',');) current->interfaces.push_back(trim(part));
      }
      const std::size_t ext = plain.find(" extends ");
      if (ext != std::string::npos && !isInterface) current->super = trim(plain.substr(ext + 9));
      continue;
    }
    if (!current || i + 1 >= lines.size() || trim(lines[i + 1]).compare(0, 11, "descriptor:") != 0) continue;
    const std::string descriptor = trim(trim(lines[i + 1]).substr(11));
    std::string decl = trim(line);
    if (decl == "static {};") continue;  // <clinit> is never reported
    decl = decl.substr(0, decl.find(';'));
    const std::size_t paren = decl.find('(');
    if (paren == std::string::npos) {
      current->members.push_back({'F', lastWord(decl) + descriptor});
    } else {
      const std::string name = lastWord(decl.substr(0, paren));
      if (name == className)
        current->members.push_back({'C', "<init>" + descriptor});
      else
        current->members.push_back({'M', name + descriptor});
    }
  }
}

const JavapClass& javap(const std::string& className) {
  static std::map<std::string, JavapClass> classes;
  if (classes.count(className) == 0) {
    std::vector<std::string> argv = {kavrin_test::kJavap, "-p", "-s", "-cp", kClasses, className};
    for (const char* name : kJavapClasses)
      if (classes.count(name) == 0 && className != name) argv.push_back(name);
    const kavrin_test::CommandResult r = kavrin_test::runCommand(argv);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    parseJavap(r.output, classes);
  }
  return classes[className];
}

// What a walk of className at the level reports, built from javap's view of every type on the way.
void expectedTrace(const std::string& className, int level, std::vector<std::string>& out) {
  const JavapClass& c = javap(className);
  if (level == 0) out.push_back(c.isInterface ? "K:interface" : "K:class");
  std::string super = c.super;
  if (c.isInterface || (super.empty() && className != "java.lang.Object")) super = "java.lang.Object";
  if (!super.empty()) expectedTrace(super, level + 1, out);
  if (!c.isInterface)
    for (const std::string& i : c.interfaces) expectedTrace(i, level + 1, out);
  for (const auto& m : c.members) out.push_back(std::to_string(level) + ":" + m.first + ":" + m.second);
}

std::vector<std::string> stderrLines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Walks the class; the walker reports one line on stderr, which names `named`.
Walk walkReportingOneLine(const std::string& name, const std::string& named) {
  testing::internal::CaptureStderr();
  Walk gen = walkClass(name);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(stderrLines(err).size(), 1u) << err;
  EXPECT_NE(err.find(named), std::string::npos) << err;
  return gen;
}

// Compiles classes of one package (name, source after the package line) into dir/classes, then
// replaces whole CONSTANT_Utf8 texts of one of them by texts of the same length, in order.
void compileAndRename(const TempDir& dir, const std::string& package,
                      const std::vector<std::pair<std::string, std::string>>& classes, const std::string& renamed,
                      const std::vector<std::pair<std::string, std::string>>& renames) {
  fs::create_directories(dir.file("src/" + package));
  std::vector<std::string> argv = {kavrin_test::kJavac, "--release", "8", "-d", dir.file("classes")};
  for (const auto& [name, source] : classes) {
    argv.push_back(dir.file("src/" + package + "/" + name + ".java"));
    kavrin_test::writeFile(argv.back(), "package " + package + "; " + source);
  }
  const kavrin_test::CommandResult javac = kavrin_test::runCommand(argv);
  ASSERT_EQ(javac.exitCode, 0) << javac.output;
  const std::string path = dir.file("classes/" + package + "/" + renamed + ".class");
  const std::vector<uint8_t> original = kavrin_test::readFileBytes(path);
  std::string bytes(original.begin(), original.end());
  for (const auto& [from, to] : renames) {
    ASSERT_EQ(from.size(), to.size());
    const std::string length = {static_cast<char>(from.size() >> 8), static_cast<char>(from.size() & 0xFF)};
    const std::size_t at = bytes.find(length + from);
    ASSERT_NE(at, std::string::npos) << from;
    bytes.replace(at + 2, to.size(), to);
  }
  kavrin_test::writeFile(path, bytes);
}

class WalkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reader_test::useModules(kavrin_test::kJdkHome);
    ClassRepository::addModule(kClasses);
  }
  void TearDown() override { ClassRepository::resetModules(""); }
};

}  // namespace

TEST_F(WalkerTest, OrderAndLevelsOverTwoSuperclassesAndTwoInterfaces) {
  testing::internal::CaptureStderr();
  const Walk gen = walkClass("fixtures.Derived");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  std::vector<std::string> expected;
  expectedTrace("fixtures.Derived", 0, expected);
  ASSERT_GT(expected.size(), 50u);
  EXPECT_EQ(gen.trace(), expected);

  // Spot checks of the shape: Object three levels up through the classes, two through each interface.
  EXPECT_NE(gen.find('M', "hashCode()I", 3), nullptr);
  EXPECT_NE(gen.find('M', "hashCode()I", 2), nullptr);
  EXPECT_NE(gen.find('C', "<init>()V", 3), nullptr) << "super constructors are reported";
  EXPECT_NE(gen.find('F', "DEFAULT_NAMELjava/lang/String;", 1), nullptr);
  EXPECT_EQ(gen.reports.front().what, 'K');
  EXPECT_EQ(gen.reports.back().key, "derivedNative(D)D");
}

TEST_F(WalkerTest, NativeFlagOnlyAtLevelZero) {
  const Walk gen = walkClass("fixtures.Derived");
  const Report* own = gen.find('M', "derivedNative(D)D", 0);
  const Report* middle = gen.find('M', "middleNative(I)I", 1);
  const Report* base = gen.find('M', "baseNative()V", 2);
  const Report* object = gen.find('M', "hashCode()I", 3);
  ASSERT_TRUE(own && middle && base && object);
  EXPECT_EQ(own->flags & 0x0100, 0x0100);
  EXPECT_EQ(middle->flags, 0x0001) << "public native, native cleared";
  EXPECT_EQ(base->flags, 0x0004) << "protected native, native cleared";
  EXPECT_EQ(object->flags, 0x0001);

  const Walk object0 = walkClass("java.lang.Object");
  ASSERT_NE(object0.find('M', "hashCode()I", 0), nullptr);
  EXPECT_EQ(object0.find('M', "hashCode()I", 0)->flags, 0x0101);
  EXPECT_EQ(object0.trace().front(), "K:class");
  for (const Report& r : object0.reports) EXPECT_LE(r.level, 0) << "java.lang.Object follows nothing";
}

TEST_F(WalkerTest, ConstantsEqualWhatJavaPrints) {
  const kavrin_test::CommandResult run = kavrin_test::runJava(kClasses, {"fixtures.ConstantsPrinter"});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  std::map<std::string, std::string> printed;
  for (const std::string& line : stderrLines(run.output)) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) printed[line.substr(0, eq)] = line.substr(eq + 1);
  }
  ASSERT_EQ(printed.size(), 35u);

  const Walk gen = walkClass("fixtures.Constants");
  std::size_t checked = 0;
  for (const Report& r : gen.reports) {
    if (r.what != 'F' || r.level != 0) continue;
    const std::string& name = r.name;
    const std::string& type = r.descriptor;
    SCOPED_TRACE(name);
    auto it = printed.find(name);
    if (it == printed.end()) {
      EXPECT_EQ(r.value.getKind(), ConstValue::kNone) << "not a compile-time constant";
      continue;
    }
    const std::string& text = it->second;
    ++checked;
    switch (type[0]) {
      case 'Z':
        ASSERT_EQ(r.value.getKind(), ConstValue::kInt);
        EXPECT_EQ(r.value.getInt(), text == "true" ? 1 : 0);
        break;
      case 'B':
      case 'C':
      case 'S':
      case 'I':
        ASSERT_EQ(r.value.getKind(), ConstValue::kInt);
        EXPECT_EQ(std::to_string(r.value.getInt()), text);
        break;
      case 'J':
        ASSERT_EQ(r.value.getKind(), ConstValue::kLong);
        EXPECT_EQ(std::to_string(r.value.getLong()), text);
        break;
      case 'F': {
        ASSERT_EQ(r.value.getKind(), ConstValue::kFloat);
        const float v = r.value.getFloat();
        if (text == "NaN")
          EXPECT_TRUE(std::isnan(v));
        else if (text == "Infinity" || text == "-Infinity")
          EXPECT_EQ(v, text[0] == '-' ? -INFINITY : INFINITY);
        else
          EXPECT_EQ(v, std::strtof(text.c_str(), nullptr));
        break;
      }
      case 'D': {
        ASSERT_EQ(r.value.getKind(), ConstValue::kDouble);
        const double v = r.value.getDouble();
        if (text == "NaN")
          EXPECT_TRUE(std::isnan(v));
        else if (text == "Infinity" || text == "-Infinity")
          EXPECT_EQ(v, text[0] == '-' ? -INFINITY : INFINITY);
        else {
          EXPECT_EQ(v, std::strtod(text.c_str(), nullptr));
          EXPECT_EQ(std::signbit(v), text[0] == '-');
        }
        break;
      }
      default:
        ASSERT_EQ(r.value.getKind(), ConstValue::kString);
        EXPECT_EQ(r.value.getString(), text);
        break;
    }
  }
  EXPECT_EQ(checked, printed.size());
}

TEST_F(WalkerTest, DeletedSuperclassIsReportedAndOwnMembersArrive) {
  TempDir dir("kavrin-walk");
  fs::copy(kClasses, dir.path(), fs::copy_options::recursive);
  fs::remove(dir.file("fixtures/Middle.class"));
  reader_test::useModules(kavrin_test::kJdkHome);
  ClassRepository::addModule(dir.path());

  testing::internal::CaptureStderr();
  const Walk gen = walkClass("fixtures.Derived");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "nothing from the walker";
  EXPECT_EQ(gen.missing, std::vector<std::string>{"fixtures/Middle"});

  std::vector<std::string> expected;
  expectedTrace("fixtures.Derived", 0, expected);
  // Of levels 1 and 2 only what the interfaces contribute remains.
  const std::vector<std::string> got = gen.trace();
  EXPECT_EQ(gen.find('M', "middleOnly()J", 1), nullptr);
  EXPECT_EQ(gen.find('M', "baseOnly()I", 2), nullptr);
  EXPECT_NE(gen.find('M', "name()Ljava/lang/String;", 1), nullptr);
  EXPECT_NE(gen.find('M', "hashCode()I", 2), nullptr) << "java.lang.Object above the interfaces";
  std::vector<std::string> own;
  for (const std::string& line : got)
    if (line.compare(0, 2, "0:") == 0) own.push_back(line);
  std::vector<std::string> expectedOwn;
  for (const std::string& line : expected)
    if (line.compare(0, 2, "0:") == 0) expectedOwn.push_back(line);
  EXPECT_EQ(own, expectedOwn);
  EXPECT_EQ(got.front(), "K:class");
}

TEST_F(WalkerTest, SuperTypesWalkedAgainReportTheSameUntilTheirTreeGoes) {
  // Later walks take the super types' earlier walks: the same reports, in the same order.
  TempDir dir("kavrin-walk-again");
  fs::copy(kClasses, dir.path(), fs::copy_options::recursive);
  reader_test::useModules(kavrin_test::kJdkHome);
  ClassRepository::addModule(dir.path());
  const Walk first = walkClass("fixtures.Derived");
  ASSERT_NE(first.find('M', "middleOnly()J", 1), nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(walkClass("fixtures.Derived").trace(), first.trace());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // The skip flags act on what is taken as on what is walked.
  const Walk skipped = walkClass("fixtures.Derived", Options{true, true, true});
  for (const Report& r : skipped.reports) {
    if (r.what == 'F' || r.what == 'M') {
      EXPECT_EQ(r.level, 0) << r.key;
    }
  }
  EXPECT_NE(skipped.find('C', "<init>()V", 3), nullptr);

  // A super class whose tree the repository drops is walked anew: its file is gone.
  fs::remove(dir.file("fixtures/Middle.class"));
  ClassRepository::removeFromCache("fixtures.Middle");
  const Walk gone = walkClass("fixtures.Derived");
  EXPECT_EQ(gone.missing, std::vector<std::string>{"fixtures/Middle"});
  EXPECT_EQ(gone.find('M', "middleOnly()J", 1), nullptr);
  EXPECT_NE(gone.find('M', "name()Ljava/lang/String;", 1), nullptr);
}

TEST_F(WalkerTest, ArrayListOwnMembersEqualJavap) {
  const Walk gen = walkClass("java.util.ArrayList");
  std::multiset<std::string> walked;
  for (const Report& r : gen.reports)
    if (r.what != 'K' && r.level == 0) walked.insert(std::string(1, r.what) + ":" + r.key);
  std::multiset<std::string> listed;
  for (const auto& m : javap("java.util.ArrayList").members) listed.insert(std::string(1, m.first) + ":" + m.second);
  EXPECT_GT(listed.size(), 50u);
  EXPECT_EQ(walked, listed);
}

TEST_F(WalkerTest, SuperInterfacesOfAnInterfaceAreNotFollowed) {
  const Walk gen = walkClass("fixtures.impl.Child");
  std::vector<std::string> expected = {"K:interface"};
  const JavapClass object = javap("java.lang.Object");
  for (const auto& m : object.members) expected.push_back("1:" + std::string(1, m.first) + ":" + m.second);
  for (const auto& m : javap("fixtures.impl.Child").members)
    expected.push_back("0:" + std::string(1, m.first) + ":" + m.second);
  EXPECT_EQ(gen.trace(), expected);
}

TEST_F(WalkerTest, ExcludeInheritedOptionsSkipSuperTypes) {
  Options options;
  options.fieldsExcludeInherited = true;
  Walk gen = walkClass("fixtures.Derived", options);
  bool inheritedMethod = false, inheritedConstructor = false;
  for (const Report& r : gen.reports) {
    if (r.what == 'F') {
      EXPECT_EQ(r.level, 0) << r.key;
    }
    inheritedMethod = inheritedMethod || (r.what == 'M' && r.level == 3);
    inheritedConstructor = inheritedConstructor || (r.what == 'C' && r.level == 3);
  }
  EXPECT_TRUE(inheritedMethod) << "the skip flag passes on to every level, methods are still reported";
  EXPECT_TRUE(inheritedConstructor);

  options.methodsExcludeInherited = true;
  gen = walkClass("fixtures.Derived", options);
  for (const Report& r : gen.reports) {
    if (r.what == 'F' || r.what == 'M') {
      EXPECT_EQ(r.level, 0) << r.key;
    }
  }
  EXPECT_NE(gen.find('C', "<init>()V", 3), nullptr) << "constructors of super types are reported in any case";

  // Without the global filter the options do not act.
  options.useGlobalFilter = false;
  gen = walkClass("fixtures.Derived", options);
  std::vector<std::string> expected;
  expectedTrace("fixtures.Derived", 0, expected);
  EXPECT_EQ(gen.trace(), expected);
}

TEST_F(WalkerTest, CyclicSuperTypesEndTheWalk) {
  // cyc.A extends cyc.B extends cyc.C; B's super class name is then changed to cyc/A (same length).
  TempDir dir("kavrin-cycle");
  ASSERT_NO_FATAL_FAILURE(compileAndRename(dir, "cyc",
                                           {{"A", "public class A extends B { public int a; }"},
                                            {"B", "public class B extends C { public int b; }"},
                                            {"C", "public class C { public int c; }"}},
                                           "B", {{"cyc/C", "cyc/A"}}));
  ClassRepository::addModule(dir.file("classes"));

  const Walk gen = walkReportingOneLine("cyc.A", "cyc/A");
  EXPECT_EQ(gen.trace(), (std::vector<std::string>{"K:class", "1:F:bI", "1:C:<init>()V", "0:F:aI", "0:C:<init>()V"}));
}

TEST_F(WalkerTest, AFileUnderAnotherNameEndsItsOwnSuperTypeChain) {
  // The file alias/B.class calls itself alias/Z and extends alias/B, the name it is found by.
  TempDir dir("kavrin-alias");
  ASSERT_NO_FATAL_FAILURE(
      compileAndRename(dir, "alias", {{"B", "public class B extends C { public int b; }"}, {"C", "public class C { }"}},
                       "B", {{"alias/B", "alias/Z"}, {"alias/C", "alias/B"}}));
  ClassRepository::addModule(dir.file("classes"));

  // Its parse does not load it again while it is being loaded.
  testing::internal::CaptureStderr();
  ClassRepository loader;
  ASSERT_TRUE(loader.loadClass("alias.B", ""));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(loader.getClassName(), "alias/Z");

  // Its walk follows alias/B once, meets it again one level up and stops there.
  const Walk gen = walkReportingOneLine("alias.B", "alias/B");
  EXPECT_EQ(gen.trace(), (std::vector<std::string>{"K:class", "1:F:bI", "1:C:<init>()V", "0:F:bI", "0:C:<init>()V"}));
}

TEST_F(WalkerTest, EmptyTreeAndTreeWithoutPool) {
  RecordingGenerator empty;
  testing::internal::CaptureStderr();
  walk(antlr::nullAST, empty);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the error goes to the generator";
  ASSERT_EQ(empty.m_walkProblems.size(), 1u);
  EXPECT_EQ(empty.m_walkProblems[0].rfind("Cannot process Bytecode: ", 0), 0u) << empty.m_walkProblems[0];
  EXPECT_TRUE(empty.walk.reports.empty());

  // MAGIC_NUMBER, VERSION and ATTRIBUTES only: passed over, nothing reported.
  antlr::RefAST magic(new ByteArrayAST(ClassInfoWalker::MAGIC_NUMBER, {0xCA, 0xFE, 0xBA, 0xBE}));
  antlr::RefAST version(new StringAST(ClassInfoWalker::VERSION, ""));
  antlr::RefAST attributes(new ShortAST(ClassInfoWalker::ATTRIBUTES, 0));
  magic->setNextSibling(version);
  version->setNextSibling(attributes);
  RecordingGenerator bare;
  testing::internal::CaptureStderr();
  walk(magic, bare);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(bare.walk.reports.empty());
}

TEST_F(WalkerTest, EveryFixtureAndCoreJdkClassWalksWithoutErrors) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(kClasses)) {
    const std::string path = entry.path().string();
    if (path.size() > 6 && path.compare(path.size() - 6, 6, ".class") == 0)
      names.push_back(path.substr(kClasses.size() + 1, path.size() - kClasses.size() - 7));
  }
  for (const std::string& entry : kavrin_test::listArchiveClasses(kavrin_test::kJavaBaseJmod)) {
    if (entry.compare(0, 18, "classes/java/lang/") == 0 || entry.compare(0, 18, "classes/java/util/") == 0)
      names.push_back(entry.substr(8, entry.size() - 14));
  }
  ASSERT_GT(names.size(), 800u);
  std::size_t walked = 0;
  testing::internal::CaptureStderr();
  for (const std::string& name : names) {
    if (name.find("module-info") != std::string::npos || name.find("package-info") != std::string::npos) continue;
    RecordingGenerator gen;
    ClassRepository loader;
    antlr::RefAST tree = loader.loadClass(name, "");
    if (!tree) continue;
    walk(tree, gen);
    ++walked;
    EXPECT_FALSE(gen.walk.reports.empty()) << name;
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_GT(walked, 800u);
}

TEST_F(WalkerTest, DamagedClassFilesAreLoadedWalkedListedAndGeneratedWithoutCrashing) {
  // Copies of fixtures with random bytes changed take the place of the fixtures: whatever parses
  // of them is walked with its super types, listed and written as a proxy. The fixtures' own
  // folder leaves the module set, since modules are searched in path order, which depends on
  // where the build tree lies.
  TempDir dir("kavrin-damaged");
  fs::copy(kClasses, dir.file("classes"), fs::copy_options::recursive);
  fs::create_directories(dir.file("out"));
  ClassRepository::resetModules(kavrin_test::kJdkHome);
  ClassRepository::addModule(dir.file("classes"));
  std::mt19937 random(20260315);
  std::size_t generated = 0, members = 0, rounds = 0;
  testing::internal::CaptureStderr();
  for (const char* name : {"Derived", "Members", "Constants", "Lambdas", "Generic", "Outer$1"}) {
    const std::string file = dir.file(std::string("classes/fixtures/") + name + ".class");
    const std::string className = std::string("fixtures.") + name;
    const std::vector<uint8_t> original = kavrin_test::readFileBytes(kClasses + "/fixtures/" + name + ".class");
    for (int round = 0; round < 150; ++round, ++rounds) {
      std::vector<uint8_t> bytes = original;
      for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
        const std::size_t at = 10 + random() % (bytes.size() - 10);
        bytes[at] = (random() % 2) ? static_cast<uint8_t>(random()) : bytes[at] ^ (1u << (random() % 8));
      }
      kavrin_test::writeFile(file, bytes);
      ClassRepository::removeFromCache(className);
      ProxyGenerator lister(className);
      lister.loadMembers();
      MethodLineMap methods;
      FieldLineMap fields;
      lister.listMethods(methods);
      lister.listConstructors(methods);
      lister.listFields(fields);
      lister.listConstants(fields);
      members += methods.size() + fields.size();
      ProxyGenerator writer(className);
      writer.setImplementNatives(true);
      generated += writer.genProxy(dir.file("out/"), false) ? 1 : 0;
    }
    kavrin_test::writeFile(file, original);
    ClassRepository::removeFromCache(className);
  }
  testing::internal::GetCapturedStderr();
  // Both outcomes occur.
  EXPECT_GT(generated, rounds / 4);
  EXPECT_LT(generated, rounds);
  EXPECT_GT(members, 0u);
}
