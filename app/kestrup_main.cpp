// Program entry of Kestrup.exe.
#include <windows.h>

#include "app/kestrup_app.h"

CKestrupApp theApp;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return AfxWinMain(instance);
}
