// What a host program asks of the headless user interface beyond the program's own windows: a
// live display on which a person sees and works the dialogs, and pictures of every dialog as it
// appears.
#pragma once

#include <string>
#include <vector>

namespace ui {

// Opens an X display (an empty name: $DISPLAY). From then on every visible top-level window is a
// window on it, drawn as its picture, and a person's mouse and keys act in it as the driver's
// user actions (UiDriver.h) do. Modal dialogs, message boxes, file dialogs and the folder
// browser that no script answers wait for the person, without an idle limit. False, with the
// reason, when it cannot.
bool openDisplay(const std::string& name, std::string& error);
void closeDisplay();
bool displayOpen();

// From now on a picture of every visible top-level window of the thread goes into `folder`
// ("NNN-caption.png", numbered in order) each time a page (a child dialog) or a top-level dialog
// is shown, once the windows have painted. An empty folder stops it.
void setSnapshotFolder(const std::string& folder);
std::vector<std::string> snapshotFiles();  // the files written since the folder was set

}  // namespace ui
