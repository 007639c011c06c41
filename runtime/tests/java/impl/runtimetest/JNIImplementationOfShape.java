package runtimetest;

// Shaped as the generator builds implementations: every method forwards to its native twin,
// which takes the C++ peer first.
public class JNIImplementationOfShape implements Shape {
    long peer;

    public JNIImplementationOfShape() {
    }

    public native int native0area(long peer, int scale);

    public int area(int scale) {
        return native0area(peer, scale);
    }

    public native String native0describe(long peer, String prefix);

    public String describe(String prefix) {
        return native0describe(peer, prefix);
    }
}
