package classgentest;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.Iterator;
import java.util.List;
import java.util.TimerTask;
import java.util.TreeMap;

/**
 * Java code that uses C++ implementations and delegators of library types the way any caller
 * would: through the types' own methods, default methods and inherited methods of Object included.
 */
public class LibraryCalls {
    /** "ccc,bb,a": sorted with the reversed comparator. */
    public static String sortReversed(Comparator<String> byLength) {
        List<String> words = new ArrayList<>(Arrays.asList("a", "ccc", "bb"));
        words.sort(byLength.reversed());
        return String.join(",", words);
    }

    /** "c,aa,bb": by length, then alphabetically. */
    public static String sortThenNatural(Comparator<String> byLength) {
        List<String> words = new ArrayList<>(Arrays.asList("bb", "aa", "c"));
        words.sort(byLength.thenComparing(Comparator.naturalOrder()));
        return String.join(",", words);
    }

    /** Whether the comparator equals itself and not another object (java.lang.Object's equals). */
    public static boolean equalsOnlyItself(Comparator<String> c) {
        return c.equals(c) && !c.equals(new Object()) && c.hashCode() == System.identityHashCode(c);
    }

    /** The words a comparator sorts as it is. */
    public static String sort(Comparator<String> c, String words) {
        List<String> list = new ArrayList<>(Arrays.asList(words.split(",")));
        list.sort(c);
        return String.join(",", list);
    }

    /** What is left of an iterator, through its default forEachRemaining. */
    public static String drain(Iterator<String> it) {
        StringBuilder text = new StringBuilder();
        it.forEachRemaining(text::append);
        return text.toString();
    }

    /** "removed", or what remove() threw as UnsupportedOperationException and where it was made. */
    public static String remove(Iterator<String> it) {
        try {
            it.remove();
            return "removed";
        } catch (UnsupportedOperationException e) {
            StackTraceElement top = e.getStackTrace()[0];
            return "unsupported: " + e.getMessage() + " at " + top.getClassName() + "." + top.getMethodName();
        }
    }

    /** The element, or the message of the IndexOutOfBoundsException that get threw. */
    public static String get(List<String> list, int index) {
        try {
            return list.get(index);
        } catch (IndexOutOfBoundsException e) {
            return "out of bounds: " + e.getMessage();
        }
    }

    /** A Java thread that calls run() over and over until stopped. */
    public static class Runner extends Thread {
        private final Runnable task;
        private volatile boolean stopped;
        private long runs;
        private String failure = "";

        public Runner(Runnable task) {
            this.task = task;
        }

        @Override
        public void run() {
            try {
                while (!stopped) {
                    task.run();
                    ++runs;
                }
            } catch (RuntimeException e) {
                failure = e.toString();
            }
        }

        /** "runs=N" after the thread has ended, or the failure that ended it. */
        public String finish() throws InterruptedException {
            stopped = true;
            join();
            return failure.isEmpty() ? "runs=" + runs : failure;
        }
    }

    /** A started Runner of `task`. */
    public static Runner startRunning(Runnable task) {
        Runner runner = new Runner(task);
        runner.start();
        return runner;
    }

    /** "one,two,2": the map's first entry, the entry at or below 5, its size. */
    public static String entries(TreeMap<Integer, String> map) {
        return map.firstEntry().getValue() + "," + map.floorEntry(5).getValue() + "," + map.size();
    }

    /** A map of 1 to "one" and 2 to "two". */
    public static TreeMap<Integer, String> numbers() {
        TreeMap<Integer, String> map = new TreeMap<>();
        map.put(1, "one");
        map.put(2, "two");
        return map;
    }

    /** Runs a task twice; then whether cancelling it succeeded. */
    public static boolean runTwiceAndCancel(TimerTask task) {
        task.run();
        task.run();
        return task.cancel();
    }

    /** Runs it through Runnable; then its toString(), its super class's final one. */
    public static String runAndDescribe(Runnable r) {
        r.run();
        return r.toString();
    }
}
