package loaderjar;

// Served by the runtime's loader from a jar entry given before the loader exists.
public class FromJar {
    public static String hello() {
        return "from a jar";
    }
}
