package runtimetest;

// The loader entry's version of a class that is also on the application class path.
public class Shadowed {
    public static String origin() {
        return "loader entry";
    }
}
