package classgentest;

/** A default method with a lambda: method handles, a method type and invokedynamic in the pool. */
public interface WithLambda {
    Runnable make();

    default Runnable twice() {
        return () -> {
            make().run();
            make().run();
        };
    }
}
