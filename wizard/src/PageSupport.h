// Helpers shared by the pages of the classes, the member filters and the three check lists:
// member keys and images, the split frame of the class and member panes, and the check-list
// rows, clicks and layout.
#pragma once

#include "ClassList.h"
#include "MemberView.h"
#include "Mfc.h"
#include "MemberRecords.h"
#include "ProjectModel.h"
#include "UiResources.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace wizardpages {

// Registers the template of a page: a child control of the dialog that shows it, `cx` by `cy`
// dialog units, holding `controls`.
void RegisterPageTemplate(UINT id, int cx, int cy, std::vector<ui::ControlTemplate> controls);

// A member's key: its name immediately followed by its descriptor ("size()I", "countI").
inline std::string memberKey(const MethodDescriptor& method) { return method.getName() + method.getSignature(); }
inline std::string memberKey(const FieldDescriptor& field) { return field.getName() + field.getType(); }

// Images of the strip for a member's kind, static flag and access.
int fieldImage(uint16_t accessFlags);  // fields and constants
int methodImage(uint16_t accessFlags);
int constructorImage(uint16_t accessFlags);

// Makes a child frame of `page` (a window class with redraw styles, the arrow cursor, a white
// background and the application icon) holding a static splitter of one row and two columns
// with panes of the two view classes, the first column 250 pixels wide. Null when the frame
// cannot be made; the frame deletes itself when its window goes.
CFrameWnd* CreateSplitFrame(CWnd& page, CSplitterWnd& splitter, CRuntimeClass* leftView, CRuntimeClass* rightView);
// Moves the frame onto the page's marker static IDC_FRAME_PLACE and shows it.
void PlaceSplitFrame(CWnd& page, CFrameWnd* frame);
// The pane at (0, column) when it is a class list (a member view), else null.
CClassList* ClassListPane(const CSplitterWnd& splitter, int column);
CMemberView* MemberViewPane(const CSplitterWnd& splitter, int column);

// The window rectangle of `control` in the client coordinates of `page`.
CRect ChildRect(const CWnd& page, const CWnd& control);

// --- Report lists ---------------------------------------------------------------------------
struct ListColumn {
  LPCTSTR title;
  int width;
};
// Adds `extendedStyle` to the list's extended style, and the columns, left-aligned, in order.
void InitReportList(CListCtrl& list, DWORD extendedStyle, std::initializer_list<ListColumn> columns);

// --- Check lists of classes ---------------------------------------------------------------
// Full-row select and check boxes added; one left-aligned column.
void InitCheckList(CListCtrl& list, LPCTSTR title, int width);
// Rows for the classes of the map (in key order) that `admit` lets in, each checked from
// `flag`; the old rows go first.
void FillCheckList(CListCtrl& list, const ClassSettingsMap* classes, bool (*admit)(const ClassSettings&),
                   bool ClassSettings::*flag);
// The row whose check box the cursor of the click being handled is on; -1 when the click is
// elsewhere.
int CheckBoxRowAtCursor(const CListCtrl& list);
// The description keeps its top and height and spans the client width; the list starts five
// pixels below it and fills the rest.
void LayoutCheckListPage(CWnd& page, CWnd& description, CWnd& list, int cx, int cy);

// --- Lists with a column of buttons ----------------------------------------------------------
// The buttons keep their size and move to the right edge, the description spans the client
// width, and the list fills the rest down to the bottom, five pixels left of the first button.
// Nothing moves until every window exists.
void LayoutButtonListPage(CWnd& page, std::initializer_list<CWnd*> buttons, CWnd& description, CWnd& list);

}  // namespace wizardpages
