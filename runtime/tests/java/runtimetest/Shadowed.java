package runtimetest;

// Also present, with another answer, in a class path entry of the runtime's own loader.
public class Shadowed {
    public static String origin() {
        return "application class path";
    }
}
