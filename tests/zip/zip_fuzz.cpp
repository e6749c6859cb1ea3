// libFuzzer target: the archive reader on arbitrary bytes (directory and every entry's data).
#include <cstddef>
#include <cstdint>

#include "zip/zip_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orfzip::MemoryInput in(data, size);
  orfzip::TZipReader reader(in);
  try {
    reader.Open();
    for (const auto& e : reader.Entries()) {
      try {
        reader.ReadEntry(e, [](const void*, std::size_t) {});
      } catch (const orfzip::ZipFault&) {
      }
    }
  } catch (const orfzip::ZipFault&) {
  }
  return 0;
}
