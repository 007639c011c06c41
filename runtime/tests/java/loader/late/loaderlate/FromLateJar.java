package loaderlate;

// Served by the runtime's loader from a jar entry given after the loader exists.
public class FromLateJar {
    public static String hello() {
        return "from a late jar";
    }
}
