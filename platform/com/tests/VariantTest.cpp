// VARIANT copies, clearing and conversions; the _variant_t wrapper.
#include "ComServer.h"
#include "ComSupport.h"

#include <gtest/gtest.h>

namespace {

// A dispatch object that counts its references and its destruction.
class Probe : public com::DispatchObject<Probe, IDispatch> {
 public:
  explicit Probe(int* destroyed) : destroyed_(destroyed) {}
  ~Probe() override { ++*destroyed_; }
  static const com::DispatchMethod<Probe>* dispatchMethods() {
    static const com::DispatchMethod<Probe> none[] = {{nullptr, 0, nullptr}};
    return none;
  }

 private:
  int* destroyed_;
};

_variant_t text(const char* utf8) { return _variant_t(utf8); }

TEST(Variant, CopyIsDeepAndClearFrees) {
  VARIANT a;
  VariantInit(&a);
  EXPECT_EQ(a.vt, VT_EMPTY);
  a.vt = VT_BSTR;
  a.bstrVal = com::allocBstr("library");
  VARIANT b;
  VariantInit(&b);
  b.vt = VT_I4;
  b.lVal = 7;
  ASSERT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_EQ(b.vt, VT_BSTR);
  EXPECT_NE(b.bstrVal, a.bstrVal);
  EXPECT_EQ(com::fromBstr(b.bstrVal), "library");
  EXPECT_EQ(VariantClear(&a), S_OK);
  EXPECT_EQ(a.vt, VT_EMPTY);
  EXPECT_EQ(com::fromBstr(b.bstrVal), "library") << "the copy outlives the original";
  EXPECT_EQ(VariantClear(&b), S_OK);

  VARIANT bad;
  VariantInit(&bad);
  bad.vt = 0x4000;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantCopy(&b, &bad), DISP_E_BADVARTYPE);
}

TEST(Variant, DispatchValuesHoldReferences) {
  int destroyed = 0;
  Probe* probe = new Probe(&destroyed);
  probe->AddRef();
  {
    _variant_t held(static_cast<IDispatch*>(probe));
    EXPECT_EQ(probe->refCount(), 2u);
    _variant_t copy = held;
    EXPECT_EQ(probe->refCount(), 3u);
    copy.Clear();
    EXPECT_EQ(copy.vt, VT_EMPTY);
    EXPECT_EQ(probe->refCount(), 2u);
  }
  EXPECT_EQ(probe->refCount(), 1u);
  probe->Release();
  EXPECT_EQ(destroyed, 1);
}

TEST(Variant, TextToBooleanAcceptsWordsAndNumbers) {
  const struct {
    const char* text;
    bool value;
  } cases[] = {{"true", true}, {"False", false}, {" TRUE ", true}, {"-1", true},
               {"0", false},   {"1", true},      {"2.5", true},    {"0.0", false}};
  for (const auto& c : cases) {
    VARIANT out;
    VariantInit(&out);
    _variant_t in = text(c.text);
    ASSERT_EQ(VariantChangeType(&out, &in, 0, VT_BOOL), S_OK) << c.text;
    EXPECT_EQ(out.vt, VT_BOOL);
    EXPECT_EQ(out.boolVal, c.value ? VARIANT_TRUE : VARIANT_FALSE) << c.text;
  }
  for (const char* bad : {"yes", "", "1x", "--1"}) {
    VARIANT out;
    VariantInit(&out);
    _variant_t in = text(bad);
    EXPECT_EQ(VariantChangeType(&out, &in, 0, VT_BOOL), DISP_E_TYPEMISMATCH) << bad;
    EXPECT_EQ(out.vt, VT_EMPTY) << "a failed conversion leaves the target alone";
  }
}

TEST(Variant, NumbersConvertWithRangeChecks) {
  _variant_t v = text(" -123 ");
  v.ChangeType(VT_I2);
  EXPECT_EQ(v.vt, VT_I2);
  EXPECT_EQ(v.iVal, -123);

  _variant_t big(LONG(70000));
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(VariantChangeType(&out, &big, 0, VT_I2), DISP_E_OVERFLOW);
  _variant_t huge = text("99999999999999999999999");
  EXPECT_EQ(VariantChangeType(&out, &huge, 0, VT_I4), DISP_E_OVERFLOW);
  _variant_t rounded = text("2.5");
  EXPECT_EQ(static_cast<LONG>(rounded), 3);

  _variant_t flag(true);
  EXPECT_EQ(static_cast<LONG>(flag), -1);
  EXPECT_EQ(static_cast<_bstr_t>(flag).utf8(), "-1");
  ASSERT_EQ(VariantChangeType(&out, &flag, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
  EXPECT_EQ(com::fromBstr(out.bstrVal), "True");
  VariantClear(&out);

  _variant_t type(SHORT(1));
  EXPECT_EQ(static_cast<_bstr_t>(type).utf8(), "1");
  EXPECT_TRUE(static_cast<bool>(type));
}

TEST(Variant, NullAndMissingDoNotConvert) {
  VARIANT null;
  VariantInit(&null);
  null.vt = VT_NULL;
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(VariantChangeType(&out, &null, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VariantChangeType(&out, &vtMissing, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(vtMissing.vt, VT_ERROR);
  EXPECT_EQ(vtMissing.scode, DISP_E_PARAMNOTFOUND);

  const _variant_t wrapped(null);
  try {
    const _bstr_t s = wrapped;
    FAIL() << "a null value has no text";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), DISP_E_TYPEMISMATCH);
  }

  _variant_t empty;
  EXPECT_EQ(static_cast<LONG>(empty), 0);
  EXPECT_FALSE(static_cast<bool>(empty));
  EXPECT_EQ(static_cast<_bstr_t>(empty).length(), 0u);
}

TEST(Variant, ConversionInPlaceReplacesTheText) {
  _variant_t v = text("-1");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BOOL), S_OK);
  EXPECT_EQ(v.vt, VT_BOOL);
  EXPECT_EQ(v.boolVal, VARIANT_TRUE);
  _variant_t moved = std::move(v);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(moved.vt, VT_BOOL);
  VARIANT raw = moved.Detach();
  EXPECT_EQ(moved.vt, VT_EMPTY);
  EXPECT_EQ(raw.vt, VT_BOOL);
}

}  // namespace
