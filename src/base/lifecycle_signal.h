#pragma once
// Inside base: how the end request reaches waits of the platform (an event on Windows,
// nothing on the host build, which has no message loop).
void SignalEndRequest();
void ClearEndSignal();
