// Case-blind text for names the user or a data centre writes in any case:
// column and attribute names, file extensions.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

// `text` with its letters in lower case.
inline std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// True when `path` ends in `extension` (".shp"), in any case, after at least
// one other character.
inline bool has_extension(std::string_view path, std::string_view extension) {
    return path.size() > extension.size() && ascii_lower(path.substr(path.size() - extension.size())) == extension;
}
