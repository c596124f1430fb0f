// Fuzz target: the metafile player on arbitrary bytes as EMF files.
#include "fuzz_metafile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzMetafile(data, size, MetafileKind::Emf);
    return 0;
}
