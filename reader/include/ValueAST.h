// Typed nodes of the class-file tree.
//
// Every item of a class file is one antlr node whose token type (ClassFileTokenTypes) names the
// item and whose class carries its value. A node gives its value back in class-file byte order
// (high byte first) through getBytes()/getByteCount(); the class-file writer emits exactly those
// bytes, so code that builds trees never encodes bytes itself.
//
//   class          value                    text                              bytes
//   ByteArrayAST   bytes                    "[Value Size:N]" + "%02X" per byte the bytes as held
//   ShortAST       unsigned 16-bit          "%d" of the value as signed 16    2, high byte first
//   StringAST      8-bit string             the value                         the characters
//   WStringAST     16-bit units             the value narrowed to UTF-8       2 per unit, high first
//   IntAST         signed 32-bit            "%d"                              4, high byte first
//   FloatAST       IEEE float               "%e"                              4 (NaN: 7F C0 00 00)
//   LongAST        signed 64-bit            decimal followed by 'l'           8, high byte first
//   DoubleAST      IEEE double              "%g"                              8 (NaN: 7F F8 00 .. 00)
//
// A node's text (getText) is always computed from its value, so the two never disagree; setText
// on a node stores a value parsed from the text where the class can hold it.
//
// Copies: antlr's ASTFactory::dup/dupTree/dupList call clone(), and ASTFactory::create(RefAST)
// makes the node class registered for the token type and calls initialize(RefAST). Every class
// here answers clone() with a node of its own class holding its own copy of the value, and
// initialize(RefAST) copies the value from a node of the same class, or otherwise decodes the
// source node's class-file bytes (three node kinds are built with a class other than the one
// registered for their token type: a stack-map frame, ATTR_ENCLOSINGMETHOD and the METHOD_INFO
// under it).
//
// Nodes are reference counted by antlr (not atomically): a tree is used by one thread at a time.
#pragma once

#include <antlr/AST.hpp>
#include <antlr/BaseAST.hpp>
#include <antlr/Token.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <typeinfo>
#include <vector>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the class-file byte order codecs assume a little-endian host");

// --- Class-file byte order ---------------------------------------------------------------
// The class file is big-endian and the host little-endian: each swap converts both ways.
uint16_t swapBytes16(uint16_t value);
uint32_t swapBytes32(uint32_t value);
uint64_t swapBytes64(uint64_t value);

// The value's IEEE bits in class-file order (as a word whose bytes in memory are the file's
// bytes). Any NaN becomes the canonical quiet NaN (7F C0 00 00 / 7F F8 00 00 00 00 00 00).
uint32_t floatToClassFile(float value);
uint64_t doubleToClassFile(double value);
// The inverse: a word read from the file as it lies in memory. Any NaN gives the quiet NaN.
float floatFromClassFile(uint32_t word);
double doubleFromClassFile(uint64_t word);

// Publishes the token-name table that ValueAST::typeName reads (the parser's static table of
// 100 names followed by a null entry). The class repository calls it before every parse.
void setTokenNameTable(const char* const* table);

// --- Nodes -------------------------------------------------------------------------------
// A node holds its token type and its value; its text is always made from the value, so the node
// keeps no text of its own (antlr's BaseAST rather than CommonAST, whose text string every node
// would carry unused).
class ValueAST : public antlr::BaseAST {
public:
    ValueAST();
    ValueAST(const ValueAST& other);
    ~ValueAST() override;

    // The name of the node's token type from the published token-name table.
    const char* typeName() const override;

    int getType() const override { return m_nType; }
    void setType(int type) override { m_nType = type; }
    // The type, then the text as setText takes it.
    void initialize(int type, const std::string& text) override;
    // The type and the text of the other node (each class copies its value instead).
    void initialize(antlr::RefAST t) override;
    void initialize(antlr::RefToken t) override;

    // The value in class-file byte order: getByteCount() bytes in storage owned by the node,
    // valid until the next getBytes() on the node or its destruction.
    virtual const unsigned char* getBytes() const = 0;
    virtual std::size_t getByteCount() const = 0;

    virtual bool isString() const { return false; }
    virtual bool isDouble() const { return false; }
    virtual bool isFloat() const { return false; }
    virtual bool isInt() const { return false; }
    virtual bool isLong() const { return false; }
    virtual bool isShort() const { return false; }
    virtual bool isByteArray() const { return false; }

    // Nodes made while a parse runs on the thread belong to the parse's tree and go with it as a
    // whole; others come from a pool that reuses the memory of released nodes.
    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;

    // Makes `child` the next sibling of `last`, or the first child of `parent` when `last` is
    // null, without walking the child list (antlr's addChild walks it every time).
    static void appendChild(ValueAST* parent, ValueAST* last, ValueAST* child)
    {
        if (last)
            last->right = child;
        else
            parent->down = child;
    }

protected:
    // The source node's class-file bytes when it is a ValueAST, else null (count 0).
    static const unsigned char* bytesOf(const antlr::RefAST& node, std::size_t& count);

private:
    friend class NodeArena;
    ValueAST& operator=(const ValueAST&) = delete;

    int m_nType = antlr::Token::INVALID_TYPE;
};

typedef antlr::ASTRefCount<ValueAST> RefValueAST;

// The node as a node of one of the classes here (or as a ValueAST), or null when it is none: the
// same as dynamic_cast, only cheaper for the node classes themselves, which are recognised by their
// exact type first.
template <typename Node>
const Node* nodeAs(const antlr::AST* node);
const ValueAST* asValueNode(const antlr::AST* node);

class ByteArrayAST : public ValueAST {
public:
    ByteArrayAST() = default;
    ByteArrayAST(int type, std::vector<unsigned char> value);
    ByteArrayAST(const ByteArrayAST& other) = default;

    std::vector<unsigned char> getValue() const { return m_value; }
    const std::vector<unsigned char>& value() const { return m_value; }
    void setValue(std::vector<unsigned char> value) { m_value = std::move(value); }

    antlr::RefAST clone() const override;
    void initialize(antlr::RefAST t) override;
    using ValueAST::initialize;
    std::string getText() const override;
    const unsigned char* getBytes() const override;
    std::size_t getByteCount() const override { return m_value.size(); }
    bool isByteArray() const override { return true; }
    static antlr::RefAST factory();

private:
    std::vector<unsigned char> m_value;
};

class ShortAST : public ValueAST {
public:
    ShortAST() = default;
    ShortAST(int type, uint16_t value);
    ShortAST(const ShortAST& other) = default;

    uint16_t getValue() const { return m_value; }
    void setValue(uint16_t value) { m_value = value; }

    antlr::RefAST clone() const override;
    void initialize(antlr::RefAST t) override;
    using ValueAST::initialize;
    std::string getText() const override;
    void setText(const std::string& text) override;
    const unsigned char* getBytes() const override;
    std::size_t getByteCount() const override { return 2; }
    bool isShort() const override { return true; }
    static antlr::RefAST factory();

private:
    uint16_t m_value = 0;
    mutable unsigned char m_bytes[2] = {0, 0};
};

class StringAST : public ValueAST {
public:
    StringAST() = default;
    StringAST(int type, std::string value);
    StringAST(const StringAST& other) = default;

    std::string getValue() const { return m_value; }
    const std::string& value() const { return m_value; }
    void setValue(std::string value) { m_value = std::move(value); }

    antlr::RefAST clone() const override;
    void initialize(antlr::RefAST t) override;
    using ValueAST::initialize;
    std::string getText() const override { return m_value; }
    void setText(const std::string& text) override { m_value = text; }
    const unsigned char* getBytes() const override;
    std::size_t getByteCount() const override { return m_value.size(); }
    bool isString() const override { return true; }
    static antlr::RefAST factory();

private:
    std::string m_value;
};

class WStringAST : public ValueAST {
public:
    WStringAST() = default;
    WStringAST(int type, std::u16string value);
    WStringAST(const WStringAST& other);

    std::u16string getValue() const { return m_value; }
    void setValue(std::u16string value) { m_value = std::move(value); }

    antlr::RefAST clone() const override;
    void initialize(antlr::RefAST t) override;
    using ValueAST::initialize;
    // The value narrowed to UTF-8 (an unpaired surrogate becomes '?').
    std::string getText() const override;
    void setText(const std::string& text) override;
    const unsigned char* getBytes() const override;
    std::size_t getByteCount() const override { return 2 * m_value.size(); }
    bool isString() const override { return true; }
    static antlr::RefAST factory();

private:
    std::u16string m_value;
    mutable std::vector<unsigned char> m_buffer;
};

class IntAST : public ValueAST {
public:
    IntAST() = default;
    IntAST(int type, int32_t value);
    IntAST(const IntAST& other) = default;

    int32_t getValue() const { return m_value; }
    void setValue(int32_t value) { m_value = value; }

    antlr::RefAST clone() const override;
    void initialize(antlr::RefAST t) override;
    using ValueAST::initialize;
    std::string getText() const override;
    void setText(const std::string& text) override;
    const unsigned char* getBytes() const override;
    std::size_t getByteCount() const override { return 4; }
    bool isInt() const override { return true; }
    static antlr::RefAST factory();

private:
    int32_t m_value = 0;
    mutable unsigned char m_bytes[4] = {0, 0, 0, 0};
};

class FloatAST : public ValueAST {
public:
    FloatAST() = default;
    FloatAST(int type, float value);
    FloatAST(const FloatAST& other) = default;

    float getValue() const { return m_value; }
    void setValue(float value) { m_value = value; }

    antlr::RefAST clone() const override;
    void initialize(antlr::RefAST t) override;
    using ValueAST::initialize;
    std::string getText() const override;
    void setText(const std::string& text) override;
    const unsigned char* getBytes() const override;
    std::size_t getByteCount() const override { return 4; }
    bool isFloat() const override { return true; }
    static antlr::RefAST factory();

private:
    float m_value = 0.0f;
    mutable unsigned char m_bytes[4] = {0, 0, 0, 0};
};

class LongAST : public ValueAST {
public:
    LongAST() = default;
    LongAST(int type, int64_t value);
    LongAST(const LongAST& other) = default;

    int64_t getValue() const { return m_value; }
    void setValue(int64_t value) { m_value = value; }

    antlr::RefAST clone() const override;
    void initialize(antlr::RefAST t) override;
    using ValueAST::initialize;
    std::string getText() const override;
    void setText(const std::string& text) override;
    const unsigned char* getBytes() const override;
    std::size_t getByteCount() const override { return 8; }
    bool isLong() const override { return true; }
    static antlr::RefAST factory();

private:
    int64_t m_value = 0;
    mutable unsigned char m_bytes[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};

class DoubleAST : public ValueAST {
public:
    DoubleAST() = default;
    DoubleAST(int type, double value);
    DoubleAST(const DoubleAST& other) = default;

    double getValue() const { return m_value; }
    void setValue(double value) { m_value = value; }

    antlr::RefAST clone() const override;
    void initialize(antlr::RefAST t) override;
    using ValueAST::initialize;
    std::string getText() const override;
    void setText(const std::string& text) override;
    const unsigned char* getBytes() const override;
    std::size_t getByteCount() const override { return 8; }
    bool isDouble() const override { return true; }
    static antlr::RefAST factory();

private:
    double m_value = 0.0;
    mutable unsigned char m_bytes[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};

template <typename Node>
inline const Node* nodeAs(const antlr::AST* node)
{
    if (!node)
        return nullptr;
    // The type's one type_info object within this library; another address falls back to the
    // general cast, so that a type seen through another copy of its type_info is still found.
    if (&typeid(*node) == &typeid(Node))
        return static_cast<const Node*>(node);
    return dynamic_cast<const Node*>(node);
}

template <typename Node>
inline const Node* nodeAs(const antlr::RefAST& node)
{
    return nodeAs<Node>(node.get());
}

inline const ValueAST* asValueNode(const antlr::RefAST& node)
{
    return asValueNode(node.get());
}

