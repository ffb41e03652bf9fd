// Choosing one feature of a boundary file: by attribute value or by its
// number in the listing, and the listing shown when the choice is missing
// or does not pick exactly one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "import/outline/outline_source.h"

struct FeatureChoice {
    std::optional<std::string> where_field;  // --where FIELD=VALUE: field name, matched without regard to case
    std::string where_value;                 // ... and value, matched exactly
    std::optional<long long> index;          // --index N, counting from 1
};

// Splits "FIELD=VALUE" at the first '='. Throws OutlineError (status 2) when
// there is no '=' or no field name.
FeatureChoice parse_where(const std::string& text);

// The position in source.features of the chosen feature. With no choice a
// single feature is taken. Throws OutlineError (status 1) with the numbered
// listing when there are several and no choice, or the choice matches none
// or several, and when the chosen feature has no polygon.
size_t choose_feature(const OutlineSource& source, const FeatureChoice& choice);

// One line per feature: its number, its name-like attributes as FIELD=VALUE
// (ready for --where) and its geometry's kind.
std::string feature_listing(const OutlineSource& source);
