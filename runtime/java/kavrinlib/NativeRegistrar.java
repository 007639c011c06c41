package kavrinlib;

/**
 * Registers native methods from inside a call of a class of the loader whose class gets them.
 * The VM warns about every native method registered for a class of a named module of the boot or
 * the platform loader unless the registering code was called by a class of that same loader; the
 * runtime library defines this class into such a loader (where it belongs to no named module)
 * and registers through it. The argument is the address of the library's request.
 */
final class NativeRegistrar {
    private NativeRegistrar() {
    }

    private static native void register0(long request);

    static void register(long request) {
        register0(request);
    }
}
