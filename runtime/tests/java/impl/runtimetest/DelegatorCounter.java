package runtimetest;

// Shaped as the generator builds delegators: a subclass whose methods forward to native twins.
public class DelegatorCounter extends Counter {
    long peer;

    public DelegatorCounter() {
    }

    public DelegatorCounter(int start) {
        super(start);
    }

    public native int native0next(long peer);

    public int next() {
        return native0next(peer);
    }
}
