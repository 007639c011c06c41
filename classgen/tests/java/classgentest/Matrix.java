package classgentest;

/**
 * Methods over a matrix of descriptors: every primitive, arrays and objects as parameters and
 * results, longs and doubles among other types, 25 parameters, locals beyond 127.
 */
public interface Matrix extends MatrixBase {
    long BIG = 1L << 40;
    double HALF = 0.5;
    String NAME = "matrix";

    /** A nested type gives the interface an InnerClasses attribute. */
    interface Nested {
        void nested();
    }

    void none();
    boolean z(boolean a);
    byte b(byte a);
    char c(char a);
    short s(short a);
    int i(int a);
    long j(long a);
    float f(float a);
    double d(double a);
    Object l(Object a);
    String str(String a);
    int[] ai(int[] a);
    long[][] aj(long[][] a);
    String[] as(String[] a);
    double[] ad(double d, double[] a);
    boolean[] az(boolean[] a, byte[] b, char[] c, short[] s, float[] f);
    long mixed(int a, long b, double c, float d, Object e, byte f, char g, short h, boolean i, int[] j);
    double wide(long a, double b, long c, double d, long e, double f);
    void voids(double a, int b, long c);
    Object many(int p0, long p1, double p2, float p3, Object p4, byte p5, char p6, short p7, boolean p8,
                String p9, int[] p10, long p11, double p12, Object[] p13, int p14, long p15, float p16,
                double p17, char p18, boolean p19, short p20, byte p21, String[][] p22, long p23, int p24);
    long far(long a0, long a1, long a2, long a3, long a4, long a5, long a6, long a7, long a8, long a9, long a10, long a11, long a12, long a13, long a14, long a15, long a16, long a17, long a18, long a19, long a20, long a21, long a22, long a23, long a24, long a25, long a26, long a27, long a28, long a29, long a30, long a31, long a32, long a33, long a34, long a35, long a36, long a37, long a38, long a39, long a40, long a41, long a42, long a43, long a44, long a45, long a46, long a47, long a48, long a49, long a50, long a51, long a52, long a53, long a54, long a55, long a56, long a57, long a58, long a59, long a60, long a61, long a62, long a63, long a64, long a65, long a66, long a67, long a68, long a69);
    static int helper() { return 1; }
}
