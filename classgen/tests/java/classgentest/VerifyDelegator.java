package classgentest;

import java.lang.reflect.Constructor;
import java.lang.reflect.Field;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * Loads generated delegator classes by name and reports what they are, one line each:
 *
 *   CLASS name extends super [implements i...]
 *   NEW descriptor field=value...        one object made with every constructor (the fields of
 *                                        the delegated class as its constructor left them)
 *   NEW descriptor !Exception: message   a constructor that failed
 *   FORWARD name descriptor flags        a method whose body reached its native twin: without a
 *                                        C++ peer the call fails with UnsatisfiedLinkError there
 *   WRONG ...                            a forwarding method that ended otherwise
 *   NATIVE name descriptor flags
 *
 * Arguments are made by type: int 2, long 5000000000, double 1.5, boolean true, char 'c', String
 * "s", String[] {"a", "b"}, other types null.
 */
public class VerifyDelegator {
    public static void main(String[] args) throws Exception {
        for (String name : args) {
            Class<?> c = Class.forName(name);
            StringBuilder head = new StringBuilder("CLASS " + c.getName() + " extends " + c.getSuperclass().getName());
            for (Class<?> i : c.getInterfaces())
                head.append(" implements ").append(i.getName());
            System.out.println(head);

            Object instance = null;
            List<String> lines = new ArrayList<>();
            for (Constructor<?> k : c.getDeclaredConstructors()) {
                String line = "NEW " + descriptor(k.getParameterTypes(), void.class);
                try {
                    Object o = k.newInstance(arguments(k.getParameterTypes()));
                    line += fields(c.getSuperclass(), o);
                    if (instance == null || k.getParameterCount() == 0)
                        instance = o;
                } catch (InvocationTargetException e) {
                    line += " !" + e.getCause();
                }
                lines.add(line);
            }
            for (Method m : c.getDeclaredMethods()) {
                String what = m.getName() + " " + descriptor(m.getParameterTypes(), m.getReturnType()) + " 0x"
                        + Integer.toHexString(m.getModifiers());
                if (Modifier.isNative(m.getModifiers())) {
                    lines.add("NATIVE " + what);
                    continue;
                }
                if (instance == null) {
                    lines.add("UNCALLED " + what);
                    continue;
                }
                try {
                    m.invoke(instance, arguments(m.getParameterTypes()));
                    lines.add("WRONG " + what + " returned");
                } catch (InvocationTargetException e) {
                    Throwable t = e.getCause();
                    boolean reached = t instanceof UnsatisfiedLinkError && t.getMessage().contains("native0" + m.getName());
                    lines.add((reached ? "FORWARD " : "WRONG ") + what + (reached ? "" : " " + t));
                }
            }
            Collections.sort(lines);
            for (String line : lines)
                System.out.println(line);
        }
    }

    private static Object[] arguments(Class<?>[] types) {
        Object[] values = new Object[types.length];
        for (int i = 0; i < types.length; ++i) {
            Class<?> t = types[i];
            if (t == int.class) values[i] = 2;
            else if (t == long.class) values[i] = 5000000000L;
            else if (t == double.class) values[i] = 1.5;
            else if (t == float.class) values[i] = 1.5f;
            else if (t == boolean.class) values[i] = true;
            else if (t == char.class) values[i] = 'c';
            else if (t == byte.class) values[i] = (byte) 1;
            else if (t == short.class) values[i] = (short) 1;
            else if (t == String.class) values[i] = "s";
            else if (t == String[].class) values[i] = new String[] { "a", "b" };
        }
        return values;
    }

    // " name=value" per instance field of the class, in name order.
    private static String fields(Class<?> c, Object o) throws IllegalAccessException {
        List<String> parts = new ArrayList<>();
        for (Field f : c.getDeclaredFields()) {
            if (Modifier.isStatic(f.getModifiers()))
                continue;
            f.setAccessible(true);
            parts.add(" " + f.getName() + "=" + f.get(o));
        }
        Collections.sort(parts);
        return String.join("", parts);
    }

    private static String descriptor(Class<?>[] parameters, Class<?> result) {
        StringBuilder sb = new StringBuilder("(");
        for (Class<?> p : parameters)
            sb.append(descriptor(p));
        return sb.append(')').append(descriptor(result)).toString();
    }

    private static String descriptor(Class<?> t) {
        if (t.isArray()) return t.getName().replace('.', '/');
        if (t == void.class) return "V";
        if (t == int.class) return "I";
        if (t == long.class) return "J";
        if (t == double.class) return "D";
        if (t == float.class) return "F";
        if (t == boolean.class) return "Z";
        if (t == char.class) return "C";
        if (t == byte.class) return "B";
        if (t == short.class) return "S";
        return "L" + t.getName().replace('.', '/') + ";";
    }
}
