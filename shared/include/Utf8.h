// UTF-8 and UTF-16 text: one code point encoded, one character decoded, and whole texts converted
// between the two, in the forms that the generator, the runtime and the platform layers meet:
// standard UTF-8, the modified UTF-8 of Java class files and JNI, and bytes read by their bit
// patterns alone. Every place keeps its own answer to malformed text through the parameters
// (which form, what a malformed sequence becomes, what an unpaired surrogate becomes).
#pragma once

#include <cstddef>
#include <string>

namespace kavrin {

constexpr char32_t kReplacementCharacter = 0xFFFD;

constexpr bool isHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool isLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
constexpr bool isSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDFFF; }

// The bytes of one code point. A surrogate gets the three bytes of its own value, as modified
// UTF-8 writes it.
inline void appendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The 16-bit units of one code point (any container of 16-bit units with push_back): a
// surrogate pair for U+10000 to U+10FFFF. A value past U+10FFFF, which only reading by bit
// patterns yields, keeps its low 16 bits.
template <typename Units>
void appendUtf16(Units& out, char32_t code) {
  using Unit = typename Units::value_type;
  if (code < 0x10000 || code > 0x10FFFF) {
    out.push_back(static_cast<Unit>(code & 0xFFFF));
  } else {
    code -= 0x10000;
    out.push_back(static_cast<Unit>(0xD800 + (code >> 10)));
    out.push_back(static_cast<Unit>(0xDC00 + (code & 0x3FF)));
  }
}

enum class Utf8Form {
  // RFC 3629: no overlong form, no surrogate, nothing past U+10FFFF.
  Standard,
  // Java's: besides, C0 80 for U+0000 and surrogates encoded one by one; read, an encoded pair
  // of surrogates is one supplementary character of six bytes. Written, U+0000 takes C0 80 and
  // every unit its own bytes.
  Modified,
  // Read only: a lead byte (C0-F7) and the continuation bytes it announces, whatever value
  // they give.
  BitPattern,
};

struct Utf8Character {
  // The code point; the first byte's value when the bytes are malformed.
  char32_t code;
  // The character's bytes; when malformed, those of the malformed sequence: its first byte and
  // the continuation bytes after it, at most as many as the first byte announces.
  std::size_t length;
  bool valid;
};

// What reading UTF-8 into 16-bit units makes of a malformed sequence.
enum class MalformedUtf8 {
  EachByteReplaced,  // U+FFFD for its first byte; reading goes on at the next byte
  SequenceReplaced,  // U+FFFD for the whole malformed sequence
  ByteKept,          // its first byte's value as a unit; reading goes on at the next byte
};

namespace detail {

// The readers with the form fixed when compiled, for the loops over whole texts.

// decodeUtf8 without joining surrogate pairs.
template <Utf8Form form>
Utf8Character decodeUtf8Sequence(const char* text, std::size_t size, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned lead = byte(i);
  if (lead < 0x80) return {lead, 1, true};
  // C0 and C1 start only overlong forms, of which modified UTF-8 has one; F5-F7 only values
  // past U+10FFFF.
  constexpr unsigned lowestPairLead = form == Utf8Form::Standard ? 0xC2 : 0xC0;
  constexpr unsigned highestQuadLead = form == Utf8Form::BitPattern ? 0xF7 : 0xF4;
  std::size_t more;
  char32_t code;
  if (lead >= lowestPairLead && lead <= 0xDF) {
    more = 1;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= highestQuadLead) {
    more = 3;
    code = lead & 0x07;
  } else {
    return {lead, 1, false};
  }
  for (std::size_t k = 1; k <= more; ++k) {
    if (i + k >= size || (byte(i + k) & 0xC0) != 0x80) return {lead, k, false};
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  const std::size_t length = more + 1;
  if constexpr (form == Utf8Form::BitPattern) return {code, length, true};
  static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  bool valid = code >= kLeast[more] && code <= 0x10FFFF;
  if constexpr (form == Utf8Form::Modified)
    valid = valid || (lead == 0xC0 && byte(i + 1) == 0x80);
  else
    valid = valid && !isSurrogate(code);
  return {valid ? code : lead, length, valid};
}

template <Utf8Form form>
Utf8Character decodeUtf8(const char* text, std::size_t size, std::size_t i) {
  const Utf8Character c = decodeUtf8Sequence<form>(text, size, i);
  if constexpr (form == Utf8Form::Modified) {
    if (c.valid && isHighSurrogate(c.code) && i + 3 < size && static_cast<unsigned char>(text[i + 3]) == 0xED) {
      const Utf8Character low = decodeUtf8Sequence<form>(text, size, i + 3);
      if (low.valid && low.length == 3 && isLowSurrogate(low.code))
        return {0x10000 + ((c.code - 0xD800) << 10) + (low.code - 0xDC00), 6, true};
    }
  }
  return c;
}

template <Utf8Form form, typename Units>
void appendUtf8AsUtf16(Units& out, const char* text, std::size_t size, MalformedUtf8 malformed) {
  using Unit = typename Units::value_type;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  std::size_t i = 0;
  while (i < size) {
    // Runs of ASCII, most text, at once.
    std::size_t ascii = i;
    while (ascii < size && bytes[ascii] < 0x80) ++ascii;
    if (ascii > i) {
      out.insert(out.end(), bytes + i, bytes + ascii);
      i = ascii;
      continue;
    }
    const Utf8Character c = decodeUtf8<form>(text, size, i);
    if (c.valid) {
      appendUtf16(out, c.code);
      i += c.length;
    } else if (malformed == MalformedUtf8::ByteKept) {
      out.push_back(static_cast<Unit>(c.code));
      i += 1;
    } else {
      out.push_back(static_cast<Unit>(kReplacementCharacter));
      i += malformed == MalformedUtf8::SequenceReplaced ? c.length : 1;
    }
  }
}

}  // namespace detail

// The character of `text` (`size` bytes) at byte `i` (< size), read in `form`.
inline Utf8Character decodeUtf8(const char* text, std::size_t size, std::size_t i, Utf8Form form) {
  switch (form) {
    case Utf8Form::Standard:
      return detail::decodeUtf8<Utf8Form::Standard>(text, size, i);
    case Utf8Form::Modified:
      return detail::decodeUtf8<Utf8Form::Modified>(text, size, i);
    default:
      return detail::decodeUtf8<Utf8Form::BitPattern>(text, size, i);
  }
}

inline Utf8Character decodeUtf8(const std::string& text, std::size_t i, Utf8Form form) {
  return decodeUtf8(text.data(), text.size(), i, form);
}

// The 16-bit units of `size` bytes of UTF-8 in `form`, appended to `out`.
template <typename Units>
void appendUtf8AsUtf16(Units& out, const char* text, std::size_t size, Utf8Form form, MalformedUtf8 malformed) {
  switch (form) {
    case Utf8Form::Standard:
      return detail::appendUtf8AsUtf16<Utf8Form::Standard>(out, text, size, malformed);
    case Utf8Form::Modified:
      return detail::appendUtf8AsUtf16<Utf8Form::Modified>(out, text, size, malformed);
    default:
      return detail::appendUtf8AsUtf16<Utf8Form::BitPattern>(out, text, size, malformed);
  }
}

// The UTF-8 of `count` 16-bit units (char16_t, or an unsigned 16-bit type), in the Standard or the
// Modified form. Standard joins a surrogate pair into one code point and writes
// `unpairedSurrogate` for a surrogate without its partner; Modified writes every unit by itself
// and U+0000 as C0 80.
template <typename Unit>
std::string utf16ToUtf8(const Unit* units, std::size_t count, Utf8Form form,
                        char32_t unpairedSurrogate = kReplacementCharacter) {
  std::string out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const char32_t u = units[i];
    if (u < 0x80 && (u != 0 || form != Utf8Form::Modified)) {
      out.push_back(static_cast<char>(u));
    } else if (form == Utf8Form::Modified) {
      if (u == 0) {
        out.push_back(static_cast<char>(0xC0));
        out.push_back(static_cast<char>(0x80));
      } else {
        appendUtf8(out, u);
      }
    } else if (isHighSurrogate(u) && i + 1 < count && isLowSurrogate(units[i + 1])) {
      appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (static_cast<char32_t>(units[i + 1]) - 0xDC00));
      ++i;
    } else {
      appendUtf8(out, isSurrogate(u) ? unpairedSurrogate : u);
    }
  }
  return out;
}

}  // namespace kavrin
