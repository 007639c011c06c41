// Forwarding method bodies and their Code attributes.
#include "ByteCodeGenerator.h"

#include "ClassFileTokenTypes.hpp"
#include "JavaTypes.h"
#include "ValueAST.h"

namespace {

typedef ClassFileTokenTypes T;

// A method can address locals 0-255 with one-byte indices; its parameters (with `this`) may take
// at most 255 slots.
const unsigned kMaxLocalIndex = 255;
const unsigned kMaxParameterSlots = 255;

// Opcodes besides the loads and returns of each type.
enum : uint8_t {
  kGetfield = 0xb4,
  kInvokevirtual = 0xb6,
  kInvokespecial = 0xb7,
};

}  // namespace

ByteCodeGenerator::ByteCodeGenerator(bool direct) : m_bDirect(direct) {}

// --- Bookkeeping ----------------------------------------------------------------------------

void ByteCodeGenerator::pushStack(uint16_t n) {
  if (static_cast<unsigned>(m_depth) + n > 0xffffu) throw ByteCodeException("ByteCodeGenerator stack overflow");
  m_depth = static_cast<uint16_t>(m_depth + n);
  if (m_maxStack < m_depth) m_maxStack = m_depth;
}

void ByteCodeGenerator::popStack(uint16_t n) {
  if (n > m_depth) throw ByteCodeException("ByteCodeGenerator stack underflow");
  m_depth = static_cast<uint16_t>(m_depth - n);
}

void ByteCodeGenerator::noteLocal(uint16_t index) {
  if (index >= m_maxLocals) m_maxLocals = static_cast<uint16_t>(index + 1);
}

void ByteCodeGenerator::emitByte(uint8_t b) {
  m_code.push_back(b);
  m_codeLength = static_cast<uint16_t>(m_codeLength + 1);
}

void ByteCodeGenerator::emitU2(uint16_t v) {
  emitByte(static_cast<uint8_t>(v >> 8));
  emitByte(static_cast<uint8_t>(v & 0xff));
}

// --- Descriptors ----------------------------------------------------------------------------

uint16_t ByteCodeGenerator::slotSize(const std::string& descriptor) {
  const JavaType* primitive = descriptor.size() == 1 ? javaPrimitive(descriptor[0]) : nullptr;
  return primitive ? primitive->slots : kJavaReference.slots;
}

std::vector<std::string> ByteCodeGenerator::parameterTypes(const std::string& methodDescriptor) {
  std::vector<std::string> types;
  DescriptorCursor cursor(methodDescriptor);
  if (!cursor.isMethod()) throw ByteCodeException("not a method descriptor: \"" + methodDescriptor + "\"");
  while (cursor.hasParameter()) {
    const TypeDescriptor parameter = cursor.nextParameter();
    if (!parameter.wellFormed)
      throw ByteCodeException("bad parameter in method descriptor \"" + methodDescriptor + "\"");
    types.emplace_back(parameter.text);
  }
  if (!cursor.closed()) throw ByteCodeException("not a method descriptor: \"" + methodDescriptor + "\"");
  return types;
}

std::string ByteCodeGenerator::returnType(const std::string& methodDescriptor) {
  const std::size_t paren = methodDescriptor.find(')');
  if (paren == std::string::npos) throw ByteCodeException("not a method descriptor: \"" + methodDescriptor + "\"");
  return methodDescriptor.substr(paren + 1);
}

std::string ByteCodeGenerator::memberDescriptor(uint16_t index, const char* what) const {
  if (!m_pool) throw ByteCodeException("no constant pool for the method body");
  const EntryHandle& ref = m_pool->at(index);
  const MemberRefEntry* member = ref ? dynamic_cast<const MemberRefEntry*>(ref.get()) : nullptr;
  if (!member)
    throw ByteCodeException(std::string("the ") + what + " index " + std::to_string(index) +
                            " names no member reference");
  const EntryHandle nameAndType = m_pool->at(member->getNameAndTypeIndex(), kTagNameAndType);
  if (!nameAndType)
    throw ByteCodeException(std::string("the ") + what + " at index " + std::to_string(index) +
                            " has no name and type");
  const uint16_t descriptorIndex = static_cast<const NameAndTypeEntry*>(nameAndType.get())->getDescriptorIndex();
  const EntryHandle descriptor = m_pool->at(descriptorIndex, kTagUtf8);
  if (!descriptor)
    throw ByteCodeException(std::string("the ") + what + " at index " + std::to_string(index) + " has no descriptor");
  return descriptor->getText();
}

std::string ByteCodeGenerator::targetDescriptor() const {
  if (!m_targetRef) throw ByteCodeException("no method to invoke");
  return memberDescriptor(m_targetRef->getIndex(), "invoked method");
}

// --- Instructions ---------------------------------------------------------------------------

uint16_t ByteCodeGenerator::emitLoadLocal(char type, uint16_t index) {
  // 'A' loads a reference; a letter of no type with values loads as an int.
  const JavaType* kind = type == 'A' ? &kJavaReference : javaPrimitive(type);
  if (!kind || kind->slots == 0) kind = javaPrimitive('I');
  const bool wide = kind->slots == 2;
  if (index > kMaxLocalIndex || (wide && index + 1u > kMaxLocalIndex))
    throw ByteCodeException("local variable " + std::to_string(index) + " is beyond the 256 locals of a method");
  pushStack(1);
  noteLocal(index);
  if (wide) {
    pushStack(1);
    noteLocal(static_cast<uint16_t>(index + 1));
  }
  if (index <= 3) {
    emitByte(static_cast<uint8_t>(kind->loadZeroOpcode + index));
  } else {
    emitByte(kind->loadOpcode);
    emitByte(static_cast<uint8_t>(index));
  }
  return wide ? static_cast<uint16_t>(index + 1) : index;
}

void ByteCodeGenerator::emitGetField(const EntryHandle& fieldRef) {
  if (!fieldRef) throw ByteCodeException("no peer field to load");
  const uint16_t index = fieldRef->getIndex();
  if (slotSize(memberDescriptor(index, "field")) == 2) pushStack(1);
  emitByte(kGetfield);
  emitU2(index);
}

void ByteCodeGenerator::emitInvokeVirtual(uint16_t argSlots) {
  popStack(argSlots);
  emitByte(kInvokevirtual);
  emitU2(m_targetRef ? m_targetRef->getIndex() : 0);
}

void ByteCodeGenerator::emitInvokeSpecial(uint16_t argSlots) {
  popStack(argSlots);
  emitByte(kInvokespecial);
  emitU2(m_targetRef ? m_targetRef->getIndex() : 0);
}

void ByteCodeGenerator::emitReturn(const JavaType& type) {
  popStack(type.slots);
  emitByte(type.returnOpcode);
}

void ByteCodeGenerator::emitIReturn() { emitReturn(*javaPrimitive('I')); }

void ByteCodeGenerator::emitFReturn() { emitReturn(*javaPrimitive('F')); }

void ByteCodeGenerator::emitAReturn() { emitReturn(kJavaReference); }

void ByteCodeGenerator::emitLReturn() { emitReturn(*javaPrimitive('J')); }

void ByteCodeGenerator::emitDReturn() { emitReturn(*javaPrimitive('D')); }

void ByteCodeGenerator::emitVoidReturn() { emitReturn(*javaPrimitive('V')); }

// --- The body ---------------------------------------------------------------------------------

void ByteCodeGenerator::setTarget(const EntryHandle& targetRef, const MemberHandle& peerField) {
  m_peerFieldRef.reset();
  if (peerField) {
    FieldInfoBuilder* field = dynamic_cast<FieldInfoBuilder*>(peerField.get());
    if (field && m_pool) m_peerFieldRef = field->fieldRef(*m_pool);
  }
  m_targetRef = targetRef;
  m_maxStack = 0;
  m_depth = 0;
  m_maxLocals = 0;
  m_codeLength = 0;
}

void ByteCodeGenerator::emitForwardingBody() {
  const std::string descriptor = targetDescriptor();
  std::vector<std::string> params = parameterTypes(descriptor);
  const std::string result = returnType(descriptor);

  // The invoked method's parameters with `this` must fit the locals of a method.
  unsigned slots = 1;
  for (const std::string& p : params) slots += slotSize(p);
  if (slots > kMaxParameterSlots)
    throw ByteCodeException("the method " + descriptor + " needs " + std::to_string(slots) +
                            " parameter slots; a method has at most 255");

  uint16_t local = 1;
  uint16_t argSlots = 1;
  emitLoadLocal('A', 0);
  std::size_t first = 0;
  if (!m_bDirect) {
    emitLoadLocal('A', 0);
    emitGetField(m_peerFieldRef);
    // The invoked native method's first parameter is the peer, already on the stack.
    if (params.empty() || params[0] != "J")
      throw ByteCodeException("the native method " + descriptor + " takes no peer");
    first = 1;
    argSlots = static_cast<uint16_t>(argSlots + 2);
  }
  for (std::size_t i = first; i < params.size(); ++i) {
    const std::string& p = params[i];
    argSlots = static_cast<uint16_t>(argSlots + slotSize(p));
    const char letter = p.size() == 1 ? p[0] : 'A';
    local = emitLoadLocal(letter, local);
    local = static_cast<uint16_t>(local + 1);
  }
  if (m_bDirect)
    emitInvokeSpecial(argSlots);
  else
    emitInvokeVirtual(argSlots);
  // The invoked method's result.
  pushStack(result.empty() ? 0 : slotSize(result));

  const JavaType* primitive = result.size() == 1 ? javaPrimitive(result[0]) : nullptr;
  const TypeDescriptor reference = readFieldDescriptor(result, 0);
  if (primitive)
    emitReturn(*primitive);
  else if (result.size() > 1 && reference.wellFormed && reference.text.size() == result.size())
    emitReturn(kJavaReference);
  else
    throw ByteCodeException("bad return type in method descriptor \"" + descriptor + "\"");
}

antlr::RefAST ByteCodeGenerator::buildCodeAttribute(const PoolHandle& pool, const EntryHandle& targetRef,
                                                    const MemberHandle& peerField) {
  m_pool = pool;
  setTarget(targetRef, peerField);
  emitForwardingBody();

  antlr::RefAST root(new IntAST(T::ATTRIBUTE_INFO_LENGTH, static_cast<int32_t>(attributeLength())));
  const antlr::RefAST code(new StringAST(T::ATTR_CODE, std::string()));
  root->setFirstChild(withChildren(
      code,
      {antlr::RefAST(new ShortAST(T::MAXSTACK, m_maxStack)), antlr::RefAST(new ShortAST(T::MAXLOCALS, m_maxLocals)),
       antlr::RefAST(new ByteArrayAST(T::CODE_BYTES, m_code)), antlr::RefAST(new ShortAST(T::ATTR_EXCEPTIONS, 0)),
       antlr::RefAST(new ShortAST(T::DEBUG_ATTRIBUTES, 0))}));
  return root;
}
