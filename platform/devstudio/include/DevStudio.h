// The Developer Studio automation interfaces an add-in uses, stood in for.
//
// The host loads an add-in as a COM in-process server, creates its add-in object and connects
// it through IDSAddIn. The add-in talks back through IApplication: it hands over its command
// object (an IDispatch whose methods are the commands), adds its commands and toolbar buttons,
// disables and re-enables the host's windows around a modal dialog, and reaches the open project
// through ActiveProject: an IBuildProject with its files and its configurations, each of which
// takes compiler and linker settings.
//
// Only the members the add-in calls are declared; their order is this header's own.
#pragma once

#include "ComSupport.h"

struct IConfiguration;
struct IConfigurations;

// Button types of AddCommandBarButton.
enum DsButtonType : LONG {
  dsGlyph = 1,  // the command's glyph
  dsText = 2,   // the command's button text
};

struct IApplication : IDispatch {
  // The open project (query it for IBuildProject), or null when none is open.
  virtual HRESULT get_ActiveProject(IDispatch** project) = 0;
  // Called once per connection before any command is added: the add-in's module handle, its
  // command object, the resource numbers of its medium and large toolbar bitmaps, its cookie.
  virtual HRESULT SetAddInInfo(LONG_PTR instance, IDispatch* commandDispatch, LONG bitmapMedium, LONG bitmapLarge,
                               LONG cookie) = 0;
  // `command` is "name\nbutton text\nstatus bar text\ntooltip"; `method` names the command
  // object's method that runs it; `bitmapOffset` is its glyph. `added` tells whether the host
  // took the command.
  virtual HRESULT AddCommand(BSTR command, BSTR method, LONG bitmapOffset, LONG cookie, VARIANT_BOOL* added) = 0;
  // A toolbar button for an added command (by its name).
  virtual HRESULT AddCommandBarButton(LONG buttonType, BSTR commandName, LONG cookie) = 0;
  // VARIANT_FALSE makes the host's windows stop taking input, VARIANT_TRUE gives it back.
  virtual HRESULT EnableModeless(VARIANT_BOOL enable) = 0;

 protected:
  ~IApplication() = default;
};

struct IBuildProject : IDispatch {
  // The project file's full path.
  virtual HRESULT get_FullName(BSTR* fullName) = 0;
  // Adds a file to the project; `reserved` is passed as vtMissing.
  virtual HRESULT AddFile(BSTR file, VARIANT reserved) = 0;
  // Takes a file out of the project (the file itself stays); S_FALSE when it was not listed.
  virtual HRESULT RemoveFile(BSTR file, VARIANT reserved) = 0;
  virtual HRESULT get_Configurations(IConfigurations** configurations) = 0;
  // The files of the project, in the order they were added: their number, and one of them by
  // its number from 1 to that count.
  virtual HRESULT get_FileCount(LONG* count) = 0;
  virtual HRESULT FileName(LONG index, BSTR* file) = 0;
  // Writes the project file now when the project has changes (the host writes it anyway when
  // the session ends); fails with the reason when the file cannot be written.
  virtual HRESULT Save() = 0;

 protected:
  ~IBuildProject() = default;
};

struct IConfigurations : IDispatch {
  virtual HRESULT get_Count(LONG* count) = 0;
  // `index` is a VT_I4 (or VT_I2) from 1 to Count.
  virtual HRESULT Item(VARIANT index, IConfiguration** configuration) = 0;

 protected:
  ~IConfigurations() = default;
};

struct IConfiguration : IDispatch {
  // Adds `settings` to the options of `tool` ("cl.exe", "link.exe") in this configuration;
  // `reserved` is passed as vtMissing.
  virtual HRESULT AddToolSettings(BSTR tool, BSTR settings, VARIANT reserved) = 0;

 protected:
  ~IConfiguration() = default;
};

struct IDSAddIn : IUnknown {
  // `application` is the host's application object (query it for IApplication); `firstTime`
  // is VARIANT_TRUE on the add-in's first connection ever; `cookie` identifies the add-in in
  // its calls to the host; `connected` tells the host whether the add-in is ready.
  virtual HRESULT OnConnection(IDispatch* application, VARIANT_BOOL firstTime, LONG cookie,
                               VARIANT_BOOL* connected) = 0;
  virtual HRESULT OnDisconnection(VARIANT_BOOL lastTime) = 0;

 protected:
  ~IDSAddIn() = default;
};

inline constexpr IID IID_IDSAddIn = com::guid("C0002F81-AE2E-11CF-AD07-00A0C9034965");
inline constexpr IID IID_IApplication = com::guid("EC1D73A1-8CC4-11CF-9BE9-00A0C90A632C");
inline constexpr IID IID_IBuildProject = com::guid("96961264-A819-11CF-AD07-00A0C9034965");
// The two configuration interfaces carry identities of this stand-in's own.
inline constexpr IID IID_IConfigurations = com::guid("D4AC17A0-3E33-44C8-B592-3A88EC2423E9");
inline constexpr IID IID_IConfiguration = com::guid("E445AD9F-6E43-4559-AEB6-E9C9B7A2AA20");

COM_INTERFACE_TRAITS(IApplication, IDispatch, IID_IApplication)
COM_INTERFACE_TRAITS(IBuildProject, IDispatch, IID_IBuildProject)
COM_INTERFACE_TRAITS(IConfigurations, IDispatch, IID_IConfigurations)
COM_INTERFACE_TRAITS(IConfiguration, IDispatch, IID_IConfiguration)
COM_INTERFACE_TRAITS(IDSAddIn, IUnknown, IID_IDSAddIn)

typedef _com_ptr_t<IApplication> IApplicationPtr;
typedef _com_ptr_t<IBuildProject> IBuildProjectPtr;
typedef _com_ptr_t<IConfigurations> IConfigurationsPtr;
typedef _com_ptr_t<IConfiguration> IConfigurationPtr;
typedef _com_ptr_t<IDSAddIn> IDSAddInPtr;
