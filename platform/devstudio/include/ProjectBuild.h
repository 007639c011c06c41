// Building a project as the Developer Studio does, with g++: every .cpp file of the project is
// compiled and the objects are linked into a program named after the project file (App.dsp
// gives App in the project folder), with the tool settings of the first configuration:
//
//   cl.exe    /I"path" (or /I path)   include folder         -I
//             /D"NAME=value"          macro                  -D
//   link.exe  /libpath:"path"         library folder         -L, and the program's run path
//             name.lib                library                -lname
//             /dll                    a shared library       -shared (sources with -fPIC),
//                                     lib<project>.so in place of the program, as Java's
//                                     System.loadLibrary("<project>") looks for it
//
// Options may also start with '-'. Other options, and the Windows system libraries
// (kernel32.lib, user32.lib, ...), have no counterpart here and are left out with a note.
// "$(VAR)" in a setting or a file name is the environment variable VAR, or else the value the
// user's environment keeps in the registry (HKEY_CURRENT_USER\Environment); a variable set in
// neither stops the build. '\' becomes '/'. File names are relative to the project folder, where
// the commands run.
// Objects go to a folder of the project folder named after the configuration ("Debug" for
// "App - Win32 Debug").
#pragma once

#include "DevStudioHost.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace devstudio {

struct BuildPlan {
  std::string directory;                           // the project folder, where the commands run
  std::string objects;                             // the folder of the objects
  std::string program;                             // the program's (or library's) full path
  bool library = false;                            // a shared library (/dll), not a program
  std::vector<std::vector<std::string>> compiles;  // one g++ command per source file
  std::vector<std::string> link;                   // writes the program under a temporary name
  std::string linkedAs;                            // that name (in the project folder), renamed
                                                   // to `program` at the end
  std::vector<std::string> notes;                  // options left out
};

// Looks a variable up; false when it is not set.
using VariableLookup = std::function<bool(const std::string& name, std::string& value)>;
// The environment, then HKEY_CURRENT_USER\Environment.
VariableLookup userEnvironment();

// The program's full path: the project file's name without its extension, in its folder.
std::string programOf(const Project& project);

// Works the commands out; false with `error` when the project cannot be built as it stands.
bool planBuild(const Project& project, const VariableLookup& lookup, BuildPlan& plan, std::string& error);

// Runs the plan, writing each command to `log` before it runs; the compiler writes its messages
// to standard output and standard error. Every source is compiled even after a failure; the
// program is linked only when all compiled, and replaced only when the link succeeded. False
// with `error` on failure.
bool runBuild(const BuildPlan& plan, std::ostream& log, std::string& error);

}  // namespace devstudio
