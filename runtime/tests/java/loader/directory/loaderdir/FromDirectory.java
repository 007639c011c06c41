package loaderdir;

// Served by the runtime's loader from a directory entry.
public class FromDirectory {
    public static String hello() {
        return "from a directory";
    }
}
