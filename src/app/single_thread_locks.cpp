// Linked into the i686 setup program only (src/CMakeLists.txt), whose size
// every installer and uninstaller carries; the x86-64 build has no budget
// to meet and links the thread library as it is.
#include <cstdint>

// The C++ run time locks a few of its tables (exception objects, the frame
// registry, per-thread exception state) through the POSIX thread library,
// which would bring about 35 KB of thread machinery into the executable.
// This program runs all of its code on the one GUI thread (the GUI toolkit
// is single-threaded by design), so the locks have nothing to exclude and
// the per-thread values have one thread to serve: these definitions take
// the library's place.
extern "C" {

int pthread_once(long* once, void (*init)(void)) {
    if (*once == 0) {
        *once = 1;
        init();
    }
    return 0;
}

int pthread_mutex_init(intptr_t* mutex, const void*) {
    *mutex = 0;
    return 0;
}
int pthread_mutex_destroy(intptr_t*) { return 0; }
int pthread_mutex_lock(intptr_t*) { return 0; }
int pthread_mutex_unlock(intptr_t*) { return 0; }

namespace {
// Values of the per-thread keys; the run time creates two or three.
void* g_keyValues[16];
unsigned g_keysCreated = 0;
}  // namespace

int pthread_key_create(unsigned* key, void (*)(void*)) {
    if (g_keysCreated >= sizeof g_keyValues / sizeof g_keyValues[0]) return 11;  // EAGAIN
    *key = g_keysCreated++;
    return 0;
}
void* pthread_getspecific(unsigned key) { return key < g_keysCreated ? g_keyValues[key] : nullptr; }
int pthread_setspecific(unsigned key, const void* value) {
    if (key >= g_keysCreated) return 22;  // EINVAL
    g_keyValues[key] = const_cast<void*>(value);
    return 0;
}

}  // extern "C"
