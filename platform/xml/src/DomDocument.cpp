// The DOMDocument class: its class object, registered in the process when the library loads.
#include "ComServer.h"
#include "DomNode.h"

const CLSID CLSID_DOMDocument = com::guid("2933BF90-7B36-11D2-B20E-00C04F983E60");

namespace {

HRESULT createDocument(REFIID riid, void** object) {
  xmldom::DomNode* document = new (std::nothrow) xmldom::DomNode(NODE_DOCUMENT, std::string());
  if (document == nullptr) return E_OUTOFMEMORY;
  document->AddRef();
  const HRESULT hr = document->QueryInterface(riid, object);
  document->Release();
  return hr;
}

com::ModuleLockCount gNoModule;  // documents belong to the program, which never unloads

class Registration {
 public:
  Registration() {
    IClassFactory* factory = new com::ClassFactory(&createDocument, gNoModule);
    factory->AddRef();
    CoRegisterClassObject(CLSID_DOMDocument, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
    factory->Release();
  }
  ~Registration() { CoRevokeClassObject(cookie_); }

 private:
  DWORD cookie_ = 0;
};

const Registration gRegistration;

}  // namespace
