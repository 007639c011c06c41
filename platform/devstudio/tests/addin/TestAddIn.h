// The add-in library the host tests load: one add-in class and a command object with two
// commands. "TestCmd" (method AddOutputs) adds two files and a compiler and a linker setting
// to every configuration of the active project, between EnableModeless false and true;
// "FailCmd" (method FailHere) fails with an error object. With KAVRIN_TEST_ADDIN_DECLINE=1 in
// the environment the add-in declines the connection; with KAVRIN_TEST_ADDIN_HOLD naming a pipe
// (FIFO), "TestCmd" first reads that pipe until its writer closes it.
#pragma once

#include "DevStudio.h"

inline constexpr CLSID CLSID_TestAddIn = com::guid("56F31DEB-4F49-40ED-B4C5-CF18BFAA43A0");
inline constexpr IID IID_ITestCommands = com::guid("90EC71A5-3677-4C33-BC04-CD92925A0B72");
inline constexpr GUID LIBID_TestAddIn = com::guid("3A4C4C1B-3F0E-4A5E-9C55-2B7D1F0E6A11");

#define TEST_ADDIN_PROGID "KavrinTest.DSAddIn.1"
#define TEST_ADDIN_SETTING_CL "/I\"$(KAVRINVC6)\\include\""
#define TEST_ADDIN_SETTING_LINK "/libpath:\"$(KAVRINVC6)\\lib\\\""
#define TEST_ADDIN_FAILURE "The test command failed on purpose"

struct ITestCommands : IDispatch {
  virtual HRESULT AddOutputs() = 0;
  virtual HRESULT FailHere() = 0;

 protected:
  ~ITestCommands() = default;
};

COM_INTERFACE_TRAITS(ITestCommands, IDispatch, IID_ITestCommands)
