// Resources of the wizard: dialog templates, control ids, the shared image strip, the messages
// the dialog and its pages exchange, and the functions that register the templates.
//
// Templates are registered in code (ui::registerDialog). Each dialog and page registers its
// own template in its own source file; registerWizardTemplates() registers all of them and the
// image strip, and runs before the generator dialog is first made.
#pragma once

#include "WinUser.h"

// --- Dialog templates ----------------------------------------------------------------------
constexpr UINT IDD_GENERATOR_DIALOG = 129;       // "KAVRIN Generator"
constexpr UINT IDD_JVM_LIST_PAGE = 130;          // "Installed JVMs"
constexpr UINT IDD_MODULES_PAGE = 131;           // "Java modules"
constexpr UINT IDD_CLASSES_PAGE = 132;           // "JNI Classes"
constexpr UINT IDD_SUBSTITUTE_NAMES_PAGE = 133;  // "Substitute Names"
constexpr UINT IDD_LOCAL_FILTER_PAGE = 134;      // tab "Local" of the member filters
constexpr UINT IDD_NATIVES_PAGE = 135;           // "Implement Native Methods"
constexpr UINT IDD_INTERFACES_PAGE = 136;        // "Implement Interfaces"
constexpr UINT IDD_JVM_DIALOG = 137;             // the JVM definition dialog
constexpr UINT IDD_JNI_CLASSES_PAGE = 138;       // "Select Classes"
constexpr UINT IDD_ADD_CLASSES_DIALOG = 139;     // "Add Java Classes"
constexpr UINT IDD_GLOBAL_FILTER_PAGE = 151;     // tab "Global" of the member filters
constexpr UINT IDD_FILTER_DIALOG = 152;          // "Class Member Filters"
constexpr UINT IDD_DELEGATORS_PAGE = 156;        // "Create Delegators"

// --- Bitmaps -------------------------------------------------------------------------------
// The image strip of the wizard's lists: 26 images of 16 by 16 pixels (416 by 16, 16 colours),
// mask colour RGB(192, 192, 192).
constexpr UINT IDB_WIZARD_IMAGES = 147;
constexpr int kWizardImageSize = 16;
constexpr COLORREF kWizardImageMask = RGB(192, 192, 192);

// Images of the strip, by index.
enum WizardImage : int {
  kImageClass = 0,         // a class (ClassSettings::TYPE 0), a .class module of a class
  kImageInterface = 1,     // an interface, a .class module of an interface
  kImageArchive = 2,       // a .jar or .zip archive
  kImageOtherModule = 3,   // a module of another kind
  kImageMethod = 4,        // + kAccess...: instance method
  kImageStaticMethod = 8,  // + kAccess...: static method
  kImageConstructor = 13,  // + kAccess...: constructor
  kImageField = 18,        // + kAccess...: instance field or constant
  kImageStaticField = 22,  // + kAccess...: static field or constant
};
// Offsets of a member's access within its group of four images.
enum WizardImageAccess : int {
  kAccessPackage = 0,
  kAccessPublic = 1,
  kAccessProtected = 2,
  kAccessPrivate = 3,
};

// --- Control ids -----------------------------------------------------------------------------
// Ids shared by several templates keep one name. IDOK (1) is Generate in the generator dialog,
// IDCANCEL (2) its Close button.
constexpr int IDC_PAGE_TREE = 1000;                 // generator dialog: the page tree
constexpr int IDC_PAGE_TITLE = 1001;                // generator dialog: title of the page shown
constexpr int IDC_PAGE_FRAME = 1002;                // generator dialog: parent and frame of the pages
constexpr int IDC_JVM_LIST = 1003;                  // Installed JVMs: the JVM rows
constexpr int IDC_ADD = 1004;                       // "Add..." / "Add"
constexpr int IDC_EDIT = 1005;                      // Installed JVMs: "Edit..."
constexpr int IDC_REMOVE = 1006;                    // "Remove"
constexpr int IDC_MODULE_LIST = 1007;               // Java modules: the module rows
constexpr int IDC_DESCRIPTION = 1011;               // the description static of a page
constexpr int IDC_FRAME_PLACE = 1013;               // hidden static that marks where a split frame goes
constexpr int IDC_CAPTION = 1016;                   // the caption static over a page's list
constexpr int IDC_PROGRESS_BAR = 1017;              // generator dialog: the progress bar
constexpr int IDC_JVM_NAME = 1018;                  // JVM dialog: "Name:"
constexpr int IDC_JRE_HOME = 1020;                  // JVM dialog: "JRE home directory:"
constexpr int IDC_JDK_HOME = 1021;                  // JVM dialog: "JDK home directory:"
constexpr int IDC_BROWSE_JRE = 1023;                // JVM dialog: "Browse..." beside the JRE home
constexpr int IDC_LIBRARY_LIST = 1024;              // JVM dialog: "JRE global libraries:"
constexpr int IDC_ADD_JARS = 1025;                  // JVM dialog: "Add External JARs..."
constexpr int IDC_EDIT_JAR = 1026;                  // JVM dialog: "Edit..."
constexpr int IDC_REMOVE_JAR = 1027;                // JVM dialog: "Remove"
constexpr int IDC_JVM_MESSAGE = 1028;               // JVM dialog: the input message
constexpr int IDC_BROWSE_JDK = 1029;                // JVM dialog: "Browse..." beside the JDK home
constexpr int IDC_CLASS_LIST = 1029;                // Select Classes, Add Java Classes: the class rows
constexpr int IDC_MODULE_COMBO = 1030;              // Add Java Classes: the modules
constexpr int IDC_STORE_SETTINGS = 1036;            // generator dialog: "StoreSettings"
constexpr int IDC_SUBSTITUTE_LIST = 1037;           // Substitute Names: the substitution rows
constexpr int IDC_OLD_NAME = 1038;                  // Substitute Names: the old name
constexpr int IDC_NEW_NAME = 1039;                  // Substitute Names: the new name
constexpr int IDC_SUBSTITUTE_LABEL = 1040;          // Substitute Names: "Subsitute:"
constexpr int IDC_WITH_LABEL = 1041;                // Substitute Names: "with:"
constexpr int IDC_UPDATE = 1043;                    // Substitute Names: "Update"
constexpr int IDC_DELETE = 1044;                    // Substitute Names: "Delete"
constexpr int IDC_FILTER_TAB = 1046;                // Class Member Filters: the tab control
constexpr int IDC_FILTER_DESCRIPTION = 1047;        // Class Member Filters: the description
constexpr int IDC_FIELDS_ALL = 1053;                // Global: Fields, "All"
constexpr int IDC_FIELDS_EXCEPT_INHERITED = 1054;   // Global: Fields, "Except inherited"
constexpr int IDC_METHODS_ALL = 1055;               // Global: Methods, "All"
constexpr int IDC_METHODS_EXCEPT_INHERITED = 1056;  // Global: Methods, "Except inherited"
constexpr int IDC_FIELDS_DEFAULT = 1057;            // Global: Fields, "with default access"
constexpr int IDC_METHODS_DEFAULT = 1058;           // Global: Methods, "with default access"
constexpr int IDC_FIELDS_PRIVATE = 1059;            // Global: Fields, "private"
constexpr int IDC_FIELDS_PROTECTED = 1060;          // Global: Fields, "protected"
constexpr int IDC_METHODS_PRIVATE = 1061;           // Global: Methods, "private"
constexpr int IDC_METHODS_PROTECTED = 1062;         // Global: Methods, "protected"
constexpr int IDC_MEMBER_COMBO = 1066;              // Local: the member names
constexpr int IDC_MEMBER_LABEL = 1067;              // Local: "Select member name:"
constexpr int IDC_FIELD_PREFIX = 1068;              // Substitute Names: "Add Field Prefix"
constexpr int IDC_METHOD_PREFIX = 1069;             // Substitute Names: "Add Method Prefix"
constexpr int IDC_INTERFACE_LIST = 1070;            // Implement Interfaces: the interface rows
constexpr int IDC_NATIVE_LIST = 1071;               // Implement Native Methods: the class rows
constexpr int IDC_DELEGATOR_LIST = 1072;            // Create Delegators: the class rows

// --- Messages ------------------------------------------------------------------------------
// A row of a CClassList pane changed (sent to the page that holds it): WPARAM the row, LPARAM
// the pane's window.
constexpr UINT WM_CLASS_LIST_CHANGED = WM_USER + 1;
// A member's check box was clicked (posted to the local filter page): WPARAM the tree item,
// LPARAM 1 when the click checks it, 0 when it unchecks it.
constexpr UINT WM_MEMBER_CLICKED = WM_USER + 2;
// The member tree's selection changed (posted): WPARAM the new item, LPARAM the view.
constexpr UINT WM_MEMBER_SELCHANGED = WM_USER + 3;
// Sent by the filter tab to the page it shows, which refreshes itself.
constexpr UINT WM_REFRESH_PAGE = WM_USER + 4;
// The generator dialog waits for its generation job to end, then closes as by OK.
constexpr UINT WM_CLOSE_AFTER_GENERATION = WM_USER + 5;
// Enables (WPARAM nonzero) or disables the wizard's controls on the dialog's own thread
// (sent by EnableWizardControls and DisableWizardControls).
constexpr UINT WM_SET_WIZARD_CONTROLS = 0x8000 + 0x101;

// --- Registration ------------------------------------------------------------------------------
// The image strip IDB_WIZARD_IMAGES.
void registerWizardImages();
// Every template below and the image strip.
void registerWizardTemplates();

// One per template, each written beside the class that uses it.
void registerGeneratorDialogTemplate();      // 129
void registerJvmListPageTemplate();          // 130
void registerModulesPageTemplate();          // 131
void registerClassesPageTemplate();          // 132
void registerSubstituteNamesPageTemplate();  // 133
void registerLocalFilterPageTemplate();      // 134
void registerNativesPageTemplate();          // 135
void registerInterfacesPageTemplate();       // 136
void registerJvmDialogTemplate();            // 137
void registerJniClassesPageTemplate();       // 138
void registerAddClassesDialogTemplate();     // 139
void registerGlobalFilterPageTemplate();     // 151
void registerFilterDialogTemplate();         // 152
void registerDelegatorsPageTemplate();       // 156
