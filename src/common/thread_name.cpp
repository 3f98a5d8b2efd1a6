#include "common/thread_name.h"

#if defined(__linux__)
#include <pthread.h>
#endif

namespace vandrel {

void NameThisThread(const char* name) {
#if defined(__linux__)
    // A name that is too long is refused; the thread then keeps its old one.
    ::pthread_setname_np(::pthread_self(), name);
#else
    (void)name;
#endif
}

} // namespace vandrel
