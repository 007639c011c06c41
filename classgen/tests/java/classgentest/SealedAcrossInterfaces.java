package classgentest;

/**
 * Its super class's final toString() holds although Runnable, like every interface, has
 * java.lang.Object as its super class: no delegator may override it.
 */
public class SealedAcrossInterfaces extends FinalToString implements Runnable {
    public int runs;
    public SealedAcrossInterfaces() { }
    public void run() { ++runs; }
}
