// A class of the loader's name that is no loader: the runtime cannot make its loader of it.
public class CustClassLdr1234567890 {
    public CustClassLdr1234567890() {
    }
}
