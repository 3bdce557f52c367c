// Points for tessera eval, as CSV with a header:
//   x,y,z              the shading position (required)
//   radius             its filter radius (default 0)
//   s,t                texture coordinates (default x, y)
//   ax,ay,az           the alternative position (default x, y, z)
//   pv:NAME.x,.y,.z    a named primitive variable of three floats
//   pv:NAME            a named primitive variable of one float
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "batch.h"

namespace tessera::cli {

struct PointTable {
    int count = 0;
    host::BatchPoints points;  // every point, as one batch would hold them
};

// Throws Failure(1) naming source, line and column for a missing or unknown column, a value
// that is not a number, or a row with the wrong number of values.
PointTable readPoints(std::istream& in, const std::string& source);

}  // namespace tessera::cli
