package classgentest;

/** Narrowing redeclares value() with a narrower result. */
public interface Widening {
    Object value();
}
