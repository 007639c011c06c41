package names.coincide_a;

/** Its files would take the name of names.coincide.a_Twin's: both give names_coincide_a_Twin. */
public class Twin {
    public int fromCoincideA() { return 2; }
}
