// The anchor of the reader benchmarks: ASM reading, building and writing the same class files.
//
//   java -cp <this>:asm.jar:asm-tree.jar AsmClassBench <mode> <corpus> <seconds>
//
// The corpus is the file the C++ benchmark wrote: for each class a 4-byte big-endian length
// followed by the class file. Modes:
//   tree       ClassReader.accept into a ClassNode (the whole tree, debug information included)
//   roundtrip  ClassReader.accept into a ClassNode, then the ClassNode into a ClassWriter
//   stream     ClassReader.accept straight into a ClassWriter (ASM's own read-and-write)
//   memory     the heap that the ClassNodes of the whole corpus hold after a collection
// Each timed mode runs passes over the corpus for a warm-up (the JIT: ten passes, a second at
// least), then for the given seconds, and prints "seconds_per_pass=<s> bytes_per_pass=<n>
// passes=<k>": the time of the fastest pass, taken as the processor time of the thread that runs
// it plus the time of the garbage collections meanwhile (the JIT's and the collector's own threads
// are left out, as a C++ program has neither). The fastest pass is the one least disturbed by
// whatever else the machine runs. The memory mode prints "heap_bytes=<n> bytes=<n>". Errors go to stderr with exit
// status 1.

import java.io.DataInputStream;
import java.io.EOFException;
import java.io.FileInputStream;
import java.io.IOException;
import java.lang.management.GarbageCollectorMXBean;
import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.util.ArrayList;
import java.util.List;

import org.objectweb.asm.ClassReader;
import org.objectweb.asm.ClassWriter;
import org.objectweb.asm.tree.ClassNode;

public final class AsmClassBench {
    private static volatile Object sink;

    private AsmClassBench() {}

    private static List<byte[]> readCorpus(String path) throws IOException {
        List<byte[]> classes = new ArrayList<>();
        try (DataInputStream in = new DataInputStream(new FileInputStream(path))) {
            while (true) {
                int length;
                try {
                    length = in.readInt();
                } catch (EOFException end) {
                    break;
                }
                byte[] bytes = new byte[length];
                in.readFully(bytes);
                classes.add(bytes);
            }
        }
        return classes;
    }

    private static long pass(String mode, List<byte[]> classes) {
        long bytes = 0;
        for (byte[] c : classes) {
            ClassReader reader = new ClassReader(c);
            if (mode.equals("stream")) {
                ClassWriter writer = new ClassWriter(0);
                reader.accept(writer, 0);
                sink = writer.toByteArray();
            } else {
                ClassNode node = new ClassNode();
                reader.accept(node, 0);
                if (mode.equals("roundtrip")) {
                    ClassWriter writer = new ClassWriter(0);
                    node.accept(writer);
                    sink = writer.toByteArray();
                } else {
                    sink = node;
                }
            }
            bytes += c.length;
        }
        return bytes;
    }

    private static long collectionMillis() {
        long millis = 0;
        for (GarbageCollectorMXBean gc : ManagementFactory.getGarbageCollectorMXBeans())
            millis += Math.max(0, gc.getCollectionTime());
        return millis;
    }

    private static long usedHeap() {
        Runtime rt = Runtime.getRuntime();
        for (int i = 0; i < 4; ++i)
            System.gc();
        return rt.totalMemory() - rt.freeMemory();
    }

    public static void main(String[] args) throws Exception {
        if (args.length != 3) {
            System.err.println("usage: AsmClassBench tree|roundtrip|stream|memory <corpus> <seconds>");
            System.exit(1);
        }
        String mode = args[0];
        List<byte[]> classes = readCorpus(args[1]);
        double seconds = Double.parseDouble(args[2]);
        long total = 0;
        for (byte[] c : classes)
            total += c.length;

        if (mode.equals("memory")) {
            long before = usedHeap();
            List<ClassNode> nodes = new ArrayList<>(classes.size());
            for (byte[] c : classes) {
                ClassNode node = new ClassNode();
                new ClassReader(c).accept(node, 0);
                nodes.add(node);
            }
            long after = usedHeap();
            sink = nodes;
            System.out.println("heap_bytes=" + (after - before) + " bytes=" + total);
            return;
        }
        if (!mode.equals("tree") && !mode.equals("roundtrip") && !mode.equals("stream")) {
            System.err.println("unknown mode " + mode);
            System.exit(1);
        }
        // On a busy machine the compiler threads lag behind: warm up for ten passes at least.
        long warmEnd = System.nanoTime() + 1_000_000_000L;
        for (int warm = 0; warm < 10 || System.nanoTime() < warmEnd; ++warm)
            pass(mode, classes);
        ThreadMXBean threads = ManagementFactory.getThreadMXBean();
        long end = System.nanoTime() + (long) (seconds * 1e9);
        long passes = 0;
        double best = Double.MAX_VALUE;
        do {
            long cpuStart = threads.getCurrentThreadCpuTime();
            long gcStart = collectionMillis();
            pass(mode, classes);
            double spent = (threads.getCurrentThreadCpuTime() - cpuStart) / 1e9 + (collectionMillis() - gcStart) / 1e3;
            best = Math.min(best, spent);
            ++passes;
        } while (System.nanoTime() < end);
        System.out.println("seconds_per_pass=" + best + " bytes_per_pass=" + total + " passes=" + passes);
    }
}
