package names.coincide;

/** Its files would take the name of names.coincide_a.Twin's: both give names_coincide_a_Twin. */
public class a_Twin {
    public int fromCoincide() { return 1; }
}
