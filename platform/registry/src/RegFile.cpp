// Parsing and writing of the .reg text, and the in-memory key tree.
#include "RegFile.h"
#include "Win32.h"

#include <cstdio>
#include <cstring>

namespace registry {
namespace detail {

namespace {

const char* const kHeader = "Windows Registry Editor Version 5.00";
const char* const kHeader4 = "REGEDIT4";
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
constexpr size_t kMaxKeyDepth = 512;

struct RootNames {
  const char* longName;
  const char* shortName;
};
const RootNames kRoots[kRootCount] = {
    {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_LOCAL_MACHINE", "HKLM"},
};

std::string trim(const std::string& s) { return win32::trim(s, " \t"); }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The number that 1 to 8 hex digits spell; otherwise false, with `error` set to `countError`
// or, for a character that is not a hex digit, to `digitError`.
bool hexNumber(const std::string& digits, DWORD& number, std::string& error, const char* countError,
               const std::string& digitError) {
  if (digits.empty() || digits.size() > 8) {
    error = countError;
    return false;
  }
  number = 0;
  for (char c : digits) {
    const int d = hexDigit(c);
    if (d < 0) {
      error = digitError;
      return false;
    }
    number = number * 16 + static_cast<DWORD>(d);
  }
  return true;
}

// Reads a quoted string starting at text[pos] == '"'; `pos` ends after the closing quote.
bool readQuoted(const std::string& text, size_t& pos, std::string& out, std::string& error) {
  out.clear();
  ++pos;
  while (pos < text.size()) {
    const char c = text[pos++];
    if (c == '"') return true;
    if (c == '\\') {
      if (pos >= text.size()) break;
      const char e = text[pos++];
      if (e != '\\' && e != '"') {
        error = std::string("unknown escape \"\\") + e + "\" (write \\\\ for a backslash)";
        return false;
      }
      out += e;
    } else {
      out += c;
    }
  }
  error = "unterminated string";
  return false;
}

bool readHexList(const std::string& text, std::string& bytes, std::string& error) {
  bytes.clear();
  const std::string list = trim(text);
  if (list.empty()) return true;
  size_t pos = 0;
  while (true) {
    const size_t comma = list.find(',', pos);
    const std::string item = trim(list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
    if (item.size() != 2 || hexDigit(item[0]) < 0 || hexDigit(item[1]) < 0) {
      error = "bad byte \"" + item + "\" in hex data";
      return false;
    }
    bytes += static_cast<char>(hexDigit(item[0]) * 16 + hexDigit(item[1]));
    if (comma == std::string::npos) return true;
    pos = comma + 1;
  }
}

bool isTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// Raw bytes of a text value: up to the first terminator.
std::string textFromBytes(const std::string& bytes) {
  const size_t nul = bytes.find('\0');
  return nul == std::string::npos ? bytes : bytes.substr(0, nul);
}

bool parseValueData(const std::string& text, Value& value, bool& remove, std::string& error) {
  remove = false;
  if (text == "-") {
    remove = true;
    return true;
  }
  if (!text.empty() && text[0] == '"') {
    size_t pos = 0;
    if (!readQuoted(text, pos, value.data, error)) return false;
    if (!trim(text.substr(pos)).empty()) {
      error = "unexpected text after the closing quote";
      return false;
    }
    // A text ends at its first NUL, as one set through the registry calls or written as hex does.
    value.data = textFromBytes(value.data);
    value.type = REG_SZ;
    return true;
  }
  if (text.compare(0, 6, "dword:") == 0) {
    const std::string digits = trim(text.substr(6));
    DWORD v = 0;
    if (!hexNumber(digits, v, error, "dword data needs 1 to 8 hex digits",
                   "bad hex digit in dword data \"" + digits + "\"")) {
      return false;
    }
    value.type = REG_DWORD;
    value.data.assign(reinterpret_cast<const char*>(&v), 4);
    return true;
  }
  if (text.compare(0, 4, "hex:") == 0) {
    value.type = REG_BINARY;
    return readHexList(text.substr(4), value.data, error);
  }
  if (text.compare(0, 4, "hex(") == 0) {
    const size_t close = text.find("):", 4);
    const std::string number = close == std::string::npos ? "" : text.substr(4, close - 4);
    DWORD type = 0;
    if (!hexNumber(number, type, error, "bad value type in \"hex(...)\"",
                   "bad value type \"" + number + "\" in \"hex(...)\"")) {
      return false;
    }
    if (!readHexList(text.substr(close + 2), value.data, error)) return false;
    value.type = type;
    if (isTextType(type)) value.data = textFromBytes(value.data);
    return true;
  }
  error = "unrecognised value data \"" + text.substr(0, 40) + "\"";
  return false;
}

std::string escapeText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

std::string hexList(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
    if (i > 0) out += ',';
    out += buf;
  }
  return out;
}

void formatValue(const Value& v, std::string& out) {
  out += v.name.empty() ? std::string("@") : "\"" + escapeText(v.name) + "\"";
  out += '=';
  if (v.type == REG_SZ && v.data.find_first_of("\r\n") == std::string::npos) {
    out += "\"" + escapeText(v.data) + "\"";
  } else if (v.type == REG_DWORD && v.data.size() == 4) {
    DWORD d;
    std::memcpy(&d, v.data.data(), 4);
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(d));
    out += buf;
  } else if (v.type == REG_BINARY) {
    out += "hex:" + hexList(v.data);
  } else {
    char buf[16];
    std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
    out += buf;
    out += hexList(isTextType(v.type) ? v.data + std::string(1, '\0') : v.data);
  }
  out += '\n';
}

void formatSection(const Key& key, const std::string& fullPath, bool isRoot, std::string& out) {
  if (!isRoot || !key.values.empty()) {
    out += "[" + fullPath + "]\n";
    for (const Value& v : key.values) formatValue(v, out);
    out += '\n';
  }
  for (const auto& entry : key.children) {
    formatSection(*entry.second, fullPath + "\\" + entry.second->name, false, out);
  }
}

}  // namespace

const char* rootName(int root) { return root >= 0 && root < kRootCount ? kRoots[root].longName : ""; }

int rootFromName(const std::string& name) {
  const std::string folded = fold(name);
  for (int i = 0; i < kRootCount; ++i) {
    if (folded == fold(kRoots[i].longName) || folded == fold(kRoots[i].shortName)) return i;
  }
  return -1;
}

int rootFromHandle(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return kClassesRoot;
  if (key == HKEY_CURRENT_USER) return kCurrentUser;
  if (key == HKEY_LOCAL_MACHINE) return kLocalMachine;
  return -1;
}

HKEY rootHandle(int root) {
  switch (root) {
    case kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case kCurrentUser:
      return HKEY_CURRENT_USER;
    default:
      return HKEY_LOCAL_MACHINE;
  }
}

std::string fold(const std::string& text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

Key* Key::child(const std::string& childName) const {
  auto it = children.find(fold(childName));
  return it == children.end() ? nullptr : it->second.get();
}

Key& Key::ensureChild(const std::string& childName, bool* created) {
  auto& slot = children[fold(childName)];
  if (created != nullptr) *created = !slot;
  if (!slot) {
    slot = std::make_unique<Key>();
    slot->name = childName;
  }
  return *slot;
}

bool Key::removeChild(const std::string& childName) { return children.erase(fold(childName)) > 0; }

const Value* Key::findValue(const std::string& valueName) const {
  const std::string folded = fold(valueName);
  for (const Value& v : values) {
    if (fold(v.name) == folded) return &v;
  }
  return nullptr;
}

void Key::setValue(const Value& value) {
  const std::string folded = fold(value.name);
  for (Value& v : values) {
    if (fold(v.name) == folded) {
      // The name keeps the case it was first given.
      v.type = value.type;
      v.data = value.data;
      return;
    }
  }
  values.push_back(value);
}

bool Key::removeValue(const std::string& valueName) {
  const std::string folded = fold(valueName);
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (fold(it->name) == folded) {
      values.erase(it);
      return true;
    }
  }
  return false;
}

void Key::clear() {
  children.clear();
  values.clear();
}

Tree::Tree() {
  for (int i = 0; i < kRootCount; ++i) roots[i].name = rootName(i);
}

Key* Tree::find(int root, const std::vector<std::string>& path) {
  if (root < 0 || root >= kRootCount) return nullptr;
  Key* key = &roots[root];
  for (const std::string& name : path) {
    key = key->child(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

bool splitKeyPath(const std::string& text, std::vector<std::string>& names, std::string* problem) {
  names.clear();
  const auto refuse = [problem](const std::string& why) {
    if (problem != nullptr) *problem = why;
    return false;
  };
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t sep = text.find('\\', pos);
    if (sep == std::string::npos) sep = text.size();
    const std::string name = text.substr(pos, sep - pos);
    if (!name.empty()) {
      const auto shown = [&name] {
        return "the key name \"" + (name.size() > 40 ? name.substr(0, 40) + "..." : name) + "\"";
      };
      if (name.size() > kMaxKeyNameLength) {
        return refuse(shown() + " is " + std::to_string(name.size()) + " characters long, more than " +
                      std::to_string(kMaxKeyNameLength));
      }
      if (name.find_first_of("\r\n") != std::string::npos) return refuse(shown() + " holds a line break");
      names.push_back(name);
      if (names.size() > kMaxKeyDepth) {
        return refuse("the path nests keys more than " + std::to_string(kMaxKeyDepth) + " deep");
      }
    }
    pos = sep + 1;
  }
  return true;
}

bool parseFullKeyPath(const std::string& text, int& root, std::vector<std::string>& names, std::string* problem) {
  const size_t sep = text.find('\\');
  root = rootFromName(text.substr(0, sep));
  if (root < 0) {
    if (problem != nullptr) {
      *problem =
          "it must start with a root key: HKLM, HKCU, HKCR or HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
          "HKEY_CLASSES_ROOT";
    }
    return false;
  }
  if (sep == std::string::npos) {
    names.clear();
    return true;
  }
  return splitKeyPath(text.substr(sep + 1), names, problem);
}

std::string joinKeyPath(int root, const std::vector<std::string>& names) {
  std::string out = rootName(root);
  for (const std::string& n : names) out += "\\" + n;
  return out;
}

bool validValueName(const std::string& name) {
  return name.size() <= kMaxValueNameLength && name.find_first_of("\r\n") == std::string::npos;
}

bool parseRegText(const std::string& input, std::vector<RegOp>& ops, std::string& error) {
  ops.clear();
  std::string text = input;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);

  // Split into lines; CR LF and LF both end a line.
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    pos = nl + 1;
  }

  if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0) {
    error = "line 1: the file is UTF-16 text; save it as UTF-8";
    return false;
  }

  size_t first = 0;
  while (first < lines.size() && trim(lines[first]).empty()) ++first;
  if (first == lines.size()) return true;  // nothing at all: an empty registry
  const std::string header = trim(lines[first]);
  if (header != kHeader && header != kHeader4) {
    error = "line " + std::to_string(first + 1) + ": expected \"" + kHeader + "\"";
    return false;
  }

  bool haveKey = false;
  bool keyDeleted = false;
  int root = 0;
  std::vector<std::string> path;
  for (size_t i = first + 1; i < lines.size(); ++i) {
    const int lineNo = static_cast<int>(i + 1);
    std::string line = trim(lines[i]);
    // Hex data may go on over several lines, each but the last ending in '\'.
    while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos && i + 1 < lines.size()) {
      line.pop_back();
      line += trim(lines[++i]);
    }
    const std::string where = "line " + std::to_string(lineNo) + ": ";
    if (line.empty() || line[0] == ';') continue;

    if (line[0] == '[') {
      if (line.back() != ']') {
        error = where + "key name without closing ']'";
        return false;
      }
      std::string name = line.substr(1, line.size() - 2);
      keyDeleted = !name.empty() && name[0] == '-';
      if (keyDeleted) name.erase(0, 1);
      std::string problem;
      if (!parseFullKeyPath(name, root, path, &problem)) {
        error = where + "bad key name \"" + name.substr(0, 80) + (name.size() > 80 ? "..." : "") + "\": " + problem;
        return false;
      }
      if (keyDeleted && path.empty()) {
        error = where + "a root key cannot be deleted";
        return false;
      }
      haveKey = true;
      RegOp op;
      op.kind = keyDeleted ? RegOp::kDeleteKey : RegOp::kKey;
      op.root = root;
      op.path = path;
      op.line = lineNo;
      ops.push_back(std::move(op));
      continue;
    }

    if (line[0] == '"' || line[0] == '@') {
      if (!haveKey || keyDeleted) {
        error = where + (haveKey ? "value in a deleted key" : "value before any [key] line");
        return false;
      }
      RegOp op;
      op.root = root;
      op.path = path;
      op.line = lineNo;
      size_t p = 0;
      if (line[0] == '@') {
        p = 1;
      } else if (!readQuoted(line, p, op.value.name, error)) {
        error = where + error;
        return false;
      }
      while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
      if (p >= line.size() || line[p] != '=') {
        error = where + "expected '=' after the value name";
        return false;
      }
      bool remove = false;
      if (!parseValueData(trim(line.substr(p + 1)), op.value, remove, error)) {
        error = where + error;
        return false;
      }
      op.kind = remove ? RegOp::kDeleteValue : RegOp::kSetValue;
      ops.push_back(std::move(op));
      continue;
    }

    error = where + "unrecognised line \"" + line.substr(0, 40) + "\"";
    return false;
  }
  return true;
}

void applyOps(const std::vector<RegOp>& ops, Tree& tree) {
  for (const RegOp& op : ops) {
    Key* key = &tree.roots[op.root];
    if (op.kind == RegOp::kDeleteKey) {
      std::vector<std::string> parentPath(op.path.begin(), op.path.end() - 1);
      if (Key* parent = tree.find(op.root, parentPath)) parent->removeChild(op.path.back());
      continue;
    }
    if (op.kind == RegOp::kDeleteValue) {
      if (Key* k = tree.find(op.root, op.path)) k->removeValue(op.value.name);
      continue;
    }
    for (const std::string& name : op.path) key = &key->ensureChild(name);
    if (op.kind == RegOp::kSetValue) key->setValue(op.value);
  }
}

std::string formatTree(const Tree& tree) {
  std::string out = std::string(kHeader) + "\n\n";
  for (int i = 0; i < kRootCount; ++i) formatSection(tree.roots[i], rootName(i), true, out);
  return out;
}

std::string formatKey(const Key& key, const std::string& fullPath) {
  std::string out = std::string(kHeader) + "\n\n";
  const bool isRoot = fullPath.find('\\') == std::string::npos;
  formatSection(key, fullPath, isRoot, out);
  return out;
}

}  // namespace detail
}  // namespace registry
