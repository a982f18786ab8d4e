// A shared object that stands in for a decompression library in the loading
// test: found under the library's name, it has none of the library's functions.
extern "C" int satvet_stand_in() { return 0; }
