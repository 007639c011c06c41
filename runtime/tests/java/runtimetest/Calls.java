package runtimetest;

// Calls from Java into objects that C++ implements.
public class Calls {
    public static int area(Shape shape, int scale) {
        return shape.area(scale);
    }

    public static String describe(Shape shape, String prefix) {
        return shape.describe(prefix);
    }

    public static int next(Counter counter) {
        return counter.next();
    }

    // Runs the task on a new Java thread and waits for it; the name of the thread that ran it.
    public static String runOnJavaThread(Runnable task) throws InterruptedException {
        Thread thread = new Thread(task, "kavrin-runner");
        thread.start();
        thread.join();
        return thread.getName();
    }

    public static String loaderOf(Class<?> c) {
        ClassLoader loader = c.getClassLoader();
        return loader == null ? "boot" : loader.getClass().getName();
    }
}
