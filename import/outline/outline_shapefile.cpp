// Shapefile boundary reader. shapelib does the reading, through its I/O
// hooks: the C library's files for real use, memory buffers for tests and
// fuzzing, so both run the same code. shapelib reports trouble through a
// hook without a context pointer, so its messages are collected in a
// thread-local string while a reader runs.
#include "import/outline/outline_shapefile.h"

#include <shapefil.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tool/text_basics.h"

namespace {

// The .prj's size is small in practice; more than this is not a .prj.
constexpr size_t kMaxPrjBytes = 1 << 16;

thread_local std::string shapelib_messages;

void collect_shapelib_message(const char* message) {
    if (!shapelib_messages.empty()) shapelib_messages += "; ";
    shapelib_messages += message;
}

// `path` without a final ".shp" (any case).
std::string base_of(const std::string& path) {
    if (has_extension(path, ".shp")) return path.substr(0, path.size() - 4);
    return path;
}

// ---- Files in memory, for read_shapefile_outline_from_memory -------------

struct MemoryFile {
    const std::string* bytes;
    size_t position;
};

// The four companions by lower-case extension; set while a memory read runs.
thread_local const std::vector<std::pair<std::string, const std::string*>>* memory_files = nullptr;

SAFile memory_open(const char* name, const char* access) {
    if (memory_files == nullptr || std::strchr(access, 'w') != nullptr || std::strchr(access, '+') != nullptr) {
        errno = EACCES;
        return nullptr;
    }
    const std::string file = name;
    const std::string extension = file.size() >= 4 ? ascii_lower(file.substr(file.size() - 4)) : "";
    for (const auto& [known, bytes] : *memory_files) {
        if (known == extension && bytes != nullptr) return reinterpret_cast<SAFile>(new MemoryFile{bytes, 0});
    }
    errno = ENOENT;
    return nullptr;
}

SAOffset memory_read(void* out, SAOffset size, SAOffset count, SAFile handle) {
    MemoryFile* file = reinterpret_cast<MemoryFile*>(handle);
    if (size == 0) return 0;
    const size_t left = file->position < file->bytes->size() ? file->bytes->size() - file->position : 0;
    const size_t whole = std::min<size_t>(count, left / size);
    std::memcpy(out, file->bytes->data() + file->position, whole * size);
    file->position += whole * size;
    return whole;
}

SAOffset memory_write(void*, SAOffset, SAOffset, SAFile) { return 0; }

SAOffset memory_seek(SAFile handle, SAOffset offset, int whence) {
    MemoryFile* file = reinterpret_cast<MemoryFile*>(handle);
    size_t origin = 0;
    if (whence == SEEK_CUR) origin = file->position;
    if (whence == SEEK_END) origin = file->bytes->size();
    file->position = origin + offset;
    return 0;
}

SAOffset memory_tell(SAFile handle) { return reinterpret_cast<MemoryFile*>(handle)->position; }
int memory_flush(SAFile) { return 0; }
int memory_close(SAFile handle) {
    delete reinterpret_cast<MemoryFile*>(handle);
    return 0;
}
int memory_remove(const char*) { return -1; }

SAHooks memory_hooks() {
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = memory_open;
    hooks.FRead = memory_read;
    hooks.FWrite = memory_write;
    hooks.FSeek = memory_seek;
    hooks.FTell = memory_tell;
    hooks.FFlush = memory_flush;
    hooks.FClose = memory_close;
    hooks.Remove = memory_remove;
    hooks.Error = collect_shapelib_message;
    return hooks;
}

// ---- The reader -----------------------------------------------------------

struct ShpCloser {
    void operator()(SHPInfo* handle) const { SHPClose(handle); }
};
struct DbfCloser {
    void operator()(DBFInfo* handle) const { DBFClose(handle); }
};
struct ObjectDestroyer {
    void operator()(SHPObject* object) const { SHPDestroyObject(object); }
};

// Opens `base` + `extension` in either case, as shapelib does; null when
// neither exists. `reason` gets the system's words for the failure.
SAFile open_companion(SAHooks& hooks, const std::string& base, const std::string& extension, std::string& reason) {
    errno = 0;
    SAFile file = hooks.FOpen((base + extension).c_str(), "rb");
    if (file == nullptr) {
        reason = std::strerror(errno != 0 ? errno : ENOENT);
        std::string upper = extension;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        file = hooks.FOpen((base + upper).c_str(), "rb");
    }
    return file;
}

void require_companion(SAHooks& hooks, const std::string& base, const std::string& extension) {
    std::string reason;
    SAFile file = open_companion(hooks, base, extension, reason);
    if (file == nullptr)
        throw OutlineError(base + extension + ": cannot open: " + reason +
                           " (a shapefile is read as its .shp with the .shx and .dbf beside it)");
    hooks.FClose(file);
}

// The name in the first quotes of a WKT text, e.g. "NAD83 / UTM zone 10N".
std::string wkt_name(const std::string& wkt) {
    const size_t open = wkt.find('"');
    if (open == std::string::npos) return "";
    const size_t close = wkt.find('"', open + 1);
    if (close == std::string::npos) return "";
    return wkt.substr(open + 1, close - open - 1);
}

// Refuses a shapefile whose .prj names a projected coordinate system: its
// coordinates are metres or feet on a map plane, not degrees. A missing
// .prj, or one naming a geographic system, lets the coordinates speak
// (each is checked against +-180 / +-90).
void check_projection(SAHooks& hooks, const std::string& base) {
    std::string reason;
    SAFile file = open_companion(hooks, base, ".prj", reason);
    if (file == nullptr) return;
    std::string wkt(kMaxPrjBytes, '\0');
    const SAOffset got = hooks.FRead(&wkt[0], 1, kMaxPrjBytes, file);
    hooks.FClose(file);
    wkt.resize(got);
    const std::string upper_start = [&] {
        std::string head = wkt.substr(0, wkt.find('['));
        for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return head;
    }();
    const bool projected = upper_start.find("PROJCS") != std::string::npos ||
                           upper_start.find("PROJCRS") != std::string::npos ||
                           upper_start.find("PROJECTEDCRS") != std::string::npos ||
                           wkt.find("PROJCS[") != std::string::npos || wkt.find("PROJCRS[") != std::string::npos;
    if (!projected) return;
    const std::string name = wkt_name(wkt);
    throw OutlineError(base + ".prj: names a projected coordinate system" + (name.empty() ? "" : " (" + name + ")") +
                       "; the outline must be in longitude/latitude degrees (WGS 84): reproject the file first, "
                       "e.g. ogr2ogr -t_srs EPSG:4326 OUT.shp " + base + ".shp");
}

bool is_polygon_type(int type) { return type == SHPT_POLYGON || type == SHPT_POLYGONZ || type == SHPT_POLYGONM; }

void read_rings(const SHPObject& object, const std::string& where, OutlineFeature& feature) {
    std::vector<GeoRing> rings;
    for (int part = 0; part < object.nParts; ++part) {
        const int first = object.panPartStart[part];
        const int end = part + 1 < object.nParts ? object.panPartStart[part + 1] : object.nVertices;
        if (first < 0 || end > object.nVertices || first > end)
            throw OutlineError(where + ": a part's vertex range is out of order");
        GeoRing ring;
        ring.reserve(static_cast<size_t>(end - first));
        for (int i = first; i < end; ++i) {
            check_degrees(object.padfX[i], object.padfY[i], where);
            ring.push_back(GeoPoint{object.padfX[i], object.padfY[i]});
        }
        rings.push_back(std::move(ring));
    }
    // Outer rings run clockwise, holes counter-clockwise. Some writers
    // ignore the rule; with no clockwise ring at all, every ring competes.
    bool any_clockwise = false;
    for (const GeoRing& ring : rings) any_clockwise = any_clockwise || signed_degree_area(ring) < 0;
    for (GeoRing& ring : rings) {
        if (!any_clockwise || signed_degree_area(ring) < 0) feature.offer_outer_ring(std::move(ring));
    }
}

OutlineSource read_with_hooks(const std::string& path, SAHooks& hooks) {
    OutlineSource source;
    source.path = path;
    source.format = "shapefile";
    const std::string base = base_of(path);

    require_companion(hooks, base, ".shp");
    require_companion(hooks, base, ".shx");
    require_companion(hooks, base, ".dbf");
    check_projection(hooks, base);

    shapelib_messages.clear();
    std::unique_ptr<SHPInfo, ShpCloser> shp(SHPOpenLL(base.c_str(), "rb", &hooks));
    if (!shp) throw OutlineError(path + ": not a readable shapefile" + (shapelib_messages.empty() ? "" : ": " + shapelib_messages));
    std::unique_ptr<DBFInfo, DbfCloser> dbf(DBFOpenLL((base + ".dbf").c_str(), "rb", &hooks));
    if (!dbf) dbf.reset(DBFOpenLL((base + ".DBF").c_str(), "rb", &hooks));
    if (!dbf)
        throw OutlineError(base + ".dbf: not a readable attribute table" +
                           (shapelib_messages.empty() ? "" : ": " + shapelib_messages));

    int count = 0;
    int type = 0;
    SHPGetInfo(shp.get(), &count, &type, nullptr, nullptr);
    if (!is_polygon_type(type))
        throw OutlineError(path + ": holds " + SHPTypeName(type) + " shapes, not polygons; an outline needs a polygon layer");
    if (DBFGetRecordCount(dbf.get()) != count)
        throw OutlineError(base + ".dbf: holds " + std::to_string(DBFGetRecordCount(dbf.get())) + " records but " + path +
                           " holds " + std::to_string(count) + " shapes");

    const int field_count = DBFGetFieldCount(dbf.get());
    source.features.resize(static_cast<size_t>(count));
    for (int record = 0; record < count; ++record) {
        OutlineFeature& feature = source.features[static_cast<size_t>(record)];
        for (int field = 0; field < field_count; ++field) {
            char name[XBASE_FLDNAME_LEN_READ + 1] = {};
            DBFGetFieldInfo(dbf.get(), field, name, nullptr, nullptr);
            if (DBFIsAttributeNULL(dbf.get(), record, field)) continue;
            const char* value = DBFReadStringAttribute(dbf.get(), record, field);
            if (value != nullptr) feature.attributes.emplace_back(name, value);
        }

        const std::string where = path + ": shape " + std::to_string(record + 1);
        shapelib_messages.clear();
        std::unique_ptr<SHPObject, ObjectDestroyer> object(SHPReadObject(shp.get(), record));
        if (!object)
            throw OutlineError(where + ": unreadable" + (shapelib_messages.empty() ? "" : ": " + shapelib_messages));
        if (object->nSHPType == SHPT_NULL) {
            feature.geometry = "null";
            continue;
        }
        feature.geometry = SHPTypeName(object->nSHPType);
        read_rings(*object, where, feature);
    }
    return source;
}

}  // namespace

OutlineSource read_shapefile_outline(const std::string& path) {
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.Error = collect_shapelib_message;
    return read_with_hooks(path, hooks);
}

OutlineSource read_shapefile_outline_from_memory(const std::string& path, const std::string& shp,
                                                 const std::string& shx, const std::string& dbf,
                                                 const std::string& prj) {
    const std::vector<std::pair<std::string, const std::string*>> files = {
        {".shp", &shp}, {".shx", &shx}, {".dbf", &dbf}, {".prj", prj.empty() ? nullptr : &prj}};
    memory_files = &files;
    struct Reset {
        ~Reset() { memory_files = nullptr; }
    } reset;
    SAHooks hooks = memory_hooks();
    return read_with_hooks(path, hooks);
}

bool looks_like_shapefile(const std::string& bytes) {
    return bytes.size() >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0x27 && bytes[3] == 0x0A;
}
