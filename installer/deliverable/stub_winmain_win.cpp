// Stand-in for installer/winmain_win.cpp while the installer has no
// start-up code yet: the program starts and ends with 0.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
