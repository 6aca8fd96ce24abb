// A shared object without the plug-in entry points, for the loader's tests.
extern "C" int zelvoTestNotAPlugin() { return 42; }
