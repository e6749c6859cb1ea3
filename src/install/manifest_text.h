#pragma once
// Decoding of a manifest file's bytes (portable: no Win32 calls here).
#include <string>
#include <string_view>

// UTF-8 text of a manifest: after a UTF-8 byte-order mark the bytes as they are; after a
// UTF-16 mark (either byte order) the UTF-16 text converted, an unpaired surrogate becoming
// U+FFFD and an odd last byte ignored; otherwise the bytes decoded by `fromAnsi` (the system's
// ANSI code page in the program).
std::string DecodeManifestBytes(std::string_view data, std::string (*fromAnsi)(std::string_view));
