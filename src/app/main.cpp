// Program entry (placeholder until start-up is built).
#include <windows.h>

#include "app/state.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return ExitCode; }
