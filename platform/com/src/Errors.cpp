// Error objects, the texts of HRESULTs, and the COM error exception.
#include "ComServer.h"
#include "ComSupport.h"

#include <cstdio>

namespace {

// One error object: what failed (source) and why (description).
class ErrorObject : public com::ComObject<IErrorInfo, ICreateErrorInfo> {
 public:
  HRESULT GetGUID(GUID* guid) override {
    if (guid == nullptr) return E_POINTER;
    *guid = guid_;
    return S_OK;
  }
  HRESULT GetSource(BSTR* source) override { return copyOut(source_, source); }
  HRESULT GetDescription(BSTR* description) override { return copyOut(description_, description); }
  HRESULT GetHelpFile(BSTR* helpFile) override { return copyOut(helpFile_, helpFile); }
  HRESULT GetHelpContext(DWORD* helpContext) override {
    if (helpContext == nullptr) return E_POINTER;
    *helpContext = helpContext_;
    return S_OK;
  }

  HRESULT SetGUID(REFGUID guid) override {
    guid_ = guid;
    return S_OK;
  }
  HRESULT SetSource(LPOLESTR source) override { return copyIn(source, source_); }
  HRESULT SetDescription(LPOLESTR description) override { return copyIn(description, description_); }
  HRESULT SetHelpFile(LPOLESTR helpFile) override { return copyIn(helpFile, helpFile_); }
  HRESULT SetHelpContext(DWORD helpContext) override {
    helpContext_ = helpContext;
    return S_OK;
  }

 private:
  static HRESULT copyOut(const std::u16string& text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  static HRESULT copyIn(LPOLESTR text, std::u16string& field) {
    field = text != nullptr ? std::u16string(text) : std::u16string();
    return S_OK;
  }

  GUID guid_ = GUID_NULL;
  std::u16string source_;
  std::u16string description_;
  std::u16string helpFile_;
  DWORD helpContext_ = 0;
};

IErrorInfo* makeErrorInfo(const std::string& description, const std::string& source) {
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create))) return nullptr;
  std::u16string text = com::toUtf16(description);
  create->SetDescription(&text[0]);
  text = com::toUtf16(source);
  create->SetSource(&text[0]);
  IErrorInfo* info = nullptr;
  create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
  create->Release();
  return info;
}

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  ErrorObject* object = new (std::nothrow) ErrorObject();
  if (object == nullptr) return E_OUTOFMEMORY;
  object->AddRef();
  *info = object;
  return S_OK;
}

namespace com {

HRESULT reportError(HRESULT hr, const std::string& description, const std::string& source) {
  IErrorInfo* info = makeErrorInfo(description, source);
  SetErrorInfo(0, info);
  if (info != nullptr) info->Release();
  return hr;
}

std::string errorMessage(HRESULT hr) {
  switch (hr) {
    case S_OK:
      return "The operation completed successfully";
    case S_FALSE:
      return "The operation completed with a false result";
    case E_NOTIMPL:
      return "Not implemented";
    case E_NOINTERFACE:
      return "No such interface supported";
    case E_POINTER:
      return "Invalid pointer";
    case E_ABORT:
      return "Operation aborted";
    case E_FAIL:
      return "Unspecified error";
    case E_UNEXPECTED:
      return "Catastrophic failure";
    case E_ACCESSDENIED:
      return "Access is denied";
    case E_OUTOFMEMORY:
      return "Not enough memory";
    case E_INVALIDARG:
      return "The parameter is incorrect";
    case CLASS_E_NOAGGREGATION:
      return "Class does not support aggregation";
    case CLASS_E_CLASSNOTAVAILABLE:
      return "Class not available from this server";
    case REGDB_E_READREGDB:
      return "Could not read key from registry";
    case REGDB_E_CLASSNOTREG:
      return "Class not registered";
    case SELFREG_E_TYPELIB:
      return "Cannot register the type library";
    case SELFREG_E_CLASS:
      return "Cannot register the class";
    case CO_E_NOTINITIALIZED:
      return "CoInitialize has not been called";
    case CO_E_CLASSSTRING:
      return "Invalid class string";
    case CO_E_DLLNOTFOUND:
      return "Server library not found";
    case CO_E_ERRORINDLL:
      return "Error in the server library";
    case CO_E_OBJNOTREG:
      return "Object is not registered";
    case RPC_E_CHANGED_MODE:
      return "Cannot change the thread's threading model";
    case DISP_E_UNKNOWNINTERFACE:
      return "Unknown interface";
    case DISP_E_MEMBERNOTFOUND:
      return "Member not found";
    case DISP_E_PARAMNOTFOUND:
      return "Parameter not found";
    case DISP_E_TYPEMISMATCH:
      return "Type mismatch";
    case DISP_E_UNKNOWNNAME:
      return "Unknown name";
    case DISP_E_BADVARTYPE:
      return "Bad variable type";
    case DISP_E_EXCEPTION:
      return "Exception occurred";
    case DISP_E_OVERFLOW:
      return "Out of present range";
    case DISP_E_BADINDEX:
      return "Invalid index";
    case DISP_E_BADPARAMCOUNT:
      return "Invalid number of parameters";
    case DISP_E_PARAMNOTOPTIONAL:
      return "Parameter not optional";
    default:
      break;
  }
  char text[32];
  std::snprintf(text, sizeof text, "Error 0x%08X", static_cast<unsigned>(hr));
  return text;
}

void raiseError(HRESULT hr, const std::string& description) {
  _com_raise_error(hr, makeErrorInfo(description, std::string()));
}

std::string describe(const _com_error& error) {
  const std::string text = error.Description().utf8();
  return text.empty() ? std::string(error.ErrorMessage()) : text;
}

void fillExcepInfo(HRESULT hr, EXCEPINFO* info) {
  *info = EXCEPINFO{};
  info->scode = hr;
  IErrorInfo* error = nullptr;
  if (GetErrorInfo(0, &error) == S_OK && error != nullptr) {
    error->GetSource(&info->bstrSource);
    error->GetDescription(&info->bstrDescription);
    error->Release();
  }
}

}  // namespace com

// --- _com_error ----------------------------------------------------------------------------

_com_error::_com_error(HRESULT hr, IErrorInfo* info, bool addRef) : hr_(hr), info_(info) {
  if (info_ != nullptr && addRef) info_->AddRef();
}

_com_error::_com_error(const _com_error& other) : hr_(other.hr_), info_(other.info_) {
  if (info_ != nullptr) info_->AddRef();
}

_com_error& _com_error::operator=(const _com_error& other) {
  if (this != &other) {
    if (other.info_ != nullptr) other.info_->AddRef();
    if (info_ != nullptr) info_->Release();
    hr_ = other.hr_;
    info_ = other.info_;
    message_.clear();
  }
  return *this;
}

_com_error::~_com_error() {
  if (info_ != nullptr) info_->Release();
}

_bstr_t _com_error::Description() const {
  BSTR text = nullptr;
  if (info_ != nullptr) info_->GetDescription(&text);
  return _bstr_t(text, false);
}

_bstr_t _com_error::Source() const {
  BSTR text = nullptr;
  if (info_ != nullptr) info_->GetSource(&text);
  return _bstr_t(text, false);
}

IErrorInfo* _com_error::ErrorInfo() const {
  if (info_ != nullptr) info_->AddRef();
  return info_;
}

const char* _com_error::ErrorMessage() const {
  if (message_.empty()) message_ = com::errorMessage(hr_);
  return message_.c_str();
}

void _com_issue_error(HRESULT hr) { throw _com_error(hr); }

void _com_issue_errorex(HRESULT hr, IUnknown*, REFIID) {
  IErrorInfo* info = nullptr;
  GetErrorInfo(0, &info);
  throw _com_error(hr, info);
}

void _com_raise_error(HRESULT hr, IErrorInfo* info) { throw _com_error(hr, info); }
