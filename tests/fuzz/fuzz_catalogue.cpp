// Fuzz target: the earthquake reader on arbitrary bytes. Every kept entry
// has a magnitude above 0 (never NaN) and the count matches the copy.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "data/data_loader.h"

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "catalogue invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DataLoader loader;
    loader.read_catalogue(text);

    const std::vector<QuakeRecord> records = loader.copy_records();
    if (loader.record_count() < 0 || static_cast<size_t>(loader.record_count()) != records.size())
        fail("record_count differs from the number of entries handed out");
    // An entry needs at least six commas on a line of its own after the header.
    size_t commas = 0;
    for (char c : text) commas += (c == ',');
    if (records.size() * 6 > commas) fail("more entries than comma-separated lines");

    for (const QuakeRecord& record : records) {
        if (!(record.magnitude > 0.0f)) fail("kept an entry with a magnitude not above 0");
        // Only the numbers of a catalogue date are set; its text must still
        // be a terminated string within its buffer.
        if (std::memchr(record.date.text(), '\0', sizeof record.date.text_buffer) == nullptr)
            fail("date text not terminated");
    }

    const std::vector<QuakeRecord> taken = loader.take_records();
    if (taken.size() != records.size() || loader.record_count() != 0) fail("take_records");
    return 0;
}
