// dshost: the stand-in Developer Studio on the command line.
//
//   dshost [--project P.dsp] [--addin LIBRARY [--register] [--script FILE] [--run COMMAND]...]
//          [--snapshot DIR] [--display NAME] [--print] [--build] [--exec [ARGS...]]
//
// Opens the project file P.dsp (format in DevStudioHost.h; without --project no project is
// open). With --addin it registers the add-in library through its DllRegisterServer
// (--register), loads and connects it, runs each COMMAND (a command name or its method name) in
// order, disconnects the add-in and saves the project file when the add-in changed the project
// (and had not saved it). Such a session holds the project's lock (ProjectLock): a second one
// on the same project is refused while the first lasts.
// --script FILE acts in the dialogs the commands open, as a user would (format in UiScript.h).
// --snapshot DIR puts a picture of every top-level window into DIR (made when missing) each time
// a dialog opens or a page of one is shown: NNN-caption.png, numbered in order.
// With an X display (--display NAME, else $DISPLAY when set and no --script is given) the dialogs
// are live windows on it: a person works in them, and the dialogs no script answers wait for them.
// --print writes the project, the commands and the toolbar buttons. --build compiles and links
// the project's program (ProjectBuild.h); --exec runs it with the arguments that follow, and
// dshost's exit status is then the program's. Every host event is written to standard output as
// it happens; errors go to standard error, and so do message boxes that nothing answered.
//
// Exit status: 0 success; 1 bad command line, or a script that cannot be read or is malformed;
// 2 the project file cannot be read or saved, or another session has it open; 3 the add-in
// cannot be registered, loaded or connected; 4 a command failed, or a line of the script could
// not be done; 5 the build failed or the program cannot be run.
#include "DevStudioHost.h"
#include "ProjectBuild.h"
#include "UiHost.h"
#include "UiScript.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// An add-in library may carry its own copies of the stand-ins' globals (KAVRINGEN does not: it
// uses the platform library, as this program does), which the platform library's take the place
// of. AddressSanitizer is told to report such twins only when their sizes differ, which a real
// violation of the one-definition rule would show.
extern "C" const char* __asan_default_options() { return "detect_odr_violation=1"; }
#endif

namespace {

const char* const kUsage =
    "usage: dshost [--project P.dsp] [--addin LIBRARY [--register] [--script FILE] [--run COMMAND]...]\n"
    "              [--snapshot DIR] [--display NAME] [--print] [--build] [--exec [ARGS...]]\n";

struct Options {
  std::string projectPath;
  std::string library;
  std::string scriptPath;
  std::string snapshots;
  std::string display;
  bool doRegister = false;
  bool doPrint = false;
  bool doBuild = false;
  bool doExec = false;
  std::vector<std::string> commands;
  std::vector<std::string> programArgs;  // after --exec
};

struct OptionEntry {
  const char* name;
  const char* value;  // what the value is, or null for a switch
  std::function<void(Options&, const std::string&)> apply;
};

const std::vector<OptionEntry>& optionTable() {
  static const std::vector<OptionEntry> table = {
      {"--project", "a file", [](Options& o, const std::string& v) { o.projectPath = v; }},
      {"--addin", "a library", [](Options& o, const std::string& v) { o.library = v; }},
      {"--register", nullptr, [](Options& o, const std::string&) { o.doRegister = true; }},
      {"--script", "a file", [](Options& o, const std::string& v) { o.scriptPath = v; }},
      {"--run", "a command", [](Options& o, const std::string& v) { o.commands.push_back(v); }},
      {"--snapshot", "a folder", [](Options& o, const std::string& v) { o.snapshots = v; }},
      {"--display", "a display name", [](Options& o, const std::string& v) { o.display = v; }},
      {"--print", nullptr, [](Options& o, const std::string&) { o.doPrint = true; }},
      {"--build", nullptr, [](Options& o, const std::string&) { o.doBuild = true; }},
  };
  return table;
}

int usage(const std::string& problem) {
  std::cerr << "dshost: " << problem << "\n" << kUsage;
  return 1;
}

// False with `problem` when the command line does not hold together.
bool parseOptions(int argc, char** argv, Options& options, std::string& problem) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--exec") {
      options.doExec = true;
      options.programArgs.assign(argv + i + 1, argv + argc);
      break;
    }
    const OptionEntry* entry = nullptr;
    for (const OptionEntry& s : optionTable()) {
      if (arg == s.name) entry = &s;
    }
    if (entry == nullptr) {
      problem = "unknown argument " + arg;
      return false;
    }
    std::string value;
    if (entry->value != nullptr) {
      if (i + 1 >= argc) {
        problem = std::string(entry->name) + " needs " + entry->value;
        return false;
      }
      value = argv[++i];
    }
    entry->apply(options, value);
  }
  const bool usesAddIn = options.doRegister || !options.commands.empty() || !options.scriptPath.empty();
  if (options.library.empty() && (usesAddIn || !(options.doBuild || options.doExec))) {
    problem = "no add-in library (--addin)";
    return false;
  }
  if (!options.scriptPath.empty() && options.commands.empty()) {
    problem = "--script needs a command to run (--run) that opens the dialog";
    return false;
  }
  if ((options.doBuild || options.doExec) && options.projectPath.empty()) {
    problem = std::string(options.doBuild ? "--build" : "--exec") + " needs a project (--project)";
    return false;
  }
  return true;
}

std::string lastErrorText(HRESULT hr) {
  IErrorInfo* info = nullptr;
  std::string text;
  if (GetErrorInfo(0, &info) == S_OK) {
    BSTR description = nullptr;
    info->GetDescription(&description);
    text = com::fromBstr(description);
    SysFreeString(description);
    info->Release();
  }
  return text.empty() ? com::errorMessage(hr) : text;
}

// The add-in session: register, load, run the commands (with the script acting in their
// dialogs), unload, save the project.
int runAddIn(const Options& options, const std::shared_ptr<devstudio::Project>& project, ui::Script* script) {
  CoInitialize(nullptr);
  int status = 0;
  {
    devstudio::Host host(project);
    host.setJournalSink([](const std::string& line) { std::cout << line << std::endl; });
    HRESULT hr = S_OK;
    if (options.doRegister) {
      hr = host.registerAddIn(options.library);
      if (FAILED(hr)) {
        std::cerr << "dshost: cannot register " << options.library << ": " << lastErrorText(hr) << "\n";
        status = 3;
      }
    }
    if (status == 0) {
      hr = host.loadAddIn(options.library);
      if (hr != S_OK) {
        std::cerr << "dshost: the add-in " << options.library << " is not connected"
                  << (FAILED(hr) ? ": " + lastErrorText(hr) : std::string()) << "\n";
        status = 3;
      }
    }
    if (status == 0 && script != nullptr) script->start();
    for (const std::string& command : options.commands) {
      if (status != 0) break;
      hr = host.runCommand(command);
      if (FAILED(hr)) {
        std::cerr << "dshost: " << command << " failed: " << lastErrorText(hr) << "\n";
        status = 4;
      }
      if (script != nullptr && script->failed()) break;
    }
    if (status != 3 && script != nullptr) {
      script->finish();
      if (script->failed()) {
        std::cerr << "dshost: " << script->error() << "\n";
        status = 4;
      }
    }
    std::vector<std::string> buttons = host.toolbarButtons();
    std::vector<devstudio::Command> added = host.commands();
    host.unloadAddIn();
    if (project && project->modified) {
      std::string error;
      if (!project->save(error)) {
        std::cerr << "dshost: " << error << "\n";
        if (status == 0) status = 2;
      }
      project->modified = false;
    }
    if (options.doPrint) {
      if (project) std::cout << project->text();
      for (const devstudio::Command& c : added) {
        std::cout << "command " << c.name << " " << c.method << "\n";
      }
      for (const std::string& b : buttons) std::cout << "button " << b << "\n";
    }
  }
  CoUninitialize();
  return status;
}

int build(const devstudio::Project& project) {
  devstudio::BuildPlan plan;
  std::string error;
  if (!devstudio::planBuild(project, devstudio::userEnvironment(), plan, error) ||
      !devstudio::runBuild(plan, std::cout, error)) {
    std::cout.flush();
    std::cerr << "dshost: " << error << "\n";
    return 5;
  }
  return 0;
}

// Replaces dshost with the project's program; returns only when it cannot be run.
int exec(const devstudio::Project& project, const std::vector<std::string>& args) {
  const std::string program = devstudio::programOf(project);
  devstudio::BuildPlan plan;
  std::string unused;
  if (devstudio::planBuild(project, devstudio::userEnvironment(), plan, unused) && plan.library) {
    std::cerr << "dshost: the project builds the shared library " << plan.program
              << ", not a program: a Java program loads it (System.loadLibrary)\n";
    return 5;
  }
  struct stat st {};
  if (stat(program.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::cerr << "dshost: there is no program " << program << ": build the project first (--build)\n";
    return 5;
  }
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::cout.flush();
  std::fflush(nullptr);
  execv(program.c_str(), argv.data());
  std::cerr << "dshost: cannot run " << program << ": " << std::strerror(errno) << "\n";
  return 5;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string problem;
  if (!parseOptions(argc, argv, options, problem)) return usage(problem);

  if (!options.snapshots.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.snapshots, error);
    if (!std::filesystem::is_directory(options.snapshots)) {
      std::cerr << "dshost: cannot make the snapshot folder " << options.snapshots << "\n";
      return 1;
    }
    ui::setSnapshotFolder(options.snapshots);
  }

  // An X display named on the command line must open; $DISPLAY is used when it can be and no
  // script does the user's part.
  const char* environmentDisplay = std::getenv("DISPLAY");
  const bool person = !options.library.empty() && options.scriptPath.empty() && environmentDisplay != nullptr &&
                      *environmentDisplay != '\0';
  if (!options.display.empty() || person) {
    std::string error;
    if (!ui::openDisplay(options.display, error)) {
      std::cerr << "dshost: " << error << (options.display.empty() ? "; the dialogs stay off screen" : "") << "\n";
      if (!options.display.empty()) return 1;
    }
  }

  std::unique_ptr<ui::Script> script;
  if (!options.scriptPath.empty()) {
    script = std::make_unique<ui::Script>();
    std::string error;
    if (!ui::Script::load(options.scriptPath, *script, error)) {
      std::cerr << "dshost: " << error << "\n";
      return 1;
    }
    script->setLineSink([](const ui::Script::Line& line) {
      std::cout << "Script line " << line.number << ": " << line.text << std::endl;
    });
  }

  // An add-in session may change the project and the files beside it: it has the project to
  // itself, from reading it to saving it.
  devstudio::ProjectLock lock;
  std::shared_ptr<devstudio::Project> project;
  if (!options.projectPath.empty()) {
    std::string error;
    if (!options.library.empty() && !lock.acquire(options.projectPath, error)) {
      std::cerr << "dshost: " << error << "\n";
      return 2;
    }
    project = std::make_shared<devstudio::Project>();
    if (!devstudio::Project::load(options.projectPath, *project, error)) {
      std::cerr << "dshost: " << error << "\n";
      return 2;
    }
  }

  int status = 0;
  if (!options.library.empty()) status = runAddIn(options, project, script.get());
  lock.release();
  if (status == 0 && options.doBuild) status = build(*project);
  if (status == 0 && options.doExec) status = exec(*project, options.programArgs);
  ui::closeDisplay();
  return status;
}
