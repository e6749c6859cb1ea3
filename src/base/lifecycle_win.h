#pragma once
// The end request as something a Windows wait can include.
#include <windows.h>

// Manual-reset event, set by every end request (and at once when one was made before it
// was first asked for). Owned by the program; never closed.
HANDLE EndRequestEvent();
