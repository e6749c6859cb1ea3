// The partner platform client's construction with the program's HTTPS transport.
#include "net/http.h"
#include "net/lumora_client.h"

TLumoraAPIClient::TLumoraAPIClient(const std::string& aServer, const std::string& aUsername,
                                   const std::string& aPassword)
    : TLumoraAPIClient(std::make_unique<THTTP>(), aServer, aUsername, aPassword) {}
