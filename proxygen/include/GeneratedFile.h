// A generated C++ file being written.
//
// The file is created (or emptied) when the object is made, as an output file stream opened with
// out|trunc would be; the text put into the stream is kept in memory and written out by close()
// in one go, in standard UTF-8 (GeneratedText.h: standardUtf8), so no file is read back and
// rewritten. A file that cannot be written whole (a full disk, an I/O error) is a failure: close()
// removes it, so that it never looks complete, writes "FAILED TO WRITE:" with its path to the log
// of the directory given, and answers false; the stream's state then is bad. While a generation
// is published on the thread (GenerationFiles.h), a path that it has written already is not
// opened again.
#pragma once

#include <cstddef>
#include <ostream>
#include <streambuf>
#include <string>

// A stream buffer that collects the text written through it in a string; once closed it takes no
// more.
class TextBuffer : public std::streambuf {
 public:
  std::string text;
  bool closed = false;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
};

class GeneratedFile : public std::ostream {
 public:
  // Creates or empties the file at the path, unless the generation published on the thread
  // has written it already; failures of close() are logged in the log of logDirectory
  // (GenerationLog.h).
  GeneratedFile(const std::string& path, const std::string& logDirectory);
  // Closes the file if that has not been done.
  ~GeneratedFile() override;
  GeneratedFile(const GeneratedFile&) = delete;
  GeneratedFile& operator=(const GeneratedFile&) = delete;

  // Whether the file could be created; a stream whose file is not open takes no text.
  bool is_open() const { return m_nFile >= 0; }
  // Puts in a whole text at once, as << would; the first text put in is taken over as it is,
  // without a copy.
  void putText(std::string&& text);
  // Writes the text, closes the file and answers whether all of it was written; a later call
  // answers the same without doing anything. Text put in afterwards fails the stream.
  bool close();
  // Takes the file away, whether it was written or not: removes it and logs it as not written,
  // unless it never opened. close() answers false afterwards.
  void discard();
  const std::string& path() const { return m_strPath; }

 private:
  bool finish(bool write);
  void fail();

  TextBuffer m_oBuffer;
  std::string m_strPath;
  std::string m_strLogDirectory;
  int m_nFile = -1;
  bool m_bClosed = false;
  bool m_bWritten = false;
};

// Closes the header and the source of one class, which only make sense together: when either
// cannot be written whole the other is taken away too (discard), so that no class keeps half of
// its files. True when both were written.
bool closeTogether(GeneratedFile& header, GeneratedFile& source);

// Whole generated texts reuse the memory of earlier ones on the same thread: giving back and
// taking anew a buffer of hundreds of kilobytes for every file makes the allocator sweep its free
// lists each time. takeTextBuffer answers an empty string that can hold at least `capacity`
// characters; recycleTextBuffer keeps a finished text's memory for a later take.
std::string takeTextBuffer(std::size_t capacity);
void recycleTextBuffer(std::string&& text);

// For tests of a machine that fails: the writes of generated files fail with `error` (an errno
// value such as ENOSPC) once `bytes` more bytes have been written in all, as on a disk that fills
// up; the write that reaches the limit is cut short there.
void injectGeneratedFileWriteFailure(std::size_t bytes, int error);
void clearGeneratedFileWriteFailure();
