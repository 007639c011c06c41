package classgentest;

/**
 * Redeclares Widening.value() with a covariant result: the implementation class gets both
 * value()Ljava/lang/Object; and value()Ljava/lang/String;, which C++ declares as one method.
 */
public interface Narrowing extends Widening {
    String value();
}
