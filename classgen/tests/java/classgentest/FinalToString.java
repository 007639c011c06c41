package classgentest;

/** Declares toString() final; SealedAcrossInterfaces extends it and implements an interface. */
public class FinalToString {
    public final String toString() { return "sealed"; }
}
