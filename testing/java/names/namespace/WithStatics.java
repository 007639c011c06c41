package names.namespace;

/** An interface with a static method, which the classes that implement it do not have. */
public interface WithStatics {
    static int twice(int x) { return 2 * x; }

    int inherited();
}
