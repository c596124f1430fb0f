// Fuzz target: the metafile player on arbitrary bytes as WMF files.
#include "fuzz_metafile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzMetafile(data, size, MetafileKind::Wmf);
    return 0;
}
