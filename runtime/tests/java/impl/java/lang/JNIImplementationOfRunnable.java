package java.lang;

// Shaped as the generator builds the implementation of java.lang.Runnable.
public class JNIImplementationOfRunnable implements Runnable {
    long peer;

    public JNIImplementationOfRunnable() {
    }

    public native void native0run(long peer);

    public void run() {
        native0run(peer);
    }
}
