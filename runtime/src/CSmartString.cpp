// CSmartString: UTF-16 text with a narrow (UTF-8) copy made on demand; text conversions.
#include "RuntimeInternal.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace jni_helpers {

namespace detail {

namespace {

const jchar kReplacement = 0xFFFD;

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool isHighSurrogate(jchar u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(jchar u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::vector<jchar> utf8ToUtf16(const char* text, std::size_t length) {
    std::vector<jchar> out;
    out.reserve(length + 1);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0;
    while (i < length) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        std::size_t need = 0;
        std::uint32_t cp = 0;
        std::uint32_t min = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
            min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            min = 0x10000;
        } else {
            out.push_back(kReplacement);  // a stray continuation byte or an invalid lead byte
            ++i;
            continue;
        }
        std::size_t taken = 1;
        bool ok = true;
        for (; taken <= need; ++taken) {
            if (i + taken >= length || (p[i + taken] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (p[i + taken] & 0x3F);
        }
        if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
            i += taken;  // the lead byte and the continuation bytes read
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<jchar>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<jchar>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<jchar>(cp));
        }
        i += need + 1;
    }
    return out;
}

std::string utf16ToUtf8(const jchar* text, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const jchar u = text[i];
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (isHighSurrogate(u) && i + 1 < length && isLowSurrogate(text[i + 1])) {
            const std::uint32_t cp = 0x10000 + ((static_cast<std::uint32_t>(u) - 0xD800) << 10) +
                                     (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
            appendUtf8(out, cp);
            ++i;
        } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::string utf16ToModifiedUtf8(const jchar* text, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const jchar u = text[i];
        if (u != 0 && u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u == 0) {
            out.push_back(static_cast<char>(0xC0));  // zero takes two bytes
            out.push_back(static_cast<char>(0x80));
        } else {
            appendUtf8(out, u);  // every other unit, surrogates included, by itself
        }
    }
    return out;
}

std::string jniText(const CSmartString& text) {
    const unsigned short* units = text;
    if (units == nullptr)
        return std::string();
    return utf16ToModifiedUtf8(units, text.length());
}

}  // namespace detail

struct CSmartString::Text {
    std::vector<jchar> units;  // the text and a terminating zero unit
    std::string narrow;
    bool narrowMade = false;

    explicit Text(std::vector<jchar>&& u) : units(std::move(u)) { units.push_back(0); }
    Text(const jchar* u, std::size_t n) : units(u, u + n) { units.push_back(0); }
    std::size_t size() const { return units.size() - 1; }
};

namespace {

std::size_t wideLength(const unsigned short* text) {
    std::size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

std::uint32_t bstrByteCount(const unsigned short* bstr) {
    std::uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<const char*>(bstr) - sizeof bytes, sizeof bytes);
    return bytes;
}

}  // namespace

CSmartString::CSmartString() : m_pText(nullptr) {}

CSmartString::CSmartString(const CSmartString& other)
    : m_pText(other.m_pText ? new Text(other.m_pText->units.data(), other.m_pText->size()) : nullptr) {}

CSmartString::CSmartString(const char* text)
    : m_pText(text ? new Text(detail::utf8ToUtf16(text, std::strlen(text))) : nullptr) {}

CSmartString::CSmartString(const unsigned short* text)
    : m_pText(text ? new Text(text, wideLength(text)) : nullptr) {}

CSmartString::CSmartString(const unsigned short* text, unsigned int length)
    : m_pText(text ? new Text(text, length) : nullptr) {}

CSmartString::CSmartString(unsigned short* bstr, bool copy) : m_pText(nullptr) {
    if (bstr == nullptr)
        return;
    m_pText = new Text(bstr, bstrByteCount(bstr) / sizeof(jchar));
    if (!copy)
        FreeBSTR(bstr);
}

CSmartString::~CSmartString() { delete m_pText; }

CSmartString& CSmartString::operator=(const CSmartString& other) {
    if (this != &other) {
        Text* text = other.m_pText ? new Text(other.m_pText->units.data(), other.m_pText->size()) : nullptr;
        delete m_pText;
        m_pText = text;
    }
    return *this;
}

CSmartString& CSmartString::operator=(const char* text) {
    Text* t = text ? new Text(detail::utf8ToUtf16(text, std::strlen(text))) : nullptr;
    delete m_pText;
    m_pText = t;
    return *this;
}

CSmartString& CSmartString::operator=(const unsigned short* text) {
    Text* t = text ? new Text(text, wideLength(text)) : nullptr;
    delete m_pText;
    m_pText = t;
    return *this;
}

void CSmartString::Assign(unsigned short* bstr) {
    Text* t = bstr ? new Text(bstr, bstrByteCount(bstr) / sizeof(jchar)) : nullptr;
    delete m_pText;
    m_pText = t;
}

CSmartString& CSmartString::operator+=(const CSmartString& other) {
    if (!other.m_pText)
        return *this;
    std::vector<jchar> units;
    const std::size_t own = m_pText ? m_pText->size() : 0;
    units.reserve(own + other.m_pText->size() + 1);
    if (m_pText)
        units.insert(units.end(), m_pText->units.begin(), m_pText->units.begin() + own);
    units.insert(units.end(), other.m_pText->units.begin(), other.m_pText->units.end() - 1);
    Text* t = new Text(std::move(units));
    delete m_pText;
    m_pText = t;
    return *this;
}

CSmartString CSmartString::operator+(const CSmartString& other) const {
    CSmartString result(*this);
    result += other;
    return result;
}

CSmartString::operator const unsigned short*() const { return m_pText ? m_pText->units.data() : nullptr; }

CSmartString::operator unsigned short*() { return m_pText ? m_pText->units.data() : nullptr; }

CSmartString::operator const char*() const {
    if (!m_pText)
        return nullptr;
    if (!m_pText->narrowMade) {
        m_pText->narrow = detail::utf16ToUtf8(m_pText->units.data(), m_pText->size());
        m_pText->narrowMade = true;
    }
    return m_pText->narrow.c_str();
}

CSmartString::operator char*() {
    const CSmartString& self = *this;
    return const_cast<char*>(static_cast<const char*>(self));
}

unsigned int CSmartString::length() const { return m_pText ? static_cast<unsigned int>(m_pText->size()) : 0; }

unsigned short* CSmartString::copy(bool) const {
    return m_pText ? AllocBSTR(m_pText->units.data(), static_cast<unsigned int>(m_pText->size())) : nullptr;
}

bool CSmartString::operator!() const { return m_pText == nullptr; }

int CSmartString::compare(const CSmartString& other) const {
    if (!m_pText)
        return other.m_pText ? -1 : 0;
    if (!other.m_pText)
        return 1;
    const std::size_t a = m_pText->size();
    const std::size_t b = other.m_pText->size();
    const std::size_t n = a < b ? a : b;
    for (std::size_t i = 0; i < n; ++i) {
        const int d = static_cast<int>(m_pText->units[i]) - static_cast<int>(other.m_pText->units[i]);
        if (d != 0)
            return d;
    }
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool CSmartString::operator==(const CSmartString& other) const { return compare(other) == 0; }
bool CSmartString::operator!=(const CSmartString& other) const { return compare(other) != 0; }
bool CSmartString::operator<(const CSmartString& other) const { return compare(other) < 0; }
bool CSmartString::operator>(const CSmartString& other) const { return compare(other) > 0; }
bool CSmartString::operator<=(const CSmartString& other) const { return compare(other) <= 0; }
bool CSmartString::operator>=(const CSmartString& other) const { return compare(other) >= 0; }

unsigned short* CSmartString::AllocBSTR(const unsigned short* text, unsigned int length) {
    const std::uint32_t bytes = length * static_cast<std::uint32_t>(sizeof(jchar));
    char* block = static_cast<char*>(std::malloc(sizeof bytes + bytes + sizeof(jchar)));
    if (block == nullptr)
        throw std::bad_alloc();
    std::memcpy(block, &bytes, sizeof bytes);
    unsigned short* units = reinterpret_cast<unsigned short*>(block + sizeof bytes);
    if (text != nullptr && length > 0)
        std::memcpy(units, text, bytes);
    else if (length > 0)
        std::memset(units, 0, bytes);
    units[length] = 0;
    return units;
}

void CSmartString::FreeBSTR(unsigned short* bstr) {
    if (bstr != nullptr)
        std::free(reinterpret_cast<char*>(bstr) - sizeof(std::uint32_t));
}

}  // namespace jni_helpers
