#include "GenerationLog.h"

#include <fstream>

const char* const kLogMissingBytecode = "MISSING BYTECODE: ";
const char* const kLogCannotProcess = "Cannot process Bytecode: ";
const char* const kLogFailedToWrite = "FAILED TO WRITE:";

namespace {
const std::string logFileName = "/KAVRIN.LOG";
}

std::string getLogFileName()
{
    return logFileName;
}

std::string logFilePath(const std::string& directory)
{
    return directory + getLogFileName();
}

bool appendLogLines(const std::string& directory, const std::vector<std::string>& lines)
{
    std::ofstream log(logFilePath(directory), std::ios::out | std::ios::app);
    if (!log.is_open())
        return false;
    for (const std::string& line : lines)
        log << line << std::endl;
    log.close();
    return !log.fail();
}

bool appendLogLine(const std::string& directory, const std::string& line)
{
    return appendLogLines(directory, {line});
}
