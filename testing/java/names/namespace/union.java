package names.namespace;

/** A class named with a C++ keyword. */
public class union {
    public int tag() { return 42; }
}
