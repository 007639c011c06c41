// A library without any of the VM's invocation functions.
extern "C" __attribute__((visibility("default"))) int kavrin_not_a_vm() { return 1; }
