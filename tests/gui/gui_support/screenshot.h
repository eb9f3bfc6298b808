// Writes what a window shows into a 24-bit BMP file, for the test artifacts.
#pragma once

#include <windows.h>

#include <string>

namespace corvane::test {

// The folder the test run keeps its artifacts in, created when missing; ends with a slash.
std::string ArtifactsDirectory();
// Repaints `window` and copies what it shows, frame included, into `path`; false when
// anything failed.
bool SaveWindowScreenshot(HWND window, const std::string& path);

}  // namespace corvane::test
