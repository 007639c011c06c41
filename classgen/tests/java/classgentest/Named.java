package classgentest;

/** KeptName implements name() through NameKeeper's final method. */
public interface Named {
    String name();
    String free();
}
