package classgentest;

/** A Narrowing (and so a Widening) implemented in Java: a delegate for delegators of Narrowing. */
public class NarrowValue implements Narrowing {
    public String value() { return "narrow value"; }
}
