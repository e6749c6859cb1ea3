// Placeholder until the silent installation itself is built: a silent run that passed its
// parameter check ends at once, reported as a failure so that no deployment tool takes it
// for an installation.
#include "app/application.h"
#include "workers/silent_install.h"

void RunSilentInstall() { RequestProgramEnd(1603); }
