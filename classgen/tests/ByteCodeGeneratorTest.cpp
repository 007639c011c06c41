// The bytecode generator: forwarding bodies, their max_stack and max_locals over a matrix of
// descriptors, the load forms by local index, failures as ByteCodeException; and a generated class
// over such a matrix loaded, verified (-Xverify:all) and run by JDK 17's VM.
#include "ByteCodeGenerator.h"
#include "ClassgenTestSupport.h"
#include "InterfaceImplBuilder.hpp"
#include "ProxyGenerator.h"
#include "StringHelpers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace classgen_test;

namespace {

// The pool of a class p/C with the field "peer" J, and member references to invoke.
class Body {
 public:
  Body() : pool(new ConstantPool()) {
    self = pool->append(EntryHandle(new ClassEntry(findOrAddUtf8(*pool, names, "p/C"))));
    FieldInfoBuilder* field = new FieldInfoBuilder(*pool, names, 0, "peer", "J");
    peer = field;
    field->setClassEntry(self);
    field->updateIndices();
  }

  // A Methodref of p/C.name with the descriptor.
  EntryHandle target(const std::string& descriptor, const std::string& name = "native0m") {
    const EntryHandle nat = pool->append(
        EntryHandle(new NameAndTypeEntry(findOrAddUtf8(*pool, names, name), findOrAddUtf8(*pool, names, descriptor))));
    return pool->append(EntryHandle(new MethodrefEntry(self, nat)));
  }

  PoolHandle pool;
  Utf8Positions names;
  EntryHandle self;
  MemberHandle peer;
};

uint16_t slots(const std::string& type) { return type == "J" || type == "D" ? 2 : 1; }

// One decoded instruction of a forwarding body.
struct Insn {
  uint8_t opcode;
  int operand;  // the local index of a load, the pool index of getfield and the invokes, else -1
};

std::vector<Insn> decode(const std::vector<uint8_t>& code) {
  std::vector<Insn> insns;
  for (std::size_t pc = 0; pc < code.size();) {
    const uint8_t op = code[pc];
    if (op >= 0x1a && op <= 0x2d) {  // xload_n
      insns.push_back({op, (op - 0x1a) % 4});
      pc += 1;
    } else if (op >= 0x15 && op <= 0x19) {  // xload index
      insns.push_back({op, code.at(pc + 1)});
      pc += 2;
    } else if (op == 0xb4 || op == 0xb6 || op == 0xb7) {
      insns.push_back({op, code.at(pc + 1) << 8 | code.at(pc + 2)});
      pc += 3;
    } else {
      insns.push_back({op, -1});
      pc += 1;
    }
  }
  return insns;
}

// The load opcode family of a parameter type: 0 iload .. 4 aload.
int loadFamily(const std::string& type) {
  if (type.size() > 1) return 4;
  switch (type[0]) {
    case 'J':
      return 1;
    case 'F':
      return 2;
    case 'D':
      return 3;
    default:
      return 0;
  }
}

int familyOf(uint8_t opcode) {
  if (opcode >= 0x1a && opcode <= 0x2d) return (opcode - 0x1a) / 4;
  return opcode - 0x15;
}

// return (0xb1) for void, else ireturn (0xac) .. areturn (0xb0), in the order of the load families.
uint8_t returnOpcode(const std::string& type) {
  return type == "V" ? 0xb1 : static_cast<uint8_t>(0xac + loadFamily(type));
}

// Checks a peer-forwarding body for parameters `params` and result `result` against an independent
// account of the locals and the stack.
void checkForwardingBody(const std::vector<std::string>& params, const std::string& result) {
  SCOPED_TRACE(::testing::PrintToString(params) + " -> " + result);
  std::string descriptor = "(J";
  for (const std::string& p : params) descriptor += p;
  descriptor += ")" + result;
  Body body;
  const EntryHandle ref = body.target(descriptor);
  ByteCodeGenerator generator(false);
  const antlr::RefAST attribute = generator.buildCodeAttribute(body.pool, ref, body.peer);

  unsigned paramSlots = 0;
  for (const std::string& p : params) paramSlots += slots(p);
  EXPECT_EQ(generator.getMaxStack(), 3 + paramSlots);   // this, the peer (2), the arguments
  EXPECT_EQ(generator.getMaxLocals(), 1 + paramSlots);  // this and the arguments

  const std::vector<Insn> insns = decode(generator.getCode());
  ASSERT_EQ(insns.size(), params.size() + 5);
  EXPECT_EQ(insns[0].opcode, 0x2a);
  EXPECT_EQ(insns[1].opcode, 0x2a);
  EXPECT_EQ(insns[2].opcode, 0xb4);
  const EntryHandle fieldRef = dynamic_cast<FieldInfoBuilder&>(*body.peer).fieldRef(*body.pool);
  EXPECT_EQ(insns[2].operand, fieldRef->getIndex());
  unsigned local = 1;
  for (std::size_t k = 0; k < params.size(); ++k) {
    const Insn& load = insns[3 + k];
    EXPECT_EQ(familyOf(load.opcode), loadFamily(params[k])) << "parameter " << k;
    EXPECT_EQ(load.operand, static_cast<int>(local)) << "parameter " << k;
    // Locals 0-3 have their own opcodes; from 4 on the index follows the opcode.
    EXPECT_EQ(load.opcode >= 0x1a, local <= 3) << "parameter " << k;
    local += slots(params[k]);
  }
  EXPECT_EQ(insns[3 + params.size()].opcode, 0xb6);
  EXPECT_EQ(insns[3 + params.size()].operand, ref->getIndex());
  EXPECT_EQ(insns.back().opcode, returnOpcode(result));

  // ATTRIBUTE_INFO_LENGTH { ATTR_CODE { MAXSTACK MAXLOCALS CODE_BYTES ATTR_EXCEPTIONS DEBUG_ATTRIBUTES } }
  EXPECT_EQ(attribute->getType(), T::ATTRIBUTE_INFO_LENGTH);
  EXPECT_EQ(dynamic_cast<IntAST&>(*attribute).getValue(), static_cast<int32_t>(generator.getCode().size() + 12));
  const antlr::RefAST code = attribute->getFirstChild();
  ASSERT_EQ(code->getType(), T::ATTR_CODE);
  const std::vector<antlr::RefAST> kids = children(code);
  ASSERT_EQ(kids.size(), 5u);
  EXPECT_EQ(shortOf(kids[0]), generator.getMaxStack());
  EXPECT_EQ(shortOf(kids[1]), generator.getMaxLocals());
  EXPECT_EQ(dynamic_cast<ByteArrayAST&>(*kids[2]).value(), generator.getCode());
  EXPECT_EQ(kids[3]->getType(), T::ATTR_EXCEPTIONS);
  EXPECT_EQ(shortOf(kids[3]), 0);
  EXPECT_EQ(kids[4]->getType(), T::DEBUG_ATTRIBUTES);
  EXPECT_EQ(shortOf(kids[4]), 0);
}

const std::vector<std::string> kTypes = {
    "Z", "B", "C", "S", "I", "J", "F", "D", "[I", "[[J", "[Ljava/lang/String;", "Ljava/lang/Object;"};

TEST(ForwardingBodies, TheWorkedExamples) {
  {
    Body body;
    ByteCodeGenerator generator(false);
    const EntryHandle ref = body.target("(JIJ)V");
    const antlr::RefAST attribute = generator.buildCodeAttribute(body.pool, ref, body.peer);
    const uint16_t field = dynamic_cast<FieldInfoBuilder&>(*body.peer).fieldRef(*body.pool)->getIndex();
    const std::vector<uint8_t> expected = {
        0x2a, 0x2a, 0xb4, static_cast<uint8_t>(field >> 8),           static_cast<uint8_t>(field),
        0x1b, 0x20, 0xb6, static_cast<uint8_t>(ref->getIndex() >> 8), static_cast<uint8_t>(ref->getIndex()),
        0xb1};
    EXPECT_EQ(generator.getCode(), expected);
    EXPECT_EQ(generator.getMaxStack(), 6);
    EXPECT_EQ(generator.getMaxLocals(), 4);
    EXPECT_EQ(dynamic_cast<IntAST&>(*attribute).getValue(), 23);
  }
  {
    Body body;
    ByteCodeGenerator generator(true);
    const EntryHandle ref = body.target("(Ljava/lang/String;)V", "<init>");
    generator.buildCodeAttribute(body.pool, ref, MemberHandle());
    EXPECT_EQ(generator.getCode(),
              (std::vector<uint8_t>{0x2a, 0x2b, 0xb7, 0, static_cast<uint8_t>(ref->getIndex()), 0xb1}));
    EXPECT_EQ(generator.getMaxStack(), 2);
    EXPECT_EQ(generator.getMaxLocals(), 2);
  }
  {
    // A direct call of a method with a result (a default method run with invokespecial)
    // returns it: the long result takes two slots of the stack.
    Body body;
    ByteCodeGenerator generator(true);
    const EntryHandle ref = body.target("(I)J", "twice");
    generator.buildCodeAttribute(body.pool, ref, MemberHandle());
    EXPECT_EQ(generator.getCode(),
              (std::vector<uint8_t>{0x2a, 0x1b, 0xb7, 0, static_cast<uint8_t>(ref->getIndex()), 0xad}));
    EXPECT_EQ(generator.getMaxStack(), 2);
    EXPECT_EQ(generator.getDepth(), 0);
    EXPECT_EQ(generator.getMaxLocals(), 2);
  }
  {
    Body body;
    ByteCodeGenerator generator(false);
    generator.buildCodeAttribute(body.pool, body.target("(J)V"), body.peer);
    EXPECT_EQ(generator.getCode().size(), 9u);
    EXPECT_EQ(generator.getMaxStack(), 3);
    EXPECT_EQ(generator.getMaxLocals(), 1);
  }
}

TEST(ForwardingBodies, EveryParameterAndResultType) {
  for (const std::string& result : kTypes) checkForwardingBody({}, result);
  checkForwardingBody({}, "V");
  for (const std::string& a : kTypes) {
    for (const std::string& b : kTypes) checkForwardingBody({a, b}, a);
  }
}

TEST(ForwardingBodies, LongListsMixingEveryKind) {
  // 25 parameters: every kind, doubles and longs between the others.
  std::vector<std::string> many;
  for (int k = 0; k < 25; ++k) many.push_back(kTypes[(k * 7) % kTypes.size()]);
  checkForwardingBody(many, "Ljava/lang/Object;");
  checkForwardingBody(many, "D");

  // Doubles and longs only: every second local, far beyond 3.
  checkForwardingBody({"D", "J", "D", "J", "D", "J", "D", "J", "D", "J", "D", "J"}, "J");

  // Locals beyond 127 are loaded with their unsigned index byte.
  std::vector<std::string> far(100, "J");
  far.push_back("I");
  checkForwardingBody(far, "I");
  Body body;
  ByteCodeGenerator generator(false);
  std::string descriptor = "(J";
  for (const std::string& p : far) descriptor += p;
  generator.buildCodeAttribute(body.pool, body.target(descriptor + ")V"), body.peer);
  const std::vector<Insn> insns = decode(generator.getCode());
  EXPECT_EQ(insns[3 + 100].opcode, 0x15);  // iload
  EXPECT_EQ(insns[3 + 100].operand, 201);
  EXPECT_EQ(generator.getMaxLocals(), 202);
}

TEST(ForwardingBodies, LoadFormsByLocalIndex) {
  const struct {
    char type;
    uint16_t index;
    std::vector<uint8_t> code;
  } cases[] = {
      {'A', 0, {0x2a}},        {'I', 3, {0x1d}},        {'D', 3, {0x29}},        {'F', 2, {0x24}},
      {'J', 1, {0x1f}},        {'I', 4, {0x15, 4}},     {'A', 127, {0x19, 127}}, {'F', 128, {0x17, 128}},
      {'D', 200, {0x18, 200}}, {'I', 255, {0x15, 255}}, {'J', 254, {0x16, 254}},
  };
  for (const auto& c : cases) {
    ByteCodeGenerator generator(false);
    const uint16_t next = generator.emitLoadLocal(c.type, c.index);
    EXPECT_EQ(generator.getCode(), c.code) << c.type << c.index;
    const bool wide = c.type == 'D' || c.type == 'J';
    EXPECT_EQ(next, wide ? c.index + 1 : c.index);
    EXPECT_EQ(generator.getDepth(), wide ? 2 : 1);
    EXPECT_EQ(generator.getMaxLocals(), c.index + (wide ? 2 : 1));
  }
  ByteCodeGenerator generator(false);
  EXPECT_THROW(generator.emitLoadLocal('I', 256), ByteCodeException);
  EXPECT_THROW(generator.emitLoadLocal('J', 255), ByteCodeException);
  EXPECT_TRUE(generator.getCode().empty());
}

TEST(ForwardingBodies, FailuresAreTypedExceptions) {
  // The native twin of 127 long parameters needs 257 slots with `this`.
  Body body;
  std::string descriptor = "(J";
  for (int k = 0; k < 127; ++k) descriptor += "J";
  ByteCodeGenerator tooWide(false);
  EXPECT_THROW(tooWide.buildCodeAttribute(body.pool, body.target(descriptor + ")V"), body.peer), ByteCodeException);
  // 126 longs still fit.
  ByteCodeGenerator fits(false);
  EXPECT_NO_THROW(
      fits.buildCodeAttribute(body.pool, body.target(descriptor.substr(0, descriptor.size() - 1) + ")V"), body.peer));
  EXPECT_EQ(fits.getMaxLocals(), 253);

  for (const char* bad : {"(JQ)V", "(J)Q", "(J[)V", "(JLjava/lang/String)V", "J)V", "(J"}) {
    ByteCodeGenerator generator(false);
    EXPECT_THROW(generator.buildCodeAttribute(body.pool, body.target(bad), body.peer), ByteCodeException) << bad;
  }
  // A native method without the peer, a target that is no member reference.
  ByteCodeGenerator noPeer(false);
  EXPECT_THROW(noPeer.buildCodeAttribute(body.pool, body.target("(I)V"), body.peer), ByteCodeException);
  ByteCodeGenerator noTarget(false);
  EXPECT_THROW(noTarget.buildCodeAttribute(body.pool, body.self, body.peer), ByteCodeException);
}

TEST(ForwardingBodies, DescriptorsSplitIntoParameters) {
  EXPECT_EQ(ByteCodeGenerator::parameterTypes("(IJ[[Ljava/lang/String;DLa/B;[Z)V"),
            (std::vector<std::string>{"I", "J", "[[Ljava/lang/String;", "D", "La/B;", "[Z"}));
  EXPECT_TRUE(ByteCodeGenerator::parameterTypes("()V").empty());
  EXPECT_EQ(ByteCodeGenerator::returnType("(I)[Ljava/lang/Object;"), "[Ljava/lang/Object;");
  EXPECT_EQ(ByteCodeGenerator::slotSize("D"), 2);
  EXPECT_EQ(ByteCodeGenerator::slotSize("J"), 2);
  EXPECT_EQ(ByteCodeGenerator::slotSize("V"), 0);
  EXPECT_EQ(ByteCodeGenerator::slotSize("[J"), 1);
}

// --- The real VM ------------------------------------------------------------------------------

// The class file of the implementation of an interface of the test classes.
std::vector<unsigned char> implementationBytes(const std::string& interfaceName) {
  ClassRepository repository;
  const antlr::RefAST tree = repository.loadClass(interfaceName, std::string());
  if (!tree) throw std::runtime_error("no class " + interfaceName);
  ProxyGenerator generator(replaceChar(interfaceName, '/', '.'));
  antlr::ASTFactory factory;
  InterfaceImplBuilder::initializeASTFactory(factory);
  InterfaceImplBuilder builder(&generator);
  builder.setASTFactory(&factory);
  builder.classFile(tree);
  const Written written = writeTree(builder.getAST());
  if (written.errors != 0) throw std::runtime_error("the writer reported errors");
  return written.bytes;
}

TEST(VerifiedByTheVm, AClassOverADescriptorMatrixLoadsVerifiesAndRuns) {
  ClassRepository::resetModules(std::string());
  ClassRepository::addModule(CLASSGEN_TEST_CLASSES);
  ClassRepository::addModule(std::string(kavrin_test::kJdkHome) + "/jmods/java.base.jmod");
  kavrin_test::TempDir dir("classgen-verify");
  kavrin_test::TempDir bootDir("classgen-verify-boot");
  for (const char* name :
       {"classgentest/Matrix", "classgentest/MatrixBase", "classgentest/WithLambda", "java/lang/Runnable"}) {
    const std::string implName = ClassBuilderBase::derivedClassName(name, "JNIImplementationOf");
    const bool boot = implName.compare(0, 5, "java/") == 0;
    kavrin_test::writeFile((boot ? bootDir : dir).file(implName + ".class"), implementationBytes(name));
  }
  const kavrin_test::CommandResult r = kavrin_test::runJava(
      dir.path() + ":" + CLASSGEN_TEST_CLASSES,
      {"-Xverify:all", "classgentest.VerifyImpl", "classgentest.JNIImplementationOfMatrix",
       "classgentest.JNIImplementationOfMatrixBase", "classgentest.JNIImplementationOfWithLambda"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  // Matrix: 21 methods of its own and MatrixBase's base (i is redeclared); MatrixBase: 2;
  // WithLambda: 2 (its lambda body is a private method, not forwarded), and the method that
  // runs the default method twice() (it returns the lambda).
  EXPECT_NE(r.output.find("VERIFIED 26 DEFAULTS 1"), std::string::npos) << r.output;

  // A class of java.lang belongs to the base module.
  const kavrin_test::CommandResult boot =
      kavrin_test::runJava(CLASSGEN_TEST_CLASSES, {"-Xverify:all", "--patch-module", "java.base=" + bootDir.path(),
                                                   "classgentest.VerifyImpl", "java.lang.JNIImplementationOfRunnable"});
  EXPECT_EQ(boot.exitCode, 0) << boot.output;
  EXPECT_NE(boot.output.find("VERIFIED 1 DEFAULTS 0"), std::string::npos) << boot.output;
}

}  // namespace
