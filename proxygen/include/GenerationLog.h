// The generation log: problems of a generation are not thrown, each becomes one line of the
// log file in the project directory, a fixed prefix directly followed by its subject.
//
// Every writer of the log goes through getLogFileName: the log path is the project directory
// (which ends with a separator) followed by it; the doubled separator is accepted.
#pragma once

#include <string>
#include <vector>

// Line prefixes.
extern const char* const kLogMissingBytecode;   // "MISSING BYTECODE: " + dotted class name
extern const char* const kLogCannotProcess;     // "Cannot process Bytecode: " + dotted class name
extern const char* const kLogFailedToWrite;     // "FAILED TO WRITE:" + full path of the file
extern const char* const kLogMissingSuperType;  // "MISSING SUPER TYPE: " + dotted name + " (of " + class + ")"
extern const char* const kLogFileNameTaken;     // "FILE NAME TAKEN: " + the names of a class's files

// "/KAVRIN.LOG": the log's name with its leading separator. The user is told the name without
// its first character. A copy of the process-wide name; before it is built and after it is
// destroyed the same text is answered.
std::string getLogFileName();

// The life of the process-wide log file name. initLogFileName runs when the library is loaded:
// constructLogFileName builds the name, and registerLogFileNameDestroyer has destroyLogFileName
// run when the library is unloaded (or the process ends). Each does its work once; running one
// again does nothing, and destroyLogFileName is harmless before the name was built.
void initLogFileName();
void constructLogFileName();
void registerLogFileNameDestroyer();
void destroyLogFileName();

// The log path of a project directory.
std::string logFilePath(const std::string& directory);

// Appends the lines, each ended by a line end, to the log of the directory, opening it for
// appending and closing it again. A log that cannot be opened drops the lines silently (the
// result is then false; callers go on as if they had been written). No lines open nothing.
bool appendLogLines(const std::string& directory, const std::vector<std::string>& lines);
bool appendLogLine(const std::string& directory, const std::string& line);
