package classgentest;

/** A final method of the super class implements the interface's name(): no delegator overrides it. */
public class KeptName extends NameKeeper implements Named {
    public KeptName() { }
}
