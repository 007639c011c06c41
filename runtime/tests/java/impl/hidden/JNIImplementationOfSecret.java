package hidden;

// Shaped as the generator builds implementations, of an interface only the runtime's loader sees.
public class JNIImplementationOfSecret implements Secret {
    long peer;

    public JNIImplementationOfSecret() {
    }

    public native String native0whisper(long peer, int times);

    public String whisper(int times) {
        return native0whisper(peer, times);
    }
}
