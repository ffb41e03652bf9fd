// Differential fuzz target: the earthquake reader on arbitrary bytes against
// the C library's reading of them (tests/reference_catalogue.h), entry by
// entry and bit for bit; the count matches the copy and the hand-over, and
// the depth-aware reading keeps the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "data/catalogue_reader.h"
#include "data/data_loader.h"
#include "tests/reference_catalogue.h"

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
    const std::vector<QuakeRecord> expected = reference_catalogue(text);
    if (records.size() != expected.size()) fail("entry count differs from the C library's reading");
    for (size_t i = 0; i < records.size(); ++i)
        if (!same_record(records[i], expected[i])) fail("an entry differs from the C library's reading");

    for (const QuakeRecord& record : records) {
        if (!(record.magnitude > 0.0f)) fail("kept an entry with a magnitude not above 0");
        // Only the numbers of a catalogue date are set; its text must still
        // be a terminated string within its buffer.
        if (std::memchr(record.date.text(), '\0', sizeof record.date.text_buffer) == nullptr)
            fail("date text not terminated");
    }

    // The depth-aware reading keeps the same entries, one depth for each.
    std::vector<QuakeRecord> with_depth;
    std::vector<float> depths;
    read_catalogue_text(text, with_depth, &depths);
    if (with_depth.size() != records.size() || depths.size() != records.size())
        fail("the depth-aware reading differs in its entries");
    for (size_t i = 0; i < records.size(); ++i)
        if (!same_record(with_depth[i], records[i])) fail("an entry differs when depths are read");

    const std::vector<QuakeRecord> taken = loader.take_records();
    if (taken.size() != records.size() || loader.record_count() != 0) fail("take_records");
    return 0;
}
