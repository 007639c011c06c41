#include "ValueAST.h"

#include "NodeArena.h"
#include "NodePool.h"
#include "StringHelpers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

// --- Byte order ----------------------------------------------------------------------------
uint16_t swapBytes16(uint16_t value)
{
    return __builtin_bswap16(value);
}

uint32_t swapBytes32(uint32_t value)
{
    return __builtin_bswap32(value);
}

uint64_t swapBytes64(uint64_t value)
{
    return __builtin_bswap64(value);
}

namespace {
const unsigned char kFloatNaN[4] = {0x7F, 0xC0, 0x00, 0x00};
const unsigned char kDoubleNaN[8] = {0x7F, 0xF8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
}  // namespace

uint32_t floatToClassFile(float value)
{
    uint32_t word;
    if (std::isnan(value)) {
        std::memcpy(&word, kFloatNaN, sizeof word);
        return word;
    }
    std::memcpy(&word, &value, sizeof word);
    return swapBytes32(word);
}

uint64_t doubleToClassFile(double value)
{
    uint64_t word;
    if (std::isnan(value)) {
        std::memcpy(&word, kDoubleNaN, sizeof word);
        return word;
    }
    std::memcpy(&word, &value, sizeof word);
    return swapBytes64(word);
}

float floatFromClassFile(uint32_t word)
{
    const uint32_t bits = swapBytes32(word);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isnan(value))
        return std::numeric_limits<float>::quiet_NaN();
    return value;
}

double doubleFromClassFile(uint64_t word)
{
    const uint64_t bits = swapBytes64(word);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isnan(value))
        return std::numeric_limits<double>::quiet_NaN();
    return value;
}

// --- Token names ---------------------------------------------------------------------------
namespace {
const char* const* g_tokenNames = nullptr;
const int kVocabularySize = 100;

// The big-endian number in the first `width` class-file bytes of a node of another class;
// bytes that the node does not have count as zero.
uint64_t leadingBytes(const unsigned char* bytes, std::size_t count, std::size_t width)
{
    uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i)
        v = (v << 8) | (i < count ? bytes[i] : 0);
    return v;
}

template <typename T>
bool parseNumber(const std::string& text, T& out)
{
    const char* first = text.data();
    const char* last = first + text.size();
    auto res = std::from_chars(first, last, out);
    return res.ec == std::errc() && res.ptr != first;
}

std::string formatFloating(double value, std::chars_format fmt, int precision)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, fmt, precision);
    return std::string(buf, res.ptr);
}

template <typename T>
std::string formatInteger(T value)
{
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}
}  // namespace

void setTokenNameTable(const char* const* table)
{
    g_tokenNames = table;
}

// --- ValueAST ------------------------------------------------------------------------------
ValueAST::ValueAST()
{
    NodeArena::adopt(this);
}

ValueAST::ValueAST(const ValueAST& other) : antlr::BaseAST(other), m_nType(other.m_nType)
{
    NodeArena::adopt(this);
}

void ValueAST::initialize(int type, const std::string& text)
{
    setType(type);
    setText(text);
}

void ValueAST::initialize(antlr::RefAST t)
{
    if (!t)
        return;
    setType(t->getType());
    setText(t->getText());
}

void ValueAST::initialize(antlr::RefToken t)
{
    if (!t)
        return;
    setType(t->getType());
    setText(t->getText());
}

void* ValueAST::operator new(std::size_t size)
{
    if (void* p = NodeArena::allocate(size))
        return p;
    return node_pool::allocate(size);
}

void ValueAST::operator delete(void* p, std::size_t size) noexcept
{
    // Only a node whose construction failed can be arena memory here: antlr never deletes the
    // others.
    if (NodeArena::abandon(p))
        return;
    node_pool::deallocate(p, size);
}

ValueAST::~ValueAST()
{
    // antlr releases a sibling chain recursively, one nesting level per node: a pool or member
    // list of tens of thousands of nodes would exhaust the stack, and every level costs a return
    // that the processor cannot predict. A node releases the rest of its chain here, one node
    // after another, as far as the chain holds the only reference to it; each node is unlinked
    // from its successor before it goes, so that its own release does not recurse.
    if (!right)
        return;
    antlr::RefAST next = getNextSibling();
    right = antlr::RefBaseAST();
    while (next) {
        antlr::ASTRef* ref = antlr::ASTRef::getRef(next.get());
        const bool onlyHere = ref->count == 2;  // `next` and the getRef above
        ref->decrement();
        if (!onlyHere)
            break;
        antlr::RefAST after = next->getNextSibling();
        if (after)
            next->setNextSibling(antlr::RefAST());
        next = after;
    }
}

const char* ValueAST::typeName() const
{
    const int type = getType();
    if (g_tokenNames && type >= 0 && type < kVocabularySize)
        return g_tokenNames[type];
    return "ValueAST";
}

const ValueAST* asValueNode(const antlr::AST* node)
{
    if (!node)
        return nullptr;
    const std::type_info* type = &typeid(*node);
    if (type == &typeid(ShortAST) || type == &typeid(StringAST) || type == &typeid(IntAST) ||
        type == &typeid(ByteArrayAST) || type == &typeid(LongAST) || type == &typeid(DoubleAST) ||
        type == &typeid(FloatAST) || type == &typeid(WStringAST))
        return static_cast<const ValueAST*>(node);
    return dynamic_cast<const ValueAST*>(node);
}

const unsigned char* ValueAST::bytesOf(const antlr::RefAST& node, std::size_t& count)
{
    const ValueAST* v = asValueNode(node);
    if (!v) {
        count = 0;
        return nullptr;
    }
    count = v->getByteCount();
    return v->getBytes();
}

// --- ByteArrayAST --------------------------------------------------------------------------
ByteArrayAST::ByteArrayAST(int type, std::vector<unsigned char> value) : m_value(std::move(value))
{
    setType(type);
}

antlr::RefAST ByteArrayAST::clone() const
{
    return antlr::RefAST(new ByteArrayAST(*this));
}

void ByteArrayAST::initialize(antlr::RefAST t)
{
    if (!t)
        return;
    setType(t->getType());
    if (const ByteArrayAST* same = nodeAs<ByteArrayAST>(t)) {
        m_value = same->m_value;
        return;
    }
    std::size_t count = 0;
    const unsigned char* bytes = bytesOf(t, count);
    m_value.assign(bytes, bytes + count);
}

std::string ByteArrayAST::getText() const
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string text = "[Value Size:" + formatInteger(static_cast<long long>(m_value.size())) + "]";
    text.reserve(text.size() + 2 * m_value.size());
    for (unsigned char b : m_value) {
        text.push_back(kHex[b >> 4]);
        text.push_back(kHex[b & 0x0F]);
    }
    return text;
}

const unsigned char* ByteArrayAST::getBytes() const
{
    return m_value.data();
}

antlr::RefAST ByteArrayAST::factory()
{
    return antlr::RefAST(new ByteArrayAST);
}

// --- ShortAST ------------------------------------------------------------------------------
ShortAST::ShortAST(int type, uint16_t value) : m_value(value)
{
    setType(type);
}

antlr::RefAST ShortAST::clone() const
{
    return antlr::RefAST(new ShortAST(*this));
}

void ShortAST::initialize(antlr::RefAST t)
{
    if (!t)
        return;
    setType(t->getType());
    if (const ShortAST* same = nodeAs<ShortAST>(t)) {
        m_value = same->m_value;
        return;
    }
    std::size_t count = 0;
    const unsigned char* bytes = bytesOf(t, count);
    if (bytes)
        m_value = static_cast<uint16_t>(leadingBytes(bytes, count, 2));
    else
        setText(t->getText());
}

std::string ShortAST::getText() const
{
    return formatInteger(static_cast<int16_t>(m_value));
}

void ShortAST::setText(const std::string& text)
{
    int v = 0;
    if (parseNumber(text, v))
        m_value = static_cast<uint16_t>(v);
}

const unsigned char* ShortAST::getBytes() const
{
    m_bytes[0] = static_cast<unsigned char>(m_value >> 8);
    m_bytes[1] = static_cast<unsigned char>(m_value);
    return m_bytes;
}

antlr::RefAST ShortAST::factory()
{
    return antlr::RefAST(new ShortAST);
}

// --- StringAST -----------------------------------------------------------------------------
StringAST::StringAST(int type, std::string value) : m_value(std::move(value))
{
    setType(type);
}

antlr::RefAST StringAST::clone() const
{
    return antlr::RefAST(new StringAST(*this));
}

void StringAST::initialize(antlr::RefAST t)
{
    if (!t)
        return;
    setType(t->getType());
    if (const StringAST* same = nodeAs<StringAST>(t)) {
        m_value = same->m_value;
        return;
    }
    std::size_t count = 0;
    const unsigned char* bytes = bytesOf(t, count);
    if (bytes)
        m_value.assign(reinterpret_cast<const char*>(bytes), count);
    else
        m_value = t->getText();
}

const unsigned char* StringAST::getBytes() const
{
    return reinterpret_cast<const unsigned char*>(m_value.data());
}

antlr::RefAST StringAST::factory()
{
    return antlr::RefAST(new StringAST);
}

// --- WStringAST ----------------------------------------------------------------------------
WStringAST::WStringAST(int type, std::u16string value) : m_value(std::move(value))
{
    setType(type);
}

WStringAST::WStringAST(const WStringAST& other) : ValueAST(other), m_value(other.m_value) {}

antlr::RefAST WStringAST::clone() const
{
    return antlr::RefAST(new WStringAST(*this));
}

void WStringAST::initialize(antlr::RefAST t)
{
    if (!t)
        return;
    setType(t->getType());
    if (const WStringAST* same = nodeAs<WStringAST>(t)) {
        m_value = same->m_value;
        return;
    }
    std::size_t count = 0;
    const unsigned char* bytes = bytesOf(t, count);
    if (!bytes) {
        m_value = widenText(t->getText());
        return;
    }
    m_value.clear();
    for (std::size_t i = 0; i + 1 < count; i += 2)
        m_value.push_back(static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1]));
}

std::string WStringAST::getText() const
{
    return narrowText(m_value);
}

void WStringAST::setText(const std::string& text)
{
    m_value = widenText(text);
}

const unsigned char* WStringAST::getBytes() const
{
    std::vector<unsigned char> buffer(getByteCount());
    for (std::size_t i = 0; i < m_value.size(); ++i) {
        buffer[2 * i] = static_cast<unsigned char>(m_value[i] >> 8);
        buffer[2 * i + 1] = static_cast<unsigned char>(m_value[i]);
    }
    m_buffer.swap(buffer);
    return m_buffer.data();
}

antlr::RefAST WStringAST::factory()
{
    return antlr::RefAST(new WStringAST);
}

// --- IntAST --------------------------------------------------------------------------------
IntAST::IntAST(int type, int32_t value) : m_value(value)
{
    setType(type);
}

antlr::RefAST IntAST::clone() const
{
    return antlr::RefAST(new IntAST(*this));
}

void IntAST::initialize(antlr::RefAST t)
{
    if (!t)
        return;
    setType(t->getType());
    if (const IntAST* same = nodeAs<IntAST>(t)) {
        m_value = same->m_value;
        return;
    }
    std::size_t count = 0;
    const unsigned char* bytes = bytesOf(t, count);
    if (bytes)
        m_value = static_cast<int32_t>(static_cast<uint32_t>(leadingBytes(bytes, count, 4)));
    else
        setText(t->getText());
}

std::string IntAST::getText() const
{
    return formatInteger(m_value);
}

void IntAST::setText(const std::string& text)
{
    int32_t v = 0;
    if (parseNumber(text, v))
        m_value = v;
}

const unsigned char* IntAST::getBytes() const
{
    const uint32_t word = swapBytes32(static_cast<uint32_t>(m_value));
    std::memcpy(m_bytes, &word, sizeof word);
    return m_bytes;
}

antlr::RefAST IntAST::factory()
{
    return antlr::RefAST(new IntAST);
}

// --- FloatAST ------------------------------------------------------------------------------
FloatAST::FloatAST(int type, float value) : m_value(value)
{
    setType(type);
}

antlr::RefAST FloatAST::clone() const
{
    return antlr::RefAST(new FloatAST(*this));
}

void FloatAST::initialize(antlr::RefAST t)
{
    if (!t)
        return;
    setType(t->getType());
    if (const FloatAST* same = nodeAs<FloatAST>(t)) {
        m_value = same->m_value;
        return;
    }
    std::size_t count = 0;
    const unsigned char* bytes = bytesOf(t, count);
    if (!bytes) {
        setText(t->getText());
        return;
    }
    const uint32_t bits = static_cast<uint32_t>(leadingBytes(bytes, count, 4));
    m_value = floatFromClassFile(swapBytes32(bits));
}

std::string FloatAST::getText() const
{
    return formatFloating(m_value, std::chars_format::scientific, 6);
}

void FloatAST::setText(const std::string& text)
{
    float v = 0;
    if (parseNumber(text, v))
        m_value = v;
}

const unsigned char* FloatAST::getBytes() const
{
    const uint32_t word = floatToClassFile(m_value);
    std::memcpy(m_bytes, &word, sizeof word);
    return m_bytes;
}

antlr::RefAST FloatAST::factory()
{
    return antlr::RefAST(new FloatAST);
}

// --- LongAST -------------------------------------------------------------------------------
LongAST::LongAST(int type, int64_t value) : m_value(value)
{
    setType(type);
}

antlr::RefAST LongAST::clone() const
{
    return antlr::RefAST(new LongAST(*this));
}

void LongAST::initialize(antlr::RefAST t)
{
    if (!t)
        return;
    setType(t->getType());
    if (const LongAST* same = nodeAs<LongAST>(t)) {
        m_value = same->m_value;
        return;
    }
    std::size_t count = 0;
    const unsigned char* bytes = bytesOf(t, count);
    if (bytes)
        m_value = static_cast<int64_t>(leadingBytes(bytes, count, 8));
    else
        setText(t->getText());
}

std::string LongAST::getText() const
{
    return formatInteger(m_value) + "l";
}

void LongAST::setText(const std::string& text)
{
    int64_t v = 0;
    if (parseNumber(text, v))
        m_value = v;
}

const unsigned char* LongAST::getBytes() const
{
    const uint64_t word = swapBytes64(static_cast<uint64_t>(m_value));
    std::memcpy(m_bytes, &word, sizeof word);
    return m_bytes;
}

antlr::RefAST LongAST::factory()
{
    return antlr::RefAST(new LongAST);
}

// --- DoubleAST -----------------------------------------------------------------------------
DoubleAST::DoubleAST(int type, double value) : m_value(value)
{
    setType(type);
}

antlr::RefAST DoubleAST::clone() const
{
    return antlr::RefAST(new DoubleAST(*this));
}

void DoubleAST::initialize(antlr::RefAST t)
{
    if (!t)
        return;
    setType(t->getType());
    if (const DoubleAST* same = nodeAs<DoubleAST>(t)) {
        m_value = same->m_value;
        return;
    }
    std::size_t count = 0;
    const unsigned char* bytes = bytesOf(t, count);
    if (!bytes) {
        setText(t->getText());
        return;
    }
    const uint64_t bits = leadingBytes(bytes, count, 8);
    m_value = doubleFromClassFile(swapBytes64(bits));
}

std::string DoubleAST::getText() const
{
    return formatFloating(m_value, std::chars_format::general, 6);
}

void DoubleAST::setText(const std::string& text)
{
    double v = 0;
    if (parseNumber(text, v))
        m_value = v;
}

const unsigned char* DoubleAST::getBytes() const
{
    const uint64_t word = doubleToClassFile(m_value);
    std::memcpy(m_bytes, &word, sizeof word);
    return m_bytes;
}

antlr::RefAST DoubleAST::factory()
{
    return antlr::RefAST(new DoubleAST);
}
