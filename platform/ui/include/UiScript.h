// Scripted sessions: a user's actions written one per line, done through the driver on the dialog
// that is active at that moment. A line that opens a modal dialog hands the following lines to
// that dialog until it closes; then the dialog that opened it takes the next line.
//
//   page TEXT           selects the page TEXT in the dialog's page tree (a tree view that is a
//                       direct child of the dialog)
//   click TEXT          clicks the button TEXT ('&' of a mnemonic left out)
//   check TEXT          checks the check box TEXT, or the box of the list row whose first
//   uncheck TEXT        column is TEXT, as a click on it (which also selects the row); a radio
//                       button can only be checked
//   select TEXT         selects the list row (first column), tree item, combo box entry or tab
//   type FIELD TEXT     types TEXT into an edit field, named by the label before it or by its
//                       number; a FIELD with blanks is written in double quotes
//   file PATH...        the answer to the next file dialog: existing files of one folder
//   folder PATH         the answer to the next folder browser: an existing folder
//   answer BUTTON       the answer to the next message box (OK, Cancel, Abort, Retry, Ignore,
//                       Yes, No)
//   wait                waits until no worker thread is at work
//   expect TEXT         fails unless a visible part of the dialog shows TEXT
//   # ...               a comment; blank lines are skipped
//
// TEXT is the rest of the line (double quotes around it are taken off). "$(VAR)" in a line is
// the environment variable VAR, which must be set. A control that is
// missing, hidden or disabled makes its line fail; so does a check box that does not take the
// check, and a message box with an error icon that no `answer` line answered. The first failure
// stops the session: the dialogs still open are closed as by their close box. Lines at the top
// that only prepare answers (file, folder, answer) are taken at once, for what the first dialog
// shows while it opens. Relative paths are taken from the current folder.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class Script {
 public:
  struct Line {
    int number = 0;    // in the file, from 1
    std::string text;  // as written, trimmed
    std::string verb;
    std::vector<std::string> args;  // quotes taken off
  };

  Script();

  // Reads and checks a script. On failure `error` names the file, the line and the problem.
  static bool load(const std::string& path, Script& script, std::string& error);
  // `name` stands for the file in messages.
  static bool parse(const std::string& text, const std::string& name, Script& script, std::string& error);

  const std::vector<Line>& lines() const;

  // Called with each line before it is done.
  void setLineSink(std::function<void(const Line& line)> sink);

  // Call on the user-interface thread before the session: the next modal dialog takes the lines.
  void start();
  // Call after the session: lines that no dialog took, and error boxes that nothing answered,
  // fail it.
  void finish();

  bool failed() const;
  // "<name>:<line>: <line text>: <why>", or "<name>: <why>" for what belongs to no line.
  const std::string& error() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace ui
