package wizard;

/** The super class of MemberSample: inherited fields and methods of two access levels. */
public class MemberSampleBase {
    public int baseField;
    protected String baseProtected;

    public String baseMethod() { return "base"; }
    protected void baseProtectedMethod() { }
}
