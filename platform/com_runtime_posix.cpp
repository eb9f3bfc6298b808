#include "platform/com_runtime.h"

namespace platform {

void InitializeComForThread() {}

}  // namespace platform
