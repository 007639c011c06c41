package classgentest;

/**
 * A constructor that calls one of the class's own public methods: a delegator's Java object runs
 * it before the object has its C++ peer.
 */
public class EagerStart {
    private String label = "unset";

    public EagerStart(String label) { relabel(label); }

    public void relabel(String label) { this.label = label; }
    public String label() { return label; }
    public int[] sizes(int n) { int[] out = new int[n]; out[0] = label.length(); return out; }
}
