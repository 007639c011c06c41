package runtimetest;

// Loads a native library built on the runtime and calls it from Java; prints
// "INSIDE-JAVA-OK" when every check holds, exits with status 1 otherwise.
public class InsideJava {
    static native String run(int value);

    static native String runOnThread(int value);

    static native void throwFromNative(String message);

    static native String version();

    public static int triple(int v) {
        return 3 * v;
    }

    private static void expect(boolean ok, String what) {
        if (!ok) {
            System.out.println("FAILED: " + what);
            System.exit(1);
        }
    }

    public static void main(String[] args) {
        System.load(args[0]);
        String r = run(14);
        expect("42 from C++".equals(r), "run gave " + r);
        String t = runOnThread(5);
        expect("15 on another thread".equals(t), "runOnThread gave " + t);
        try {
            throwFromNative("thrown in C++");
            expect(false, "nothing thrown");
        } catch (RuntimeException e) {
            expect(e.getClass() == RuntimeException.class, "class " + e.getClass());
            expect(e.getMessage().startsWith("native: thrown in C++"), "message " + e.getMessage());
        }
        String v = version();
        expect("0x10002".equals(v), "version " + v);
        System.out.println("INSIDE-JAVA-OK");
    }
}
