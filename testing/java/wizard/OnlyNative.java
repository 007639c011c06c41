package wizard;

/** A class whose only method of its own is native. */
public class OnlyNative {
    public native int compute(int x);
}
