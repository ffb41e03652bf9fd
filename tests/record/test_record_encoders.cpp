// The encoders on synthetic frames, decoded again with the same libraries:
// the changed rectangle, exact and quantised palettes, GIF delays and loop,
// GIF frames composed back to the originals, PNG round trips, MP4 frame
// count and layout, and failures that must leave no file behind.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "record/frame_image.h"
#include "record/gif_writer.h"
#include "record/mp4_writer.h"
#include "record/png_writer.h"
#include "tests/test_support.h"

namespace {

void set_pixel(FrameImage& f, int x, int y, uint8_t r, uint8_t g, uint8_t b) { f.set_rgb(x, y, r, g, b); }

void fill(FrameImage& f, int left, int top, int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) set_pixel(f, x, y, r, g, b);
}

// A frame like the viewer's: black, a white line, a few marks and red text.
FrameImage viewer_like(int size, int shift) {
    FrameImage f(size, size);
    fill(f, 2, 3, size - 4, 1, 255, 255, 255);
    fill(f, 5 + shift, 10, 5, 1, 255, 204, 0);
    fill(f, 7 + shift, 8, 1, 5, 255, 204, 0);
    fill(f, 20, 30 + shift, 3, 3, 255, 51, 0);
    fill(f, 1, size - 4, 6 + shift, 2, 255, 0, 0);
    return f;
}

// A frame of `count` distinct colours, one per pixel from the top left.
FrameImage many_colours(int size, int count) {
    FrameImage f(size, size);
    for (int i = 0; i < count; ++i)
        set_pixel(f, i % size, i / size, static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i / 3),
                  static_cast<uint8_t>(255 - i % 256));
    return f;
}

// A GIF read back with giflib: each frame composed over the previous ones
// as a viewer does (disposal "leave in place", transparent pixels keep what
// was there), plus each frame's rectangle and delay.
struct DecodedGif {
    int width = 0, height = 0;
    bool loops_forever = false;
    std::vector<FrameImage> frames;
    std::vector<PixelRect> rects;
    std::vector<int> delays;
};

DecodedGif decode_gif(const std::string& path) {
    DecodedGif out;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    EXPECT_NE(gif, nullptr) << GifErrorString(error);
    if (gif == nullptr) return out;
    EXPECT_EQ(DGifSlurp(gif), GIF_OK);
    out.width = gif->SWidth;
    out.height = gif->SHeight;
    FrameImage canvas(gif->SWidth, gif->SHeight);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock& block = image.ExtensionBlocks[e];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0) {
                const ExtensionBlock& data = image.ExtensionBlocks[e + 1];
                out.loops_forever = data.ByteCount == 3 && data.Bytes[0] == 1 && data.Bytes[1] == 0 &&
                                    data.Bytes[2] == 0;
            }
        }
        GraphicsControlBlock control;
        EXPECT_EQ(DGifSavedExtensionToGCB(gif, i, &control), GIF_OK);
        EXPECT_EQ(control.DisposalMode, DISPOSE_DO_NOT);
        out.delays.push_back(control.DelayTime);
        const GifImageDesc& d = image.ImageDesc;
        out.rects.push_back(PixelRect{d.Left, d.Top, d.Width, d.Height});
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        EXPECT_NE(map, nullptr);
        if (map == nullptr) break;
        for (int y = 0; y < d.Height; ++y) {
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[y * d.Width + x];
                if (index == control.TransparentColor) continue;
                EXPECT_LT(index, map->ColorCount);
                const GifColorType c = map->Colors[index];
                set_pixel(canvas, d.Left + x, d.Top + y, c.Red, c.Green, c.Blue);
            }
        }
        out.frames.push_back(canvas);
    }
    DGifCloseFile(gif, &error);
    return out;
}

FrameImage read_png(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return FrameImage();
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return FrameImage();
    FrameImage out(static_cast<int>(image.width), static_cast<int>(image.height));
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * out.width + x) * 3];
            out.set_rgb(x, y, p[0], p[1], p[2]);
        }
    return out;
}

TEST(ChangedRect, BoundsEveryDifferenceAndNothingElse) {
    const FrameImage a(40, 30);
    FrameImage b = a;
    EXPECT_TRUE(changed_rect(a, b).empty());
    set_pixel(b, 0, 0, 1, 0, 0);
    PixelRect r = changed_rect(a, b);
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.width, r.height}), (std::vector<int>{0, 0, 1, 1}));
    b = a;
    set_pixel(b, 39, 29, 0, 0, 1);  // last byte of the frame
    r = changed_rect(a, b);
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.width, r.height}), (std::vector<int>{39, 29, 1, 1}));
    set_pixel(b, 12, 5, 0, 1, 0);
    set_pixel(b, 30, 17, 9, 9, 9);
    set_pixel(b, 4, 20, 9, 9, 9);
    r = changed_rect(a, b);
    EXPECT_EQ((std::vector<int>{r.left, r.top, r.width, r.height}), (std::vector<int>{4, 5, 36, 25}));
}

TEST(GifPalette, ExactColoursAndTransparentForUnchangedPixels) {
    const FrameImage before = viewer_like(64, 0);
    const FrameImage after = viewer_like(64, 3);
    const PixelRect rect = changed_rect(before, after);
    ASSERT_FALSE(rect.empty());

    const IndexedRect alone = index_rect(after, nullptr, rect);
    EXPECT_TRUE(alone.exact);
    EXPECT_EQ(alone.transparent, -1);
    const IndexedRect over = index_rect(after, &before, rect);
    EXPECT_TRUE(over.exact);
    EXPECT_EQ(over.transparent, 0);
    for (int y = 0; y < rect.height; ++y) {
        for (int x = 0; x < rect.width; ++x) {
            const uint32_t want = after.rgb(rect.left + x, rect.top + y);
            const size_t i = static_cast<size_t>(y) * rect.width + x;
            const GifColorType a = alone.colours.at(alone.indices[i]);
            EXPECT_EQ((uint32_t{a.Red} << 16) | (uint32_t{a.Green} << 8) | a.Blue, want);
            const bool same = want == before.rgb(rect.left + x, rect.top + y);
            if (same) {
                EXPECT_EQ(over.indices[i], 0);
            } else {
                ASSERT_NE(over.indices[i], 0);
                const GifColorType c = over.colours.at(over.indices[i]);
                EXPECT_EQ((uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue, want);
            }
        }
    }
}

TEST(GifPalette, LimitsOf256ColoursAndTheQuantisedFallback) {
    const FrameImage black(32, 32);
    const PixelRect whole{0, 0, 32, 32};
    // 255 colours with black among them: still room for the transparent index.
    IndexedRect r = index_rect(many_colours(32, 255), &black, whole);
    EXPECT_TRUE(r.exact);
    EXPECT_EQ(r.transparent, 0);
    // 256 changed colours: no room for a transparent index, but exact.
    FrameImage grey(16, 16);
    fill(grey, 0, 0, 16, 16, 1, 1, 1);
    r = index_rect(many_colours(16, 256), &grey, PixelRect{0, 0, 16, 16});
    EXPECT_TRUE(r.exact);
    EXPECT_EQ(r.transparent, -1);
    EXPECT_EQ(r.colours.size(), 256u);
    // More than 256: a median-cut palette of at most 256 colours.
    r = index_rect(many_colours(32, 600), &black, whole);
    EXPECT_FALSE(r.exact);
    EXPECT_EQ(r.transparent, -1);
    EXPECT_LE(r.colours.size(), 256u);
    EXPECT_GT(r.colours.size(), 16u);
    EXPECT_EQ(r.indices.size(), 32u * 32u);
}

TEST(GifDelay, KeepsExactTimeAtAnyRate) {
    for (int n = 0; n < 50; ++n) EXPECT_EQ(gif_delay(n, 20), 5);
    for (int fps : {1, 3, 7, 13, 20, 33, 50}) {
        int total = 0;
        for (int n = 0; n < fps; ++n) {
            const int d = gif_delay(n, fps);
            EXPECT_GE(d, 100 / fps);
            EXPECT_LE(d, 100 / fps + 1);
            total += d;
        }
        EXPECT_EQ(total, 100) << fps << " frames make one second";
    }
}

TEST(GifWriter, FramesComposeBackExactlyWithTheirRectanglesDelaysAndLoop) {
    ScratchDir scratch;
    const std::string path = scratch.path() + "/out.gif";
    std::vector<FrameImage> frames = {viewer_like(80, 0), viewer_like(80, 4), viewer_like(80, 4),
                                      viewer_like(80, 9)};
    FrameImage colourful = frames.back();
    for (int i = 0; i < 200; ++i) set_pixel(colourful, 40 + i % 20, 40 + i / 20, 100, static_cast<uint8_t>(i), 3);
    frames.push_back(colourful);
    {
        GifWriter gif(80, 80, 3);
        std::string error;
        ASSERT_TRUE(gif.open(path, &error)) << error;
        for (const FrameImage& f : frames) ASSERT_TRUE(gif.add(f, &error)) << error;
        EXPECT_FALSE(std::filesystem::exists(path)) << "in place before finish";
        ASSERT_TRUE(gif.finish(&error)) << error;
        EXPECT_EQ(gif.bytes_written(), std::filesystem::file_size(path));
    }
    EXPECT_EQ(read_file(path).substr(0, 6), "GIF89a");
    const DecodedGif decoded = decode_gif(path);
    EXPECT_EQ(decoded.width, 80);
    EXPECT_EQ(decoded.height, 80);
    EXPECT_TRUE(decoded.loops_forever);
    ASSERT_EQ(decoded.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(decoded.frames[i].bgra == frames[i].bgra) << "frame " << i;
    EXPECT_EQ(decoded.delays, (std::vector<int>{33, 34, 33, 33, 34}));
    // The first frame is whole, then only what changed; an unchanged frame is
    // one pixel.
    const PixelRect& first = decoded.rects[0];
    EXPECT_EQ((std::vector<int>{first.left, first.top, first.width, first.height}),
              (std::vector<int>{0, 0, 80, 80}));
    const PixelRect want = changed_rect(frames[0], frames[1]);
    const PixelRect& second = decoded.rects[1];
    EXPECT_EQ((std::vector<int>{second.left, second.top, second.width, second.height}),
              (std::vector<int>{want.left, want.top, want.width, want.height}));
    EXPECT_EQ(decoded.rects[2].width * decoded.rects[2].height, 1);
    EXPECT_LT(decoded.rects[4].width * decoded.rects[4].height, 80 * 80 / 4);
}

TEST(GifWriter, FailuresLeaveNoFileAndTheOldOutputUntouched) {
    ScratchDir scratch;
    std::string error;
    {
        GifWriter gif(16, 16, 20);
        EXPECT_FALSE(gif.open(scratch.path() + "/missing/out.gif", &error));
        EXPECT_NE(error.find("missing/out.gif"), std::string::npos) << error;
    }
    const std::string path = scratch.write("out.gif", "an earlier recording");
    {
        GifWriter gif(16, 16, 20);
        ASSERT_TRUE(gif.open(path, &error)) << error;
        ASSERT_TRUE(gif.add(FrameImage(16, 16), &error));
        // Abandoned without finish(), as when a later frame fails.
    }
    EXPECT_EQ(read_file(path), "an earlier recording");
    EXPECT_EQ(file_names_in(scratch.path()), (std::vector<std::string>{"out.gif"}));
}

TEST(PngWriter, RoundTripsExactlyAndNamesFramesInOrder) {
    ScratchDir scratch;
    FrameImage image = many_colours(37, 37 * 37);  // odd width: no row padding assumed
    std::string error;
    uint64_t size = 0;
    const std::string still = scratch.path() + "/still.png";
    ASSERT_TRUE(write_png(image, still, &error, &size)) << error;
    EXPECT_EQ(size, std::filesystem::file_size(still));
    EXPECT_TRUE(read_png(still).bgra == image.bgra);
    // In memory (the page's image of map mode's band) the same bytes.
    std::string bytes;
    ASSERT_TRUE(png_bytes(image, &bytes));
    EXPECT_EQ(bytes, read_file(still));

    const std::string folder = scratch.path() + "/frames";
    std::filesystem::create_directory(folder);
    PngFolderWriter frames(folder + "/");
    ASSERT_TRUE(frames.open(&error)) << error;
    for (int i = 0; i < 3; ++i) {
        fill(image, i, i, 1, 1, 9, 9, 9);
        ASSERT_TRUE(frames.add(image, &error)) << error;
        EXPECT_TRUE(read_png(frame_file_name(folder, i)).bgra == image.bgra) << i;
    }
    ASSERT_TRUE(frames.finish(&error));
    EXPECT_EQ(file_names_in(folder), (std::vector<std::string>{"frame-00000.png", "frame-00001.png", "frame-00002.png"}));
    EXPECT_EQ(frame_file_name("a/", 123456), "a/frame-123456.png");
    EXPECT_EQ(frame_file_name("a", 7), "a/frame-00007.png");
}

TEST(PngWriter, MissingFolderOrPlaceIsReportedAndWritesNothing) {
    ScratchDir scratch;
    std::string error;
    // A missing folder is made, but not inside a missing one.
    PngFolderWriter missing(scratch.path() + "/none/sub/");
    EXPECT_FALSE(missing.open(&error));
    EXPECT_NE(error.find("none/sub/"), std::string::npos) << error;
    const std::string file = scratch.write("file", "x");
    PngFolderWriter not_folder(file);
    EXPECT_FALSE(not_folder.open(&error));
    EXPECT_NE(error.find("not a directory"), std::string::npos) << error;
    EXPECT_FALSE(write_png(FrameImage(4, 4), scratch.path() + "/none/a.png", &error));
    EXPECT_EQ(file_names_in(scratch.path()), (std::vector<std::string>{"file"}));
}

// The conversion's planes for `frame`, decoded back as a player does
// (each chroma sample over its 2x2 block).
struct Planes {
    std::vector<uint8_t> y, u, v;
};

Planes convert(Yuv420Converter& converter, const FrameImage& frame) {
    Planes p{std::vector<uint8_t>(static_cast<size_t>(frame.width) * frame.height),
             std::vector<uint8_t>(static_cast<size_t>(frame.width / 2) * (frame.height / 2)),
             std::vector<uint8_t>(static_cast<size_t>(frame.width / 2) * (frame.height / 2))};
    converter.convert(frame, p.y.data(), frame.width, p.u.data(), frame.width / 2, p.v.data(), frame.width / 2);
    return p;
}

FrameImage decode(const Planes& p, int width, int height) {
    FrameImage out(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t c = static_cast<size_t>(y / 2) * (width / 2) + x / 2;
            uint8_t rgb[3];
            yuv_to_rgb(p.y[static_cast<size_t>(y) * width + x], p.u[c], p.v[c], rgb);
            out.set_rgb(x, y, rgb[0], rgb[1], rgb[2]);
        }
    return out;
}

TEST(Yuv420Converter, OneColourBlocksGetTheStandardConversion) {
    FrameImage frame(8, 2);
    fill(frame, 2, 0, 2, 2, 255, 255, 255);
    fill(frame, 4, 0, 2, 2, 255, 0, 0);
    fill(frame, 6, 0, 2, 2, 255, 255, 0);
    Yuv420Converter converter;
    const Planes p = convert(converter, frame);
    EXPECT_EQ(p.y, (std::vector<uint8_t>{16, 16, 235, 235, 81, 81, 210, 210, 16, 16, 235, 235, 81, 81, 210, 210}));
    EXPECT_EQ(p.u, (std::vector<uint8_t>{128, 128, 90, 16}));
    EXPECT_EQ(p.v, (std::vector<uint8_t>{128, 128, 240, 146}));
}

// PSNR in RGB of `back` against `frame`.
double rgb_psnr(const FrameImage& frame, const FrameImage& back) {
    double squared = 0.0;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            for (int c : {kRed, kGreen, kBlue}) {
                const double d = double(back.pixel(x, y)[c]) - frame.pixel(x, y)[c];
                squared += d * d;
            }
    return 10.0 * std::log10(255.0 * 255.0 / (squared / (3.0 * frame.width * frame.height)));
}

TEST(Yuv420Converter, ThinColouredLinesKeepTheirColour) {
    // One-pixel lines in the viewer's colours on black, as marks and text
    // are drawn, in both positions within a 2x2 block, horizontal and
    // vertical. The baseline is plain averaging: each
    // pixel's standard luma and the block's mean chroma (BT.601), under which
    // a lone yellow pixel comes back with about 176 of blue.
    FrameImage frame(16, 16);
    const uint8_t colours[3][3] = {{255, 255, 0}, {255, 0, 0}, {255, 153, 0}};
    for (int i = 0; i < 3; ++i) {
        fill(frame, 0, 1 + 3 * i, 7, 1, colours[i][0], colours[i][1], colours[i][2]);
        fill(frame, 9 + 2 * i + i % 2, 0, 1, 16, colours[i][0], colours[i][1], colours[i][2]);
    }
    Planes averaged{std::vector<uint8_t>(256), std::vector<uint8_t>(64), std::vector<uint8_t>(64)};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t* p = frame.pixel(x, y);
            averaged.y[static_cast<size_t>(y) * 16 + x] = static_cast<uint8_t>(
                std::lround(16 + 0.256788 * p[kRed] + 0.504129 * p[kGreen] + 0.097906 * p[kBlue]));
        }
    for (int by = 0; by < 8; ++by)
        for (int bx = 0; bx < 8; ++bx) {
            double u = 0.0, v = 0.0;
            for (int i = 0; i < 4; ++i) {
                const uint8_t* p = frame.pixel(bx * 2 + i % 2, by * 2 + i / 2);
                u += 128 - 0.148223 * p[kRed] - 0.290993 * p[kGreen] + 0.439216 * p[kBlue];
                v += 128 + 0.439216 * p[kRed] - 0.367788 * p[kGreen] - 0.071427 * p[kBlue];
            }
            averaged.u[static_cast<size_t>(by) * 8 + bx] = static_cast<uint8_t>(std::lround(u / 4));
            averaged.v[static_cast<size_t>(by) * 8 + bx] = static_cast<uint8_t>(std::lround(v / 4));
        }
    Yuv420Converter converter;
    const double fitted = rgb_psnr(frame, decode(convert(converter, frame), 16, 16));
    const double plain = rgb_psnr(frame, decode(averaged, 16, 16));
    EXPECT_GT(fitted, plain + 2.5) << "fitted " << fitted << " dB, averaged " << plain << " dB";
}

TEST(Yuv420Converter, RemembersBlocksWithoutMixingThemUp) {
    // More different blocks than the converter remembers, between two
    // conversions of the same frame: the second must equal the first.
    FrameImage first = viewer_like(64, 2);
    FrameImage noisy = many_colours(600, 600 * 600);
    Yuv420Converter converter;
    const Planes before = convert(converter, first);
    convert(converter, noisy);
    const Planes after = convert(converter, first);
    EXPECT_EQ(before.y, after.y);
    EXPECT_EQ(before.u, after.u);
    EXPECT_EQ(before.v, after.v);
    Yuv420Converter fresh;
    const Planes alone = convert(fresh, noisy);
    const Planes again = convert(converter, noisy);
    EXPECT_EQ(alone.y, again.y);
    EXPECT_EQ(alone.u, again.u);
}

TEST(Yuv420Converter, OnlyTheChangedBlocksAreConvertedAndEachAsIfAlone) {
    // The MP4 writer converts a frame whole, then each next frame only where
    // it changed; blocks that repeat the one before are copied from it. Every
    // block must still come out as it does converted on its own.
    constexpr int kSize = 40;
    const FrameImage first = viewer_like(kSize, 0);
    FrameImage next = viewer_like(kSize, 1);
    fill(next, 13, 17, 5, 3, 255, 255, 0);  // odd edges, on every side
    set_pixel(next, 24, 25, 255, 0, 0);      // a block whose top row matches the block before it
    const PixelRect rect = changed_rect(first, next);
    ASSERT_FALSE(rect.empty());
    Yuv420Converter converter;
    Planes p = convert(converter, first);
    converter.convert(next, rect, p.y.data(), kSize, p.u.data(), kSize / 2, p.v.data(), kSize / 2);
    for (int by = 0; by < kSize; by += 2)
        for (int bx = 0; bx < kSize; bx += 2) {
            FrameImage block(2, 2);
            for (int i = 0; i < 4; ++i)
                std::memcpy(block.pixel(i % 2, i / 2), next.pixel(bx + i % 2, by + i / 2), kPixelBytes);
            Yuv420Converter alone;
            const Planes want = convert(alone, block);
            for (int i = 0; i < 4; ++i)
                ASSERT_EQ(p.y[static_cast<size_t>(by + i / 2) * kSize + bx + i % 2], want.y[static_cast<size_t>(i)])
                    << "block " << bx << "," << by;
            ASSERT_EQ(p.u[static_cast<size_t>(by / 2) * (kSize / 2) + bx / 2], want.u[0]) << "block " << bx << "," << by;
            ASSERT_EQ(p.v[static_cast<size_t>(by / 2) * (kSize / 2) + bx / 2], want.v[0]) << "block " << bx << "," << by;
        }
}

TEST(Mp4Writer, EveryFrameIsInAFaststartH264File) {
    if (std::system("ffprobe -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
    ScratchDir scratch;
    const std::string path = scratch.path() + "/out.mp4";
    std::string error;
    {
        Mp4Writer mp4(64, 48, 20);
        ASSERT_TRUE(mp4.open(path, &error)) << error;
        for (int i = 0; i < 7; ++i) ASSERT_TRUE(mp4.add(viewer_like(64, i), &error)) << error;
        EXPECT_FALSE(std::filesystem::exists(path));
        ASSERT_TRUE(mp4.finish(&error)) << error;
        EXPECT_EQ(mp4.bytes_written(), std::filesystem::file_size(path));
    }
    const std::string probe = scratch.path() + "/probe.txt";
    const std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                "stream=codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames "
                                "-of default=noprint_wrappers=1 '" + path + "' > '" + probe + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string fields = read_file(probe);
    for (const char* field : {"codec_name=h264", "pix_fmt=yuv420p", "width=64", "height=48", "r_frame_rate=20/1",
                              "nb_read_frames=7"})
        EXPECT_NE(fields.find(field), std::string::npos) << field << " in\n" << fields;
    const std::string bytes = read_file(path);
    ASSERT_NE(bytes.find("moov"), std::string::npos);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat")) << "index first (faststart)";
    EXPECT_EQ(file_names_in(scratch.path()), (std::vector<std::string>{"out.mp4", "probe.txt"}));
}

TEST(Mp4Writer, AbandonedRecordingLeavesTheOldFile) {
    ScratchDir scratch;
    const std::string path = scratch.write("out.mp4", "an earlier video");
    std::string error;
    {
        Mp4Writer mp4(64, 48, 20);
        ASSERT_TRUE(mp4.open(path, &error)) << error;
        ASSERT_TRUE(mp4.add(FrameImage(64, 48), &error));
    }
    EXPECT_EQ(read_file(path), "an earlier video");
    EXPECT_EQ(file_names_in(scratch.path()), (std::vector<std::string>{"out.mp4"}));
}

}  // namespace
