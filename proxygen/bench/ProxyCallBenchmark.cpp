// Calls of proxytext.Calls through its generated proxy against the same calls through raw JNI
// with cached class and method IDs (each raw call followed by the exception check that correct
// code makes), in one run. The *OverRaw benchmarks time proxy and raw calls in alternating
// batches, so that a change in the machine's load hits both alike, and report the counter
// "ratio": proxy time over raw time. Targets: instance calls at most 1.5 for an int result and at
// most 3 for an object result (the proxy holds each result through a global reference); static
// calls look their class and method up on every call, as designed, and are only reported.
#include "defproxies.h"
#include "TestPaths.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

using CPP_Java_Bridge::proxytext::CallsJNIProxy;
using jni_helpers::CSmartString;
using jni_helpers::JNIEnvHelper;

namespace {

JNIEnv* gEnv = nullptr;
jclass gCalls = nullptr;
jmethodID gTwice = nullptr;
jmethodID gTouch = nullptr;
jmethodID gAdd = nullptr;
jmethodID gLabel = nullptr;
jobject gObject = nullptr;
CallsJNIProxy* gProxy = nullptr;

void check(benchmark::State& state)
{
    if (gEnv->ExceptionCheck()) {
        gEnv->ExceptionClear();
        state.SkipWithError("Java exception");
    }
}

jint rawTwice(jint v) { return gEnv->CallStaticIntMethod(gCalls, gTwice, v); }
jint rawAdd(jint v) { return gEnv->CallIntMethod(gObject, gAdd, v); }
void rawTouch() { gEnv->CallStaticVoidMethod(gCalls, gTouch); }
jobject rawLabel()
{
    jobject label = gEnv->CallObjectMethod(gObject, gLabel);
    gEnv->DeleteLocalRef(label);
    return label;
}

void BM_StaticInt_Raw(benchmark::State& state)
{
    jint i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rawTwice(++i));
        check(state);
    }
}
BENCHMARK(BM_StaticInt_Raw);

void BM_StaticInt_Proxy(benchmark::State& state)
{
    jint i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(CallsJNIProxy::twice(++i));
}
BENCHMARK(BM_StaticInt_Proxy);

void BM_StaticVoid_Raw(benchmark::State& state)
{
    for (auto _ : state) {
        rawTouch();
        check(state);
    }
}
BENCHMARK(BM_StaticVoid_Raw);

void BM_StaticVoid_Proxy(benchmark::State& state)
{
    for (auto _ : state)
        CallsJNIProxy::touch();
}
BENCHMARK(BM_StaticVoid_Proxy);

void BM_InstanceInt_Raw(benchmark::State& state)
{
    jint i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rawAdd(++i));
        check(state);
    }
}
BENCHMARK(BM_InstanceInt_Raw);

void BM_InstanceInt_Proxy(benchmark::State& state)
{
    jint i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(gProxy->add(++i));
}
BENCHMARK(BM_InstanceInt_Proxy);

void BM_InstanceObject_Raw(benchmark::State& state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(rawLabel());
        check(state);
    }
}
BENCHMARK(BM_InstanceObject_Raw);

void BM_InstanceObject_Proxy(benchmark::State& state)
{
    for (auto _ : state) {
        jni_helpers::JStringHelper label = gProxy->label();
        benchmark::DoNotOptimize(label);
    }
}
BENCHMARK(BM_InstanceObject_Proxy);

template <typename Raw, typename Proxy>
void alternate(benchmark::State& state, Raw raw, Proxy proxy)
{
    using Clock = std::chrono::steady_clock;
    const int kBatch = 2000;
    Clock::duration rawTime{};
    Clock::duration proxyTime{};
    jint i = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        for (int n = 0; n < kBatch; ++n) {
            raw(++i);
            if (gEnv->ExceptionCheck())
                state.SkipWithError("Java exception");
        }
        const Clock::time_point t1 = Clock::now();
        for (int n = 0; n < kBatch; ++n)
            proxy(++i);
        const Clock::time_point t2 = Clock::now();
        rawTime += t1 - t0;
        proxyTime += t2 - t1;
    }
    state.counters["ratio"] = static_cast<double>(proxyTime.count()) / static_cast<double>(rawTime.count());
}

void BM_StaticInt_ProxyOverRaw(benchmark::State& state)
{
    alternate(
        state, [](jint v) { benchmark::DoNotOptimize(rawTwice(v)); },
        [](jint v) { benchmark::DoNotOptimize(CallsJNIProxy::twice(v)); });
}
BENCHMARK(BM_StaticInt_ProxyOverRaw);

void BM_StaticVoid_ProxyOverRaw(benchmark::State& state)
{
    alternate(
        state, [](jint) { rawTouch(); }, [](jint) { CallsJNIProxy::touch(); });
}
BENCHMARK(BM_StaticVoid_ProxyOverRaw);

void BM_InstanceInt_ProxyOverRaw(benchmark::State& state)
{
    alternate(
        state, [](jint v) { benchmark::DoNotOptimize(rawAdd(v)); },
        [](jint v) { benchmark::DoNotOptimize(gProxy->add(v)); });
}
BENCHMARK(BM_InstanceInt_ProxyOverRaw);

void BM_InstanceObject_ProxyOverRaw(benchmark::State& state)
{
    alternate(
        state, [](jint) { benchmark::DoNotOptimize(rawLabel()); },
        [](jint) {
            jni_helpers::JStringHelper label = gProxy->label();
            benchmark::DoNotOptimize(label);
        });
}
BENCHMARK(BM_InstanceObject_ProxyOverRaw);

}  // namespace

int main(int argc, char** argv)
{
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
        gTouch = JNIEnvHelper::GetStaticMethodID(gCalls, "touch", "()V");
        gAdd = JNIEnvHelper::GetMethodID(gCalls, "add", "(I)I");
        gLabel = JNIEnvHelper::GetMethodID(gCalls, "label", "()Ljava/lang/String;");
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
