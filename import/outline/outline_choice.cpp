// Feature choice and the feature listing.
#include "import/outline/outline_choice.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "tool/text_basics.h"

namespace {

// Attributes that name a feature in the boundary files people download
// (national mapping agencies, Natural Earth, census and GADM layers).
constexpr const char* kNameLikeKeys[] = {"admin",  "sovereignt", "iso_a2", "iso_a3", "adm0_a3", "iso",   "iso3",
                                         "abbrev", "postal",     "stusps", "state",  "country", "label", "title",
                                         "id",     "code",       "geoid",  "fips"};
constexpr size_t kMaxListedAttributes = 4;
constexpr size_t kMaxListedValue = 40;

bool is_name_like(const std::string& key) {
    const std::string k = ascii_lower(key);
    if (k.find("name") != std::string::npos) return true;
    return std::find(std::begin(kNameLikeKeys), std::end(kNameLikeKeys), k) != std::end(kNameLikeKeys);
}

// The value as the user would type it after --where FIELD=: quoted for the
// shell when it holds anything but plain characters, shortened when long.
std::string shown_value(const std::string& value) {
    return shell_word(value.size() > kMaxListedValue ? value.substr(0, kMaxListedValue) + "..." : value);
}

std::string label(const OutlineSource& source, size_t position) {
    return source.path + ": feature " + std::to_string(position + 1);
}

}  // namespace

FeatureChoice parse_where(const std::string& text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        throw OutlineError("--where " + text + ": expected FIELD=VALUE", 2);
    FeatureChoice choice;
    choice.where_field = text.substr(0, equals);
    choice.where_value = text.substr(equals + 1);
    return choice;
}

std::string feature_listing(const OutlineSource& source) {
    std::string text;
    const size_t width = std::to_string(source.features.size()).size();
    for (size_t i = 0; i < source.features.size(); ++i) {
        const OutlineFeature& feature = source.features[i];
        std::string number = std::to_string(i + 1);
        text += "  " + std::string(width - number.size(), ' ') + number;
        std::vector<const std::pair<std::string, std::string>*> shown;
        for (const auto& attribute : feature.attributes)
            if (is_name_like(attribute.first) && shown.size() < kMaxListedAttributes) shown.push_back(&attribute);
        // Without a name-like field, the first fields still tell features apart.
        for (size_t a = 0; shown.empty() && a < feature.attributes.size() && a < 2; ++a)
            shown.push_back(&feature.attributes[a]);
        for (const auto* attribute : shown) text += "  " + attribute->first + "=" + shown_value(attribute->second);
        text += "  (" + (feature.geometry.empty() ? std::string("no geometry") : feature.geometry) + ")\n";
    }
    return text;
}

size_t choose_feature(const OutlineSource& source, const FeatureChoice& choice) {
    const size_t count = source.features.size();
    const std::string how = "; choose one with --where FIELD=VALUE or --index N:\n";
    if (count == 0) throw OutlineError(source.path + ": holds no features");

    size_t chosen = 0;
    if (choice.index) {
        if (*choice.index < 1 || static_cast<unsigned long long>(*choice.index) > count)
            throw OutlineError(source.path + ": --index " + std::to_string(*choice.index) + " matches no feature; it holds " +
                               std::to_string(count) + how + feature_listing(source));
        chosen = static_cast<size_t>(*choice.index - 1);
    } else if (choice.where_field) {
        std::vector<size_t> matches;
        for (size_t i = 0; i < count; ++i) {
            const auto& attributes = source.features[i].attributes;
            if (std::any_of(attributes.begin(), attributes.end(), [&](const auto& a) {
                    return a.second == choice.where_value && equals_ignoring_case(a.first, *choice.where_field);
                }))
                matches.push_back(i);
        }
        const std::string asked = "--where " + *choice.where_field + "=" + choice.where_value;
        if (matches.size() != 1)
            throw OutlineError(source.path + ": " + asked + " matches " +
                               (matches.empty() ? std::string("no feature") : std::to_string(matches.size()) + " features") +
                               how + feature_listing(source));
        chosen = matches.front();
    } else if (count > 1) {
        throw OutlineError(source.path + ": holds " + std::to_string(count) + " features" + how + feature_listing(source));
    }

    const OutlineFeature& feature = source.features[chosen];
    if (feature.largest_ring.empty())
        throw OutlineError(label(source, chosen) + ": has no polygon (its geometry is " +
                           (feature.geometry.empty() ? std::string("missing") : feature.geometry) + ")");
    return chosen;
}
