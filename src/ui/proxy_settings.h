#pragma once
// The values the proxy settings dialog edits: automatic detection and the user name and
// password given to a detected proxy. The manual proxy's fields are not the dialog's.
#include <string>

#include "state/records.h"

struct ProxyDialogValues {
  bool autoDetect = false;
  std::string username;
  std::string password;
};

// What the dialog's controls show when it is created.
ProxyDialogValues ProxyDialogValuesOf(const TProxyRecord& record);
// Save: the three fields the dialog edits take the controls' values; nothing else changes.
void StoreProxyDialogValues(const ProxyDialogValues& values, TProxyRecord& record);
