package classgentest;

/** Left out of the module in which the tests look for Orphan. */
public interface Gone {
    void lost();
}
