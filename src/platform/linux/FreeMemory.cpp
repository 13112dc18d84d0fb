#include "platform/FreeMemory.h"

#include <malloc.h>

namespace platform {

void ReturnFreedMemory() {
    // The whole heap, not only its top: glibc also gives back freed pages in the middle.
    malloc_trim(0);
}

}  // namespace platform
