// Reads a boundary file in ESRI shapefile form (.shp with its .shx and .dbf,
// and a .prj when there is one) through shapelib.
#pragma once

#include <string>

#include "import/outline/outline_source.h"

// The features of the shapefile at `path` (the .shp, or its name without
// the extension). Each record keeps its attribute-table fields and the
// outer rings of its polygon, the largest apart; rings that run counter-clockwise, the
// holes by the format's rule, are never candidates unless the record has no
// clockwise ring at all. Throws OutlineError naming the file and what is
// wrong: a missing companion, a .prj naming a projected coordinate system, a
// layer of other shapes than polygons, a record shapelib cannot read, a
// coordinate outside -180..360 / +-90.
OutlineSource read_shapefile_outline(const std::string& path);

// The same from the bytes of the four files, for tests and fuzzing without
// a file system; an empty `prj` means there is no .prj. `path` names the
// .shp in messages.
OutlineSource read_shapefile_outline_from_memory(const std::string& path, const std::string& shp,
                                                 const std::string& shx, const std::string& dbf,
                                                 const std::string& prj);

// True when `bytes` start like a .shp or .shx file (the file code 9994).
bool looks_like_shapefile(const std::string& bytes);
