#include "GeneratedFile.h"

#include "GeneratedText.h"
#include "GenerationFiles.h"
#include "GenerationLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

namespace {

// Kept buffers per thread; larger ones go back to the allocator.
constexpr std::size_t kKeptTextBuffers = 4;
constexpr std::size_t kLargestKeptTextBuffer = std::size_t(8) << 20;
thread_local std::vector<std::string> keptTextBuffers;

// The injected failure: bytes that may still be written, and the error after them.
std::mutex injectionMutex;
bool injectionActive = false;
std::size_t injectionBudget = 0;
int injectionError = 0;

// How many of `count` bytes a write may pass on under an injected failure (all without one);
// sets `error` when the write must fail after them.
std::size_t allowedBytes(std::size_t count, int& error) {
  std::lock_guard<std::mutex> lock(injectionMutex);
  error = 0;
  if (!injectionActive) return count;
  if (count <= injectionBudget) {
    injectionBudget -= count;
    return count;
  }
  const std::size_t allowed = injectionBudget;
  injectionBudget = 0;
  error = injectionError;
  return allowed;
}

// Writes all bytes; false with errno set when that cannot be done.
bool writeAll(int file, const char* data, std::size_t size) {
  while (size > 0) {
    int injected = 0;
    const std::size_t allowed = allowedBytes(size, injected);
    if (allowed == 0 && injected) {
      errno = injected;
      return false;
    }
    const ssize_t n = ::write(file, data, allowed);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    if (injected && static_cast<std::size_t>(n) == allowed) {
      errno = injected;
      return false;
    }
  }
  return true;
}

}  // namespace

void injectGeneratedFileWriteFailure(std::size_t bytes, int error) {
  std::lock_guard<std::mutex> lock(injectionMutex);
  injectionActive = true;
  injectionBudget = bytes;
  injectionError = error ? error : EIO;
}

void clearGeneratedFileWriteFailure() {
  std::lock_guard<std::mutex> lock(injectionMutex);
  injectionActive = false;
}

TextBuffer::int_type TextBuffer::overflow(int_type c) {
  if (closed) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) text.push_back(traits_type::to_char_type(c));
  return traits_type::not_eof(c);
}

std::streamsize TextBuffer::xsputn(const char* s, std::streamsize n) {
  if (closed) return 0;
  text.append(s, static_cast<std::size_t>(n));
  return n;
}

std::string takeTextBuffer(std::size_t capacity) {
  std::vector<std::string>& kept = keptTextBuffers;
  std::string text;
  if (!kept.empty()) {
    // The largest kept buffer: the texts of one generation are alike in size.
    auto largest = kept.begin();
    for (auto it = kept.begin(); it != kept.end(); ++it)
      if (it->capacity() > largest->capacity()) largest = it;
    text.swap(*largest);
    kept.erase(largest);
  }
  text.reserve(capacity);
  return text;
}

void recycleTextBuffer(std::string&& text) {
  std::vector<std::string>& kept = keptTextBuffers;
  if (text.capacity() <= std::string().capacity() || text.capacity() > kLargestKeptTextBuffer ||
      kept.size() >= kKeptTextBuffers) {
    std::string().swap(text);
    return;
  }
  text.clear();
  kept.push_back(std::move(text));
}

GeneratedFile::GeneratedFile(const std::string& path, const std::string& logDirectory)
    : std::ostream(nullptr), m_strPath(path), m_strLogDirectory(logDirectory) {
  GenerationFiles* generation = publishedGeneration();
  if (!generation || generation->claim(path))
    m_nFile = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (m_nFile >= 0) {
    m_oBuffer.text = takeTextBuffer(0);
    rdbuf(&m_oBuffer);
  } else
    setstate(std::ios::badbit);
}

GeneratedFile::~GeneratedFile() { close(); }

void GeneratedFile::putText(std::string&& text) {
  if (!is_open() || m_oBuffer.closed || !good()) {
    setstate(std::ios::badbit);
    return;
  }
  if (m_oBuffer.text.empty()) {
    recycleTextBuffer(std::move(m_oBuffer.text));
    m_oBuffer.text = std::move(text);
  } else
    m_oBuffer.text.append(text);
}

bool GeneratedFile::close() { return finish(true); }

void GeneratedFile::discard() {
  if (!m_bClosed) {
    finish(false);
    return;
  }
  if (m_bWritten) {
    m_bWritten = false;
    fail();
  }
}

void GeneratedFile::fail() {
  ::unlink(m_strPath.c_str());
  setstate(std::ios::badbit);
  appendLogLine(m_strLogDirectory, kLogFailedToWrite + m_strPath);
}

bool GeneratedFile::finish(bool write) {
  if (m_bClosed) return m_bWritten;
  m_bClosed = true;
  if (m_nFile < 0) return false;
  // A stream that failed took only part of the text put into it.
  bool written = write && good();
  if (written) {
    std::string& text = m_oBuffer.text;
    if (text.find('\xED') != std::string::npos) text = standardUtf8(text);
    written = writeAll(m_nFile, text.data(), text.size());
  }
  if (::close(m_nFile) != 0) written = false;
  m_nFile = -1;
  recycleTextBuffer(std::move(m_oBuffer.text));
  m_oBuffer.text.clear();
  m_oBuffer.closed = true;
  if (!written) fail();
  m_bWritten = written;
  return written;
}

bool closeTogether(GeneratedFile& header, GeneratedFile& source) {
  if (!header.close()) {
    source.discard();
    return false;
  }
  if (!source.close()) {
    header.discard();
    return false;
  }
  return true;
}
