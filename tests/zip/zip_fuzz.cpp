// libFuzzer target: the archive reader on arbitrary bytes (directory and every entry's
// data), and every entry name through the name check that guards extraction.
#include <cstddef>
#include <cstdint>

#include "base/file_names.h"
#include "zip/zip_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orfzip::MemoryInput in(data, size);
  orfzip::TZipReader reader(in);
  try {
    reader.Open();
    for (const auto& e : reader.Entries()) {
      filenames::CheckRelativePath(e.info.Name);
      try {
        reader.ReadEntry(e, [](const void*, std::size_t) {});
      } catch (const orfzip::ZipFault&) {
      }
    }
  } catch (const orfzip::ZipFault&) {
  }
  return 0;
}
