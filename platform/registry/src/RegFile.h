// The registry's contents in memory and their .reg text form.
//
// File layout (the .reg format of version 5.00, UTF-8):
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Vendor]
//   "Name"="text with \\ and \" escaped"
//   @="default value"
//   "Count"=dword:0000002a
//   "Blob"=hex:01,02,ff
//   "Other"=hex(2):25,41,25,00      (any other type: its number in hex and the raw bytes;
//                                    REG_SZ text with a line break is written as hex(1))
// Reading also accepts "[-KEY]" (delete a key), "name"=- (delete a value), ';' comments,
// hex lists continued on the next line after a trailing '\', and the header "REGEDIT4".
#pragma once

#include "Registry.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace registry {
namespace detail {

enum RootIndex { kClassesRoot = 0, kCurrentUser = 1, kLocalMachine = 2, kRootCount = 3 };

// "HKEY_LOCAL_MACHINE" for kLocalMachine and so on.
const char* rootName(int root);
// Long or short root name ("HKEY_CURRENT_USER", "HKCU"), case ignored. -1 when unknown.
int rootFromName(const std::string& name);
// The root index of a predefined HKEY, -1 for any other value.
int rootFromHandle(HKEY key);
HKEY rootHandle(int root);

std::string fold(const std::string& text);

struct Value {
  std::string name;  // empty: the default value
  DWORD type = REG_SZ;
  std::string data;  // REG_SZ and REG_EXPAND_SZ: the text without terminator; else raw bytes
};

struct Key {
  std::string name;
  std::map<std::string, std::unique_ptr<Key>> children;  // by folded name: sorted, case ignored
  std::vector<Value> values;                             // in the order they were added

  Key* child(const std::string& childName) const;
  // Returns the child, creating it when missing (`created` tells which).
  Key& ensureChild(const std::string& childName, bool* created = nullptr);
  bool removeChild(const std::string& childName);
  const Value* findValue(const std::string& valueName) const;
  void setValue(const Value& value);
  bool removeValue(const std::string& valueName);
  void clear();
};

struct Tree {
  Key roots[kRootCount];
  Tree();
  // The key at `path` below `root`, or null.
  Key* find(int root, const std::vector<std::string>& path);
};

// One step of a .reg text.
struct RegOp {
  enum Kind { kKey, kDeleteKey, kSetValue, kDeleteValue } kind = kKey;
  int root = kLocalMachine;
  std::vector<std::string> path;
  Value value;
  int line = 0;
};

// Reads .reg text into steps. On failure returns false and "line N: what is wrong".
bool parseRegText(const std::string& text, std::vector<RegOp>& ops, std::string& error);
void applyOps(const std::vector<RegOp>& ops, Tree& tree);

// The whole registry as .reg text.
std::string formatTree(const Tree& tree);
// One key with everything below it as .reg text; `fullPath` is its name with the root.
std::string formatKey(const Key& key, const std::string& fullPath);

// Splits "a\b\c" into its names; empty names (doubled or outer '\') are skipped.
// Returns false for a name that cannot be stored (longer than 255 characters, a line break)
// or a path more than 512 keys deep; `problem`, when given, then names the limit passed.
bool splitKeyPath(const std::string& text, std::vector<std::string>& names, std::string* problem = nullptr);
// Splits "HKLM\SOFTWARE\X" into root and names. False when the root is unknown or the names
// cannot be stored; `problem`, when given, then says which.
bool parseFullKeyPath(const std::string& text, int& root, std::vector<std::string>& names,
                      std::string* problem = nullptr);
std::string joinKeyPath(int root, const std::vector<std::string>& names);
bool validValueName(const std::string& name);

// A copy of the registry file as it is now (no lock held afterwards).
LONG loadSnapshot(Tree& tree);

}  // namespace detail
}  // namespace registry
