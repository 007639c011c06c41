// Message boxes and broadcasts: each is recorded in the journal. A message box that nothing
// answers is printed to standard error, so that whoever runs the program sees it.
#include "Internal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <vector>

namespace {

std::mutex gJournalMutex;
std::vector<win32::JournalEntry> gJournal;
int gAnswer = 0;  // 0: the box's first button
win32::MessageBoxPresenter gPresenter = nullptr;

// One line per entry; line breaks and tabs inside a field are written as \n, \r and \t.
std::string journalField(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void appendToFile(const win32::JournalEntry& entry) {
  std::string path;
  if (!win32::getEnv("KAVRIN_JOURNAL", path) || path.empty()) return;
  const std::string line =
      journalField(entry.kind) + "\t" + journalField(entry.caption) + "\t" + journalField(entry.text) + "\n";
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // One write per line, so lines of several processes do not interleave.
  const ssize_t written = write(fd, line.data(), line.size());
  (void)written;
  close(fd);
}

void record(win32::JournalEntry entry) {
  std::lock_guard<std::mutex> lock(gJournalMutex);
  appendToFile(entry);
  gJournal.push_back(std::move(entry));
}

// The buttons of each box type (MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE, MB_YESNOCANCEL, MB_YESNO,
// MB_RETRYCANCEL), in their order on the box.
const std::vector<int>& buttonsOf(UINT type) {
  static const std::vector<int> buttons[] = {{IDOK},        {IDOK, IDCANCEL}, {3, 4, 5}, {IDYES, IDNO, IDCANCEL},
                                             {IDYES, IDNO}, {4, IDCANCEL}};
  const UINT kind = type & 0x0Fu;
  return buttons[kind < sizeof buttons / sizeof buttons[0] ? kind : 0];
}

const char* buttonName(int answer) {
  switch (answer) {
    case IDOK:
      return "OK";
    case IDCANCEL:
      return "Cancel";
    case 3:
      return "Abort";
    case 4:
      return "Retry";
    case 5:
      return "Ignore";
    case IDYES:
      return "Yes";
    case IDNO:
      return "No";
    default:
      return "?";
  }
}

win32::JournalEntry messageBoxEntry(LPCSTR text, LPCSTR caption, UINT type) {
  win32::JournalEntry entry;
  entry.kind = "MessageBox";
  entry.caption = caption != nullptr ? caption : "Error";
  entry.text = text != nullptr ? text : "";
  entry.type = type;
  return entry;
}

// One block per box, written at once; continuation lines of the text are indented.
void printUnanswered(const win32::JournalEntry& entry, int answer) {
  std::string block = "[message box] " + entry.caption + ": ";
  for (char c : entry.text) {
    block += c;
    if (c == '\n') block += "    ";
  }
  block += std::string(" [") + buttonName(answer) + "]\n";
  std::fputs(block.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace

int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  win32::JournalEntry entry = messageBoxEntry(text, caption, type);
  int answer;
  bool answered;
  win32::MessageBoxPresenter presenter;
  {
    std::lock_guard<std::mutex> lock(gJournalMutex);
    answered = gAnswer != 0;
    answer = answered ? gAnswer : win32::defaultMessageBoxButton(type);
    presenter = gPresenter;
  }
  if (!answered && presenter != nullptr) {
    answer = presenter(owner, text, caption, type);
  } else if (!answered) {
    printUnanswered(entry, answer);
  }
  record(std::move(entry));
  return answer;
}

LRESULT SendMessageTimeout(HWND window, UINT message, WPARAM, LPARAM lParam, UINT, UINT, DWORD* result) {
  if (result != nullptr) *result = 0;
  if (window != HWND_BROADCAST) {
    // There are no windows here, so only broadcasts reach anyone (nobody, recorded).
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  win32::JournalEntry entry;
  entry.kind = "Broadcast";
  entry.caption = std::to_string(message);
  if (message == WM_SETTINGCHANGE) {
    entry.text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
  } else {
    entry.text = std::to_string(lParam);
  }
  record(std::move(entry));
  return 1;
}

namespace win32 {

std::vector<JournalEntry> journal() {
  std::lock_guard<std::mutex> lock(gJournalMutex);
  return gJournal;
}

void clearJournal() {
  std::lock_guard<std::mutex> lock(gJournalMutex);
  gJournal.clear();
}

void journalMessageBox(LPCSTR text, LPCSTR caption, UINT type) { record(messageBoxEntry(text, caption, type)); }

void setMessageBoxPresenter(MessageBoxPresenter presenter) {
  std::lock_guard<std::mutex> lock(gJournalMutex);
  gPresenter = presenter;
}

void setMessageBoxAnswer(int answer) {
  std::lock_guard<std::mutex> lock(gJournalMutex);
  gAnswer = answer;
}

int defaultMessageBoxButton(UINT type) {
  const std::vector<int>& buttons = buttonsOf(type);
  const size_t index = (type & MB_DEFMASK) >> 8;
  return index < buttons.size() ? buttons[index] : buttons.front();
}

}  // namespace win32
