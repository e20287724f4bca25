#include "memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace app {

void ReturnFreeMemory() {
#if defined(__GLIBC__)
    // glibc returns only the top of its main heap on its own; this releases the free pages
    // anywhere in it.
    malloc_trim(0);
#endif
}

} // namespace app
