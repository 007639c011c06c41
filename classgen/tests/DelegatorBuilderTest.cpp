// The delegator builder and the files written from its result: the class built for a class with
// every kind of method over a two-level chain, index by index; what the generator is told;
// constructors of the class only; final, static and bridge declarations never overridden, also
// when an interface declares them again; names with '$'; an interface as input; final classes and
// java.lang.Object refused; a super type loaded again walked again; the classes loaded, verified
// and constructed by the VM; and the texts of the two files.
#include "ClassgenTestSupport.h"
#include "DelegatorBuilder.hpp"
#include "GenerationLog.h"
#include "ProxyGenerator.h"
#include "TestSupport.h"
#include "TypeMapping.h"

#include <antlr/ANTLRException.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <utility>

using namespace classgen_test;

namespace {

typedef BuiltClass Built;

Built buildDelegator(ProxyGenerator& generator, const std::string& name) {
  return buildWith<DelegatorBuilder>(generator, loadTree(name));
}

// The public constructors, then per forwarded method in key order its twin and itself.
std::vector<Method> expectedMethods(const std::vector<std::string>& constructors, const Signatures& methods) {
  std::vector<Method> expected;
  for (const std::string& descriptor : constructors) expected.push_back({0x0001, "<init>", descriptor});
  for (const auto& m : sortedByKey(methods)) appendForwarded(expected, m);
  return expected;
}

// java.lang.Object's methods that every delegator forwards.
const Signatures kObjectMethods = {{"equals", "(Ljava/lang/Object;)Z"}, {"toString", "()Ljava/lang/String;"}};

Signatures withObjectMethods(Signatures methods) {
  methods.insert(methods.end(), kObjectMethods.begin(), kObjectMethods.end());
  return methods;
}

// Its public and protected constructors; not the package-private or private ones.
const std::vector<std::string> kTargetConstructors = {"()V", "(JD[Ljava/lang/String;)V", "(Ljava/lang/String;I)V",
                                                      "(Z)V"};

const Signatures kTargetMethods = withObjectMethods({
    {"greet", "(Ljava/lang/String;)Ljava/lang/String;"},
    {"overridden", "()Ljava/lang/String;"},
    {"middleOverridden", "()Ljava/lang/String;"},
    {"compute", "(I)I"},
    {"compute", "(J)J"},
    {"compute", "(DD)D"},
    {"compute", "(Ljava/lang/String;)Ljava/lang/String;"},
    {"callsPrivate", "()I"},
    {"remember", "(Ljava/lang/String;)V"},
    {"last", "()Ljava/lang/String;"},
    {"flag", "()Z"},
    {"initial", "()C"},
    {"ratio", "()F"},
    {"counts", "(I)[I"},
    {"names", "()[Ljava/lang/String;"},
    {"object", "()Ljava/lang/Object;"},
    {"self", "()Lfixtures/delegate/DelegateTarget;"},
    // Inherited from DelegateMiddle and DelegateRoot.
    {"middleMethod", "(II)I"},
    {"rootMethod", "()Ljava/lang/String;"},
});

std::vector<Method> reported(const ProxyGenerator& generator) {
  std::vector<Method> records;
  for (const MethodDescriptor& record : generator.m_delegatedMethods)
    records.push_back({record.getAccessFlags(), record.getName(), record.getSignature()});
  return records;
}

class DelegatorBuild : public BuilderTest {};

TEST_F(DelegatorBuild, AClassOverATwoLevelChainForwardsItsPublicOverridableMethods) {
  ProxyGenerator generator("fixtures.delegate.DelegateTarget");
  generator.setIsInterface(true);
  const Built built = buildDelegator(generator, "fixtures/delegate/DelegateTarget");
  EXPECT_EQ(built.name, "fixtures/delegate/DelegatorDelegateTarget");
  EXPECT_TRUE(built.missing.empty());
  const std::vector<Method> methods =
      checkGeneratedClass(built.parsed, built.name, "fixtures/delegate/DelegateTarget", {});
  // Protected, package-private, private, static, final and native methods, the ancestors'
  // constructors and java.lang.Object's native hashCode are missing.
  EXPECT_EQ(methods, expectedMethods(kTargetConstructors, kTargetMethods));

  // Every generated method reaches the generator: the constructors, each forwarding method and
  // its twin.
  EXPECT_EQ(reported(generator), sortedByKey(methods));
  EXPECT_FALSE(generator.isInterface());
  EXPECT_TRUE(generator.m_methods.empty());
}

TEST_F(DelegatorBuild, AnInterfaceGivesAnImplementingClassWithTheDefaultConstructor) {
  ProxyGenerator generator("fixtures.delegate.Greeter");
  generator.setIsInterface(true);
  const Built built = buildDelegator(generator, "fixtures/delegate/Greeter");
  EXPECT_EQ(built.name, "fixtures/delegate/DelegatorGreeter");
  const std::vector<Method> methods =
      checkGeneratedClass(built.parsed, built.name, "java/lang/Object", {"fixtures/delegate/Greeter"});
  EXPECT_EQ(methods,
            expectedMethods({"()V"}, withObjectMethods({{"greet", "(Ljava/lang/String;)Ljava/lang/String;"}})));
  EXPECT_EQ(reported(generator), sortedByKey(methods));
  EXPECT_FALSE(generator.isInterface());

  // A class in the default package and java.lang's Runnable.
  ProxyGenerator runnable("java.lang.Runnable");
  const Built runnableBuilt = buildDelegator(runnable, "java/lang/Runnable");
  EXPECT_EQ(runnableBuilt.name, "java/lang/DelegatorRunnable");
  EXPECT_EQ(checkGeneratedClass(runnableBuilt.parsed, runnableBuilt.name, "java/lang/Object", {"java/lang/Runnable"}),
            expectedMethods({"()V"}, withObjectMethods({{"run", "()V"}})));
  ProxyGenerator unnamed("DefaultPackageFixture");
  EXPECT_EQ(buildDelegator(unnamed, "DefaultPackageFixture").name, "DelegatorDefaultPackageFixture");
}

TEST_F(DelegatorBuild, FinalAndStaticDeclarationsAreNeverOverridden) {
  // FinalOverride's final describe() overrides Plain's.
  ProxyGenerator finalOverride("fixtures.delegate.FinalOverride");
  const Built built = buildDelegator(finalOverride, "fixtures/delegate/FinalOverride");
  EXPECT_EQ(checkGeneratedClass(built.parsed, built.name, "fixtures/delegate/FinalOverride", {}),
            expectedMethods({"()V"}, withObjectMethods({{"other", "()I"}})));

  // KeptName implements Named's name() through NameKeeper's final method; free() is
  // NameKeeper's, declared again by Named; NameKeeper's static shared() is never forwarded.
  ProxyGenerator kept("classgentest.KeptName");
  const Built keptBuilt = buildDelegator(kept, "classgentest/KeptName");
  EXPECT_EQ(checkGeneratedClass(keptBuilt.parsed, keptBuilt.name, "classgentest/KeptName", {}),
            expectedMethods({"()V"}, withObjectMethods({{"free", "()Ljava/lang/String;"}})));
}

TEST_F(DelegatorBuild, SealsHoldAcrossEveryWalkAndTheVmDefinesTheClasses) {
  // Per class: methods its delegator must not override (final, static or bridge along its super
  // classes, whatever the interfaces declare) and methods it forwards, nested types included.
  const struct {
    const char* name;
    std::vector<std::string> sealed;
    std::vector<std::string> forwarded;
  } cases[] = {
      {"classgentest/SealedAcrossInterfaces",
       {"toString()Ljava/lang/String;"},
       {"run()V", "equals(Ljava/lang/Object;)Z"}},
      // Comparable<E>, Serializable and Constable; compareTo(Object) is a bridge, the rest final.
      {"java/lang/Enum",
       {"equals(Ljava/lang/Object;)Z", "hashCode()I", "compareTo(Ljava/lang/Enum;)I", "compareTo(Ljava/lang/Object;)I",
        "name()Ljava/lang/String;", "describeConstable()Ljava/util/Optional;"},
       {"toString()Ljava/lang/String;"}},
      {"java/lang/Thread",
       {"getName()Ljava/lang/String;", "isAlive()Z"},
       {"run()V", "getState()Ljava/lang/Thread$State;",
        "getUncaughtExceptionHandler()Ljava/lang/Thread$UncaughtExceptionHandler;"}},
      {"java/util/TreeMap",
       {},
       {"firstEntry()Ljava/util/Map$Entry;", "floorEntry(Ljava/lang/Object;)Ljava/util/Map$Entry;",
        "entrySet()Ljava/util/Set;"}},
  };
  kavrin_test::TempDir dir("classgen-delegate-seals");
  kavrin_test::TempDir bootDir("classgen-delegate-seals-boot");
  std::vector<std::string> classes;
  for (const auto& c : cases) {
    ProxyGenerator generator(replaceChar(c.name, '/', '.'));
    const Built built = buildDelegator(generator, c.name);
    std::set<std::string> keys;
    for (const Method& m : checkGeneratedClass(built.parsed, built.name, c.name, {}))
      keys.insert(m.name + m.descriptor);
    for (const std::string& key : c.sealed) EXPECT_EQ(keys.count(key), 0u) << c.name << " overrides " << key;
    for (const std::string& key : c.forwarded) EXPECT_EQ(keys.count(key), 1u) << c.name << " does not forward " << key;
    const bool boot = built.name.compare(0, 5, "java/") == 0;
    kavrin_test::writeFile((boot ? bootDir : dir).file(built.name + ".class"), built.bytes);
    classes.push_back(replaceChar(built.name, '/', '.'));
  }
  // The VM defines and verifies each one (an overridden final method is an
  // IncompatibleClassChangeError), makes an object with every constructor and reaches the
  // twin of every forwarding method.
  std::vector<std::string> args = {"-Xverify:all",
                                   "--patch-module",
                                   "java.base=" + bootDir.path(),
                                   "--add-opens",
                                   "java.base/java.lang=ALL-UNNAMED",
                                   "--add-opens",
                                   "java.base/java.util=ALL-UNNAMED",
                                   "classgentest.VerifyDelegator"};
  args.insert(args.end(), classes.begin(), classes.end());
  const kavrin_test::CommandResult r = kavrin_test::runJava(dir.path() + ":" + CLASSGEN_TEST_CLASSES, args);
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output.find("WRONG"), std::string::npos) << r.output;
  for (const std::string& name : classes)
    EXPECT_NE(r.output.find("CLASS " + name + " extends"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("FORWARD getState ()Ljava/lang/Thread$State; 0x1"), std::string::npos) << r.output;
}

TEST_F(DelegatorBuild, BridgesAreLeftToTheJavaClassAndNestedTypesForwarded) {
  // StringBox implements Supplier<String>: get()String is forwarded, the bridge get()Object
  // (which calls it) is not; put(StringBox$Item) and the constructor taking a StringBox$Item
  // are kept like any other.
  ProxyGenerator generator("classgentest.StringBox");
  const Built built = buildDelegator(generator, "classgentest/StringBox");
  const std::vector<Method> methods = checkGeneratedClass(built.parsed, built.name, "classgentest/StringBox", {});
  EXPECT_EQ(methods, expectedMethods({"(Lclassgentest/StringBox$Item;)V", "(Ljava/lang/String;)V"},
                                     withObjectMethods({{"get", "()Ljava/lang/String;"},
                                                        {"put", "(Lclassgentest/StringBox$Item;)V"},
                                                        {"put", "(Ljava/lang/String;)V"}})));
  EXPECT_EQ(reported(generator), sortedByKey(methods));
}

TEST_F(DelegatorBuild, MethodsThatDifferInTheirResultsShareTheNarrowestTwin) {
  // Narrowing redeclares Widening's value()Object as value()String: both are forwarded to the
  // one twin native0value(J)String, and C++ gets one method.
  ProxyGenerator generator("classgentest.Narrowing");
  const Built built = buildDelegator(generator, "classgentest/Narrowing");
  std::vector<Method> expected = expectedMethods({"()V"}, kObjectMethods);
  expected.push_back({0x0101, "native0value", "(J)Ljava/lang/String;"});
  expected.push_back({0x0001, "value", "()Ljava/lang/Object;"});
  expected.push_back({0x0001, "value", "()Ljava/lang/String;"});
  EXPECT_EQ(checkGeneratedClass(built.parsed, built.name, "java/lang/Object", {"classgentest/Narrowing"}), expected);
  std::vector<Method> records = reported(generator);
  EXPECT_EQ(std::count_if(records.begin(), records.end(), [](const Method& m) { return m.name == "value"; }), 1);
  EXPECT_NE(std::find(records.begin(), records.end(), Method{0x0101, "native0value", "(J)Ljava/lang/String;"}),
            records.end());
}

TEST_F(DelegatorBuild, FinalAndSealedTypesAndObjectAreRefused) {
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"fixtures/delegate/Sealed", "the class fixtures.delegate.Sealed is final: no class can extend it"},
      {"fixtures/FinalClass", "the class fixtures.FinalClass is final: no class can extend it"},
      {"java/lang/Object", "java.lang.Object has no delegator: every class extends it"},
      // A sealed interface of JDK 17 (its delegator would implement it).
      {"java/lang/constant/ConstantDesc",
       "the type java.lang.constant.ConstantDesc is sealed: only the classes it permits can extend or implement it"},
  };
  for (const auto& r : refused) {
    ProxyGenerator generator(replaceChar(r.first, '/', '.'));
    EXPECT_EQ(refusalOf([&] { buildDelegator(generator, r.first); }), r.second) << r.first;
    EXPECT_TRUE(generator.m_delegatedMethods.empty()) << r.first;
  }
}

TEST_F(DelegatorBuild, MalformedAttributeSubtreesAreRefusedWithTheNodeNamed) {
  // A class of methods with Code attributes: a delegator built, its bytes parsed afresh for
  // each case and one node of the first Code attribute changed.
  ProxyGenerator first("fixtures.delegate.DelegateTarget");
  const std::vector<unsigned char> bytes = buildDelegator(first, "fixtures/delegate/DelegateTarget").bytes;
  const auto firstCode = [](const antlr::RefAST& tree) {
    for (const antlr::RefAST& method : children(topLevel(tree, T::METHODS))) {
      const antlr::RefAST length = child(method, T::METHOD_ATTRIBUTES)->getFirstChild();
      if (length) return length->getFirstChild();
    }
    return antlr::nullAST;
  };
  const std::vector<std::pair<std::function<void(const antlr::RefAST&)>, std::string>> cases = {
      {[](const antlr::RefAST& code) { code->setType(T::CONSTANT_UTF8); }, "unexpected AST node"},
      {[](const antlr::RefAST& code) { child(code, T::DEBUG_ATTRIBUTES)->setType(T::ATTR_EXCEPTIONS); },
       "expecting DEBUG_ATTRIBUTES"},
      {[](const antlr::RefAST& code) { code->setFirstChild(antlr::nullAST); }, "expecting MAXSTACK"},
  };
  for (const auto& c : cases) {
    const antlr::RefAST tree = parseClassBytes(bytes);
    const antlr::RefAST code = firstCode(tree);
    ASSERT_TRUE(code && code->getType() == T::ATTR_CODE);
    c.first(code);
    ProxyGenerator generator("fixtures.delegate.DelegatorDelegateTarget");
    antlr::ASTFactory factory;
    DelegatorBuilder::initializeASTFactory(factory);
    DelegatorBuilder builder(&generator);
    builder.setASTFactory(&factory);
    const std::string refusal = refusalOf([&] { builder.classFile(tree); });
    EXPECT_NE(refusal.find(c.second), std::string::npos) << refusal;
    EXPECT_TRUE(generator.m_delegatedMethods.empty()) << c.second;
  }
}

TEST_F(DelegatorBuild, AMissingSuperTypeIsNamedAndTheRestBuilt) {
  kavrin_test::TempDir module("classgen-delegate-orphan");
  useModulesWithoutGone(module, CLASSGEN_TEST_CLASSES);

  ProxyGenerator generator("classgentest.Orphan");
  const Built built = buildDelegator(generator, "classgentest/Orphan");
  EXPECT_EQ(built.missing, std::vector<std::string>{"classgentest/Gone"});
  EXPECT_EQ(checkGeneratedClass(built.parsed, built.name, "java/lang/Object", {"classgentest/Orphan"}),
            expectedMethods({"()V"}, withObjectMethods({{"own", "()V"}})));

  kavrin_test::TempDir out("classgen-delegate-orphan-out");
  ProxyGenerator writer("classgentest.Orphan");
  EXPECT_TRUE(writer.genDelegator(out.path() + "/", false));
  EXPECT_EQ(kavrin_test::readFile(out.file("KAVRIN.LOG")),
            "MISSING SUPER TYPE: classgentest.Gone (of classgentest.Orphan)\n");
}

TEST_F(DelegatorBuild, ASuperTypeLoadedAgainIsWalkedAgain) {
  // Walks of super types are kept for the classes that share them; a super type whose class
  // file is loaded again, or dropped from the repository and read anew, gives its new methods.
  kavrin_test::TempDir module("classgen-delegate-reload");
  ClassRepository::addModule(module.path());
  const std::string face = module.file("reload/Face.class");
  std::filesystem::create_directories(module.file("reload"));
  auto writeClass = [](const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  };
  writeClass(module.file("reload/User.class"), typeBytes("reload/User", "java/lang/Object", {"reload/Face"}, false));
  auto forwarded = [](const std::vector<std::string>& names) {
    Signatures methods;
    for (const std::string& name : names) methods.push_back({name, "()V"});
    return expectedMethods({}, withObjectMethods(methods));
  };
  auto build = [] {
    ProxyGenerator generator("reload.User");
    const Built built = buildDelegator(generator, "reload/User");
    return checkGeneratedClass(built.parsed, built.name, "reload/User", {});
  };

  writeClass(face, typeBytes("reload/Face", "java/lang/Object", {}, true, {"first"}));
  EXPECT_EQ(build(), forwarded({"first"}));
  EXPECT_EQ(build(), forwarded({"first"}));

  writeClass(face, typeBytes("reload/Face", "java/lang/Object", {}, true, {"second", "third"}));
  ClassRepository loader;
  ASSERT_TRUE(loader.loadClassFile(face));
  EXPECT_EQ(build(), forwarded({"second", "third"}));

  writeClass(face, typeBytes("reload/Face", "java/lang/Object", {}, true, {"fourth"}));
  ClassRepository::removeFromCache("reload.Face");
  EXPECT_EQ(build(), forwarded({"fourth"}));
}

TEST_F(DelegatorBuild, TheVmLoadsTheClassesAndEveryConstructorWorks) {
  kavrin_test::TempDir dir("classgen-delegate-vm");
  const std::vector<std::string> classes = {"fixtures.delegate.DelegateTarget", "fixtures.delegate.Greeter",
                                            "fixtures.delegate.FinalOverride",  "classgentest.KeptName",
                                            "classgentest.StringBox",           "classgentest.Narrowing"};
  std::vector<std::string> args = {"-Xverify:all", "classgentest.VerifyDelegator"};
  std::map<std::string, std::vector<std::string>> forwarded;
  for (const std::string& name : classes) {
    ProxyGenerator generator(name);
    const Built built = buildDelegator(generator, replaceChar(name, '.', '/'));
    kavrin_test::writeFile(dir.file(built.name + ".class"), built.bytes);
    args.push_back(replaceChar(built.name, '/', '.'));
    for (const MethodDescriptor& record : generator.m_delegatedMethods) {
      if (!record.isNative() && record.getName() != "<init>")
        forwarded[args.back()].push_back("FORWARD " + record.getName() + " " + record.getSignature() + " 0x1");
    }
  }
  // Widening's value()Object forwards to the twin of value()String.
  std::vector<std::string>& narrowing = forwarded["classgentest.DelegatorNarrowing"];
  narrowing.insert(narrowing.end() - 1, "FORWARD value ()Ljava/lang/Object; 0x1");
  const kavrin_test::CommandResult r =
      kavrin_test::runJava(dir.path() + ":" + kavrin_test::kFixtureClasses + ":" + CLASSGEN_TEST_CLASSES, args);
  ASSERT_FALSE(r.timedOut);
  ASSERT_EQ(r.exitCode, 0) << r.output;

  // Every forwarding method reached its twin, and only the reported ones exist.
  std::map<std::string, std::vector<std::string>> lines;
  std::string current;
  std::istringstream in(r.output);
  for (std::string line; std::getline(in, line);) {
    EXPECT_EQ(line.find("WRONG"), std::string::npos) << line;
    EXPECT_EQ(line.find("UNCALLED"), std::string::npos) << line;
    if (line.rfind("CLASS ", 0) == 0) current = line.substr(6, line.find(' ', 6) - 6);
    lines[current].push_back(line);
  }
  for (const auto& c : forwarded) {
    std::vector<std::string> seen;
    std::copy_if(lines[c.first].begin(), lines[c.first].end(), std::back_inserter(seen),
                 [](const std::string& l) { return l.rfind("FORWARD ", 0) == 0; });
    EXPECT_EQ(seen, c.second) << c.first;
  }

  // Each constructor passed its arguments to the delegated class's constructor, the protected
  // one included.
  const std::vector<std::string>& target = lines["fixtures.delegate.DelegatorDelegateTarget"];
  ASSERT_FALSE(target.empty());
  EXPECT_EQ(target[0], "CLASS fixtures.delegate.DelegatorDelegateTarget extends fixtures.delegate.DelegateTarget");
  for (const char* line : {"NEW ()V count=1 last= name=target", "NEW (JD[Ljava/lang/String;)V count=6 last= name=tags2",
                           "NEW (Ljava/lang/String;I)V count=2 last= name=s", "NEW (Z)V count=1 last= name=protected"})
    EXPECT_NE(std::find(target.begin(), target.end(), line), target.end()) << line;
  EXPECT_EQ(std::count_if(target.begin(), target.end(), [](const std::string& l) { return l.rfind("NEW ", 0) == 0; }),
            4);
  const std::vector<std::string>& greeter = lines["fixtures.delegate.DelegatorGreeter"];
  ASSERT_FALSE(greeter.empty());
  EXPECT_EQ(greeter[0],
            "CLASS fixtures.delegate.DelegatorGreeter extends java.lang.Object implements fixtures.delegate.Greeter");
  EXPECT_NE(std::find(greeter.begin(), greeter.end(), "NEW ()V"), greeter.end());
  const std::vector<std::string>& box = lines["classgentest.DelegatorStringBox"];
  EXPECT_NE(std::find(box.begin(), box.end(), "NEW (Ljava/lang/String;)V value=s"), box.end());

  // javap reads the class as written: version 45.3, public, the field peer.
  const kavrin_test::CommandResult javap = kavrin_test::runCommand(
      {kavrin_test::kJavap, "-v", "-p", dir.file("fixtures/delegate/DelegatorDelegateTarget.class")});
  EXPECT_EQ(javap.exitCode, 0) << javap.output;
  EXPECT_NE(javap.output.find("major version: 45"), std::string::npos) << javap.output;
  EXPECT_NE(javap.output.find("flags: (0x0021) ACC_PUBLIC, ACC_SUPER"), std::string::npos) << javap.output;
  EXPECT_NE(javap.output.find("long peer;"), std::string::npos) << javap.output;
}

// --- The file writer --------------------------------------------------------------------------

class DelegatorFiles : public DelegatorBuild {
 protected:
  void SetUp() override {
    DelegatorBuild::SetUp();
    generatedDelegators.clear();
    generatedImpls.clear();
  }
  void TearDown() override { nameSubstitutions = nullptr; }

  // Writes the delegator of a class and reads its two files.
  bool write(const std::string& className, bool includeStdafx = false) {
    ProxyGenerator generator(className);
    const bool written = generator.genDelegator(directory(), includeStdafx);
    const std::string stem = replaceChar(className, '.', '_') + "JNIDelegator";
    header = kavrin_test::readFile(out.file(stem + ".h"));
    source = kavrin_test::readFile(out.file(stem + ".cpp"));
    return written;
  }
  // The definition in the source that starts with the line.
  std::string definition(const std::string& firstLine) const {
    const std::size_t start = source.find(firstLine + "\n");
    if (start == std::string::npos) return "<no " + firstLine + ">";
    return source.substr(start, source.find("\n}\n", start) + 3 - start);
  }

  kavrin_test::TempDir out{"classgen-delegate-files"};
  std::string directory() const { return out.path() + "/"; }
  std::string header;
  std::string source;
};

TEST_F(DelegatorFiles, ConstructorsPassTheirArgumentsAndDescriptor) {
  ASSERT_TRUE(write("fixtures.delegate.DelegateTarget"));
  EXPECT_NE(
      header.find(
          "            DelegateTargetJNIDelegator(const DelegateTargetJNIDelegator& o):JObject_t(o),JNIInterface(o),"
          "CPP_Java_Bridge::fixtures::delegate::DelegateTarget(o){}\n"
          "            DelegateTargetJNIDelegator(JObject_t delegatedObj);\n"
          "            DelegateTargetJNIDelegator(JObject_t delegatedObj, jlong p0, jdouble p1, "
          "CPP_Java_Bridge::java::lang::StringArray1D p2);\n"
          "            DelegateTargetJNIDelegator(JObject_t delegatedObj, ::jni_helpers::JStringHelper p0, "
          "jint p1);\n"),
      std::string::npos)
      << header;
  // No default constructor of the C++ class.
  EXPECT_EQ(header.find("DelegateTargetJNIDelegator();"), std::string::npos);

  const std::string init =
      "JNIInterface::init(delegatedObj, _clazzName, methods, sizeof(methods)/sizeof(JNINativeMethod), "
      "reinterpret_cast<const signed char*>(bytes), sizeof(bytes), ";
  EXPECT_EQ(definition("DelegateTargetJNIDelegator::DelegateTargetJNIDelegator\n(\n    JObject_t delegatedObj\n)"),
            "DelegateTargetJNIDelegator::DelegateTargetJNIDelegator\n(\n    JObject_t delegatedObj\n)\n{\n"
            "    try{\n"
            "        jvalue* params = 0;\n"
            "        " +
                init +
                "\"()V\", params);\n"
                "    }catch(::jni_helpers::JVMException e){\n"
                "        throw ::jni_helpers::JVMException(e.getMessage(), e);\n"
                "    }catch(...){\n"
                "        throw ::jni_helpers::JVMException(\"System Error\");\n"
                "    }\n"
                "}\n");
  EXPECT_NE(source.find("    JObject_t delegatedObj, \n    ::jni_helpers::JStringHelper p0, \n    jint p1\n)\n{\n"
                        "    try{\n"
                        "        jvalue* params = (jvalue*)_alloca(2*sizeof(jvalue));\n"
                        "        params[0].l = p0;\n"
                        "        params[1].i = p1;\n"
                        "        " +
                        init + "\"(Ljava/lang/String;I)V\", params);\n"),
            std::string::npos)
      << source;
}

TEST_F(DelegatorFiles, ForwardingMethodsCallTheDelegate) {
  ASSERT_TRUE(write("fixtures.delegate.DelegateTarget"));
  const std::string lookup =
      "        jclass objClass = ::jni_helpers::JNIEnvHelper::GetObjectClass(JNIInterface::getDelegator());\n";
  // void, with an object parameter passed as its jobject.
  const std::string remember = definition("void DelegateTargetJNIDelegator::remember");
  EXPECT_NE(remember.find("(\n    ::jni_helpers::JStringHelper p0\n)\n"), std::string::npos) << remember;
  EXPECT_NE(remember.find(lookup), std::string::npos) << remember;
  EXPECT_NE(remember.find("GetMethodID(objClass, \"remember\", \"(Ljava/lang/String;)V\");"), std::string::npos);
  EXPECT_NE(
      remember.find(
          "        ::jni_helpers::JNIEnvHelper::CallVoidMethod(JNIInterface::getDelegator(), mthID, (jobject)p0);\n"),
      std::string::npos)
      << remember;
  EXPECT_EQ(remember.find("return"), std::string::npos) << remember;
  // No parameters: an empty line in the list, no arguments after the method ID.
  const std::string flag = definition("jboolean DelegateTargetJNIDelegator::flag");
  EXPECT_NE(flag.find("flag\n(\n\n)\n"), std::string::npos) << flag;
  EXPECT_NE(
      flag.find(
          "        return ::jni_helpers::JNIEnvHelper::CallBooleanMethod(JNIInterface::getDelegator(), mthID);\n"),
      std::string::npos)
      << flag;
  // A primitive result and parameter.
  EXPECT_NE(
      definition("jint DelegateTargetJNIDelegator::compute")
          .find(
              "        return ::jni_helpers::JNIEnvHelper::CallIntMethod(JNIInterface::getDelegator(), mthID, p0);\n"),
      std::string::npos);
  // A String result: held, the local reference deleted, returned as the wrapper.
  const std::string last = definition("::jni_helpers::JStringHelper DelegateTargetJNIDelegator::last");
  EXPECT_NE(last.find("        JObject_t result;\n" + lookup), std::string::npos) << last;
  EXPECT_NE(
      last.find(
          "        jobject o = ::jni_helpers::JNIEnvHelper::CallObjectMethod(JNIInterface::getDelegator(), mthID);\n"
          "        result = JObject_t(o);\n"
          "        ::jni_helpers::JNIEnvHelper::DeleteLocalRef(o);\n"
          "        return result;\n"),
      std::string::npos)
      << last;
  // An array result: the wrapper type in the header and the source alike.
  EXPECT_NE(header.find("virtual CPP_Java_Bridge::JIntArray1D counts(jint p0);"), std::string::npos);
  EXPECT_NE(definition("CPP_Java_Bridge::JIntArray1D DelegateTargetJNIDelegator::counts").find("jobject o = "),
            std::string::npos);
  EXPECT_NE(header.find("virtual CPP_Java_Bridge::java::lang::StringArray1D names();"), std::string::npos);
  EXPECT_NE(header.find("virtual CPP_Java_Bridge::fixtures::delegate::DelegateTarget self();"), std::string::npos);
  // Arrays and objects passed to the delegate as their jobject.
  EXPECT_NE(definition("jboolean DelegateTargetJNIDelegator::equals")
                .find("CallBooleanMethod(JNIInterface::getDelegator(), mthID, (jobject)p0);"),
            std::string::npos);
  EXPECT_NE(definition("jdouble DelegateTargetJNIDelegator::compute")
                .find("CallDoubleMethod(JNIInterface::getDelegator(), mthID, p0, p1);"),
            std::string::npos);
}

TEST_F(DelegatorFiles, ThunksCallTheCppObjectAndReturnNewLocalReferences) {
  ASSERT_TRUE(write("fixtures.delegate.DelegateTarget"));
  const std::string cast = "((CPP_Java_Bridge::fixtures::delegate::DelegateTargetJNIDelegator*)receiver.get())->";
  const std::string prefix =
      "DelegateTargetJNIDelegator_Native::Java_fixtures_delegate_DelegateTargetJNIDelegator_native0";
  const std::string counts = definition("jintArray JNICALL " + prefix + "counts");
  EXPECT_NE(counts.find("(\n    JNIEnv* env, \n    jobject self, \n    jlong peer, \n    jint p1\n)\n{\n"),
            std::string::npos)
      << counts;
  EXPECT_NE(
      counts.find("        return (jintArray)::jni_helpers::JNIEnvHelper::NewLocalRef(" + cast + "counts(p1));\n"),
      std::string::npos)
      << counts;
  // While the Java object has no C++ object, the delegated class's method runs.
  EXPECT_NE(counts.find(
                "        ::jni_helpers::JNIInterface::Receiver receiver(peer);\n"
                "        if(!receiver){\n"
                "            jclass base = superClassOf(self);\n"
                "            jmethodID mthID = ::jni_helpers::JNIEnvHelper::GetMethodID(base, \"counts\", \"(I)[I\");\n"
                "            jintArray result = "
                "(jintArray)::jni_helpers::JNIEnvHelper::CallNonvirtualObjectMethod(self, base, "
                "mthID, p1);\n"
                "            ::jni_helpers::JNIEnvHelper::DeleteLocalRef(base);\n"
                "            return result;\n"
                "        }\n"),
            std::string::npos)
      << counts;
  // A Java exception goes back to Java as it was thrown; the default result after the catch
  // clauses.
  EXPECT_NE(
      counts.find("    }catch(const ::jni_helpers::JVMException& e){\n"
                  "        if(::jni_helpers::JNIEnvHelper::Throw(e.getThrowable()) != JNI_OK)\n"
                  "            ::jni_helpers::JNIEnvHelper::ThrowNew(::jni_helpers::CSmartString(\"An error in the "
                  "native code.\\n\") + e.getMessage());\n"
                  "    }catch(const ::jni_helpers::BaseException& e){\n"),
      std::string::npos)
      << counts;
  EXPECT_NE(counts.find("    }catch(...){\n"
                        "        ::jni_helpers::JNIEnvHelper::ThrowNew(\"An error in the native code.\");\n"
                        "    }\n"
                        "    return 0;\n}\n"),
            std::string::npos)
      << counts;
  const std::string greet = definition("jobject JNICALL " + prefix + "greet");
  EXPECT_NE(greet.find("return ::jni_helpers::JNIEnvHelper::NewLocalRef(" + cast +
                       "greet(::jni_helpers::JStringHelper(JObject_t(p1))));"),
            std::string::npos)
      << greet;
  const std::string remember = definition("void JNICALL " + prefix + "remember");
  EXPECT_NE(remember.find("        " + cast + "remember(::jni_helpers::JStringHelper(JObject_t(p1)));\n"),
            std::string::npos)
      << remember;
  EXPECT_NE(remember.find("            ::jni_helpers::JNIEnvHelper::CallNonvirtualVoidMethod(self, base, mthID, p1);\n"
                          "            ::jni_helpers::JNIEnvHelper::DeleteLocalRef(base);\n"
                          "            return;\n"),
            std::string::npos)
      << remember;
  const std::string flag = definition("jboolean JNICALL " + prefix + "flag");
  EXPECT_NE(flag.find("        return " + cast + "flag();\n"), std::string::npos) << flag;
  EXPECT_NE(flag.find("    return false;\n}\n"), std::string::npos) << flag;

  // The table binds each twin to its thunk; overloads get the long JNI names.
  EXPECT_NE(source.find("    {(char*)\"native0compute\", (char*)\"(JI)I\", \n"
                        "     (void*)CPP_Java_Bridge::fixtures::delegate::" +
                        prefix + "compute__JI},\n"),
            std::string::npos);
  EXPECT_NE(source.find("    {(char*)\"native0flag\", (char*)\"(J)Z\", \n"
                        "     (void*)CPP_Java_Bridge::fixtures::delegate::" +
                        prefix + "flag},\n"),
            std::string::npos);
  EXPECT_NE(header.find("jintArray JNICALL Java_fixtures_delegate_DelegateTargetJNIDelegator_native0counts"
                        "(JNIEnv *, jobject, jlong, jint);\n"),
            std::string::npos);
}

TEST_F(DelegatorFiles, ASubstitutedNameRenamesTheCppMemberOnly) {
  std::map<std::string, std::string> substitutions = {{"greet", "welcome"}};
  nameSubstitutions = &substitutions;
  ASSERT_TRUE(write("fixtures.delegate.DelegateTarget"));
  EXPECT_NE(header.find("virtual ::jni_helpers::JStringHelper welcome(::jni_helpers::JStringHelper p0);"),
            std::string::npos);
  const std::string welcome = definition("::jni_helpers::JStringHelper DelegateTargetJNIDelegator::welcome");
  EXPECT_NE(welcome.find("GetMethodID(objClass, \"greet\", \"(Ljava/lang/String;)Ljava/lang/String;\");"),
            std::string::npos)
      << welcome;
  EXPECT_NE(source.find("*)receiver.get())->welcome(::jni_helpers::JStringHelper(JObject_t(p1)))"), std::string::npos);
  EXPECT_NE(source.find("GetMethodID(base, \"greet\", "), std::string::npos);
  EXPECT_NE(source.find("{(char*)\"native0greet\", "), std::string::npos);
}

TEST_F(DelegatorFiles, AnInterfaceImplementedAndDelegatedGivesFourFilesWithTheirOwnTables) {
  ProxyGenerator generator("fixtures.delegate.Greeter");
  ASSERT_TRUE(generator.genInterfaceImpl(directory(), false));
  ASSERT_TRUE(generator.genDelegator(directory(), false));
  ASSERT_TRUE(genDefProxies(directory(), false));
  const std::string implSource = kavrin_test::readFile(out.file("fixtures_delegate_GreeterJNIImpl.cpp"));
  const std::string delegatorSource = kavrin_test::readFile(out.file("fixtures_delegate_GreeterJNIDelegator.cpp"));
  EXPECT_NE(kavrin_test::readFile(out.file("fixtures_delegate_GreeterJNIImpl.h")).find("class GreeterJNIImpl"),
            std::string::npos);
  EXPECT_NE(
      kavrin_test::readFile(out.file("fixtures_delegate_GreeterJNIDelegator.h")).find("class GreeterJNIDelegator"),
      std::string::npos);

  // The twins each table binds.
  auto tableEntries = [](const std::string& text) {
    std::vector<std::string> entries;
    const std::size_t end = text.find("};");
    for (std::size_t pos = text.find("{(char*)\""); pos < end; pos = text.find("{(char*)\"", pos + 1))
      entries.push_back(text.substr(pos + 9, text.find('"', pos + 9) - pos - 9));
    return entries;
  };
  EXPECT_EQ(tableEntries(implSource), std::vector<std::string>{"native0greet"});
  EXPECT_EQ(tableEntries(delegatorSource),
            (std::vector<std::string>{"native0equals", "native0greet", "native0toString"}));
  EXPECT_NE(implSource.find("_clazzName = \"fixtures/delegate/JNIImplementationOfGreeter\";"), std::string::npos);
  EXPECT_NE(delegatorSource.find("_clazzName = \"fixtures/delegate/DelegatorGreeter\";"), std::string::npos);
  // The two thunk sets have names of their own.
  EXPECT_NE(implSource.find("Java_fixtures_delegate_JNIImplementationOfGreeter_native0greet"), std::string::npos);
  EXPECT_NE(delegatorSource.find("Java_fixtures_delegate_GreeterJNIDelegator_native0greet"), std::string::npos);

  const std::string shared = kavrin_test::readFile(out.file("defproxies.h"));
  EXPECT_NE(shared.find("#include \"fixtures_delegate_GreeterJNIImpl.h\"\n"), std::string::npos);
  EXPECT_NE(shared.find("#include \"fixtures_delegate_GreeterJNIDelegator.h\"\n"), std::string::npos);
  EXPECT_EQ(generatedDelegators, std::set<std::string>{"fixtures.delegate.Greeter"});
}

TEST_F(DelegatorFiles, TheSourceCarriesTheBuiltClass) {
  ASSERT_TRUE(write("fixtures.delegate.FinalOverride", true));
  EXPECT_NE(source.find("#include \"stdafx.h\"\n#include \"defproxies.h\"\n"), std::string::npos);
  EXPECT_NE(
      source.find("const char* FinalOverrideJNIDelegator::_clazzName = \"fixtures/delegate/DelegatorFinalOverride\";"),
      std::string::npos);
  ProxyGenerator other("fixtures.delegate.FinalOverride");
  EXPECT_EQ(embeddedBytes(source), buildDelegator(other, "fixtures/delegate/FinalOverride").bytes);
  EXPECT_EQ(generatedDelegators.count("fixtures.delegate.FinalOverride"), 1u);
  EXPECT_FALSE(std::filesystem::exists(out.file("KAVRIN.LOG")));
}

TEST_F(DelegatorFiles, FailuresAreLoggedAndWriteNothing) {
  // A final class: the reason is logged, the files stay empty.
  EXPECT_FALSE(write("fixtures.delegate.Sealed"));
  EXPECT_EQ(header, "");
  EXPECT_EQ(source, "");
  EXPECT_EQ(kavrin_test::readFile(out.file("KAVRIN.LOG")),
            "DELEGATOR FAILED: fixtures.delegate.Sealed: the class fixtures.delegate.Sealed is final: no class can "
            "extend it\n");
  // A method whose twin needs more parameter slots than a method can have.
  EXPECT_FALSE(write("classgentest.TooWide"));
  // A class no module holds.
  EXPECT_FALSE(write("classgentest.Nowhere"));
  const std::string log = kavrin_test::readFile(out.file("KAVRIN.LOG"));
  EXPECT_NE(log.find("\nDELEGATOR FAILED: classgentest.TooWide: "), std::string::npos) << log;
  EXPECT_NE(log.find("\nDELEGATOR FAILED: classgentest.Nowhere: the class file cannot be loaded\n"), std::string::npos)
      << log;
  EXPECT_TRUE(generatedDelegators.empty());

  // Files that cannot be opened.
  ProxyGenerator blocked("fixtures.delegate.Greeter");
  const std::string underFile = out.file("KAVRIN.LOG") + "/";
  EXPECT_FALSE(blocked.genDelegator(underFile, false));

  // The text writer without both streams writes nothing and lets both go.
  ProxyGenerator generator("fixtures.delegate.Greeter");
  ASSERT_TRUE(generator.openOutputFiles(directory(), delegatorSuffix));
  delete generator.m_pSource;
  generator.m_pSource = nullptr;
  EXPECT_FALSE(generator.genDelegatorCode(loadTree("fixtures/delegate/Greeter"), false));
  EXPECT_EQ(generator.m_pHeader, nullptr);
  EXPECT_TRUE(generator.m_delegatedMethods.empty());
}

}  // namespace
