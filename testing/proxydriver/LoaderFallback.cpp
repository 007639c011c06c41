// Stand-in for the runtime library's class loader while the library has none: the loader is not
// initialised, so generated code falls back on FindClass.
#include "JNIHelpers.h"

jclass jni_helpers::_simple_class_loader::getClass(CSmartString)
{
    return 0;
}
