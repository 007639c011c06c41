package runtimetest;

// Overrides every echo, so that non-virtual calls can be told from virtual ones.
public class EchoChild extends Echo {
    public boolean echoZ(boolean v) { return !v; }
    public byte echoB(byte v) { return (byte) (v + 1); }
    public char echoC(char v) { return (char) (v + 1); }
    public short echoS(short v) { return (short) (v + 1); }
    public int echoI(int v) { return v + 1; }
    public long echoJ(long v) { return v + 1; }
    public float echoF(float v) { return v + 1; }
    public double echoD(double v) { return v + 1; }
    public Object echoL(Object v) { return null; }
    public void store(int v) { i = v + 1; }
}
