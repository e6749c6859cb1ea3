#pragma once
// Registering an installation: the Windows uninstall entry, the links for "me" or "all",
// and the product's uninstall key with the links that were made.

void RegisterInstallation();
