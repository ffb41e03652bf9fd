// An independent earthquake reader built from the C library the way the
// file format is defined: 99-character reads, strtok, atoi and atof, one
// entry per line of seven fields with a magnitude above 0. The unit tests and
// the catalogue fuzz target hold the real reader to it.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "data/records.h"

inline std::vector<QuakeRecord> reference_catalogue(std::string_view text) {
    std::vector<QuakeRecord> records;
    char time_buffer[10] = "         ";
    size_t pos = 0;
    bool header = true;
    while (pos < text.size()) {
        const size_t take = std::min<size_t>(99, text.size() - pos);
        size_t length = take, consumed = take;
        const size_t feed = text.substr(pos, take).find('\n');
        if (feed != std::string_view::npos) {
            length = feed;
            consumed = length + 1;
        }
        char line[100];
        std::memcpy(line, text.data() + pos, length);
        line[length] = '\0';
        pos += consumed;
        if (header) {
            header = false;
            continue;
        }
        if (std::strchr(line, ',') == nullptr) continue;
        char* field[7];
        int count = 0;
        for (char* token = std::strtok(line, ","); token != nullptr && count < 7; token = std::strtok(nullptr, ","))
            field[count++] = token;
        if (count < 7) continue;
        QuakeRecord record;
        record.date.year = std::atoi(field[0]);
        record.date.month = std::atoi(field[1]);
        record.date.day = std::atoi(field[2]);
        const size_t time_length = std::strlen(field[3]);
        std::memcpy(time_buffer, field[3], time_length >= 9 ? 9 : time_length + 1);
        int32_t* parts[4] = {&record.time.hour, &record.time.minute, &record.time.second, &record.time.hundredths};
        const int offsets[4] = {0, 2, 4, 7};
        for (int i = 0; i < 4; ++i) {
            char pair[3] = {time_buffer[offsets[i]], '\0', '\0'};
            if (pair[0] != '\0') pair[1] = time_buffer[offsets[i] + 1];
            *parts[i] = std::atoi(pair);
        }
        record.latitude = static_cast<float>(std::atof(field[4]));
        record.longitude = static_cast<float>(std::atof(field[5]));
        record.magnitude = static_cast<float>(std::atof(field[6]));
        if (record.magnitude > 0.0f) records.push_back(record);
    }
    return records;
}

// Every field equal, the floats bit for bit.
inline bool same_record(const QuakeRecord& a, const QuakeRecord& b) {
    return a.date.year == b.date.year && a.date.month == b.date.month && a.date.day == b.date.day &&
           a.time.hour == b.time.hour && a.time.minute == b.time.minute && a.time.second == b.time.second &&
           a.time.hundredths == b.time.hundredths && std::memcmp(&a.latitude, &b.latitude, sizeof(float)) == 0 &&
           std::memcmp(&a.longitude, &b.longitude, sizeof(float)) == 0 &&
           std::memcmp(&a.magnitude, &b.magnitude, sizeof(float)) == 0;
}
