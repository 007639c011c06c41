// A static int method and an instance int method of runtimetest.Echo, called through the
// runtime's checked wrappers and through raw JNI with cached IDs (with and without the
// exception check that correct raw code makes after each call).
#include "JNIHelpers.h"
#include "TestPaths.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

using jni_helpers::CSmartString;
using jni_helpers::JVM;

namespace {

JNIEnv* gEnv = nullptr;
jclass gEcho = nullptr;
jmethodID gTwice = nullptr;
jmethodID gAdd = nullptr;
jobject gObject = nullptr;

// The calls measured, raw and through the wrappers (the instance one through the wrappers needs the
// object held, so the benchmark makes it).
constexpr auto rawStatic = [](jint v) { return gEnv->CallStaticIntMethod(gEcho, gTwice, v); };
constexpr auto wrappedStatic = [](jint v) { return JNIEnvHelper::CallStaticIntMethod(gEcho, gTwice, v); };
constexpr auto rawInstance = [](jint v) { return gEnv->CallIntMethod(gObject, gAdd, v); };

// `call` with a new argument each time; with `kChecked`, each followed by the exception check that
// correct raw code makes.
template <bool kChecked, typename Call>
void repeat(benchmark::State& state, Call call) {
  jint i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(call(++i));
    if constexpr (kChecked) {
      if (gEnv->ExceptionCheck()) state.SkipWithError("exception");
    }
  }
}

void BM_StaticInt_RawJni(benchmark::State& state) { repeat<false>(state, rawStatic); }
BENCHMARK(BM_StaticInt_RawJni);

void BM_StaticInt_RawJniChecked(benchmark::State& state) { repeat<true>(state, rawStatic); }
BENCHMARK(BM_StaticInt_RawJniChecked);

void BM_StaticInt_Wrapper(benchmark::State& state) { repeat<false>(state, wrappedStatic); }
BENCHMARK(BM_StaticInt_Wrapper);

void BM_InstanceInt_RawJni(benchmark::State& state) { repeat<false>(state, rawInstance); }
BENCHMARK(BM_InstanceInt_RawJni);

void BM_InstanceInt_RawJniChecked(benchmark::State& state) { repeat<true>(state, rawInstance); }
BENCHMARK(BM_InstanceInt_RawJniChecked);

void BM_InstanceInt_Wrapper(benchmark::State& state) {
  const JObject_t held(gObject);
  repeat<false>(state, [&held](jint v) { return JNIEnvHelper::CallIntMethod(held, gAdd, v); });
}
BENCHMARK(BM_InstanceInt_Wrapper);

// Raw and wrapped calls in alternating batches, so that a change in the machine's load hits
// both alike; the counter "ratio" is wrapped time over raw time.
template <typename Raw, typename Wrapped>
void alternate(benchmark::State& state, Raw raw, Wrapped wrapped) {
  using Clock = std::chrono::steady_clock;
  const int kBatch = 2000;
  Clock::duration rawTime{};
  Clock::duration wrappedTime{};
  jint i = 0;
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    for (int n = 0; n < kBatch; ++n) benchmark::DoNotOptimize(raw(++i));
    Clock::time_point t1 = Clock::now();
    for (int n = 0; n < kBatch; ++n) benchmark::DoNotOptimize(wrapped(++i));
    Clock::time_point t2 = Clock::now();
    rawTime += t1 - t0;
    wrappedTime += t2 - t1;
  }
  state.counters["ratio"] = static_cast<double>(wrappedTime.count()) / static_cast<double>(rawTime.count());
}

void BM_StaticInt_WrapperOverRaw(benchmark::State& state) { alternate(state, rawStatic, wrappedStatic); }
BENCHMARK(BM_StaticInt_WrapperOverRaw);

void BM_InstanceInt_WrapperOverRaw(benchmark::State& state) {
  const JObject_t held(gObject);
  alternate(state, rawInstance, [&held](jint v) { return JNIEnvHelper::CallIntMethod(held, gAdd, v); });
}
BENCHMARK(BM_InstanceInt_WrapperOverRaw);

}  // namespace

int main(int argc, char** argv) {
  try {
    JVM::initClassPath(RUNTIME_TEST_CLASSES);
    JVM::load(CSmartString(kavrin_test::kLibJvm));
    gEnv = JNIEnvHelper::getEnv();
    jclass local = JNIEnvHelper::FindClass("runtimetest/Echo");
    if (local == nullptr) {
      std::fprintf(stderr, "runtimetest/Echo not found in %s\n", RUNTIME_TEST_CLASSES);
      return 1;
    }
    gEcho = static_cast<jclass>(JNIEnvHelper::NewGlobalRef(local));
    JNIEnvHelper::DeleteLocalRef(local);
    gTwice = JNIEnvHelper::GetStaticMethodID(gEcho, "twice", "(I)I");
    gAdd = JNIEnvHelper::GetMethodID(gEcho, "add", "(I)I");
    jobject obj = JNIEnvHelper::NewObject(gEcho, JNIEnvHelper::GetMethodID(gEcho, "<init>", "()V"));
    gObject = JNIEnvHelper::NewGlobalRef(obj);
    JNIEnvHelper::DeleteLocalRef(obj);
  } catch (const jni_helpers::BaseException& e) {
    std::fprintf(stderr, "cannot start the VM: %s\n", static_cast<const char*>(e.getMessage()));
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
