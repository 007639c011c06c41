package names.namespace;

/**
 * Members whose names C++ reserves, or that would collide in a proxy: a package part that is a
 * keyword, keyword and macro names, a field named like its class, a field and a method of one
 * name, a method named like the other's accessor or like the second overload's ID, members named
 * like those of the proxy's base class and standard block.
 */
public class Clash implements WithStatics {
    public static final int EOF = -1;
    public static final int size = 9;
    public static int errno = 5;
    public int Clash = 7;
    public int value = 3;

    public Clash() {
    }

    public Clash(int clash) {
        Clash = clash;
    }

    public int size() { return 10; }
    public int value() { return value + 1; }
    public int get_value() { return 12; }
    public int foo() { return 0; }
    public int foo(int x) { return x; }
    public int foo_1() { return 100; }
    public String Assign(String s) { return "assign:" + s; }
    public int clear() { return 11; }
    public boolean isNullObject() { return true; }
    public int getProxyClass() { return 13; }
    public int ClashJNIProxy() { return 14; }
    public int Clash_init() { return 15; }
    public int jint() { return 16; }
    public int delete(int x) { return -x; }
    public static int and(int a, int b) { return a & b; }
    public static int xor(int a, int b) { return a ^ b; }
    public static boolean not(boolean b) { return !b; }
    public static int register() { return 17; }
    public static int stdin() { return 18; }
    public static union make() { return new union(); }

    @Override
    public int inherited() { return 21; }
}
