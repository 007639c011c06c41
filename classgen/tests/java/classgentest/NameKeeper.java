package classgentest;

/** Declares name() final; KeptName inherits it and implements an interface that declares it. */
public class NameKeeper {
    public final String name() { return "kept"; }
    public static String shared() { return "static"; }
    public String free() { return "free"; }
}
