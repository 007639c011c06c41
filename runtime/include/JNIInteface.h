// KAVRINLIB: the base class of generated interface implementations and delegators.
//
// A JNIInterface is the C++ peer of a Java object of a small generated Java class whose methods
// forward to native methods. `init` makes the class available in the VM (found, or defined from
// the bytes the generated C++ class carries), registers the native methods, creates the Java
// object and stores this object's address in its long field "peer".
//
// Copies share the Java object. Its calls reach one living C++ object that shares it: the copy
// made last, and when that one ends, the one that received them before. Once no C++ object shares
// it any more, its "peer" field goes back to 0: Java code that kept the Java object then gets an
// IllegalStateException from an implementation, and the class's own Java methods from a
// delegator. (A C++ object must not end while Java is inside one of its methods.)
//
// A class defined from bytes goes into the class loader of the interface it implements or the
// class it extends (the boot loader for classes under java/), so that it sees them, and is
// defined once per process. The natives of a class stay registered while at least one object
// uses the class. One lock (recursive) serialises set-ups and the counting of users.
#ifndef KAVRIN_JNIINTEFACE_H
#define KAVRIN_JNIINTEFACE_H

#include "JNIHelpers.h"

namespace jni_helpers {

class KAVRIN_API JNIInterface : public JObject_t {
public:
    JNIInterface();
    // A copy shares the Java object, the class and the delegate, and receives the Java object's
    // calls from now on. Never throws.
    JNIInterface(const JNIInterface& other);
    // Shares the other's Java object, class and delegate; the Java object's calls keep reaching
    // the object that receives them, and reach this one once every object that shared the Java
    // object before has gone. The Java object this one shared before is let go. Assigning an
    // object to itself does nothing.
    JNIInterface& operator=(const JNIInterface& other);
    virtual ~JNIInterface();

protected:
    // Interface implementation: the generated class `className` (slash form) with its native
    // methods and its class-file bytes. Failures are thrown as JVMException
    // "Creating Interface Implementation:\r\n" + the Java stack trace.
    void init(CSmartString className, const JNINativeMethod* methods, int methodCount,
              const signed char* classBytes, int byteCount);
    // Delegator: as above, forwarding to `delegate`; the Java object is made with the
    // constructor `ctorSignature` and `ctorArgs` (null: the constructor without arguments).
    void init(JObject_t delegate, CSmartString className, const JNINativeMethod* methods,
              int methodCount, const signed char* classBytes, int byteCount,
              CSmartString ctorSignature, jvalue* ctorArgs);
    // The object a delegator forwards to.
    JObject_t getDelegator();

private:
    jclass getClass(CSmartString name, const signed char* classBytes, int byteCount);

    jclass m_clazz;           // global reference, or null
    jmethodID m_ctorID;
    CSmartString m_className;  // slash form
    JObject_t m_delegate;
};

}  // namespace jni_helpers

#endif  // KAVRIN_JNIINTEFACE_H
