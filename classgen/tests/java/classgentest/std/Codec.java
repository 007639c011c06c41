package classgentest.std;

/**
 * An interface in a package named std, implemented and delegated to in C++: the C++ namespace of
 * the package must not hide the standard library's.
 */
public interface Codec {
    String encode(String text) throws Exception;

    default String twice(String text) throws Exception {
        return encode(encode(text));
    }
}
