// The flash sequence's progress path to the wizard: one process-wide window and a notifier
// that posts a step and keeps the calling thread's window alive.
#pragma once

#include "platform/window_message.h"

// The window that receives WM_FLASH_STEP; null until the update run sets it. Written only by
// the wizard's thread.
extern platform::WindowHandle ProgressWindow;

// Posts WM_FLASH_STEP(step, 0) to ProgressWindow, then dispatches every message waiting for
// the calling thread.
void NotifyProgress(int step);
