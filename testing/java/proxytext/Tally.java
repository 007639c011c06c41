package proxytext;

/** Static void methods and a static field, called many times from one native thread. */
public class Tally {
    public static int total;

    public static void bump() { total++; }

    public static void reset() { total = 0; }

    public static int count() { return total; }
}
