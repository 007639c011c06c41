package proxytext;

/** main() beside main(String[]): a default argument would make a bare main() call ambiguous in C++. */
public class BothMains {
    public static String last = "";

    public static void main() {
        last = "main()";
    }

    public static void main(String[] args) {
        last = args == null ? "main:null" : "main:" + args.length;
    }
}
