// The bytecode of the one kind of method body that generated classes need: a forwarding body
// that loads `this`, optionally the object's peer field, every parameter, invokes one method and
// returns its result; wrapped as a Code attribute subtree of the class-file tree.
//
//   peer-forwarding (direct false): aload_0, aload_0, getfield peer, the parameters from local 1
//       on, invokevirtual of the target (whose first parameter is the peer, a long), typed return
//   direct (true):                  aload_0, the parameters, invokespecial of the target, typed
//       return (the constructor of a generated class calling its super class's)
//
// The generator keeps the operand-stack depth and the local slots used, which give the attribute
// its max_stack and max_locals. It reads the invoked method's and the field's descriptors out of
// the pool of the class under construction, by index.
//
// Failures are thrown as ByteCodeException: a descriptor that is not a method or field
// descriptor, an index that names no entry of the right kind, a method whose parameters would
// need more than the 255 local slots a method can have, a stack underflow. Nothing is produced
// then.
#pragma once

#include "ConstantPool.h"
#include "MemberBuilders.h"

#include <antlr/AST.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class ByteCodeException : public std::runtime_error {
 public:
  explicit ByteCodeException(const std::string& message) : std::runtime_error(message) {}
};

class ByteCodeGenerator {
 public:
  explicit ByteCodeGenerator(bool direct);
  ByteCodeGenerator(const ByteCodeGenerator&) = delete;
  ByteCodeGenerator& operator=(const ByteCodeGenerator&) = delete;

  // Emits the body for invoking `targetRef` (a member reference of `pool`) and returns the
  // Code attribute subtree: ATTRIBUTE_INFO_LENGTH { ATTR_CODE { MAXSTACK MAXLOCALS CODE_BYTES
  // ATTR_EXCEPTIONS DEBUG_ATTRIBUTES } }. `peerField` is the builder of the peer field (its
  // Fieldref is found or added in `pool`); unused by a direct body, where it may be null.
  antlr::RefAST buildCodeAttribute(const PoolHandle& pool, const EntryHandle& targetRef, const MemberHandle& peerField);

  // The steps of buildCodeAttribute, for callers that assemble a body themselves.
  void setTarget(const EntryHandle& targetRef, const MemberHandle& peerField);
  void setPool(const PoolHandle& pool) { m_pool = pool; }
  void emitForwardingBody();
  // Loads local `index` of the type letter ("A" for references); returns index + 1 for D and
  // J, else index.
  uint16_t emitLoadLocal(char type, uint16_t index);
  void emitGetField(const EntryHandle& fieldRef);
  void emitInvokeVirtual(uint16_t argSlots);
  void emitInvokeSpecial(uint16_t argSlots);
  void emitIReturn();
  void emitLReturn();
  void emitFReturn();
  void emitDReturn();
  void emitAReturn();
  void emitVoidReturn();
  // The return of a value of the type (of nothing for void).
  void emitReturn(const JavaType& type);

  void pushStack(uint16_t n);
  void popStack(uint16_t n);
  void noteLocal(uint16_t index);
  void emitByte(uint8_t b);
  void emitU2(uint16_t v);

  // 2 for D and J, 0 for V, 1 for any other descriptor.
  static uint16_t slotSize(const std::string& descriptor);
  // The parameter descriptors of a method descriptor, in order; throws ByteCodeException when
  // the text is no method descriptor.
  static std::vector<std::string> parameterTypes(const std::string& methodDescriptor);
  // The return descriptor (after the ')').
  static std::string returnType(const std::string& methodDescriptor);

  // The descriptor of the method that targetRef names.
  std::string targetDescriptor() const;
  uint32_t attributeLength() const { return static_cast<uint32_t>(m_code.size()) + 12; }

  const std::vector<uint8_t>& getCode() const { return m_code; }
  uint16_t getMaxStack() const { return m_maxStack; }
  uint16_t getMaxLocals() const { return m_maxLocals; }
  uint16_t getDepth() const { return m_depth; }
  uint16_t getCodeLength() const { return m_codeLength; }

 private:
  // The descriptor of the member that the reference at `index` of the pool names.
  std::string memberDescriptor(uint16_t index, const char* what) const;

  std::vector<uint8_t> m_code;
  PoolHandle m_pool;
  EntryHandle m_peerFieldRef;
  EntryHandle m_targetRef;
  uint16_t m_maxStack = 0;
  uint16_t m_depth = 0;
  uint16_t m_maxLocals = 0;
  uint16_t m_codeLength = 0;
  bool m_bDirect;
};
