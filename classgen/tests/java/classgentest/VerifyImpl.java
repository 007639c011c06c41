package classgentest;

import java.lang.reflect.Array;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;

/**
 * Loads generated implementation classes by name, makes one object of each and calls each of its
 * forwarding methods with default arguments. Without a C++ peer every call reaches its native
 * twin and fails there with UnsatisfiedLinkError, which shows that the forwarding body ran. A
 * synthetic "default0" method runs the Java implementation of its method: it may return or throw,
 * but not fail to link. Prints "VERIFIED <calls> DEFAULTS <default calls>"; exits with 3, 4 or 5
 * on a call that ends otherwise.
 */
public class VerifyImpl {
    public static void main(String[] args) throws Exception {
        int calls = 0;
        int defaultCalls = 0;
        for (String name : args) {
            Class<?> c = Class.forName(name);
            Object o = c.getDeclaredConstructor().newInstance();
            for (Method m : c.getDeclaredMethods()) {
                if (Modifier.isNative(m.getModifiers()))
                    continue;
                if (m.isSynthetic() && m.getName().startsWith("default0")) {
                    try {
                        m.invoke(o, defaults(m.getParameterTypes()));
                    } catch (InvocationTargetException e) {
                        Throwable t = e.getCause();
                        if (t instanceof LinkageError && !(t instanceof UnsatisfiedLinkError)) {
                            System.out.println("WRONG " + m + ": " + t);
                            System.exit(5);
                        }
                    }
                    ++defaultCalls;
                    continue;
                }
                try {
                    m.invoke(o, defaults(m.getParameterTypes()));
                    System.out.println("RETURNED " + m);
                    System.exit(3);
                } catch (InvocationTargetException e) {
                    Throwable t = e.getCause();
                    if (!(t instanceof UnsatisfiedLinkError) || !t.getMessage().contains("native0" + m.getName())) {
                        System.out.println("WRONG " + m + ": " + t);
                        System.exit(4);
                    }
                }
                ++calls;
            }
        }
        System.out.println("VERIFIED " + calls + " DEFAULTS " + defaultCalls);
    }

    private static Object[] defaults(Class<?>[] types) {
        Object[] values = new Object[types.length];
        for (int i = 0; i < types.length; ++i)
            values[i] = types[i].isPrimitive() ? Array.get(Array.newInstance(types[i], 1), 0) : null;
        return values;
    }
}
