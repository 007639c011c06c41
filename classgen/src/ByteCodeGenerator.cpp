// Forwarding method bodies and their Code attributes.
#include "ByteCodeGenerator.h"

#include "ClassFileTokenTypes.hpp"
#include "ValueAST.h"

namespace {

typedef ClassFileTokenTypes T;

// A method can address locals 0-255 with one-byte indices; its parameters (with `this`) may take
// at most 255 slots.
const unsigned kMaxLocalIndex = 255;
const unsigned kMaxParameterSlots = 255;

// Opcodes.
enum : uint8_t {
    kIload = 0x15,
    kLload = 0x16,
    kFload = 0x17,
    kDload = 0x18,
    kAload = 0x19,
    kIload0 = 0x1a,
    kLload0 = 0x1e,
    kFload0 = 0x22,
    kDload0 = 0x26,
    kAload0 = 0x2a,
    kIreturn = 0xac,
    kLreturn = 0xad,
    kFreturn = 0xae,
    kDreturn = 0xaf,
    kAreturn = 0xb0,
    kReturn = 0xb1,
    kGetfield = 0xb4,
    kInvokevirtual = 0xb6,
    kInvokespecial = 0xb7,
};

bool isPrimitiveLetter(char c)
{
    switch (c) {
    case 'B': case 'C': case 'D': case 'F': case 'I': case 'J': case 'S': case 'Z':
        return true;
    default:
        return false;
    }
}

// The length of the field descriptor starting at `pos`, or 0 when there is none.
std::size_t fieldDescriptorLength(const std::string& text, std::size_t pos)
{
    std::size_t end = pos;
    while (end < text.size() && text[end] == '[')
        ++end;
    if (end - pos > 255 || end >= text.size())
        return 0;
    if (text[end] == 'L') {
        const std::size_t semi = text.find(';', end);
        if (semi == std::string::npos || semi == end + 1)
            return 0;
        return semi + 1 - pos;
    }
    return isPrimitiveLetter(text[end]) ? end + 1 - pos : 0;
}

}  // namespace

ByteCodeGenerator::ByteCodeGenerator(bool direct) : m_bDirect(direct) {}

// --- Bookkeeping ----------------------------------------------------------------------------

void ByteCodeGenerator::pushStack(uint16_t n)
{
    if (static_cast<unsigned>(m_depth) + n > 0xffffu)
        throw ByteCodeException("ByteCodeGenerator stack overflow");
    m_depth = static_cast<uint16_t>(m_depth + n);
    if (m_maxStack < m_depth)
        m_maxStack = m_depth;
}

void ByteCodeGenerator::popStack(uint16_t n)
{
    if (n > m_depth)
        throw ByteCodeException("ByteCodeGenerator stack underflow");
    m_depth = static_cast<uint16_t>(m_depth - n);
}

void ByteCodeGenerator::noteLocal(uint16_t index)
{
    if (index >= m_maxLocals)
        m_maxLocals = static_cast<uint16_t>(index + 1);
}

void ByteCodeGenerator::emitByte(uint8_t b)
{
    m_code.push_back(b);
    m_codeLength = static_cast<uint16_t>(m_codeLength + 1);
}

void ByteCodeGenerator::emitU2(uint16_t v)
{
    emitByte(static_cast<uint8_t>(v >> 8));
    emitByte(static_cast<uint8_t>(v & 0xff));
}

// --- Descriptors ----------------------------------------------------------------------------

uint16_t ByteCodeGenerator::slotSize(const std::string& descriptor)
{
    if (descriptor == "D" || descriptor == "J")
        return 2;
    if (descriptor == "V")
        return 0;
    return 1;
}

std::vector<std::string> ByteCodeGenerator::parameterTypes(const std::string& methodDescriptor)
{
    std::vector<std::string> types;
    if (methodDescriptor.empty() || methodDescriptor[0] != '(')
        throw ByteCodeException("not a method descriptor: \"" + methodDescriptor + "\"");
    std::size_t pos = 1;
    while (pos < methodDescriptor.size() && methodDescriptor[pos] != ')') {
        const std::size_t length = fieldDescriptorLength(methodDescriptor, pos);
        if (length == 0)
            throw ByteCodeException("bad parameter in method descriptor \"" + methodDescriptor + "\"");
        types.push_back(methodDescriptor.substr(pos, length));
        pos += length;
    }
    if (pos >= methodDescriptor.size())
        throw ByteCodeException("not a method descriptor: \"" + methodDescriptor + "\"");
    return types;
}

std::string ByteCodeGenerator::returnType(const std::string& methodDescriptor)
{
    const std::size_t paren = methodDescriptor.find(')');
    if (paren == std::string::npos)
        throw ByteCodeException("not a method descriptor: \"" + methodDescriptor + "\"");
    return methodDescriptor.substr(paren + 1);
}

std::string ByteCodeGenerator::memberDescriptor(uint16_t index, const char* what) const
{
    if (!m_pool)
        throw ByteCodeException("no constant pool for the method body");
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
        throw ByteCodeException(std::string("the ") + what + " at index " + std::to_string(index) +
                                " has no descriptor");
    return descriptor->getText();
}

std::string ByteCodeGenerator::targetDescriptor() const
{
    if (!m_targetRef)
        throw ByteCodeException("no method to invoke");
    return memberDescriptor(m_targetRef->getIndex(), "invoked method");
}

// --- Instructions ---------------------------------------------------------------------------

uint16_t ByteCodeGenerator::emitLoadLocal(char type, uint16_t index)
{
    const bool wide = type == 'D' || type == 'J';
    if (index > kMaxLocalIndex || (wide && index + 1u > kMaxLocalIndex))
        throw ByteCodeException("local variable " + std::to_string(index) + " is beyond the 256 locals of a method");
    pushStack(1);
    noteLocal(index);
    if (wide) {
        pushStack(1);
        noteLocal(static_cast<uint16_t>(index + 1));
    }
    uint8_t shortForm;
    uint8_t longForm;
    switch (type) {
    case 'A': shortForm = kAload0; longForm = kAload; break;
    case 'D': shortForm = kDload0; longForm = kDload; break;
    case 'F': shortForm = kFload0; longForm = kFload; break;
    case 'J': shortForm = kLload0; longForm = kLload; break;
    default: shortForm = kIload0; longForm = kIload; break;
    }
    if (index <= 3) {
        emitByte(static_cast<uint8_t>(shortForm + index));
    } else {
        emitByte(longForm);
        emitByte(static_cast<uint8_t>(index));
    }
    return wide ? static_cast<uint16_t>(index + 1) : index;
}

void ByteCodeGenerator::emitGetField(const EntryHandle& fieldRef)
{
    if (!fieldRef)
        throw ByteCodeException("no peer field to load");
    const uint16_t index = fieldRef->getIndex();
    if (slotSize(memberDescriptor(index, "field")) == 2)
        pushStack(1);
    emitByte(kGetfield);
    emitU2(index);
}

void ByteCodeGenerator::emitInvokeVirtual(uint16_t argSlots)
{
    popStack(argSlots);
    emitByte(kInvokevirtual);
    emitU2(m_targetRef ? m_targetRef->getIndex() : 0);
}

void ByteCodeGenerator::emitInvokeSpecial(uint16_t argSlots)
{
    popStack(argSlots);
    emitByte(kInvokespecial);
    emitU2(m_targetRef ? m_targetRef->getIndex() : 0);
}

void ByteCodeGenerator::emitIReturn()
{
    popStack(1);
    emitByte(kIreturn);
}

void ByteCodeGenerator::emitFReturn()
{
    popStack(1);
    emitByte(kFreturn);
}

void ByteCodeGenerator::emitAReturn()
{
    popStack(1);
    emitByte(kAreturn);
}

void ByteCodeGenerator::emitLReturn()
{
    popStack(2);
    emitByte(kLreturn);
}

void ByteCodeGenerator::emitDReturn()
{
    popStack(2);
    emitByte(kDreturn);
}

void ByteCodeGenerator::emitVoidReturn()
{
    emitByte(kReturn);
}

// --- The body ---------------------------------------------------------------------------------

void ByteCodeGenerator::setTarget(const EntryHandle& targetRef, const MemberHandle& peerField)
{
    m_peerFieldRef.reset();
    if (peerField) {
        FieldInfoBuilder* field = dynamic_cast<FieldInfoBuilder*>(peerField.get());
        if (field && m_pool)
            m_peerFieldRef = field->fieldRef(*m_pool);
    }
    m_targetRef = targetRef;
    m_maxStack = 0;
    m_depth = 0;
    m_maxLocals = 0;
    m_codeLength = 0;
}

void ByteCodeGenerator::emitForwardingBody()
{
    const std::string descriptor = targetDescriptor();
    std::vector<std::string> params = parameterTypes(descriptor);
    const std::string result = returnType(descriptor);

    // The invoked method's parameters with `this` must fit the locals of a method.
    unsigned slots = 1;
    for (const std::string& p : params)
        slots += slotSize(p);
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

    if (result.size() == 1) {
        switch (result[0]) {
        case 'B': case 'C': case 'I': case 'S': case 'Z': emitIReturn(); break;
        case 'D': emitDReturn(); break;
        case 'F': emitFReturn(); break;
        case 'J': emitLReturn(); break;
        case 'V': emitVoidReturn(); break;
        default: throw ByteCodeException("bad return type in method descriptor \"" + descriptor + "\"");
        }
    } else if (fieldDescriptorLength(result, 0) == result.size() && !result.empty()) {
        emitAReturn();
    } else {
        throw ByteCodeException("bad return type in method descriptor \"" + descriptor + "\"");
    }
}

antlr::RefAST ByteCodeGenerator::buildCodeAttribute(const PoolHandle& pool, const EntryHandle& targetRef,
                                                    const MemberHandle& peerField)
{
    m_pool = pool;
    setTarget(targetRef, peerField);
    emitForwardingBody();

    antlr::RefAST root(new IntAST(T::ATTRIBUTE_INFO_LENGTH, static_cast<int32_t>(attributeLength())));
    antlr::RefAST code(new StringAST(T::ATTR_CODE, std::string()));
    root->setFirstChild(code);
    antlr::RefAST children[] = {
        antlr::RefAST(new ShortAST(T::MAXSTACK, m_maxStack)),
        antlr::RefAST(new ShortAST(T::MAXLOCALS, m_maxLocals)),
        antlr::RefAST(new ByteArrayAST(T::CODE_BYTES, m_code)),
        antlr::RefAST(new ShortAST(T::ATTR_EXCEPTIONS, 0)),
        antlr::RefAST(new ShortAST(T::DEBUG_ATTRIBUTES, 0)),
    };
    code->setFirstChild(children[0]);
    for (std::size_t i = 1; i < sizeof children / sizeof children[0]; ++i)
        children[i - 1]->setNextSibling(children[i]);
    return root;
}
