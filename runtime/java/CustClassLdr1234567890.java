import java.io.File;
import java.net.MalformedURLException;
import java.net.URL;
import java.net.URLClassLoader;
import java.util.ArrayList;
import java.util.List;

/**
 * The class loader of KAVRINLIB. The library defines this class in the VM from bytes it carries
 * and makes one instance over the class path entries given to it; generated code looks its
 * classes up through that instance first.
 *
 * Classes on this loader's own URLs are found before the parent's (child first).
 */
public class CustClassLdr1234567890 extends URLClassLoader {
    static boolean debug = false;

    // The class object of this class, once looked up.
    static Class<?> class$0;

    public CustClassLdr1234567890(URL[] urls) {
        super(urls, ownLoader());
    }

    public CustClassLdr1234567890(String path) throws Exception {
        this(new URL[] {toURL(path)});
    }

    // The loader that defined this class: the parent of every instance.
    private static ClassLoader ownLoader() {
        if (class$0 == null) {
            try {
                class$0 = Class.forName("CustClassLdr1234567890");
            } catch (ClassNotFoundException e) {
                throw new NoClassDefFoundError(e.getMessage());
            }
        }
        return class$0.getClassLoader();
    }

    // A class path entry as a URL: absolute, with a trailing "/" for a directory.
    private static URL toURL(String path) throws MalformedURLException {
        return new File(path).toURI().toURL();
    }

    public void addURLs(URL[] urls) {
        for (int i = 0; i < urls.length; i++)
            addURL(urls[i]);
    }

    public Class<?> loadClass(String name) throws ClassNotFoundException {
        if (debug)
            System.out.print("\r\nLoad !!!, class : " + name);
        return loadClass(name, true);
    }

    protected Class<?> loadClass(String name, boolean resolve) throws ClassNotFoundException {
        String dotted = name.replace('/', '.');
        // One lookup per name at a time: two threads must not define one class twice.
        synchronized (getClassLoadingLock(dotted)) {
            Class<?> found = null;
            try {
                found = findLoadedClass(dotted);
            } catch (Exception e) {
                PrintExcept(e, dotted);
            } catch (Error e) {
                PrintExcept(e, dotted);
            }
            // Only an entry that holds the class file is asked to define it: a miss would
            // cost a ClassNotFoundException with its stack trace on every lookup of a class
            // the parent gives.
            if (found == null && findResource(dotted.replace('.', '/') + ".class") != null) {
                try {
                    found = findClass(dotted);
                } catch (Exception e) {
                    PrintExcept(e, dotted);
                } catch (Error e) {
                    PrintExcept(e, dotted);
                }
            }
            if (found == null && getParent() != null) {
                try {
                    found = getParent().loadClass(dotted);
                } catch (Exception e) {
                    PrintExcept(e, dotted);
                } catch (Error e) {
                    PrintExcept(e, dotted);
                }
            }
            if (found == null)
                throw new ClassNotFoundException(dotted);
            return found;
        }
    }

    protected Class<?> findClass(String name) throws ClassNotFoundException {
        return super.findClass(name);
    }

    static void PrintExcept(Throwable e, String name) {
    }

    public void PrintRes() {
        if (!debug)
            return;
        URL[] urls = getURLs();
        for (int i = 0; i < urls.length; i++)
            System.out.println(urls[i].getProtocol() + "://" + urls[i].getFile());
    }

    public static CustClassLdr1234567890 CreateCustClassLoader(String[] paths) {
        List<URL> list = new ArrayList<URL>();
        try {
            list.add(toURL("./"));
        } catch (MalformedURLException e) {
            // "." always makes a URL
        }
        for (int i = 0; i < paths.length; i++) {
            try {
                list.add(toURL(paths[i]));
            } catch (MalformedURLException e) {
                // a path that makes no URL is left out
            }
        }
        return new CustClassLdr1234567890(list.toArray(new URL[list.size()]));
    }
}
