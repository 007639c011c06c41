// Calls of proxytext.Calls through its generated proxy beside the same work done with raw JNI, in
// one run. Each *_ProxyOverRaw benchmark times raw and proxy work in alternating batches, so that
// a change in the machine's load hits both alike, and reports the counter "ratio": proxy time
// over raw time (the median over the batches). Raw code checks for a Java exception after each
// call, as correct code does.
//
//   kind              raw work                                               target ratio
//   InstanceInt       CallIntMethod with a cached ID                          -
//   InstanceString    CallObjectMethod, the result held through a global
//                     reference that is then deleted (the proxy's result
//                     holds one)                                              1.3
//   FieldGet          GetIntField with a cached ID                            -
//   Wrap              NewGlobalRef + DeleteGlobalRef of an existing object    2
//   Static            FindClass + GetStaticMethodID + the call per call       1.3
//   StaticCachedIDs   the call with a class and ID cached by hand             (reported)
//   Static_Loader     as Static, with the runtime's class loader set up       2
//   Wrap_Loader       as Wrap, with the runtime's class loader set up         2
//
// The benchmarks run in the order written: those named *_Loader set the runtime's class loader up
// and come last.
#include "defproxies.h"
#include "TestPaths.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using CPP_Java_Bridge::proxytext::CallsJNIProxy;
using jni_helpers::CSmartString;
using jni_helpers::JNIEnvHelper;

namespace {

JNIEnv* gEnv = nullptr;
jclass gCalls = nullptr;
jmethodID gTwice = nullptr;
jmethodID gAdd = nullptr;
jmethodID gLabel = nullptr;
jfieldID gCount = nullptr;
jobject gObject = nullptr;
CallsJNIProxy* gProxy = nullptr;

bool failed() {
  if (!gEnv->ExceptionCheck()) return false;
  gEnv->ExceptionClear();
  return true;
}

// --- Raw work ---------------------------------------------------------------------------------

jint rawAdd(jint v) { return gEnv->CallIntMethod(gObject, gAdd, v); }

jint rawCount() { return gEnv->GetIntField(gObject, gCount); }

jobject rawLabel() {
  jobject label = gEnv->CallObjectMethod(gObject, gLabel);
  if (failed()) return nullptr;
  jobject held = gEnv->NewGlobalRef(label);
  gEnv->DeleteLocalRef(label);
  gEnv->DeleteGlobalRef(held);
  return held;
}

void rawWrap() {
  jobject held = gEnv->NewGlobalRef(gObject);
  gEnv->DeleteGlobalRef(held);
}

jint rawTwiceCached(jint v) { return gEnv->CallStaticIntMethod(gCalls, gTwice, v); }

jint rawTwiceLookedUp(jint v) {
  jclass cls = gEnv->FindClass("proxytext/Calls");
  if (cls == nullptr || failed()) return 0;
  jmethodID twice = gEnv->GetStaticMethodID(cls, "twice", "(I)I");
  jint result = 0;
  if (twice != nullptr && !failed()) result = gEnv->CallStaticIntMethod(cls, twice, v);
  gEnv->DeleteLocalRef(cls);
  return result;
}

// --- Proxy work -------------------------------------------------------------------------------

jint proxyAdd(jint v) { return gProxy->add(v); }

jint proxyCount() { return gProxy->get_count(); }

jobject proxyLabel() {
  jni_helpers::JStringHelper label = gProxy->label();
  return label;
}

void proxyWrap() {
  CallsJNIProxy wrapped(gObject);
  benchmark::DoNotOptimize(wrapped);
}

jint proxyTwice(jint v) { return CallsJNIProxy::twice(v); }

// --- Timing -----------------------------------------------------------------------------------

template <typename Work>
void timeAlone(benchmark::State& state, Work work) {
  for (auto _ : state) {
    work();
    if (failed()) state.SkipWithError("Java exception");
  }
}

// Raw and proxy work in alternating batches. The counters are medians over the batches, so that
// a batch that the machine's load slowed down does not count: "ratio" is the median of the
// proxy's time over the raw time of the batch pairs, "raw_ns" and "proxy_ns" the median times
// of one call.
template <typename Raw, typename Proxy>
void alternate(benchmark::State& state, Raw raw, Proxy proxy) {
  using Clock = std::chrono::steady_clock;
  const int kBatch = 200;
  std::vector<double> rawTimes;
  std::vector<double> proxyTimes;
  std::vector<double> ratios;
  for (auto _ : state) {
    const Clock::time_point t0 = Clock::now();
    for (int n = 0; n < kBatch; ++n) {
      raw();
      if (failed()) state.SkipWithError("Java exception");
    }
    const Clock::time_point t1 = Clock::now();
    for (int n = 0; n < kBatch; ++n) proxy();
    const Clock::time_point t2 = Clock::now();
    const double rawTime = std::chrono::duration<double, std::nano>(t1 - t0).count();
    const double proxyTime = std::chrono::duration<double, std::nano>(t2 - t1).count();
    rawTimes.push_back(rawTime / kBatch);
    proxyTimes.push_back(proxyTime / kBatch);
    ratios.push_back(proxyTime / rawTime);
  }
  auto median = [](std::vector<double>& values) {
    if (values.empty()) return 0.0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
  };
  state.counters["raw_ns"] = median(rawTimes);
  state.counters["proxy_ns"] = median(proxyTimes);
  state.counters["ratio"] = median(ratios);
}

jint gArg = 0;

// One kind: the raw work alone, the proxy work alone and both alternating.
#define CALL_KIND(Kind, RawWork, ProxyWork)                \
  void BM_##Kind##_Raw(benchmark::State& state) {          \
    timeAlone(state, [] { RawWork; });                     \
  }                                                        \
  BENCHMARK(BM_##Kind##_Raw);                              \
  void BM_##Kind##_Proxy(benchmark::State& state) {        \
    timeAlone(state, [] { ProxyWork; });                   \
  }                                                        \
  BENCHMARK(BM_##Kind##_Proxy);                            \
  void BM_##Kind##_ProxyOverRaw(benchmark::State& state) { \
    alternate(                                             \
        state, [] { RawWork; }, [] { ProxyWork; });        \
  }                                                        \
  BENCHMARK(BM_##Kind##_ProxyOverRaw);

CALL_KIND(InstanceInt, benchmark::DoNotOptimize(rawAdd(++gArg)), benchmark::DoNotOptimize(proxyAdd(++gArg)))
CALL_KIND(InstanceString, benchmark::DoNotOptimize(rawLabel()), benchmark::DoNotOptimize(proxyLabel()))
CALL_KIND(FieldGet, benchmark::DoNotOptimize(rawCount()), benchmark::DoNotOptimize(proxyCount()))
CALL_KIND(Wrap, rawWrap(), proxyWrap())
CALL_KIND(Static, benchmark::DoNotOptimize(rawTwiceLookedUp(++gArg)), benchmark::DoNotOptimize(proxyTwice(++gArg)))
CALL_KIND(StaticCachedIDs, benchmark::DoNotOptimize(rawTwiceCached(++gArg)),
          benchmark::DoNotOptimize(proxyTwice(++gArg)))

// The runtime's class loader, set up once by the first benchmark that wants it.
bool loaderReady(benchmark::State& state) {
  static const bool ready = [] {
    try {
      return jni_helpers::_simple_class_loader::init();
    } catch (const jni_helpers::BaseException&) {
      return false;
    }
  }();
  if (!ready) state.SkipWithError("the class loader cannot be set up");
  return ready;
}

#define LOADER_KIND(Kind, RawWork, ProxyWork)                     \
  void BM_##Kind##_Loader_ProxyOverRaw(benchmark::State& state) { \
    if (loaderReady(state))                                       \
      alternate(                                                  \
          state, [] { RawWork; }, [] { ProxyWork; });             \
  }                                                               \
  BENCHMARK(BM_##Kind##_Loader_ProxyOverRaw);

LOADER_KIND(Static, benchmark::DoNotOptimize(rawTwiceLookedUp(++gArg)), benchmark::DoNotOptimize(proxyTwice(++gArg)))
LOADER_KIND(Wrap, rawWrap(), proxyWrap())

}  // namespace

int main(int argc, char** argv) {
  try {
    jni_helpers::JVM::initClassPath(kavrin_test::kFixtureClasses);
    jni_helpers::JVM::load(CSmartString(kavrin_test::kLibJvm));
    gEnv = JNIEnvHelper::getEnv();
    jclass local = JNIEnvHelper::FindClass("proxytext/Calls");
    if (local == nullptr) {
      std::fprintf(stderr, "proxytext/Calls not found in %s\n", kavrin_test::kFixtureClasses);
      return 1;
    }
    gCalls = static_cast<jclass>(JNIEnvHelper::NewGlobalRef(local));
    JNIEnvHelper::DeleteLocalRef(local);
    gTwice = JNIEnvHelper::GetStaticMethodID(gCalls, "twice", "(I)I");
    gAdd = JNIEnvHelper::GetMethodID(gCalls, "add", "(I)I");
    gLabel = JNIEnvHelper::GetMethodID(gCalls, "label", "()Ljava/lang/String;");
    gCount = JNIEnvHelper::GetFieldID(gCalls, "count", "I");
    static CallsJNIProxy proxy;
    gProxy = &proxy;
    gObject = proxy;
  } catch (const jni_helpers::BaseException& e) {
    std::fprintf(stderr, "cannot start the VM: %s\n", static_cast<const char*>(e.getMessage()));
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
