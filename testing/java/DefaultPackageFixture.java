/** A class in the default package. */
public class DefaultPackageFixture {
    public static final int ANSWER = 42;

    public int field = 1;

    public static String hello() { return "default package"; }

    public int twice(int x) { return 2 * x; }
}
