// A library by the archiver's name that lacks its entry, for the test of
// the "entry missing" texts.
#ifdef _WIN32
#define STUB_EXPORT __declspec(dllexport)
#else
#define STUB_EXPORT __attribute__((visibility("default")))
#endif

extern "C" STUB_EXPORT int NotUnlha(void) { return 0; }
