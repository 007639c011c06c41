package runtimetest;

// A class on the application class path that a C++ delegator stands in for.
public class Counter {
    private int value;

    public Counter() {
    }

    public Counter(int start) {
        value = start;
    }

    public int next() {
        return ++value;
    }
}
