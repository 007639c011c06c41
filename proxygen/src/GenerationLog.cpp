#include "GenerationLog.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <new>

const char* const kLogMissingBytecode = "MISSING BYTECODE: ";
const char* const kLogCannotProcess = "Cannot process Bytecode: ";
const char* const kLogFailedToWrite = "FAILED TO WRITE:";
const char* const kLogMissingSuperType = "MISSING SUPER TYPE: ";
const char* const kLogFileNameTaken = "FILE NAME TAKEN: ";

namespace {
const char kLogFileNameText[] = "/KAVRIN.LOG";

// The name lives in static storage from initLogFileName to destroyLogFileName; the pointer is set
// while it does.
alignas(std::string) unsigned char logFileNameStorage[sizeof(std::string)];
std::atomic<std::string*> logFileName{nullptr};
std::atomic<bool> logFileNameDestroyerRegistered{false};
}  // namespace

void constructLogFileName() {
  if (logFileName.load()) return;
  logFileName.store(new (logFileNameStorage) std::string(kLogFileNameText));
}

void destroyLogFileName() {
  if (std::string* name = logFileName.exchange(nullptr)) name->~basic_string();
}

void registerLogFileNameDestroyer() {
  // Registered from a shared library, the function runs when that library is unloaded.
  if (!logFileNameDestroyerRegistered.exchange(true)) std::atexit(destroyLogFileName);
}

void initLogFileName() {
  constructLogFileName();
  registerLogFileNameDestroyer();
}

namespace {
// Builds the name when the library is loaded.
const bool logFileNameInitialised = (initLogFileName(), true);
}  // namespace

std::string getLogFileName() {
  // A log line written while the library is being unloaded still names the right file.
  const std::string* name = logFileName.load();
  return name ? *name : std::string(kLogFileNameText);
}

std::string logFilePath(const std::string& directory) { return directory + getLogFileName(); }

bool appendLogLines(const std::string& directory, const std::vector<std::string>& lines) {
  // No lines make no log file.
  if (lines.empty()) return true;
  std::ofstream log(logFilePath(directory), std::ios::out | std::ios::app);
  if (!log.is_open()) return false;
  for (const std::string& line : lines) log << line << std::endl;
  log.close();
  return !log.fail();
}

bool appendLogLine(const std::string& directory, const std::string& line) { return appendLogLines(directory, {line}); }
