// Preloaded by the loading test: a system that refuses every new thread, as one
// at its limit of processes does (EAGAIN). The types are left opaque so as not
// to repeat the C library's own declaration.
extern "C" int pthread_create(void*, const void*, void* (*)(void*), void*) { return 11; }
