package runtimetest;

// An interface on the application class path, implemented in C++.
public interface Shape {
    int area(int scale);

    String describe(String prefix);
}
