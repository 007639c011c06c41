package proxytext;

/** Calls of each kind whose cost is compared through a generated proxy and through raw JNI. */
public class Calls {
    private int base = 1;
    private final String label = "label";
    public int count = 3;

    public static int twice(int x) { return 2 * x; }

    public static void touch() { }

    public int add(int x) { return base + x; }

    public String label() { return label; }
}
