package classgentest;

import java.util.function.Supplier;

/**
 * A generic interface implemented with a narrower result: javac adds the bridge get()Object. A
 * method with a nested type in its descriptor has no C++ member.
 */
public class StringBox implements Supplier<String> {
    public static class Item { }

    private String value;

    public StringBox(String value) { this.value = value; }
    public StringBox(Item item) { this.value = "item"; }

    @Override
    public String get() { return value; }
    public void put(Item item) { value = "item"; }
    public void put(String text) { value = text; }
}
