// KAVRINLIB: the base class of generated interface implementations and delegators.
//
// A JNIInterface is the C++ peer of a Java object of a small generated Java class whose methods
// forward to native methods. `init` makes the class available in the VM (found, or defined from
// the bytes the generated C++ class carries), registers the native methods, creates the Java
// object and stores in its long field "peer" the number under which the library finds the C++
// objects that share it. The generated native methods ask for the C++ object with a Receiver.
//
// Copies share the Java object. Its calls reach one C++ object that shares it: the one that made
// it, and when that one ends, the oldest of those that remain (so a copy never takes the calls
// from a living object). Making, copying, assigning and destroying objects on any thread while
// Java calls the Java object is safe: which object receives the calls changes atomically, a call
// never reaches an object once JNIInterface has begun to end, and JNIInterface's destructor waits
// for the calls that other threads are making into its object. Once no C++ object shares the Java
// object any more, Java code that kept it gets an IllegalStateException from an implementation,
// and the class's own Java methods from a delegator; the same whatever other objects of the class
// remain, as the natives of a class stay registered while the VM lives.
//
// The rule: the C++ object that receives the calls must not begin to end while Java may call it
// (from another thread, or from inside one of its own calls on this thread). The parts of a class
// derived from JNIInterface end before JNIInterface can hand the calls on; end that object once
// Java is done with it, or keep the one that receives the calls alive longer than its copies.
//
// JObject_t is a virtual base: a generated class derives from JNIInterface and from the class that
// stands for its Java type, both of which hold the Java object in that one JObject_t.
//
// A class defined from bytes goes into the class loader of the interface it implements or the
// class it extends (the boot loader for classes under java/), so that it sees them, and is
// defined once per process. One lock (recursive) serialises set-ups.
#ifndef KAVRIN_JNIINTEFACE_H
#define KAVRIN_JNIINTEFACE_H

#include "JNIHelpers.h"

namespace jni_helpers {

class KAVRIN_API JNIInterface : public virtual JObject_t {
 public:
  JNIInterface();
  // A copy shares the Java object, the class and the delegate; it receives the Java object's
  // calls once every object that shared it before has ended. Never throws.
  JNIInterface(const JNIInterface& other);
  // Shares the other's Java object, class and delegate, and receives the Java object's calls
  // once every object that shared it before has ended. The Java object this one shared before
  // is let go (as by the destructor). Assigning an object to itself does nothing.
  JNIInterface& operator=(const JNIInterface& other);
  virtual ~JNIInterface();

  // The C++ object that receives the calls of the Java object whose "peer" field holds `peer`,
  // held for one call from Java: made on the stack of a generated native method, it keeps the
  // object from being handed over while the call runs. Empty (`!` gives true) when no C++ object
  // shares the Java object (also for 0, a Java object not set up yet).
  class KAVRIN_API Receiver {
   public:
    explicit Receiver(jlong peer);
    ~Receiver();
    JNIInterface* get() const { return m_pObject; }
    bool operator!() const { return m_pObject == 0; }

   private:
    friend class JNIInterface;
    Receiver(const Receiver&);
    Receiver& operator=(const Receiver&);
    // How many calls of the calling thread are inside `object`.
    static long callsOnThisThread(const JNIInterface* object);

    JNIInterface* m_pObject;
    void* m_pLink;
    Receiver* m_pOuter;  // the call of this thread that this one is made inside of
  };

 protected:
  // Interface implementation: the generated class `className` (slash form) with its native
  // methods and its class-file bytes. Failures are thrown as JVMException
  // "Creating Interface Implementation:\r\n" + the Java stack trace.
  void init(CSmartString className, const JNINativeMethod* methods, int methodCount, const signed char* classBytes,
            int byteCount);
  // Delegator: as above, forwarding to `delegate`; the Java object is made with the
  // constructor `ctorSignature` and `ctorArgs` (null: the constructor without arguments).
  void init(JObject_t delegate, CSmartString className, const JNINativeMethod* methods, int methodCount,
            const signed char* classBytes, int byteCount, CSmartString ctorSignature, jvalue* ctorArgs);
  // The object a delegator forwards to.
  JObject_t getDelegator();

 private:
  jclass getClass(CSmartString name, const signed char* classBytes, int byteCount);
  // Lets the Java object, the class and the delegate go. Never throws.
  void letGo();

  jclass m_clazz;  // global reference, or null
  jmethodID m_ctorID;
  CSmartString m_className;  // slash form
  JObject_t m_delegate;
  void* m_pLink;  // the C++ objects that share the Java object, or null
};

}  // namespace jni_helpers

#endif  // KAVRIN_JNIINTEFACE_H
