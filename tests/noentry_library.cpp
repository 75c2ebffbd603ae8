// A shared library that loads but lacks the engine's entry point.
extern "C" __attribute__((visibility("default"))) int somethingElse(int x) {
    return x + 1;
}
