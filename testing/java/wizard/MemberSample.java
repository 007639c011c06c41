package wizard;

/**
 * Members of every kind and access level for the wizard's member views: constants, fields,
 * constructors, overloaded, static and native methods, and members inherited from
 * MemberSampleBase.
 */
public class MemberSample extends MemberSampleBase {
    public static final int LIMIT = 10;
    private static final long SECRET = 7L;

    public String name;
    protected int count;
    static double ratio;
    private boolean hidden;

    MemberSample() { }
    public MemberSample(String name) { this.name = name; }
    protected MemberSample(int count) { this.count = count; }
    private MemberSample(boolean hidden) { this.hidden = hidden; }

    public int size() { return count; }
    public void add(int x) { count += x; }
    public void add(String s) { name = name + s; }
    protected String label() { return name; }
    int packageMethod() { return hidden ? 1 : 0; }
    private static long helper() { return SECRET + (long) ratio; }
    public static MemberSample create() { return new MemberSample("made"); }
    public native void nativeCall(int x);
    private static native long nativeStatic();
}
