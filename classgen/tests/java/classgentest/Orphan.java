package classgentest;

/** The tests run with Orphan's class file but without Gone's. */
public interface Orphan extends Gone {
    void own();
}
