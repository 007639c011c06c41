// The interface implementation builder and the files written from its result: the class built for
// an interface, index by index as the class-file writer writes it; what the generator is told;
// interfaces with overloads, redeclared methods, no methods, constants, nested types, lambdas,
// missing super-interfaces; inputs that are no interface; and how the file writer reports
// failures.
#include "ClassgenTestSupport.h"
#include "GenerationLog.h"
#include "InterfaceImplBuilder.hpp"
#include "ProxyGenerator.h"
#include "TestSupport.h"
#include "TypeMapping.h"

#include <antlr/ANTLRException.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <utility>

using namespace classgen_test;

namespace {

typedef BuiltClass Built;

Built build(ProxyGenerator& generator, const antlr::RefAST& interfaceTree) {
  return buildWith<InterfaceImplBuilder>(generator, interfaceTree);
}

Built buildClass(ProxyGenerator& generator, const std::string& name) { return build(generator, loadTree(name)); }

// <init> and, per interface method in key order, its twin then the method itself, and for the
// keys of `javaDefaults` the method that runs the Java implementation.
std::vector<Method> expectedMethods(const Signatures& interfaceMethods,
                                    const std::set<std::string>& javaDefaults = {}) {
  std::vector<Method> methods = {{0x0001, "<init>", "()V"}};
  for (const auto& m : sortedByKey(interfaceMethods)) {
    appendForwarded(methods, m);
    if (javaDefaults.count(m.first + m.second)) methods.push_back({0x1001, "default0" + m.first, m.second});
  }
  return methods;
}

const std::vector<std::pair<std::string, std::string>> kEverything = {
    {"reset", "()V"},
    {"touch", "(I)V"},
    {"calls", "()I"},
    {"isPositive", "(I)Z"},
    {"toByte", "(I)B"},
    {"toChar", "(I)C"},
    {"toShort", "(I)S"},
    {"add", "(II)I"},
    {"add", "(III)I"},
    {"add", "(JJ)J"},
    {"half", "(F)F"},
    {"twice", "(D)D"},
    {"greet", "(Ljava/lang/String;)Ljava/lang/String;"},
    {"greet", "(Ljava/lang/String;I)Ljava/lang/String;"},
    {"range", "(I)[I"},
    {"scale", "([DD)[D"},
    {"split", "(Ljava/lang/String;)[Ljava/lang/String;"},
    {"identity", "(Ljava/lang/Object;)Ljava/lang/Object;"},
    {"self", "()Lfixtures/impl/Everything;"},
    {"describe", "(ZBCSIJFDLjava/lang/String;Ljava/lang/Object;)Ljava/lang/String;"},
};

class Builder : public BuilderTest {};

TEST_F(Builder, EveryIndexNamesAnEntryOfTheRightKindAndText) {
  ProxyGenerator generator("fixtures.impl.Everything");
  generator.setIsInterface(true);
  const Built built = buildClass(generator, "fixtures/impl/Everything");
  EXPECT_EQ(built.name, "fixtures/impl/JNIImplementationOfEverything");
  const std::vector<Method> methods =
      checkGeneratedClass(built.parsed, built.name, "java/lang/Object", {"fixtures/impl/Everything"});
  EXPECT_EQ(methods, expectedMethods(kEverything));

  // Both methods of every pair reach the generator, at level 0, and the class is no interface.
  EXPECT_FALSE(generator.isInterface());
  EXPECT_EQ(generator.m_methods.size(), 2 * kEverything.size());
  for (const Method& m : methods) {
    if (m.name == "<init>") continue;
    MethodDescriptor key;
    key.setName(m.name);
    key.setSignature(m.descriptor);
    const auto found = generator.m_methods.find(key);
    ASSERT_NE(found, generator.m_methods.end()) << m;
    EXPECT_EQ(found->getAccessFlags(), m.flags) << m;
  }
  EXPECT_TRUE(generator.m_nativeMethods.empty());
  EXPECT_TRUE(built.missing.empty());
}

TEST_F(Builder, OverloadsGetATwinEachWithTheirOwnReferences) {
  ProxyGenerator generator("fixtures.impl.Everything");
  const Built built = buildClass(generator, "fixtures/impl/Everything");
  const std::vector<Method> methods =
      checkGeneratedClass(built.parsed, built.name, "java/lang/Object", {"fixtures/impl/Everything"});
  std::vector<std::string> twins;
  for (const Method& m : methods) {
    if (m.name == "native0add" || m.name == "native0greet") twins.push_back(m.name + m.descriptor);
  }
  EXPECT_EQ(twins, (std::vector<std::string>{"native0add(JII)I", "native0add(JIII)I", "native0add(JJJ)J",
                                             "native0greet(JLjava/lang/String;)Ljava/lang/String;",
                                             "native0greet(JLjava/lang/String;I)Ljava/lang/String;"}));
}

TEST_F(Builder, ARedeclaredSuperInterfaceMethodGivesOnePair) {
  ProxyGenerator generator("fixtures.impl.Child");
  const Built built = buildClass(generator, "fixtures/impl/Child");
  const std::vector<Method> methods =
      checkGeneratedClass(built.parsed, built.name, "java/lang/Object", {"fixtures/impl/Child"});
  EXPECT_EQ(methods, expectedMethods({{"id", "()Ljava/lang/String;"}, {"depth", "()I"}}));
  EXPECT_EQ(generator.m_methods.size(), 4u);

  // MatrixBase's i(I)I is redeclared by Matrix, base(String) only inherited.
  ProxyGenerator matrix("classgentest.Matrix");
  const Built matrixBuilt = buildClass(matrix, "classgentest/Matrix");
  const std::vector<Method> matrixMethods =
      checkGeneratedClass(matrixBuilt.parsed, matrixBuilt.name, "java/lang/Object", {"classgentest/Matrix"});
  EXPECT_EQ(std::count_if(matrixMethods.begin(), matrixMethods.end(), [](const Method& m) { return m.name == "i"; }),
            1);
  EXPECT_EQ(std::count_if(matrixMethods.begin(), matrixMethods.end(), [](const Method& m) { return m.name == "base"; }),
            1);
  // The static method and the constants are left out; 22 pairs and the constructor.
  EXPECT_EQ(matrixMethods.size(), 45u);
  EXPECT_EQ(
      std::count_if(matrixMethods.begin(), matrixMethods.end(), [](const Method& m) { return m.name == "helper"; }), 0);
}

TEST_F(Builder, AnEmptyInterfaceGetsTheFieldAndTheConstructorOnly) {
  ProxyGenerator generator("fixtures.impl.Marker");
  generator.setIsInterface(true);
  const Built built = buildClass(generator, "fixtures/impl/Marker");
  const std::vector<Method> methods =
      checkGeneratedClass(built.parsed, built.name, "java/lang/Object", {"fixtures/impl/Marker"});
  EXPECT_EQ(methods, (std::vector<Method>{{0x0001, "<init>", "()V"}}));
  EXPECT_TRUE(generator.m_methods.empty());
  EXPECT_FALSE(generator.isInterface());
}

TEST_F(Builder, RunnableInJavaLang) {
  ProxyGenerator generator("java.lang.Runnable");
  const Built built = buildClass(generator, "java/lang/Runnable");
  EXPECT_EQ(built.name, "java/lang/JNIImplementationOfRunnable");
  const std::vector<Method> methods =
      checkGeneratedClass(built.parsed, built.name, "java/lang/Object", {"java/lang/Runnable"});
  EXPECT_EQ(methods,
            (std::vector<Method>{{0x0001, "<init>", "()V"}, {0x0101, "native0run", "(J)V"}, {0x0001, "run", "()V"}}));
  std::vector<Method> reported;
  for (const MethodDescriptor& record : generator.m_methods)
    reported.push_back({record.getAccessFlags(), record.getName(), record.getSignature()});
  EXPECT_EQ(reported, (std::vector<Method>{{0x0101, "native0run", "(J)V"}, {0x0001, "run", "()V"}}));
}

TEST_F(Builder, AClassIsNoInterface) {
  ProxyGenerator generator("fixtures.impl.EverythingJava");
  EXPECT_EQ(refusalOf([&] { buildClass(generator, "fixtures/impl/EverythingJava"); }), "This is not an interface!");
  EXPECT_TRUE(generator.m_methods.empty());
}

TEST_F(Builder, ASealedInterfaceIsRefused) {
  ProxyGenerator generator("java.lang.constant.ConstantDesc");
  EXPECT_EQ(refusalOf([&] { buildClass(generator, "java/lang/constant/ConstantDesc"); }),
            "the type java.lang.constant.ConstantDesc is sealed: only the classes it permits can extend or "
            "implement it");
  EXPECT_TRUE(generator.m_methods.empty());
}

TEST_F(Builder, PoolEntriesOfEveryTagKeepTheirPositions) {
  // A lambda in a default method: method handles, a method type and invokedynamic entries.
  ProxyGenerator generator("classgentest.WithLambda");
  const antlr::RefAST tree = loadTree("classgentest/WithLambda");
  antlr::ASTFactory factory;
  InterfaceImplBuilder builder(&generator);
  builder.setASTFactory(&factory);
  builder.classFile(tree);
  const std::vector<antlr::RefAST> input = poolByIndex(tree);
  std::set<int> opaqueTags;
  for (std::size_t i = 1; i < input.size(); ++i) {
    const EntryHandle& entry = builder.getInputPool()->at(i);
    ASSERT_TRUE(entry) << i;
    EXPECT_EQ(entry->getIndex(), i);
    if (input[i]->getType() == T::ATTR_UNKNOWN) {
      opaqueTags.insert(entry->tag());
    } else if (input[i]->getType() == T::CONSTANT_UTF8) {
      EXPECT_EQ(entry->getText(), input[i]->getText()) << i;
    } else if (input[i]->getType() == T::CONSTANT_CLASS) {
      EXPECT_EQ(shortOf(entry->toAST()), shortOf(input[i])) << i;
    }
  }
  EXPECT_EQ(opaqueTags, (std::set<int>{15, 16, 18}));

  const Written written = writeTree(builder.getAST());
  ASSERT_EQ(written.errors, 0u);
  const std::vector<Method> methods = checkGeneratedClass(parseClassBytes(written.bytes), builder.getImplClassName(),
                                                          "java/lang/Object", {"classgentest/WithLambda"});
  // The lambda's body is a private method of the interface: not forwarded. The default method
  // twice() can be run.
  EXPECT_EQ(methods, expectedMethods({{"make", "()Ljava/lang/Runnable;"}, {"twice", "()Ljava/lang/Runnable;"}},
                                     {"twice()Ljava/lang/Runnable;"}));
}

TEST_F(Builder, AMissingSuperInterfaceIsNamedAndTheRestBuilt) {
  kavrin_test::TempDir module("classgen-orphan");
  useModulesWithoutGone(module, CLASSGEN_TEST_CLASSES);

  ProxyGenerator generator("classgentest.Orphan");
  const Built built = buildClass(generator, "classgentest/Orphan");
  EXPECT_EQ(built.missing, std::vector<std::string>{"classgentest/Gone"});
  EXPECT_EQ(checkGeneratedClass(built.parsed, built.name, "java/lang/Object", {"classgentest/Orphan"}),
            expectedMethods({{"own", "()V"}}));

  // The file writer logs one line naming it and writes the files.
  kavrin_test::TempDir out("classgen-orphan-out");
  const std::string directory = out.path() + "/";
  ProxyGenerator writer("classgentest.Orphan");
  EXPECT_TRUE(writer.genInterfaceImpl(directory, false));
  EXPECT_EQ(kavrin_test::readFile(out.file("KAVRIN.LOG")),
            "MISSING SUPER-INTERFACE: classgentest.Gone (of classgentest.Orphan)\n");
  EXPECT_NE(kavrin_test::readFile(out.file("classgentest_OrphanJNIImpl.cpp")).find("native0own"), std::string::npos);
}

TEST_F(Builder, AnInterfaceWithoutSuperClassExtendsObject) {
  const antlr::RefAST tree = parseClassBytes(
      kavrin_test::readFileBytes(std::string(kavrin_test::kFixtureClasses) + "/fixtures/impl/Counter.class"));
  const antlr::RefAST extends = child(topLevel(tree, T::THIS_INTERFACE), T::EXTENDS);
  ASSERT_TRUE(extends->getFirstChild());
  extends->setFirstChild(antlr::nullAST);
  ProxyGenerator generator("fixtures.impl.Counter");
  const Built built = build(generator, tree);
  EXPECT_EQ(checkGeneratedClass(built.parsed, built.name, "java/lang/Object", {"fixtures/impl/Counter"}),
            expectedMethods({{"next", "()I"}}));
}

TEST_F(Builder, ASecondWalkStartsAfresh) {
  ProxyGenerator fresh("fixtures.impl.Counter");
  const std::vector<unsigned char> expected = buildClass(fresh, "fixtures/impl/Counter").bytes;

  // One builder walks Everything, then Counter: nothing of the first walk reaches the second.
  ProxyGenerator generator("fixtures.impl.Counter");
  antlr::ASTFactory factory;
  InterfaceImplBuilder builder(&generator);
  builder.setASTFactory(&factory);
  builder.classFile(loadTree("fixtures/impl/Everything"));
  builder.classFile(loadTree("fixtures/impl/Counter"));
  EXPECT_EQ(writeTree(builder.getAST()).bytes, expected);
  builder.classFile(loadTree("fixtures/impl/Counter"));
  EXPECT_EQ(writeTree(builder.getAST()).bytes, expected);
}

TEST_F(Builder, JavapAcceptsTheWrittenClasses) {
  kavrin_test::TempDir dir("classgen-javap");
  const std::vector<std::pair<std::string, std::string>> interfaces = {
      {"fixtures/impl/Everything", "fixtures.impl.Everything"},
      {"fixtures/impl/Marker", "fixtures.impl.Marker"},
      {"classgentest/Matrix", "classgentest.Matrix"},
      {"classgentest/WithLambda", "classgentest.WithLambda"},
      {"java/lang/Runnable", "java.lang.Runnable"},
  };
  for (const auto& i : interfaces) {
    ProxyGenerator generator(i.second);
    const Built built = buildClass(generator, i.first);
    kavrin_test::writeFile(dir.file(built.name + ".class"), built.bytes);
    const kavrin_test::CommandResult r =
        kavrin_test::runCommand({kavrin_test::kJavap, "-v", "-p", dir.file(built.name + ".class")});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("rror"), std::string::npos) << r.output;
    // A class that calls a default method of its interface has the first version that allows it.
    const bool defaults = i.first == "classgentest/WithLambda";
    EXPECT_NE(r.output.find(defaults ? "minor version: 0" : "minor version: 3"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find(defaults ? "major version: 52" : "major version: 45"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("flags: (0x0021) ACC_PUBLIC, ACC_SUPER"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("implements " + i.second), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("long peer;"), std::string::npos) << r.output;
  }
}

// --- The file writer --------------------------------------------------------------------------

class ImplFiles : public Builder {
 protected:
  void SetUp() override {
    Builder::SetUp();
    generatedImpls.clear();
  }
  kavrin_test::TempDir out{"classgen-files"};
  std::string directory() const { return out.path() + "/"; }
};

TEST_F(ImplFiles, AFailedBuildIsLoggedAndEmitsNothing) {
  // The native twin of w needs more parameter slots than a method can have.
  ProxyGenerator generator("classgentest.TooWide");
  EXPECT_FALSE(generator.genInterfaceImpl(directory(), false));
  const std::string log = kavrin_test::readFile(out.file("KAVRIN.LOG"));
  EXPECT_EQ(log.rfind("IMPLEMENTATION FAILED: classgentest.TooWide: ", 0), 0u) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
  EXPECT_EQ(kavrin_test::readFile(out.file("classgentest_TooWideJNIImpl.h")), "");
  EXPECT_EQ(kavrin_test::readFile(out.file("classgentest_TooWideJNIImpl.cpp")), "");
  EXPECT_EQ(generatedImpls.count("classgentest.TooWide"), 0u);

  // A class is not written, and not logged here (the run logs it).
  ProxyGenerator notInterface("fixtures.impl.EverythingJava");
  EXPECT_FALSE(notInterface.genInterfaceImpl(directory(), false));
  EXPECT_EQ(kavrin_test::readFile(out.file("KAVRIN.LOG")), log);

  // Files that cannot be opened.
  ProxyGenerator blocked("fixtures.impl.Counter");
  const std::string underFile = out.file("KAVRIN.LOG") + "/";
  EXPECT_FALSE(blocked.genInterfaceImpl(underFile, false));
}

TEST_F(ImplFiles, AFileWrittenShortIsRemovedAndNotRecorded) {
  // The disk fills up inside the source: the source is removed, and the header with it.
  ProxyGenerator first("fixtures.impl.Counter");
  ASSERT_TRUE(first.genInterfaceImpl(directory(), false));
  const std::string header = kavrin_test::readFile(out.file("fixtures_impl_CounterJNIImpl.h"));
  generatedImpls.clear();
  injectGeneratedFileWriteFailure(header.size() + 1, ENOSPC);
  ProxyGenerator generator("fixtures.impl.Counter");
  const bool written = generator.genInterfaceImpl(directory(), false);
  clearGeneratedFileWriteFailure();
  EXPECT_FALSE(written);
  EXPECT_FALSE(std::filesystem::exists(out.file("fixtures_impl_CounterJNIImpl.h")));
  EXPECT_FALSE(std::filesystem::exists(out.file("fixtures_impl_CounterJNIImpl.cpp")));
  EXPECT_EQ(kavrin_test::readFile(out.file("KAVRIN.LOG")),
            "FAILED TO WRITE:" + out.file("fixtures_impl_CounterJNIImpl.cpp") +
                "\nFAILED TO WRITE:" + out.file("fixtures_impl_CounterJNIImpl.h") + "\n");
  EXPECT_EQ(generatedImpls.count("fixtures.impl.Counter"), 0u);
}

TEST_F(ImplFiles, BytesWithWriteErrorsAreNotEmbedded) {
  // An interface whose name is longer than a class-file text can be.
  const antlr::RefAST tree = parseClassBytes(
      kavrin_test::readFileBytes(std::string(kavrin_test::kFixtureClasses) + "/fixtures/impl/Marker.class"));
  bool renamed = false;
  for (const antlr::RefAST& entry : children(topLevel(tree, T::CONSTANT_POOL))) {
    if (entry->getType() == T::CONSTANT_UTF8 && entry->getText() == "fixtures/impl/Marker") {
      entry->setText("fixtures/impl/" + std::string(70000, 'M'));
      renamed = true;
    }
  }
  ASSERT_TRUE(renamed);
  ProxyGenerator generator("fixtures.impl.Marker");
  ASSERT_TRUE(generator.openOutputFiles(directory(), implSuffix));
  EXPECT_FALSE(generator.genInterfaceImplCode(tree, false));
  generator.closeOutputFiles();
  EXPECT_EQ(kavrin_test::readFile(out.file("fixtures_impl_MarkerJNIImpl.cpp")), "");
  EXPECT_EQ(kavrin_test::readFile(out.file("fixtures_impl_MarkerJNIImpl.h")), "");
}

TEST_F(ImplFiles, NoFilterOrSelectionDropsAForwardedMethod) {
  // The user unchecked add(II)I and the global filters exclude much; the Java class still
  // forwards every method, so each keeps its C++ member and thunk.
  std::set<std::string> selection = {"add(II)I", "native0add(JII)I", "calls()I"};
  const bool oldRegular = methodsExcludeRegular;
  const bool oldInherited = methodsExcludeInherited;
  setMethodsExcludeRegular(true);
  setMethodsExcludeInherited(true);
  ProxyGenerator generator("fixtures.impl.Everything");
  generator.m_pMemberSelection = &selection;
  generator.m_bUseGlobalFilter = true;
  const bool written = generator.genInterfaceImpl(directory(), false);
  setMethodsExcludeRegular(oldRegular);
  setMethodsExcludeInherited(oldInherited);
  ASSERT_TRUE(written);
  EXPECT_EQ(generator.m_methods.size(), 2 * kEverything.size());
  const std::string header = kavrin_test::readFile(out.file("fixtures_impl_EverythingJNIImpl.h"));
  const std::string source = kavrin_test::readFile(out.file("fixtures_impl_EverythingJNIImpl.cpp"));
  EXPECT_NE(header.find("virtual jint add(jint p0, jint p1){return 0;}"), std::string::npos) << header;
  EXPECT_NE(header.find("virtual jint calls(){return 0;}"), std::string::npos) << header;
  EXPECT_NE(source.find("{(char*)\"native0add\", (char*)\"(JII)I\", "), std::string::npos);
  EXPECT_NE(source.find("->add(p1, p2);"), std::string::npos);
  // Every native record has a table entry and a thunk.
  std::size_t entries = 0;
  for (std::size_t pos = source.find("(void*)"); pos != std::string::npos; pos = source.find("(void*)", pos + 1))
    ++entries;
  EXPECT_EQ(entries, kEverything.size());
}

TEST_F(ImplFiles, DefaultMethodsRunTheirJavaCodeUnlessOverridden) {
  // twice() is a default method: its C++ method is defined in the source and calls the Java
  // method that runs the default; make() is abstract and keeps its stub.
  ProxyGenerator generator("classgentest.WithLambda");
  ASSERT_TRUE(generator.genInterfaceImpl(directory(), false));
  const std::string header = kavrin_test::readFile(out.file("classgentest_WithLambdaJNIImpl.h"));
  const std::string source = kavrin_test::readFile(out.file("classgentest_WithLambdaJNIImpl.cpp"));
  EXPECT_NE(header.find("virtual JObject_t make(){return 0;}\n"), std::string::npos) << header;
  EXPECT_NE(header.find("virtual JObject_t twice();\n"), std::string::npos) << header;
  EXPECT_NE(source.find("JObject_t WithLambdaJNIImpl::twice\n"), std::string::npos) << source;
  EXPECT_NE(source.find("jclass objClass = ::jni_helpers::JNIEnvHelper::GetObjectClass(*this);\n"), std::string::npos)
      << source;
  EXPECT_NE(source.find("GetMethodID(objClass, \"default0twice\", \"()Ljava/lang/Runnable;\");"), std::string::npos)
      << source;
  EXPECT_NE(source.find("jobject o = ::jni_helpers::JNIEnvHelper::CallObjectMethod(*this, mthID);"), std::string::npos)
      << source;
  // The method is no native: it has no table entry and no thunk.
  EXPECT_EQ(source.find("\"default0twice\", (char*)"), std::string::npos) << source;
  EXPECT_EQ(source.find("_default0twice"), std::string::npos) << source;
}

TEST_F(ImplFiles, TheWrittenFilesAreRecordedForTheSharedHeader) {
  ProxyGenerator generator("fixtures.impl.Counter");
  ASSERT_TRUE(generator.genInterfaceImpl(directory(), true));
  EXPECT_EQ(generatedImpls.count("fixtures.impl.Counter"), 1u);
  EXPECT_FALSE(std::filesystem::exists(out.file("KAVRIN.LOG")));
  const std::string source = kavrin_test::readFile(out.file("fixtures_impl_CounterJNIImpl.cpp"));
  EXPECT_NE(source.find("#include \"stdafx.h\"\n#include \"defproxies.h\"\n"), std::string::npos);
  EXPECT_NE(source.find("const char* CounterJNIImpl::_clazzName = \"fixtures/impl/JNIImplementationOfCounter\";"),
            std::string::npos);
  // The embedded bytes are the class the builder makes.
  ProxyGenerator other("fixtures.impl.Counter");
  const Built built = buildClass(other, "fixtures/impl/Counter");
  EXPECT_EQ(embeddedBytes(source), built.bytes);
}

}  // namespace
