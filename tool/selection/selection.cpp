// The region test every selection applies.
#include "tool/selection/selection.h"

bool Region::contains(double latitude, double longitude) const {
    if (latitude < south || latitude > north) return false;
    if (west <= east) return longitude >= west && longitude <= east;
    return longitude >= west || longitude <= east;
}
