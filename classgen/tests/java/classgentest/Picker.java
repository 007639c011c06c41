package classgentest;

/**
 * Overloads whose parameters are unrelated interfaces: a C++ implementation or delegator of one of
 * them picks its overload without being named.
 */
public class Picker {
    public String pick(int n, Runnable r) { return "runnable " + n; }
    public String pick(int n, Narrowing value) { return "narrowing " + n; }
}
