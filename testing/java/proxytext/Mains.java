package proxytext;

/** Two methods named main: only the one taking String[] gets a default argument in C++. */
public class Mains {
    public static String last = "";

    public static void main(String[] args) {
        last = args == null ? "main:null" : "main:" + args.length;
    }

    public static int main(int x) {
        last = "main(int)";
        return x + 1;
    }
}
