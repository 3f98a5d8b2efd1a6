// vandrel1.exe: the main window on Win32.
#include "win32/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    return vandrel::win32::RunMainWindow(instance, show);
}
