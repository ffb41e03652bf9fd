// Fuzz target: what the fetch mode makes of an event service's answer (its
// status and text) before reading it: the classification and the first
// lines quoted in messages.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "import/fetch/fdsn_query.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const long status = 100 + (data[0] << 8 | data[1]) % 500;
    const std::string_view body(reinterpret_cast<const char*>(data + 2), size - 2);
    classify_answer(status, body);
    const std::string lines = first_lines(body);
    // At most five lines of at most 200 bytes (and "..."), each after "\n  ".
    if (lines.size() > 5 * (3 + 200 + 3)) std::abort();
    for (char c : lines)
        if (c != '\n' && (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)) std::abort();
    return 0;
}
