// reg: reads and edits the registry file from the command line, as reg.exe does.
//
//   reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_EXPAND_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]
//   reg query KEY [/v NAME | /ve] [/s]
//   reg delete KEY [/v NAME | /ve | /va] [/f]
//   reg import FILE
//   reg export KEY FILE [/y]
//
// KEY starts with a root: HKLM, HKCU, HKCR or HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
// HKEY_CLASSES_ROOT. Options may also be written with '-'. Nothing ever asks for
// confirmation; /f and /y are accepted for compatibility. Exit status 0 on success,
// 1 with a message on stderr on failure.
#include "RegFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

using namespace registry::detail;

namespace {

struct Failure {
  std::string message;
};

std::string upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

std::string errorText(LONG rc) {
  switch (rc) {
    case ERROR_FILE_NOT_FOUND:
      return "The system was unable to find the specified registry key or value.";
    case ERROR_ACCESS_DENIED:
      return "Access is denied.";
    case ERROR_KEY_DELETED:
      return "The key was deleted.";
    case ERROR_BADDB:
      return "The configuration registry database is corrupt. " + registry::lastFileError();
    case ERROR_INVALID_DATA:
      return "The file is not a valid registry script. " + registry::lastFileError();
    case ERROR_INVALID_PARAMETER:
      return "Invalid key or value name.";
    default: {
      std::string text = "Error accessing the registry (code " + std::to_string(rc) + ").";
      const std::string detail = registry::lastFileError();
      return detail.empty() ? text : text + " " + detail;
    }
  }
}

void check(LONG rc) {
  if (rc != ERROR_SUCCESS) throw Failure{errorText(rc)};
}

// Options after the fixed arguments.
struct Options {
  bool hasValue = false;  // /v or /ve given
  std::string valueName;
  bool allValues = false;  // /va
  bool hasType = false;
  std::string type = "REG_SZ";
  bool hasData = false;
  std::string data;
  bool recursive = false;
};

Options parseOptions(const std::vector<std::string>& args, size_t from, const std::string& allowed) {
  Options o;
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || (a[0] != '/' && a[0] != '-')) throw Failure{"Invalid syntax: " + a};
    const std::string opt = upper(a.substr(1));
    auto next = [&]() -> std::string {
      if (i + 1 >= args.size()) throw Failure{"Invalid syntax: " + a + " needs an argument."};
      return args[++i];
    };
    if (allowed.find("|" + opt + "|") == std::string::npos) {
      throw Failure{"Invalid syntax: option " + a + " is not known here."};
    }
    if (opt == "V") {
      if (o.hasValue) throw Failure{"Invalid syntax: more than one value name."};
      o.hasValue = true;
      o.valueName = next();
    } else if (opt == "VE") {
      if (o.hasValue) throw Failure{"Invalid syntax: more than one value name."};
      o.hasValue = true;
      o.valueName.clear();
    } else if (opt == "VA") {
      o.allValues = true;
    } else if (opt == "T") {
      o.hasType = true;
      o.type = upper(next());
    } else if (opt == "D") {
      o.hasData = true;
      o.data = next();
    } else if (opt == "S") {
      o.recursive = true;
    }
    // F and Y: nothing asks for confirmation anyway.
  }
  return o;
}

struct KeyArg {
  int root;
  std::vector<std::string> path;
  std::string subKey;  // path below the root, '\'-joined
};

KeyArg parseKey(const std::string& text) {
  KeyArg k;
  std::string problem;
  if (!parseFullKeyPath(text, k.root, k.path, &problem)) {
    const std::string shown = text.size() > 80 ? text.substr(0, 80) + "..." : text;
    throw Failure{"Invalid key name \"" + shown + "\": " + problem + "."};
  }
  for (const std::string& n : k.path) k.subKey += (k.subKey.empty() ? "" : "\\") + n;
  return k;
}

const char* typeName(DWORD type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case 7:
      return "REG_MULTI_SZ";
    case 11:
      return "REG_QWORD";
    default:
      return "REG_UNKNOWN";
  }
}

std::string showData(const Value& v) {
  char buf[32];
  if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) return v.data;
  if (v.type == REG_DWORD && v.data.size() == 4) {
    DWORD d;
    std::memcpy(&d, v.data.data(), 4);
    std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(d));
    return buf;
  }
  std::string out;
  for (unsigned char c : v.data) {
    std::snprintf(buf, sizeof buf, "%02X", c);
    out += buf;
  }
  return out;
}

void printValue(const Value& v) {
  std::cout << "    " << (v.name.empty() ? "(Default)" : v.name) << "    " << typeName(v.type) << "    " << showData(v)
            << "\n";
}

int add(const std::vector<std::string>& args) {
  if (args.size() < 3) throw Failure{"Usage: reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]"};
  const KeyArg key = parseKey(args[2]);
  const Options o = parseOptions(args, 3, "|V|VE|T|D|F|");
  if (!o.hasValue && (o.hasType || o.hasData)) {
    throw Failure{"Invalid syntax: /t and /d need /v NAME or /ve."};
  }
  HKEY k = nullptr;
  check(RegCreateKeyEx(rootHandle(key.root), key.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                       o.hasValue ? KEY_SET_VALUE : KEY_READ, nullptr, &k, nullptr));
  LONG rc = ERROR_SUCCESS;
  if (o.hasValue) {
    std::string bytes;
    DWORD type;
    if (o.type == "REG_SZ" || o.type == "REG_EXPAND_SZ") {
      type = o.type == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
      bytes = o.data + std::string(1, '\0');
    } else if (o.type == "REG_DWORD") {
      type = REG_DWORD;
      unsigned long v = 0;
      if (o.hasData) {
        char* end = nullptr;
        errno = 0;
        v = std::strtoul(o.data.c_str(), &end, 0);
        if (o.data.empty() || *end != '\0' || o.data[0] == '-' || errno != 0 || v > 0xFFFFFFFFul) {
          RegCloseKey(k);
          throw Failure{"Invalid DWORD data \"" + o.data + "\"."};
        }
      }
      const DWORD d = static_cast<DWORD>(v);
      bytes.assign(reinterpret_cast<const char*>(&d), 4);
    } else if (o.type == "REG_BINARY") {
      type = REG_BINARY;
      if (o.data.size() % 2 != 0 || o.data.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        RegCloseKey(k);
        throw Failure{"Invalid binary data \"" + o.data + "\" (pairs of hex digits)."};
      }
      for (size_t i = 0; i < o.data.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(o.data.substr(i, 2), nullptr, 16));
      }
    } else {
      RegCloseKey(k);
      throw Failure{"Invalid type " + o.type + " (REG_SZ, REG_EXPAND_SZ, REG_DWORD or REG_BINARY)."};
    }
    rc = RegSetValueEx(k, o.valueName.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
  }
  RegCloseKey(k);
  check(rc);
  std::cout << "The operation completed successfully.\n";
  return 0;
}

void queryKey(const Key& key, const std::string& path, const Options& o, int& matches) {
  if (o.hasValue) {
    if (const Value* v = key.findValue(o.valueName)) {
      std::cout << "\n" << path << "\n";
      printValue(*v);
      ++matches;
    }
  } else {
    std::cout << "\n" << path << "\n";
    for (const Value& v : key.values) printValue(v);
    matches += static_cast<int>(key.values.size()) + 1;
  }
  if (o.recursive) {
    for (const auto& c : key.children) queryKey(*c.second, path + "\\" + c.second->name, o, matches);
  }
}

int query(const std::vector<std::string>& args) {
  if (args.size() < 3) throw Failure{"Usage: reg query KEY [/v NAME | /ve] [/s]"};
  const KeyArg key = parseKey(args[2]);
  const Options o = parseOptions(args, 3, "|V|VE|S|");
  HKEY k = nullptr;
  check(RegOpenKeyEx(rootHandle(key.root), key.subKey.c_str(), 0, KEY_READ, &k));
  RegCloseKey(k);
  Tree tree;
  check(loadSnapshot(tree));
  const Key* found = tree.find(key.root, key.path);
  if (found == nullptr) check(ERROR_FILE_NOT_FOUND);
  std::string path = rootName(key.root);
  {
    const Key* walk = &tree.roots[key.root];
    for (const std::string& n : key.path) {
      walk = walk->child(n);
      path += "\\" + walk->name;
    }
  }
  int matches = 0;
  queryKey(*found, path, o, matches);
  if (o.recursive) {
    std::cout << "\nEnd of search: " << matches << " match(es) found.\n";
  } else if (o.hasValue) {
    if (matches == 0) check(ERROR_FILE_NOT_FOUND);
    std::cout << "\n";
  } else {
    std::cout << "\n";
    if (!found->children.empty()) {
      for (const auto& c : found->children) std::cout << path << "\\" << c.second->name << "\n";
    }
  }
  return 0;
}

int remove(const std::vector<std::string>& args) {
  if (args.size() < 3) throw Failure{"Usage: reg delete KEY [/v NAME | /ve | /va] [/f]"};
  const KeyArg key = parseKey(args[2]);
  const Options o = parseOptions(args, 3, "|V|VE|VA|F|");
  const HKEY root = rootHandle(key.root);
  if (o.hasValue || o.allValues) {
    HKEY k = nullptr;
    check(RegOpenKeyEx(root, key.subKey.c_str(), 0, KEY_READ | KEY_SET_VALUE, &k));
    LONG rc = ERROR_SUCCESS;
    if (o.hasValue) {
      rc = RegDeleteValue(k, o.valueName.c_str());
    } else {
      // Delete every value: the names are read first, then removed one by one.
      std::vector<std::string> names;
      char name[16384];
      for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        const LONG e = RegEnumValue(k, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (e == ERROR_NO_MORE_ITEMS) break;
        if (e != ERROR_SUCCESS) {
          rc = e;
          break;
        }
        names.push_back(name);
      }
      for (size_t i = 0; rc == ERROR_SUCCESS && i < names.size(); ++i) {
        rc = RegDeleteValue(k, names[i].c_str());
      }
    }
    RegCloseKey(k);
    check(rc);
  } else {
    if (key.path.empty()) throw Failure{"Invalid key name: a root key cannot be deleted."};
    check(RegDeleteTree(root, key.subKey.c_str()));
  }
  std::cout << "The operation completed successfully.\n";
  return 0;
}

int import(const std::vector<std::string>& args) {
  if (args.size() != 3) throw Failure{"Usage: reg import FILE"};
  const LONG rc = registry::importFile(args[2]);
  if (rc != ERROR_SUCCESS) {
    // Problems with the file itself are told in its own words.
    const std::string detail = registry::lastFileError();
    throw Failure{detail.empty() || rc == ERROR_BADDB || rc == ERROR_INVALID_DATA ? errorText(rc)
                                                                                  : "Cannot import: " + detail};
  }
  std::cout << "The operation completed successfully.\n";
  return 0;
}

int exportKey(const std::vector<std::string>& args) {
  if (args.size() < 4) throw Failure{"Usage: reg export KEY FILE [/y]"};
  const KeyArg key = parseKey(args[2]);
  parseOptions(args, 4, "|Y|");
  check(registry::exportKey(args[2], args[3]));
  std::cout << "The operation completed successfully.\n";
  (void)key;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  try {
    const std::string op = args.size() > 1 ? upper(args[1]) : "";
    if (op == "ADD") return add(args);
    if (op == "QUERY") return query(args);
    if (op == "DELETE") return remove(args);
    if (op == "IMPORT") return import(args);
    if (op == "EXPORT") return exportKey(args);
    throw Failure{"Usage: reg add|query|delete|import|export ... (the registry file is " +
                  registry::registryFilePath() + ")"};
  } catch (const Failure& f) {
    std::cerr << "ERROR: " << f.message << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "ERROR: " << e.what() << "\n";
    return 1;
  }
}
