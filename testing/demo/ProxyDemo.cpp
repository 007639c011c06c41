// The demonstration's C++ program: uses the generated proxies of fixtures.Members, fixtures.Derived,
// fixtures.Thrower, java.util.ArrayList and java.lang.System with KAVRINLIB, on the Java VM that
// the registry names, and prints what the Java side returned.
//
// Usage: proxy-demo <class path of the fixture classes>
#include "defproxies.h"

#include <cstdio>
#include <string>

using namespace CPP_Java_Bridge;
using jni_helpers::CSmartString;
using jni_helpers::JStringHelper;

namespace {

std::string text(const JObject_t& str)
{
    if (str.isNullObject())
        return "null";
    const CSmartString converted = JStringHelper(str);
    const char* p = converted;
    return p ? std::string(p) : std::string();
}

JStringHelper str(const char* value) { return JStringHelper(CSmartString(value)); }

void show(const std::string& call, const std::string& result)
{
    std::printf("  %-44s -> %s\n", call.c_str(), result.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <class path>\n", argv[0]);
        return 2;
    }
    try {
        jni_helpers::JVM::initClassPath(argv[1]);
        jni_helpers::JVM::load();  // the runtime registered under SOFTWARE\JavaSoft
    } catch (const jni_helpers::BaseException& e) {
        std::fprintf(stderr, "cannot start the Java VM: %s\n", static_cast<const char*>(e.getMessage()));
        return 1;
    }
    try {
        std::printf("Java VM: %s %s from %s\n", text(java::lang::SystemJNIProxy::getProperty(str("java.vm.name"))).c_str(),
                    text(java::lang::SystemJNIProxy::getProperty(str("java.version"))).c_str(),
                    text(java::lang::SystemJNIProxy::getProperty(str("java.home"))).c_str());

        std::printf("fixtures.Members:\n");
        show("Members.greet(\"KAVRIN\")", text(fixtures::MembersJNIProxy::greet(str("KAVRIN"))));
        fixtures::MembersJNIProxy members(7, str("seven"));
        show("new Members(7, \"seven\").describe()", text(members.describe()));
        members.put_longField(6442450944LL * 2);
        members.put_doubleField(3.5);
        show("after put_longField and put_doubleField", text(members.describe()));
        const jint values[4] = {1, 2, 3, 4};
        show("Members.sum(new int[]{1, 2, 3, 4})",
             std::to_string(fixtures::MembersJNIProxy::sum(jni_helpers::JIntArray(values, 4))));
        show("Members.staticLong", std::to_string(fixtures::MembersJNIProxy::get_staticLong()));

        std::printf("fixtures.Derived (extends Middle extends Base, implements Named, Sized):\n");
        const CSmartString items[3] = {"a", "b", "c"};
        fixtures::DerivedJNIProxy derived(str("demo"), jni_helpers::JStringArrayHelper(items, 3));
        show("new Derived(\"demo\", {a, b, c}).describe()", text(derived.describe()));
        show("level() / size() / baseOnly()",
             text(derived.level()) + " / " + std::to_string(derived.size()) + " / " +
                 std::to_string(derived.baseOnly()));

        std::printf("java.util.ArrayList:\n");
        java::util::ArrayListJNIProxy list;
        list.add(str("Java"));
        list.add(str("and"));
        list.add(str("C++"));
        list.add(1, str("meets"));
        show("add(Java), add(and), add(C++), add(1, meets)", text(list.toString()));
        show("size() / get(3)", std::to_string(list.size()) + " / " + text(list.get(3)));

        std::printf("fixtures.Thrower:\n");
        fixtures::ThrowerJNIProxy thrower;
        try {
            thrower.fail();
            show("fail()", "returned");
        } catch (const jni_helpers::JVMException& e) {
            std::string message = static_cast<const char*>(e.getMessage());
            const std::size_t javaLine = message.find("java.lang.");
            if (javaLine != std::string::npos)
                message = message.substr(javaLine, message.find('\n', javaLine) - javaLine);
            show("fail()", "JVMException: " + message);
        }
    } catch (const jni_helpers::BaseException& e) {
        std::fprintf(stderr, "failed: %s\n", static_cast<const char*>(e.getMessage()));
        return 1;
    }
    return 0;
}
