// Scripted sessions: parsing, and the actions done through the driver.
#include "UiScript.h"

#include "Mfc.h"
#include "UiDriver.h"

#include <limits.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <sstream>

namespace ui {

namespace {

// How long `wait` and the closing of a dialog wait for the worker threads.
constexpr DWORD kWaitLimitMs = 10 * 60 * 1000;
constexpr DWORD kCloseWaitMs = 60 * 1000;
constexpr UINT kIconMask = 0xF0;

enum class Shape { Rest, None, Words, FieldAndText };

using Action = bool (*)(Script::State& state, HWND dialog, const Script::Line& line, std::string& why);

struct Verb {
  const char* name;
  Shape shape;
  bool prepares;  // only prepares an answer for a dialog to come
  Action action;
};

std::string trim(const std::string& text) { return win32::trim(text, " \t"); }

std::string unquote(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

// Blank-separated words; double quotes group blanks into a word and are taken off.
bool splitWords(const std::string& text, std::vector<std::string>& words, std::string& error) {
  if (win32::splitQuotedWords(text, words)) return true;
  error = "a double quote is not closed";
  return false;
}

// A control's text as the user reads it: without the '&' of mnemonics.
std::string plain(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

// --- Windows of the dialog --------------------------------------------------------------------
bool isClass(HWND window, const char* className) {
  return strcasecmp(windowState(window).className.c_str(), className) == 0;
}

// Every descendant of `root`, depth first in creation order.
void collect(HWND root, std::vector<HWND>& out) {
  for (HWND child : childWindows(root)) {
    out.push_back(child);
    collect(child, out);
  }
}

std::vector<HWND> descendants(HWND root) {
  std::vector<HWND> all;
  collect(root, all);
  return all;
}

// Enabled itself and every ancestor up to the dialog.
bool takesInput(HWND window, HWND dialog) {
  for (HWND w = window; w != nullptr; w = windowState(w).parent) {
    if (!windowState(w).enabled) return false;
    if (w == dialog) break;
  }
  return true;
}

bool isOpen(HWND dialog) {
  const WindowState state = windowState(dialog);
  return state.exists && state.visible;
}

// What stands in the way of a control the user looks for.
enum class Lack { Nothing, Missing, Hidden, Disabled };

std::string describe(const std::string& what, Lack lack) {
  switch (lack) {
    case Lack::Hidden:
      return what + " is hidden";
    case Lack::Disabled:
      return what + " is disabled";
    default:
      return what + " is not in the dialog";
  }
}

// The first control that `matches` in creation order, visible and taking input; otherwise null,
// with `lack` telling what stands in the way of the best candidate.
HWND findControl(HWND dialog, const std::function<bool(HWND)>& matches, Lack& lack) {
  lack = Lack::Missing;
  for (HWND w : descendants(dialog)) {
    if (!matches(w)) continue;
    if (!windowState(w).visible) {
      if (lack == Lack::Missing) lack = Lack::Hidden;
    } else if (!takesInput(w, dialog)) {
      lack = Lack::Disabled;
    } else {
      lack = Lack::Nothing;
      return w;
    }
  }
  return nullptr;
}

HWND findControl(HWND dialog, const std::string& what, const std::function<bool(HWND)>& matches, std::string& why) {
  Lack lack = Lack::Missing;
  const HWND found = findControl(dialog, matches, lack);
  if (found == nullptr) why = describe(what, lack);
  return found;
}

bool isButtonOfType(HWND window, std::initializer_list<DWORD> types) {
  if (!isClass(window, WC_BUTTON)) return false;
  const DWORD type = windowState(window).style & BS_TYPEMASK;
  for (DWORD t : types) {
    if (type == t) return true;
  }
  return false;
}

bool isCheckBox(HWND w) { return isButtonOfType(w, {BS_CHECKBOX, BS_AUTOCHECKBOX, BS_3STATE, BS_AUTO3STATE}); }
bool isRadioButton(HWND w) { return isButtonOfType(w, {BS_RADIOBUTTON, BS_AUTORADIOBUTTON}); }

int rowWithFirstColumn(HWND list, const std::string& text) {
  const ListState state = listState(list);
  for (size_t i = 0; i < state.items.size(); ++i) {
    if (!state.items[i].texts.empty() && state.items[i].texts[0] == text) return static_cast<int>(i);
  }
  return -1;
}

template <class Items>
int indexOf(const Items& items, const std::string& text) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) return static_cast<int>(i);
  }
  return -1;
}

HTREEITEM treeItemWithText(HWND tree, const std::string& text) {
  for (const TreeItemState& item : treeState(tree).items) {
    if (item.text == text) return item.handle;
  }
  return nullptr;
}

std::vector<std::string> tabItems(HWND tab) { return tabState(tab).items; }
std::vector<std::string> comboItems(HWND combo) { return comboState(combo).items; }

// --- Actions -------------------------------------------------------------------------------------
bool doPage(Script::State&, HWND dialog, const Script::Line& line, std::string& why) {
  const std::string& text = line.args[0];
  const HWND tree = findControl(
      dialog, "the page tree", [dialog](HWND w) { return isClass(w, WC_TREEVIEW) && windowState(w).parent == dialog; },
      why);
  if (tree == nullptr) return false;
  const HTREEITEM item = treeItemWithText(tree, text);
  if (item == nullptr) {
    why = "the page tree has no page " + quoted(text);
    return false;
  }
  if (!clickTreeItem(tree, item)) {
    why = "the page " + quoted(text) + " cannot be clicked";
    return false;
  }
  return true;
}

bool doClick(Script::State&, HWND dialog, const Script::Line& line, std::string& why) {
  const std::string& text = line.args[0];
  const HWND button = findControl(
      dialog, "the button " + quoted(text),
      [&](HWND w) { return isClass(w, WC_BUTTON) && plain(windowState(w).text) == text; }, why);
  if (button == nullptr) return false;
  if (!clickButton(button)) {
    why = "the button " + quoted(text) + " does not take the click";
    return false;
  }
  return true;
}

bool setChecked(HWND dialog, const std::string& text, bool checked, std::string& why) {
  const int wanted = checked ? BST_CHECKED : BST_UNCHECKED;
  Lack boxLack = Lack::Missing;
  const HWND box = findControl(
      dialog, [&](HWND w) { return (isCheckBox(w) || isRadioButton(w)) && plain(windowState(w).text) == text; },
      boxLack);
  if (box != nullptr) {
    if (buttonCheck(box) == wanted) return true;
    if (!checked && isRadioButton(box)) {
      why = "the radio button " + quoted(text) + " can only be checked";
      return false;
    }
    clickButton(box);
    pumpMessages();
    if (buttonCheck(box) != wanted) {
      why = "the check box " + quoted(text) + " does not take the " + (checked ? "check" : "uncheck");
      return false;
    }
    return true;
  }
  Lack rowLack = Lack::Missing;
  const HWND list = findControl(
      dialog, [&](HWND w) { return isClass(w, WC_LISTVIEW) && rowWithFirstColumn(w, text) >= 0; }, rowLack);
  if (list == nullptr) {
    if (boxLack != Lack::Missing) {
      why = describe("the check box " + quoted(text), boxLack);
    } else if (rowLack != Lack::Missing) {
      why = describe("the list of the row " + quoted(text), rowLack);
    } else {
      why = "neither a check box nor a list row " + quoted(text) + " is in the dialog";
    }
    return false;
  }
  const int row = rowWithFirstColumn(list, text);
  if (!setListItemChecked(list, row, checked)) {
    why = "the list row " + quoted(text) + " has no check box";
    return false;
  }
  pumpMessages();
  const int now = rowWithFirstColumn(list, text);
  if (now < 0 || listState(list).items[static_cast<size_t>(now)].checked != checked) {
    why = "the list row " + quoted(text) + " does not take the " + (checked ? "check" : "uncheck");
    return false;
  }
  return true;
}

bool doCheck(Script::State&, HWND dialog, const Script::Line& line, std::string& why) {
  return setChecked(dialog, line.args[0], true, why);
}

bool doUncheck(Script::State&, HWND dialog, const Script::Line& line, std::string& why) {
  return setChecked(dialog, line.args[0], false, why);
}

bool doSelect(Script::State&, HWND dialog, const Script::Line& line, std::string& why) {
  const std::string& text = line.args[0];
  const HWND control = findControl(
      dialog, "a row, item or entry " + quoted(text),
      [&](HWND w) {
        if (isClass(w, WC_LISTVIEW)) return rowWithFirstColumn(w, text) >= 0;
        if (isClass(w, WC_TREEVIEW)) return treeItemWithText(w, text) != nullptr;
        if (isClass(w, WC_COMBOBOX)) return indexOf(comboItems(w), text) >= 0;
        if (isClass(w, WC_TABCONTROL)) return indexOf(tabItems(w), text) >= 0;
        return false;
      },
      why);
  if (control == nullptr) return false;
  bool done = false;
  if (isClass(control, WC_LISTVIEW)) {
    done = clickListItem(control, rowWithFirstColumn(control, text));
  } else if (isClass(control, WC_TREEVIEW)) {
    done = clickTreeItem(control, treeItemWithText(control, text));
  } else if (isClass(control, WC_COMBOBOX)) {
    done = chooseComboItem(control, indexOf(comboItems(control), text));
  } else {
    done = clickTab(control, indexOf(tabItems(control), text));
  }
  if (!done) why = quoted(text) + " cannot be selected";
  return done;
}

// A label's text compared without mnemonics and without a closing colon.
std::string labelKey(const std::string& text) {
  std::string key = trim(plain(text));
  if (!key.empty() && key.back() == ':') key.pop_back();
  return trim(key);
}

bool isEditField(HWND w) { return isClass(w, WC_EDIT) || isClass(w, WC_COMBOBOX); }

// The edit field named by its number, or by the label just before it.
bool doType(Script::State&, HWND dialog, const Script::Line& line, std::string& why) {
  const std::string& field = line.args[0];
  const bool byNumber = field.find_first_not_of("0123456789") == std::string::npos;
  std::function<bool(HWND)> matches;
  if (byNumber) {
    const int id = std::atoi(field.c_str());
    matches = [id](HWND w) { return isEditField(w) && windowState(w).id == id; };
  } else {
    const std::string key = labelKey(field);
    matches = [key](HWND w) {
      if (!isEditField(w)) return false;
      const std::vector<HWND> siblings = childWindows(windowState(w).parent);
      for (size_t i = 1; i < siblings.size(); ++i) {
        if (siblings[i] == w)
          return isClass(siblings[i - 1], WC_STATIC) && labelKey(windowState(siblings[i - 1]).text) == key;
      }
      return false;
    };
  }
  const HWND edit = findControl(dialog, "the edit field " + quoted(field), matches, why);
  if (edit == nullptr) return false;
  if (!typeText(edit, line.args.size() > 1 ? line.args[1] : std::string())) {
    why = "the edit field " + quoted(field) + " does not take the text";
    return false;
  }
  return true;
}

bool doFile(Script::State&, HWND, const Script::Line& line, std::string& why) {
  std::vector<std::string> paths;
  std::string folder;
  for (const std::string& arg : line.args) {
    const std::string path = absolute(arg);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
      why = "there is no file " + path;
      return false;
    }
    const std::string here = path.substr(0, path.rfind('/'));
    if (!paths.empty() && here != folder) {
      why = "the files of one file dialog must be in one folder";
      return false;
    }
    folder = here;
    paths.push_back(path);
  }
  answerFileDialog(paths);
  return true;
}

bool doFolder(Script::State&, HWND, const Script::Line& line, std::string& why) {
  const std::string path = absolute(line.args[0]);
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    why = "there is no folder " + path;
    return false;
  }
  answerFolderBrowser(path);
  return true;
}

struct Button {
  const char* name;
  int id;
};
const Button kButtons[] = {{"OK", IDOK},         {"Cancel", IDCANCEL}, {"Abort", IDABORT}, {"Retry", IDRETRY},
                           {"Ignore", IDIGNORE}, {"Yes", IDYES},       {"No", IDNO}};

int buttonId(const std::string& name) {
  for (const Button& b : kButtons) {
    if (strcasecmp(b.name, name.c_str()) == 0) return b.id;
  }
  return 0;
}

bool doAnswer(Script::State&, HWND, const Script::Line& line, std::string&) {
  answerMessageBox(buttonId(line.args[0]));
  return true;
}

bool waitForWorkers(DWORD limitMs) {
  const bool done = pumpUntil([] { return runningThreads() == 0; }, limitMs);
  pumpMessages();
  return done;
}

bool doWait(Script::State&, HWND, const Script::Line&, std::string& why) {
  if (waitForWorkers(kWaitLimitMs)) return true;
  why = "the worker threads were still at work after " + std::to_string(kWaitLimitMs / 60000) + " minutes";
  return false;
}

// Every text a visible part of the window shows.
void shownTexts(HWND window, std::vector<std::string>& texts) {
  const WindowState state = windowState(window);
  texts.push_back(plain(state.text));
  const std::string& cls = state.className;
  if (strcasecmp(cls.c_str(), WC_LISTVIEW) == 0) {
    for (const ListItemState& item : listState(window).items)
      texts.insert(texts.end(), item.texts.begin(), item.texts.end());
  } else if (strcasecmp(cls.c_str(), WC_TREEVIEW) == 0) {
    for (const TreeItemState& item : treeState(window).items) texts.push_back(item.text);
  } else if (strcasecmp(cls.c_str(), WC_COMBOBOX) == 0) {
    const ComboState combo = comboState(window);
    texts.push_back(combo.text);
    texts.insert(texts.end(), combo.items.begin(), combo.items.end());
  } else if (strcasecmp(cls.c_str(), WC_TABCONTROL) == 0) {
    const std::vector<std::string> items = tabItems(window);
    texts.insert(texts.end(), items.begin(), items.end());
  }
  for (const TextRun& run : textRuns(window)) texts.push_back(run.text);
}

bool doExpect(Script::State&, HWND dialog, const Script::Line& line, std::string& why) {
  const std::string& text = line.args[0];
  std::vector<std::string> texts;
  shownTexts(dialog, texts);
  for (HWND w : descendants(dialog)) {
    if (windowState(w).visible) shownTexts(w, texts);
  }
  for (const std::string& t : texts) {
    if (t.find(text) != std::string::npos) return true;
  }
  why = "the dialog does not show " + quoted(text);
  return false;
}

const Verb kVerbs[] = {
    {"page", Shape::Rest, false, doPage},     {"click", Shape::Rest, false, doClick},
    {"check", Shape::Rest, false, doCheck},   {"uncheck", Shape::Rest, false, doUncheck},
    {"select", Shape::Rest, false, doSelect}, {"type", Shape::FieldAndText, false, doType},
    {"file", Shape::Words, true, doFile},     {"folder", Shape::Rest, true, doFolder},
    {"answer", Shape::Rest, true, doAnswer},  {"wait", Shape::None, false, doWait},
    {"expect", Shape::Rest, false, doExpect},
};

const Verb* findVerb(const std::string& name) {
  for (const Verb& v : kVerbs) {
    if (name == v.name) return &v;
  }
  return nullptr;
}

// The arguments of a line of the verb's shape; false with `error` when they do not fit it.
bool parseArgs(const Verb& verb, const std::string& rest, std::vector<std::string>& args, std::string& error) {
  switch (verb.shape) {
    case Shape::None:
      if (!rest.empty()) error = std::string(verb.name) + " takes nothing after it";
      return rest.empty();
    case Shape::Rest: {
      const std::string text = unquote(rest);
      if (text.empty()) {
        error = std::string(verb.name) + " needs a text";
        return false;
      }
      args.push_back(text);
      if (verb.action == doAnswer && buttonId(text) == 0) {
        error = quoted(text) + " is no message box button (OK, Cancel, Abort, Retry, Ignore, Yes, No)";
        return false;
      }
      return true;
    }
    case Shape::Words:
      if (!splitWords(rest, args, error)) return false;
      if (args.empty()) error = std::string(verb.name) + " needs at least one path";
      return !args.empty();
    case Shape::FieldAndText: {
      std::string field;
      std::string text;
      if (!rest.empty() && rest[0] == '"') {
        const size_t close = rest.find('"', 1);
        if (close == std::string::npos) {
          error = "a double quote is not closed";
          return false;
        }
        field = rest.substr(1, close - 1);
        text = trim(rest.substr(close + 1));
      } else {
        const size_t blank = rest.find_first_of(" \t");
        field = rest.substr(0, blank);
        text = blank == std::string::npos ? std::string() : trim(rest.substr(blank));
      }
      if (field.empty()) {
        error = "type needs the label or number of an edit field";
        return false;
      }
      args.push_back(field);
      args.push_back(unquote(text));
      return true;
    }
  }
  return false;
}

// "$(VAR)" replaced by the environment variable VAR; false with `error` when it is not set.
bool expandVariables(const std::string& text, std::string& out, std::string& error) {
  out.clear();
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find("$(", at);
    if (open == std::string::npos) break;
    const size_t close = text.find(')', open + 2);
    if (close == std::string::npos) {
      error = "\"$(\" is not closed";
      return false;
    }
    const std::string name = text.substr(open + 2, close - open - 2);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value == nullptr) {
      error = "$(" + name + ") is not set";
      return false;
    }
    out += text.substr(at, open - at) + value;
    at = close + 1;
  }
  out += text.substr(std::min(at, text.size()));
  return true;
}

}  // namespace

struct Script::State {
  std::string name;
  std::vector<Line> lines;
  size_t next = 0;
  size_t boxesSeen = 0;
  bool failed = false;
  std::string error;
  std::function<void(const Line&)> sink;

  // The next line, handed to the sink.
  const Line& take() {
    const Line& line = lines[next++];
    if (sink) sink(line);
    return line;
  }

  void fail(const Line& line, const std::string& why) {
    failed = true;
    error = name + ":" + std::to_string(line.number) + ": " + line.text + ": " + why;
  }
  void fail(const std::string& why) {
    failed = true;
    error = name + ": " + why;
  }
  // A message box with an error icon that nothing answered fails the line at work, or what
  // `context` names.
  void checkMessageBoxes(const Line* line, const std::string& context = std::string()) {
    const std::vector<MessageBoxRecord> boxes = messageBoxRecords();
    for (; boxesSeen < boxes.size(); ++boxesSeen) {
      const MessageBoxRecord& box = boxes[boxesSeen];
      if (failed || box.scripted || (box.type & kIconMask) != MB_ICONERROR) continue;
      const std::string why = "an error was reported: " + box.caption + ": " + box.text;
      if (line != nullptr) {
        fail(*line, why);
      } else {
        fail(context + ": " + why);
      }
    }
  }
};

namespace {

void runDialog(const std::shared_ptr<Script::State>& state, HWND dialog);

// The next modal dialog takes the lines.
void arm(const std::shared_ptr<Script::State>& state) {
  onModalDialog([state](CDialog& dialog) { runDialog(state, dialog.m_hWnd); });
}

// As the user would: once the workers are done, the close box; a dialog that stays open is ended.
void closeDialog(HWND dialog) {
  waitForWorkers(kCloseWaitMs);
  if (isOpen(dialog)) closeWindow(dialog);
  pumpMessages();
  if (isOpen(dialog)) EndDialog(dialog, IDCANCEL);
}

void runDialog(const std::shared_ptr<Script::State>& state, HWND dialog) {
  arm(state);  // for the dialogs this one opens
  state->checkMessageBoxes(nullptr, "while " + quoted(windowState(dialog).text) + " opened");
  while (!state->failed && state->next < state->lines.size() && isOpen(dialog)) {
    pumpMessages();  // the user acts once the dialog has settled
    const Script::Line& line = state->take();
    std::string why;
    if (!findVerb(line.verb)->action(*state, dialog, line, why)) {
      state->fail(line, why);
      break;
    }
    state->checkMessageBoxes(&line);
  }
  if (isOpen(dialog)) closeDialog(dialog);
}

}  // namespace

Script::Script() : state_(std::make_shared<State>()) {}

bool Script::load(const std::string& path, Script& script, std::string& error) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
    error = "Cannot read the script " + path + (S_ISDIR(st.st_mode) ? ": it is a folder" : ": no such file");
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) {
    error = "Cannot read the script " + path;
    return false;
  }
  return parse(text.str(), path, script, error);
}

bool Script::parse(const std::string& text, const std::string& name, Script& script, std::string& error) {
  script = Script();
  script.state_->name = name;
  std::istringstream in(text);
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (trim(raw).empty() || trim(raw)[0] == '#') continue;
    std::string lineText;
    std::string why;
    if (raw.find('\0') != std::string::npos) {
      why = "the line holds a NUL byte";
    } else if (expandVariables(trim(raw), lineText, why)) {
      lineText = trim(lineText);
    }
    if (!why.empty()) {
      error = name + ":" + std::to_string(number) + ": " + why;
      return false;
    }
    Line line;
    line.number = number;
    line.text = lineText;
    const size_t blank = lineText.find_first_of(" \t");
    line.verb = lineText.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : trim(lineText.substr(blank));
    const Verb* verb = findVerb(line.verb);
    if (verb == nullptr) {
      why = "unknown action " + quoted(line.verb) +
            " (page, click, check, uncheck, select, type, file, folder, answer, wait, expect)";
    } else {
      parseArgs(*verb, rest, line.args, why);
    }
    if (!why.empty()) {
      error = name + ":" + std::to_string(number) + ": " + why;
      return false;
    }
    script.state_->lines.push_back(std::move(line));
  }
  return true;
}

const std::vector<Script::Line>& Script::lines() const { return state_->lines; }

void Script::setLineSink(std::function<void(const Line& line)> sink) { state_->sink = std::move(sink); }

void Script::start() {
  State& state = *state_;
  state.boxesSeen = messageBoxRecords().size();
  while (!state.failed && state.next < state.lines.size()) {
    const Line& line = state.lines[state.next];
    const Verb* verb = findVerb(line.verb);
    if (!verb->prepares) break;
    state.take();
    std::string why;
    if (!verb->action(state, nullptr, line, why)) state.fail(line, why);
  }
  arm(state_);
}

void Script::finish() {
  State& state = *state_;
  state.checkMessageBoxes(nullptr, "after the session");
  if (!state.failed && state.next < state.lines.size()) {
    state.fail(state.lines[state.next], "no dialog is open for it");
  }
}

bool Script::failed() const { return state_->failed; }

const std::string& Script::error() const { return state_->error; }

}  // namespace ui
