// A shared library without the exports of an in-process server.
extern "C" __attribute__((visibility("default"))) int kavrinNotAServer() { return 1; }
