package classgentest;

import java.lang.reflect.Field;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.List;

/**
 * Checks generated implementation and delegator classes in the VM (run it with -Xverify:all):
 * each class named in the file given as argument (dotted, one a line) is loaded, linked and
 * verified; an object of it is allocated without a constructor, and every method is called with
 * zero arguments. A forwarding method must reach its native twin, which has no C++ side here and
 * fails with UnsatisfiedLinkError; a synthetic "default0" method runs Java code and must link.
 * Prints one "WRONG" line per fault, then "CHECKED <classes> classes, <calls> calls"; exits with 1
 * when anything was wrong.
 */
public class VerifyGenerated {
    public static void main(String[] args) throws Exception {
        List<String> names = Files.readAllLines(Paths.get(args[0]), StandardCharsets.UTF_8);
        Field theUnsafe = Class.forName("sun.misc.Unsafe").getDeclaredField("theUnsafe");
        theUnsafe.setAccessible(true);
        Object unsafe = theUnsafe.get(null);
        Method allocate = unsafe.getClass().getMethod("allocateInstance", Class.class);
        int classes = 0;
        int calls = 0;
        int wrong = 0;
        for (String name : names) {
            if (name.isEmpty())
                continue;
            Object o;
            Method[] methods;
            try {
                Class<?> c = Class.forName(name, true, VerifyGenerated.class.getClassLoader());
                o = allocate.invoke(unsafe, c);
                methods = c.getDeclaredMethods();
            } catch (Throwable t) {
                System.out.println("WRONG " + name + ": " + t);
                ++wrong;
                continue;
            }
            ++classes;
            for (Method m : methods) {
                if (Modifier.isNative(m.getModifiers()))
                    continue;
                boolean runsJava = m.isSynthetic() && m.getName().startsWith("default0");
                Throwable t = null;
                try {
                    m.invoke(o, defaults(m.getParameterTypes()));
                } catch (InvocationTargetException e) {
                    t = e.getCause();
                }
                ++calls;
                boolean reached = t instanceof UnsatisfiedLinkError && t.getMessage().contains("native0" + m.getName());
                boolean linked = !(t instanceof LinkageError) || t instanceof UnsatisfiedLinkError;
                if (runsJava ? !linked : !reached) {
                    System.out.println("WRONG " + name + "." + m.getName() + ": " + t);
                    ++wrong;
                }
            }
        }
        System.out.println("CHECKED " + classes + " classes, " + calls + " calls");
        System.exit(wrong == 0 ? 0 : 1);
    }

    private static Object[] defaults(Class<?>[] types) {
        Object[] values = new Object[types.length];
        for (int i = 0; i < types.length; ++i)
            values[i] = types[i].isPrimitive() ? java.lang.reflect.Array.get(java.lang.reflect.Array.newInstance(types[i], 1), 0) : null;
        return values;
    }
}
