#include "ui/proxy_settings.h"

ProxyDialogValues ProxyDialogValuesOf(const TProxyRecord& record) {
  return {record.ProxyAutoDetect, record.ProxyAutoDetectUsername, record.ProxyAutoDetectPassword};
}

void StoreProxyDialogValues(const ProxyDialogValues& values, TProxyRecord& record) {
  record.ProxyAutoDetect = values.autoDetect;
  record.ProxyAutoDetectUsername = values.username;
  record.ProxyAutoDetectPassword = values.password;
}
