// Fuzz target: the FDSN event text reader of sismap-import on arbitrary bytes.
#include "import_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return import_fuzz::run(data, size, CatalogueFormat::fdsn);
}
