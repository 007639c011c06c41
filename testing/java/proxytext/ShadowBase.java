package proxytext;

/** Super class of Shadowing: a constant and a field whose names the subclass uses again. */
public class ShadowBase {
    public static final int LIMIT = 7;
    public int size = 1;
}
