package proxytext;

/**
 * Hides the int constant LIMIT of ShadowBase with a long constant of the same name, and has a
 * method named like the inherited field size: C++ proxies tell them apart by unique names.
 */
public class Shadowing extends ShadowBase {
    public static final long LIMIT = 6442450944L;

    public int size() { return size + 2; }
}
