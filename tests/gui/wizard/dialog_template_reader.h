// Reads an extended dialog template (DLGTEMPLATEEX) from the program's resources, so tests
// can check what the template says before any control adjusts its own styles.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace corvane::test {

struct TemplateItem {
    DWORD exStyle = 0;
    DWORD style = 0;
    RECT units{};  // x, y, width, height
    DWORD id = 0;
    std::string className;  // predefined classes by name: "Button", "Static", ...
    std::string text;       // "#135" for a resource ordinal
};

struct DialogTemplate {
    DWORD exStyle = 0;
    DWORD style = 0;
    RECT units{};
    std::string caption;
    int pointSize = 0;
    std::string face;
    std::vector<TemplateItem> items;
};

// False when the resource is missing or not an extended template.
bool ReadDialogTemplate(int id, DialogTemplate& out);

}  // namespace corvane::test
