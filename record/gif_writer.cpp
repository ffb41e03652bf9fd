// GIF writing with giflib's streaming calls, so a recording of any length
// holds only two frames in memory. Each frame is a graphics control block
// (delay, "leave in place" disposal, transparent index) and an image of the
// changed rectangle with its own colour table.
#include "record/gif_writer.h"

#include <array>
#include <cstring>

namespace {

constexpr int kMaxColours = 256;

// Colour -> palette index, for at most 256 colours: open addressing over a
// table four times that size, with the last hit remembered because the
// viewer's frames are long runs of one colour.
class PaletteBuilder {
public:
    explicit PaletteBuilder(int limit, int first_index) : limit_(limit), next_(first_index) { keys_.fill(kFree); }

    // The index of colour `rgb` (0xRRGGBB), adding it when new; -1 when the
    // palette is full.
    int index_of(uint32_t rgb) {
        if (rgb == last_key_) return last_index_;
        size_t slot = (rgb * 2654435761u) >> 22;  // top 10 bits: 0..1023
        while (keys_[slot] != kFree && keys_[slot] != rgb) slot = (slot + 1) & (kTable - 1);
        if (keys_[slot] == kFree) {
            if (count_ == limit_) return -1;
            keys_[slot] = rgb;
            values_[slot] = static_cast<uint8_t>(next_++);
            colours_.push_back(GifColorType{static_cast<GifByteType>(rgb >> 16),
                                            static_cast<GifByteType>((rgb >> 8) & 0xff),
                                            static_cast<GifByteType>(rgb & 0xff)});
            ++count_;
        }
        last_key_ = rgb;
        last_index_ = values_[slot];
        return last_index_;
    }
    std::vector<GifColorType>& colours() { return colours_; }

private:
    static constexpr size_t kTable = 1024;
    static constexpr uint32_t kFree = 0xffffffffu;  // no 24-bit colour has this key
    std::array<uint32_t, kTable> keys_;
    std::array<uint8_t, kTable> values_{};
    std::vector<GifColorType> colours_;
    int limit_;
    int next_;
    int count_ = 0;
    uint32_t last_key_ = kFree;
    int last_index_ = 0;
};

// A pixel's colour as 0xRRGGBB.
uint32_t key_of(const uint8_t* p) { return (uint32_t{p[kRed]} << 16) | (uint32_t{p[kGreen]} << 8) | p[kBlue]; }

// Exact indexing; false when the rectangle needs more colours than allowed.
bool index_exactly(const FrameImage& frame, const FrameImage* previous, const PixelRect& rect, IndexedRect* out) {
    const bool transparent = previous != nullptr;
    PaletteBuilder palette(transparent ? kMaxColours - 1 : kMaxColours, transparent ? 1 : 0);
    if (transparent) palette.colours().push_back(GifColorType{0, 0, 0});  // index 0: see-through
    out->indices.resize(static_cast<size_t>(rect.width) * rect.height);
    uint8_t* index = out->indices.data();
    for (int y = rect.top; y < rect.top + rect.height; ++y) {
        const uint8_t* p = frame.pixel(rect.left, y);
        const uint8_t* q = transparent ? previous->pixel(rect.left, y) : nullptr;
        for (int x = 0; x < rect.width; ++x, p += kPixelBytes, ++index) {
            if (transparent) {
                const bool same = key_of(p) == key_of(q);
                q += kPixelBytes;
                if (same) {
                    *index = 0;
                    continue;
                }
            }
            const int i = palette.index_of(key_of(p));
            if (i < 0) return false;
            *index = static_cast<uint8_t>(i);
        }
    }
    out->colours = std::move(palette.colours());
    out->transparent = transparent ? 0 : -1;
    out->exact = true;
    return true;
}

// Median-cut palette of 256 through giflib, for rectangles with more colours.
void index_quantised(const FrameImage& frame, const PixelRect& rect, IndexedRect* out) {
    const size_t n = static_cast<size_t>(rect.width) * rect.height;
    std::vector<GifByteType> red(n), green(n), blue(n);
    size_t i = 0;
    for (int y = rect.top; y < rect.top + rect.height; ++y) {
        const uint8_t* p = frame.pixel(rect.left, y);
        for (int x = 0; x < rect.width; ++x, p += kPixelBytes, ++i) {
            red[i] = p[kRed];
            green[i] = p[kGreen];
            blue[i] = p[kBlue];
        }
    }
    int size = kMaxColours;
    out->colours.assign(kMaxColours, GifColorType{0, 0, 0});
    out->indices.resize(n);
    if (GifQuantizeBuffer(static_cast<unsigned>(rect.width), static_cast<unsigned>(rect.height), &size, red.data(),
                          green.data(), blue.data(), out->indices.data(), out->colours.data()) != GIF_OK)
        size = kMaxColours;  // the buffers are always valid; keep the table whole regardless
    out->colours.resize(static_cast<size_t>(size));
    out->transparent = -1;
    out->exact = false;
}

// Smallest power of two, at least 2, that holds `n` colours (the GIF format
// stores table sizes as powers of two).
int table_size(size_t n) {
    int size = 2;
    while (static_cast<size_t>(size) < n) size *= 2;
    return size;
}

}  // namespace

IndexedRect index_rect(const FrameImage& frame, const FrameImage* previous, const PixelRect& rect) {
    IndexedRect out;
    if (previous != nullptr && index_exactly(frame, previous, rect, &out)) return out;
    if (index_exactly(frame, nullptr, rect, &out)) return out;
    index_quantised(frame, rect, &out);
    return out;
}

int gif_delay(int64_t n, int fps) {
    const int64_t half = fps / 2;
    return static_cast<int>((100 * (n + 1) + half) / fps - (100 * n + half) / fps);
}

GifWriter::~GifWriter() {
    if (gif_ != nullptr) {
        int ignored = 0;
        EGifCloseFile(gif_, &ignored);
    }
}

int GifWriter::write_bytes(GifFileType* gif, const GifByteType* bytes, int length) {
    auto* self = static_cast<GifWriter*>(gif->UserData);
    if (length <= 0) return 0;
    if (!self->out_.write(std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length))))
        return 0;
    self->bytes_ += static_cast<uint64_t>(length);
    return length;
}

bool GifWriter::fail(const std::string& what, int gif_error, std::string* error) {
    const char* reason = GifErrorString(gif_error);
    *error = "cannot write '" + out_.path() + "': " + what + (reason ? std::string(": ") + reason : std::string());
    out_.discard();
    return false;
}

bool GifWriter::open(const std::string& path, std::string* error) {
    if (!out_.open(path, error)) return false;
    int gif_error = 0;
    gif_ = EGifOpen(this, write_bytes, &gif_error);
    if (gif_ == nullptr) return fail("giflib could not start", gif_error, error);
    EGifSetGifVersion(gif_, true);
    if (EGifPutScreenDesc(gif_, width_, height_, 8, 0, nullptr) != GIF_OK)
        return fail("screen descriptor", gif_->Error, error);
    // NETSCAPE2.0 application block: loop count 0, i.e. forever.
    static const GifByteType kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kLoopForever[] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(gif_, sizeof kApplication, kApplication) != GIF_OK ||
        EGifPutExtensionBlock(gif_, sizeof kLoopForever, kLoopForever) != GIF_OK ||
        EGifPutExtensionTrailer(gif_) != GIF_OK)
        return fail("loop block", gif_->Error, error);
    return true;
}

bool GifWriter::add(const FrameImage& frame, std::string* error) {
    if (gif_ == nullptr) return false;
    const bool first = frames_ == 0;
    PixelRect rect = first ? PixelRect{0, 0, width_, height_} : changed_rect(previous_, frame);
    // An unchanged frame still gets its own image, one pixel, so that every
    // recorded frame is one GIF frame with its own delay.
    if (rect.empty()) rect = PixelRect{0, 0, 1, 1};
    const IndexedRect indexed = index_rect(frame, first ? nullptr : &previous_, rect);

    GraphicsControlBlock control;
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = gif_delay(frames_, fps_);
    control.TransparentColor = indexed.transparent >= 0 ? indexed.transparent : NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const size_t extension_length = EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extension_length), extension) != GIF_OK)
        return fail("frame delay", gif_->Error, error);

    std::vector<GifColorType> colours = indexed.colours;
    colours.resize(static_cast<size_t>(table_size(colours.size())), GifColorType{0, 0, 0});
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    if (map == nullptr) return fail("colour table", E_GIF_ERR_NOT_ENOUGH_MEM, error);
    const bool described = EGifPutImageDesc(gif_, rect.left, rect.top, rect.width, rect.height, false, map) == GIF_OK;
    GifFreeMapObject(map);
    if (!described) return fail("image descriptor", gif_->Error, error);
    for (int y = 0; y < rect.height; ++y) {
        auto* line = const_cast<GifPixelType*>(&indexed.indices[static_cast<size_t>(y) * rect.width]);
        if (EGifPutLine(gif_, line, rect.width) != GIF_OK) return fail("image data", gif_->Error, error);
    }
    keep_as_previous(frame, rect, &previous_);
    ++frames_;
    return true;
}

bool GifWriter::finish(std::string* error) {
    if (gif_ == nullptr) return false;
    int gif_error = 0;
    const int closed = EGifCloseFile(gif_, &gif_error);
    gif_ = nullptr;
    if (closed != GIF_OK) return fail("end of file", gif_error, error);
    return out_.commit(error);
}
