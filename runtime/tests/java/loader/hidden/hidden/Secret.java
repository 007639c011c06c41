package hidden;

// An interface that only the runtime's own loader can see.
public interface Secret {
    String whisper(int times);
}
