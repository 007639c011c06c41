package classgentest;

/** The super-interface of Matrix; Matrix redeclares i. */
public interface MatrixBase {
    String base(String s);
    int i(int a);
}
