package classgentest;

import java.util.TimerTask;

/** A task whose constructor, like TimerTask's, is protected in its super class. */
public class Countdown extends TimerTask {
    public int runs;

    public void run() { ++runs; }
}
