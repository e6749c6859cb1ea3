#pragma once
// The finish page's worker: the links the user left ticked (for the current user when
// InstallRec.Users is "me", for everyone when "all"), the product's uninstall key recording
// them, the ZIP engine's library files removed, and the ready status ("finish", "finish").
// A desktop link that cannot be made is told to the user through the sink's Message.
#include "workers/registration_step.h"

class StatusSink;

// Runs on the calling (worker) thread with the choices copied when Finish was pressed.
// Never raises. Its last status is ("finish", "finish") with ready = true, or ("exit", "exit")
// when an error broke off the links or the uninstall key (logged).
void RunFinishWorker(const LinkChoices& choices, StatusSink& sink);
