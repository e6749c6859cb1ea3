// The update-server client's construction with the program's HTTPS transport.
#include "net/http.h"
#include "net/qdapi_client.h"

TQDAPIClient::TQDAPIClient(const std::string& aServer, const std::string& aUsername, const std::string& aPassword)
    : TQDAPIClient(std::make_unique<THTTP>(), aServer, aUsername, aPassword) {}

TQDAPIClient::TQDAPIClient(const std::string& aServer, const std::string& aKey)
    : TQDAPIClient(std::make_unique<THTTP>(), aServer, aKey) {}
