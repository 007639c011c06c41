// The stand-in Developer Studio: a project kept in a project file, and a host that registers,
// loads and connects an add-in library, keeps the commands and toolbar buttons it adds, runs
// its commands through IDispatch, and journals what the add-in asked of it.
//
// Project file (text, UTF-8, one entry per line as "keyword value"; the value is the rest of
// the line after one blank, taken as it stands; blank lines and lines starting with '#' are
// skipped):
//
//   fullname <path>            the project's full path name (FullName); without it, the
//                              absolute path of the project file itself
//   file <path>                a file of the project, in the order the files were added
//   configuration <name>       starts a configuration, e.g. "App - Win32 Debug"
//   setting <tool> <setting>   one setting of a tool (cl.exe, link.exe) in the configuration
//                              above, in the order added
//
// A file or setting already present is not added a second time. Paths and settings cannot
// hold line breaks, tool names no blanks.
//
// The host remembers, in the registry stand-in below
// HKEY_CURRENT_USER\Software\DSHost\AddIns\{clsid}, which add-ins have been connected before
// (later connections are not the first time) and the toolbar buttons they added, which stay.
#pragma once

#include "DevStudio.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace devstudio {

struct ToolSettings {
  std::string tool;
  std::vector<std::string> settings;
};

struct Configuration {
  std::string name;
  std::vector<ToolSettings> tools;

  // The settings of `tool` (empty when it has none).
  std::vector<std::string> settingsOf(const std::string& tool) const;
  // False when the setting is already there.
  bool addSetting(const std::string& tool, const std::string& setting);
};

struct Project {
  std::string path;      // the project file
  std::string fullName;  // FullName
  bool fullNameGiven = false;
  std::vector<std::string> files;
  std::vector<Configuration> configurations;
  bool modified = false;

  // False when the file is already there.
  bool addFile(const std::string& file);
  bool removeFile(const std::string& file);
  // The project file's text.
  std::string text() const;
  // Reads a project file; on failure `error` says where and why ("P.dsp:3: ...").
  static bool load(const std::string& path, Project& project, std::string& error);
  // Writes the project file (through a temporary file and a rename).
  bool save(std::string& error) const;
};

// Keeps a second session off a project while one has it open: a lock on the file beside the
// project file, its path + ".lock", which names the holding process. The lock goes with the
// process that holds it, so a session that was killed leaves none behind; a session that ends
// removes the file too.
class ProjectLock {
 public:
  ProjectLock() = default;
  ~ProjectLock();
  ProjectLock(const ProjectLock&) = delete;
  ProjectLock& operator=(const ProjectLock&) = delete;

  // False with `error` when another session holds the project, or the lock cannot be made.
  bool acquire(const std::string& projectPath, std::string& error);
  void release();

 private:
  int fd_ = -1;
  std::string path_;
};

// A command an add-in added.
struct Command {
  std::string name;    // first field of the command string
  std::string text;    // the whole command string
  std::string method;  // the command object's method
  LONG glyph = 0;
};

class Host {
 public:
  // `project` is the open project, or null when none is open.
  explicit Host(std::shared_ptr<Project> project);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Every event is journaled as one line; `sink` also gets each line as it happens.
  void setJournalSink(std::function<void(const std::string&)> sink);
  std::vector<std::string> journal() const;

  // Calls the library's DllRegisterServer.
  HRESULT registerAddIn(const std::string& library);
  // Finds the class the library serves (registered with InprocServer32 naming it), creates
  // its add-in object and connects it. S_FALSE when the add-in declines the connection.
  HRESULT loadAddIn(const std::string& library);
  bool connected() const;
  // Runs a command by its name or by its method's name: GetIDsOfNames and Invoke on the
  // command object. A failure leaves an error object with the add-in's description.
  HRESULT runCommand(const std::string& command);
  // Disconnects and releases the add-in, asks DllCanUnloadNow, unloads unused libraries.
  void unloadAddIn();

  const std::vector<Command>& commands() const;
  // Toolbar buttons of the loaded add-in (command names), as the registry keeps them.
  std::vector<std::string> toolbarButtons() const;
  // False while the add-in has disabled the host's windows.
  bool modelessEnabled() const;
  // The application object handed to add-ins.
  IApplication* application();

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace devstudio
