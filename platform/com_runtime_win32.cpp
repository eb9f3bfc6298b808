#include "platform/com_runtime.h"

#include <objbase.h>

namespace platform {

void InitializeComForThread() {
    // A thread that is already initialised answers S_FALSE; either way it may go on.
    (void)CoInitialize(nullptr);
}

}  // namespace platform
