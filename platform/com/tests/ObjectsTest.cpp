// COM objects: QueryInterface over interface lists, smart pointer reference counts, dispatch by
// name, class factories, error objects and the COM error exception.
#include "ComServer.h"
#include "ComSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct IShape : IUnknown {
  virtual HRESULT Area(LONG* area) = 0;

 protected:
  ~IShape() = default;
};
struct ISquare : IShape {
  virtual HRESULT Side(LONG* side) = 0;

 protected:
  ~ISquare() = default;
};
struct IRun : IDispatch {
  virtual HRESULT Go() = 0;
  virtual HRESULT Stop() = 0;

 protected:
  ~IRun() = default;
};

inline constexpr IID IID_IShape = com::guid("711D5C47-47E9-4F9E-B0FB-94874B2A6CD1");
inline constexpr IID IID_ISquare = com::guid("EC06781C-EAAA-4381-8E69-76982B04495D");
inline constexpr IID IID_IRun = com::guid("BB3825BF-4A29-4B04-9696-21C7435EF5B3");

}  // namespace

COM_INTERFACE_TRAITS(IShape, IUnknown, IID_IShape)
COM_INTERFACE_TRAITS(ISquare, IShape, IID_ISquare)
COM_INTERFACE_TRAITS(IRun, IDispatch, IID_IRun)

namespace {

typedef _com_ptr_t<IShape> IShapePtr;
typedef _com_ptr_t<ISquare> ISquarePtr;
typedef _com_ptr_t<IRun> IRunPtr;

int gSquaresAlive = 0;

class Square : public com::ComObject<ISquare, IRun> {
 public:
  Square() { ++gSquaresAlive; }
  ~Square() override { --gSquaresAlive; }
  HRESULT Area(LONG* area) override {
    *area = 9;
    return S_OK;
  }
  HRESULT Side(LONG* side) override {
    *side = 3;
    return S_OK;
  }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
  HRESULT Go() override { return S_OK; }
  HRESULT Stop() override { return S_OK; }
};

Square* newSquare() {
  Square* s = new Square();
  s->AddRef();
  return s;
}

TEST(ComObject, AnswersForEveryInterfaceAndItsBases) {
  Square* square = newSquare();
  void* p = nullptr;
  ASSERT_EQ(square->QueryInterface(IID_IShape, &p), S_OK);
  EXPECT_EQ(p, static_cast<IShape*>(static_cast<ISquare*>(square)));
  static_cast<IUnknown*>(p)->Release();
  ASSERT_EQ(square->QueryInterface(IID_IDispatch, &p), S_OK);
  EXPECT_EQ(p, static_cast<IDispatch*>(static_cast<IRun*>(square)));
  static_cast<IUnknown*>(p)->Release();

  IUnknown* a = nullptr;
  IUnknown* b = nullptr;
  ASSERT_EQ(square->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a)), S_OK);
  IRun* run = nullptr;
  ASSERT_EQ(square->QueryInterface(IID_IRun, reinterpret_cast<void**>(&run)), S_OK);
  ASSERT_EQ(run->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b)), S_OK);
  EXPECT_EQ(a, b) << "one identity whichever interface is asked";
  a->Release();
  b->Release();
  run->Release();

  EXPECT_EQ(square->QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(square->QueryInterface(IID_IShape, nullptr), E_POINTER);
  EXPECT_EQ(square->refCount(), 1u);
  square->Release();
  EXPECT_EQ(gSquaresAlive, 0);
}

TEST(SmartPointer, CountsReferencesThroughCopiesMovesAndQueries) {
  Square* square = newSquare();
  {
    ISquarePtr sq(static_cast<ISquare*>(square));
    EXPECT_EQ(square->refCount(), 2u);
    ISquarePtr copy = sq;
    EXPECT_EQ(square->refCount(), 3u);
    ISquarePtr moved = std::move(copy);
    EXPECT_EQ(square->refCount(), 3u);
    EXPECT_EQ(copy.GetInterfacePtr(), nullptr);

    IRunPtr run(sq);  // QueryInterface
    EXPECT_EQ(square->refCount(), 4u);
    EXPECT_EQ(run->Go(), S_OK);
    IClassFactoryPtr none(sq);  // E_NOINTERFACE leaves it null
    EXPECT_EQ(none.GetInterfacePtr(), nullptr);

    run = nullptr;
    EXPECT_EQ(square->refCount(), 3u);
    IShapePtr shape;
    ASSERT_EQ(sq->QueryInterface(IID_IShape, reinterpret_cast<void**>(&shape)), S_OK);
    EXPECT_EQ(square->refCount(), 4u);
    IShape** slot = &shape;  // for an out parameter: releases what the pointer held
    EXPECT_EQ(*slot, nullptr);
    EXPECT_EQ(square->refCount(), 3u);

    ISquarePtr assigned;
    assigned = static_cast<ISquare*>(square);  // through a temporary and a move
    EXPECT_EQ(square->refCount(), 4u);
    assigned = std::move(moved);
    EXPECT_EQ(square->refCount(), 3u);
    moved = std::move(assigned);
    EXPECT_EQ(assigned.GetInterfacePtr(), nullptr);
    EXPECT_EQ(square->refCount(), 3u);
    ISquarePtr& same = moved;
    moved = same;  // self-assignment keeps the reference
    EXPECT_EQ(square->refCount(), 3u);

    ISquare* raw = moved.Detach();
    EXPECT_EQ(square->refCount(), 3u);
    ISquarePtr adopted;
    adopted.Attach(raw);
    EXPECT_EQ(square->refCount(), 3u);
  }
  EXPECT_EQ(square->refCount(), 1u);
  square->Release();
  EXPECT_EQ(gSquaresAlive, 0);
}

TEST(SmartPointer, NullDereferenceRaisesPointerError) {
  ISquarePtr empty;
  try {
    LONG side = 0;
    empty->Side(&side);
    FAIL() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_POINTER);
    EXPECT_STREQ(e.ErrorMessage(), "Invalid pointer");
  }
}

// A command object with two named methods, one of which fails with an error object.
class Commands : public com::DispatchObject<Commands, IRun> {
 public:
  static const com::DispatchMethod<Commands>* dispatchMethods() {
    static const com::DispatchMethod<Commands> methods[] = {
        {"Go", 1, &Commands::Go}, {"Stop", 2, &Commands::Stop}, {nullptr, 0, nullptr}};
    return methods;
  }
  HRESULT Go() override {
    ++goes;
    return S_FALSE;
  }
  HRESULT Stop() override { return com::reportError(E_FAIL, "cannot stop", "Commands"); }
  int goes = 0;
};

DISPID idOf(IDispatch* d, const char16_t* name, HRESULT* hr = nullptr) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = 0;
  const HRESULT r = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (hr != nullptr) *hr = r;
  return id;
}

TEST(DispatchObject, FindsMethodsByNameAndInvokesThem) {
  Commands* commands = new Commands();
  IDispatchPtr d(static_cast<IDispatch*>(commands));
  EXPECT_EQ(idOf(d, u"Go"), 1);
  EXPECT_EQ(idOf(d, u"sTOP"), 2) << "names are compared without case";
  HRESULT hr = S_OK;
  EXPECT_EQ(idOf(d, u"Pause", &hr), DISPID_UNKNOWN);
  EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);

  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(commands->goes, 1);
  EXPECT_EQ(d->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  _variant_t arg(LONG(1));
  DISPPARAMS one{&arg, nullptr, 1, 0};
  EXPECT_EQ(d->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(commands->goes, 1);

  EXCEPINFO info{};
  EXPECT_EQ(d->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &info, nullptr), DISP_E_EXCEPTION);
  EXPECT_EQ(info.scode, E_FAIL);
  EXPECT_EQ(com::fromBstr(info.bstrDescription), "cannot stop");
  EXPECT_EQ(com::fromBstr(info.bstrSource), "Commands");
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);

  UINT count = 5;
  EXPECT_EQ(d->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
}

TEST(ClassFactory, RefusesAggregationAndLocksTheModule) {
  com::ModuleLockCount module;
  IClassFactoryPtr factory(new com::ClassFactory(&com::createInstance<Square>, module));
  ISquarePtr square;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISquare, reinterpret_cast<void**>(&square)), S_OK);
  EXPECT_EQ(gSquaresAlive, 1);
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(square, IID_ISquare, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
  EXPECT_EQ(gSquaresAlive, 1) << "the object made for a refused interface is gone";
  square = nullptr;
  EXPECT_EQ(gSquaresAlive, 0);

  EXPECT_EQ(module.GetLockCount(), 0);
  factory->LockServer(TRUE);
  EXPECT_EQ(module.GetLockCount(), 1);
  factory->LockServer(FALSE);
  EXPECT_EQ(module.GetLockCount(), 0);
}

TEST(ErrorInfo, RoundTripsPerThreadAndIsTakenOnce) {
  EXPECT_EQ(com::reportError(E_INVALIDARG, "bad name", "Loader"), E_INVALIDARG);
  std::thread other([] {
    IErrorInfo* info = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE) << "another thread has its own slot";
    EXPECT_EQ(info, nullptr);
  });
  other.join();

  IErrorInfoPtr info;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  BSTR text = nullptr;
  info->GetDescription(&text);
  EXPECT_EQ(com::fromBstr(text), "bad name");
  SysFreeString(text);
  info->GetSource(&text);
  EXPECT_EQ(com::fromBstr(text), "Loader");
  SysFreeString(text);

  IErrorInfo* again = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE) << "taking the error object clears the slot";

  ICreateErrorInfoPtr create;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(u"set by hand"));
  IErrorInfoPtr made(create);
  ASSERT_NE(made.GetInterfacePtr(), nullptr);
  SetErrorInfo(0, made);
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE) << "a null error object clears the slot";
}

TEST(ComError, CarriesTheHresultAndTheErrorObjectsText) {
  try {
    com::raiseError(E_ACCESSDENIED, "Cannot write the settings file");
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_ACCESSDENIED);
    EXPECT_EQ(e.Description().utf8(), "Cannot write the settings file");
    EXPECT_STREQ(e.ErrorMessage(), "Access is denied");
    const _com_error copy = e;
    EXPECT_EQ(copy.Description().utf8(), "Cannot write the settings file");
  }

  com::reportError(E_FAIL, "from the failing object");
  try {
    com::check(E_FAIL);
    FAIL() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Description().utf8(), "from the failing object");
  }
  try {
    com::check(S_FALSE);
    _com_issue_error(E_OUTOFMEMORY);
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_OUTOFMEMORY);
    EXPECT_EQ(e.Description().length(), 0u) << "no error object";
    EXPECT_EQ(e.ErrorInfo(), nullptr);
  }
  EXPECT_EQ(com::errorMessage(static_cast<HRESULT>(0x80041234u)), "Error 0x80041234");
}

}  // namespace
