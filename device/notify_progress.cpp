#include "device/notify_progress.h"

#include "device/device_messages.h"

platform::WindowHandle ProgressWindow = nullptr;

void NotifyProgress(int step) {
    platform::PostWindowMessage(ProgressWindow, WM_FLASH_STEP, static_cast<uintptr_t>(step), 0);
    platform::PumpAllMessages();
}
