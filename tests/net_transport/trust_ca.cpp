// Adds a DER certificate to the "Root" store of the local machine: the test CA of the local
// servers becomes trusted inside the Wine prefix this runs in. Usage: trust_ca <file.der>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trust_ca <certificate.der>\n");
    return 2;
  }
  HANDLE f = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "trust_ca: cannot open the certificate file (%lu)\n", GetLastError());
    return 1;
  }
  std::vector<BYTE> der(64 * 1024);
  DWORD n = 0;
  BOOL ok = ReadFile(f, der.data(), static_cast<DWORD>(der.size()), &n, nullptr);
  CloseHandle(f);
  if (!ok || n == 0 || n == der.size()) {
    std::fprintf(stderr, "trust_ca: cannot read the certificate file\n");
    return 1;
  }
  if (!CertAddEncodedCertificateToSystemStoreW(L"Root", der.data(), n)) {
    std::fprintf(stderr, "trust_ca: CertAddEncodedCertificateToSystemStoreW failed (%lu)\n",
                 GetLastError());
    return 1;
  }
  return 0;
}
