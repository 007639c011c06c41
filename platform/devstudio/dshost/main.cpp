// dshost: the stand-in Developer Studio on the command line.
//
//   dshost [--project P.dsp] --addin LIBRARY [--register] [--run COMMAND]... [--print]
//
// Opens the project file P.dsp (format in DevStudioHost.h; without --project no project is
// open), registers the add-in library through its DllRegisterServer (--register), loads and
// connects it, runs each COMMAND (a command name or its method name) in order, disconnects
// the add-in, saves the project file when the add-in changed the project, and with --print
// writes the project, the commands and the toolbar buttons. Every host event is written to
// standard output as it happens; errors go to standard error.
//
// Exit status: 0 success; 1 bad command line; 2 the project file cannot be read or saved;
// 3 the add-in cannot be registered, loaded or connected; 4 a command failed.
#include "DevStudioHost.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

int usage(const std::string& problem) {
  std::cerr << "dshost: " << problem << "\n"
            << "usage: dshost [--project P.dsp] --addin LIBRARY [--register] [--run COMMAND]... "
               "[--print]\n";
  return 1;
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

}  // namespace

int main(int argc, char** argv) {
  std::string projectPath;
  std::string library;
  bool doRegister = false;
  bool doPrint = false;
  std::vector<std::string> commands;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto next = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (arg == "--project") {
      if (!next(projectPath)) return usage("--project needs a file");
    } else if (arg == "--addin") {
      if (!next(library)) return usage("--addin needs a library");
    } else if (arg == "--run") {
      std::string command;
      if (!next(command)) return usage("--run needs a command");
      commands.push_back(command);
    } else if (arg == "--register") {
      doRegister = true;
    } else if (arg == "--print") {
      doPrint = true;
    } else {
      return usage("unknown argument " + arg);
    }
  }
  if (library.empty()) return usage("no add-in library (--addin)");

  std::shared_ptr<devstudio::Project> project;
  if (!projectPath.empty()) {
    project = std::make_shared<devstudio::Project>();
    std::string error;
    if (!devstudio::Project::load(projectPath, *project, error)) {
      std::cerr << "dshost: " << error << "\n";
      return 2;
    }
  }

  CoInitialize(nullptr);
  int status = 0;
  {
    devstudio::Host host(project);
    host.setJournalSink([](const std::string& line) { std::cout << line << std::endl; });
    HRESULT hr = S_OK;
    if (doRegister) {
      hr = host.registerAddIn(library);
      if (FAILED(hr)) {
        std::cerr << "dshost: cannot register " << library << ": " << lastErrorText(hr) << "\n";
        status = 3;
      }
    }
    if (status == 0) {
      hr = host.loadAddIn(library);
      if (hr != S_OK) {
        std::cerr << "dshost: the add-in " << library << " is not connected"
                  << (FAILED(hr) ? ": " + lastErrorText(hr) : std::string()) << "\n";
        status = 3;
      }
    }
    for (const std::string& command : commands) {
      if (status != 0) break;
      hr = host.runCommand(command);
      if (FAILED(hr)) {
        std::cerr << "dshost: " << command << " failed: " << lastErrorText(hr) << "\n";
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
    }
    if (doPrint) {
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
