// Fuzz target: the GeoJSON feed reader of sismap-import on arbitrary bytes.
#include "import_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return import_fuzz::run(data, size, CatalogueFormat::geojson);
}
