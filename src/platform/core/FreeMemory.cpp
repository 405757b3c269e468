#include "platform/core/FreeMemory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quorvel {

void FreeMemory::returnToSystem()
{
#if defined(__GLIBC__)
    // Unlike the automatic trim, which only gives back the top of the main arena, this releases
    // the free pages inside every arena, the scanning thread's among them.
    ::malloc_trim(0);
#endif
}

} // namespace quorvel
