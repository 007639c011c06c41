// The in-process server that the COM tests build and load: one class, a counter.
#pragma once

#include "Com.h"

inline constexpr CLSID CLSID_TestCounter = com::guid("6C82DD8A-4419-4932-B2E4-634824B61E93");
// Registered by the tests to the server, which does not serve it.
inline constexpr CLSID CLSID_TestNotServed = com::guid("84792B19-7342-4B84-9499-7271DD1136DF");
inline constexpr IID IID_ICounter = com::guid("88F26B57-4FE8-499D-B0C6-EB8F43A1A284");
inline constexpr GUID LIBID_TestServer = com::guid("0F47DF36-E9BE-4A48-8F09-4942E9C34987");

#define TEST_COUNTER_PROGID "KavrinTest.Counter.1"
#define TEST_COUNTER_VI_PROGID "KavrinTest.Counter"

struct ICounter : IUnknown {
  // Adds one and gives the new value.
  virtual HRESULT Increment(LONG* value) = 0;
  // Fails with E_FAIL, leaving an error object with `description` (source "KavrinTest.Counter").
  virtual HRESULT Fail(BSTR description) = 0;
  // Makes another counter through CoCreateInstance, from inside the server.
  virtual HRESULT CreateSibling(ICounter** sibling) = 0;

 protected:
  ~ICounter() = default;
};

COM_INTERFACE_TRAITS(ICounter, IUnknown, IID_ICounter)
