package runtimetest;

// Calls of every kind and type for the runtime's checked wrappers.
public class Echo {
    public boolean z;
    public byte b;
    public char c;
    public short s;
    public int i;
    public long j;
    public float f;
    public double d;
    public String text;

    public static boolean sz;
    public static byte sb;
    public static char sc;
    public static short ss;
    public static int si;
    public static long sj;
    public static float sf;
    public static double sd;
    public static String stext;

    public Echo() {
    }

    public Echo(boolean z, byte b, char c, short s, int i, long j, float f, double d, String text) {
        this.z = z;
        this.b = b;
        this.c = c;
        this.s = s;
        this.i = i;
        this.j = j;
        this.f = f;
        this.d = d;
        this.text = text;
    }

    public boolean echoZ(boolean v) { return v; }
    public byte echoB(byte v) { return v; }
    public char echoC(char v) { return v; }
    public short echoS(short v) { return v; }
    public int echoI(int v) { return v; }
    public long echoJ(long v) { return v; }
    public float echoF(float v) { return v; }
    public double echoD(double v) { return v; }
    public Object echoL(Object v) { return v; }
    public void store(int v) { i = v; }

    public static boolean sechoZ(boolean v) { return v; }
    public static byte sechoB(byte v) { return v; }
    public static char sechoC(char v) { return v; }
    public static short sechoS(short v) { return v; }
    public static int sechoI(int v) { return v; }
    public static long sechoJ(long v) { return v; }
    public static float sechoF(float v) { return v; }
    public static double sechoD(double v) { return v; }
    public static Object sechoL(Object v) { return v; }
    public static void sstore(int v) { si = v; }

    // Every primitive type in one call, mixed with the wide ones in between.
    public static String describe(boolean z, byte b, char c, short s, int i, long j, float f, double d) {
        return z + "," + b + "," + (int) c + "," + s + "," + i + "," + j + "," + f + "," + d;
    }

    public String describeFields() {
        return describe(z, b, c, s, i, j, f, d) + "," + text;
    }

    public static int twice(int v) { return 2 * v; }
    public int add(int v) { return i + v; }
    public static String label(int n) { return "item" + n; }

    public static void fail(String message) {
        throw new IllegalStateException(message);
    }

    public static void failDeep(int depth) {
        if (depth == 0)
            fail("deep failure");
        failDeep(depth - 1);
    }

    // Registered from C++ before the VM exists.
    public static native int nativeTwice(int v);

    public static int callNative(int v) { return nativeTwice(v) + 1; }
}
