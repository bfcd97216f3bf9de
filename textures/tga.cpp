// TGA reading: uncompressed (type 2) and run-length (type 10) true-colour images of 24 or 32 bits.
//
// readTGA checks the fixed 12-byte file header and hands the open file to one of two readers.
// Both decode into tightly packed RGB or RGBA bytes (the file stores BGR / BGRA), rows in file
// order, ready for glTexImage2D. Every problem is reported in a message box and the reader carries
// on: the caller sees a record without pixels.
//
// Speed: raw pixel data is read straight into the pixel buffer in large slices, each swizzled
// while it is still in cache; run-length data is pulled through a large buffer and decoded from
// memory rather than read one packet at a time; big pixel buffers are backed by huge pages.
// Safety: sizes are 64-bit, nothing is written past the image, every path closes the file and
// frees what it allocated, and a file too short for the image it announces is refused before the
// (possibly huge) pixel buffer is allocated.
#include "textures/tga.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/messagebox.h"

namespace {

// ---------------------------------------------------------------------------------------------
// File layout
// ---------------------------------------------------------------------------------------------

constexpr std::size_t kHeaderSize = 12;  // ID length, colour-map type, image type, map spec, origin
constexpr std::size_t kInfoSize = 6;     // width, height, depth, descriptor

constexpr GLubyte kUncompressedHeader[kHeaderSize] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr GLubyte kRunLengthHeader[kHeaderSize] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// A packet carries at most 128 pixels.
constexpr std::uint64_t kMaxPacketPixels = 128;

// Uncompressed data is read and swizzled in slices of this many pixels.
constexpr std::size_t kSlicePixels = 64 * 1024;

// Pixel buffers from this size on are aligned for huge pages.
constexpr std::size_t kHugePageSize = std::size_t{2} << 20;
constexpr std::size_t kHugePageThreshold = 2 * kHugePageSize;

// Compressed data is read through a buffer of this size.
constexpr std::size_t kStreamBufferSize = 64 * 1024;

// ---------------------------------------------------------------------------------------------
// Module state, shared by both readers (the reader is not re-entrant)
// ---------------------------------------------------------------------------------------------

struct TgaState {
    GLubyte header[kHeaderSize];  // the file header as read
    GLubyte info[kInfoSize];      // the image fields that follow it (origin, size, depth)
    GLuint bytesPerPixel;         // 3 or 4
    std::uint64_t imageSize;      // bytes of decoded pixels; above 4 GB for the largest images
};
TgaState tga;

// ---------------------------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------------------------

void report(const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption ? caption : "", MB_OK);
}

// Every reader failure ends here: the caller must see no pixels and no open file.
bool giveUp(TgaImage* image, FILE* file, GLubyte* pixels) {
    std::free(pixels);
    if (image) {
        image->pixels = nullptr;
    }
    if (file) {
        std::fclose(file);
    }
    return false;
}

constexpr std::uint64_t kUnknownSize = std::numeric_limits<std::uint64_t>::max();

// Bytes left between the file position and the end of a regular file; kUnknownSize for pipes and
// devices, whose reads then simply run until they come up short.
std::uint64_t bytesRemaining(FILE* file) {
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
        return kUnknownSize;
    }
    const long position = std::ftell(file);
    if (position < 0 ||
        static_cast<std::uint64_t>(position) > static_cast<std::uint64_t>(st.st_size)) {
        return kUnknownSize;
    }
    return static_cast<std::uint64_t>(st.st_size) - static_cast<std::uint64_t>(position);
}

// The beginning both readers share: the image fields, sizes and format. Returns false when
// those fields cannot be read (infoRead false) or describe no image we can decode.
bool readImageInfo(TgaImage* image, FILE* file, bool* infoRead) {
    *infoRead = std::fread(tga.info, 1, kInfoSize, file) == kInfoSize;
    if (!*infoRead) {
        return false;
    }
    image->width = tga.info[1] * 256u + tga.info[0];
    image->height = tga.info[3] * 256u + tga.info[2];
    image->bitsPerPixel = tga.info[4];
    // tga.info[5], the image descriptor (origin corner, alpha bits), is deliberately ignored.
    if (image->width == 0 || image->height == 0 ||
        (image->bitsPerPixel != 24 && image->bitsPerPixel != 32)) {
        return false;
    }
    image->format = image->bitsPerPixel == 24 ? GL_RGB : GL_RGBA;
    tga.bytesPerPixel = image->bitsPerPixel / 8;
    tga.imageSize = std::uint64_t{tga.bytesPerPixel} * image->width * image->height;
    return true;
}

// The pixel buffer, released by the caller with free. Large images get an aligned block that the
// kernel may back with huge pages: filling it then costs a few hundred page faults instead of
// tens of thousands, which is most of the time an uncompressed read takes.
// Null when the size does not fit the address space or the memory cannot be had.
GLubyte* allocatePixels(std::uint64_t size) {
    if (size > std::numeric_limits<std::size_t>::max()) {
        return nullptr;
    }
    const auto bytes = static_cast<std::size_t>(size);
    if (bytes < kHugePageThreshold) {
        return static_cast<GLubyte*>(std::malloc(bytes));
    }
    void* p = nullptr;
    if (posix_memalign(&p, kHugePageSize, bytes) != 0) {
        return nullptr;
    }
    madvise(p, bytes, MADV_HUGEPAGE);  // only a hint: without it the block is ordinary memory
    return static_cast<GLubyte*>(p);
}

// BGR(A) to RGB(A) in place.
void swapRedBlue24(GLubyte* p, std::uint64_t pixels) {
    for (std::uint64_t i = 0; i < pixels; ++i, p += 3) {
        const GLubyte blue = p[0];
        p[0] = p[2];
        p[2] = blue;
    }
}

void swapRedBlue32(GLubyte* p, std::uint64_t pixels) {
    for (std::uint64_t i = 0; i < pixels; ++i, p += 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        std::memcpy(p, &v, 4);
    }
}

// ---------------------------------------------------------------------------------------------
// Run-length decoding from memory
// ---------------------------------------------------------------------------------------------

// The compressed stream, pulled from the file a large block at a time.
class PacketStream {
public:
    PacketStream(FILE* file, GLubyte* buffer) : file_(file), buffer_(buffer) {}

    // Makes at least n bytes (n <= the buffer size) available; false when the file ends first.
    bool fill(std::size_t n) {
        if (end_ - pos_ >= n) {
            return true;
        }
        std::memmove(buffer_, buffer_ + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
        if (!atEnd_) {
            const std::size_t room = kStreamBufferSize - end_;
            const std::size_t got = std::fread(buffer_ + end_, 1, room, file_);
            end_ += got;
            atEnd_ = got < room;
        }
        return end_ - pos_ >= n;
    }

    std::size_t available() const { return end_ - pos_; }
    const GLubyte* data() const { return buffer_ + pos_; }
    void consume(std::size_t n) { pos_ += n; }

private:
    FILE* file_;
    GLubyte* buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
};

constexpr const char* kNoPacketHeader = "Could not read RLE header";
constexpr const char* kShortRawPacket = "Could not read image data";
constexpr const char* kShortRunPacket = "Could not read from file";
constexpr const char* kTooManyPixels = "Too many pixels read";

template <unsigned Bpp>
inline void storePixel(GLubyte* out, const GLubyte* in) {
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
    if (Bpp == 4) {
        out[3] = in[3];
    }
}

// Decodes packets until `total` pixels are produced. Returns null on success, else the message of
// the first failure, in the order a packet-by-packet reader meets them: each pixel of a raw packet
// is read before it is written, so a packet that overruns the image fails with "too many pixels"
// only when its next pixel is actually there. With Store false nothing is written (out may be
// null): this finds the outcome for a file too short to hold the image without allocating it.
template <unsigned Bpp, bool Store>
const char* decodeRunLength(PacketStream& in, GLubyte* out, std::uint64_t total) {
    std::uint64_t produced = 0;
    while (produced < total) {
        if (!in.fill(1)) {
            return kNoPacketHeader;
        }
        const unsigned chunkheader = in.data()[0];
        in.consume(1);
        const std::uint64_t left = total - produced;
        if (chunkheader < 128) {
            const std::uint64_t count = chunkheader + 1u;
            const std::size_t n = static_cast<std::size_t>(count < left ? count : left);
            if (!in.fill(n * Bpp)) {
                // The file ends inside this packet; whole pixels before that point would have
                // been written, but the image is lost anyway.
                return kShortRawPacket;
            }
            if (Store) {
                const GLubyte* src = in.data();
                for (std::size_t i = 0; i < n; ++i, src += Bpp, out += Bpp) {
                    storePixel<Bpp>(out, src);
                }
            }
            in.consume(n * Bpp);
            produced += n;
            if (count > left) {
                return in.fill(Bpp) ? kTooManyPixels : kShortRawPacket;
            }
        } else {
            if (!in.fill(Bpp)) {
                return kShortRunPacket;
            }
            GLubyte pixel[Bpp];
            storePixel<Bpp>(pixel, in.data());
            in.consume(Bpp);
            const std::uint64_t count = chunkheader - 127u;
            const std::uint64_t n = count < left ? count : left;
            if (Store) {
                for (std::uint64_t i = 0; i < n; ++i, out += Bpp) {
                    std::memcpy(out, pixel, Bpp);
                }
            }
            produced += n;
            if (count > left) {
                return kTooManyPixels;
            }
        }
    }
    return nullptr;
}

template <bool Store>
const char* decodeRunLength(PacketStream& in, GLubyte* out, std::uint64_t total, unsigned bpp) {
    return bpp == 3 ? decodeRunLength<3, Store>(in, out, total)
                    : decodeRunLength<4, Store>(in, out, total);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Public interface
// ---------------------------------------------------------------------------------------------

bool readTGA(TgaImage* image, const char* filename) {
    if (!image) {
        return false;
    }
    FILE* file = filename ? std::fopen(filename, "rb") : nullptr;
    if (!file) {
        report("Could not open texture file", filename);
        return false;
    }
    if (std::fread(tga.header, 1, kHeaderSize, file) != kHeaderSize) {
        report("Could not read file header", filename);
        std::fclose(file);
        return false;
    }
    if (std::memcmp(tga.header, kUncompressedHeader, kHeaderSize) == 0) {
        readTGAUncompressed(image, filename, file);
        return true;
    }
    if (std::memcmp(tga.header, kRunLengthHeader, kHeaderSize) == 0) {
        readTGARunLength(image, filename, file);
        return true;
    }
    report("TGA file be type 2 or type 10 ", filename);
    std::fclose(file);
    return false;
}

bool readTGAUncompressed(TgaImage* image, const char* filename, FILE* file) {
    if (!image || !file) {
        return giveUp(image, file, nullptr);
    }
    bool infoRead = false;
    if (!readImageInfo(image, file, &infoRead)) {
        report(infoRead ? "Invalid texture information" : "Could not read info header",
               infoRead ? filename : "ERROR");
        return giveUp(image, file, nullptr);
    }
    // Refuse a truncated file before asking for memory it could never fill.
    if (bytesRemaining(file) < tga.imageSize) {
        report("Could not read image data", "ERROR");
        return giveUp(image, file, nullptr);
    }
    GLubyte* pixels = allocatePixels(tga.imageSize);
    if (!pixels) {
        report("Could not allocate memory for image", filename);
        return giveUp(image, file, nullptr);
    }
    // Read and swizzle a slice at a time, so each slice is swapped while it is still in cache.
    const std::size_t bpp = tga.bytesPerPixel;
    const std::size_t slice = kSlicePixels * bpp;
    const auto size = static_cast<std::size_t>(tga.imageSize);
    for (std::size_t done = 0; done < size; done += slice) {
        const std::size_t n = size - done < slice ? size - done : slice;
        if (std::fread(pixels + done, 1, n, file) != n) {
            report("Could not read image data", "ERROR");
            return giveUp(image, file, pixels);
        }
        if (bpp == 3) {
            swapRedBlue24(pixels + done, n / 3);
        } else {
            swapRedBlue32(pixels + done, n / 4);
        }
    }
    std::fclose(file);
    image->pixels = pixels;
    return true;
}

bool readTGARunLength(TgaImage* image, const char* filename, FILE* file) {
    if (!image || !file) {
        return giveUp(image, file, nullptr);
    }
    bool infoRead = false;
    if (!readImageInfo(image, file, &infoRead)) {
        return giveUp(image, file, nullptr);  // silently, unlike the uncompressed reader
    }
    GLubyte* buffer = static_cast<GLubyte*>(std::malloc(kStreamBufferSize));
    if (!buffer) {
        report("Could not allocate memory for image", filename);
        return giveUp(image, file, nullptr);
    }
    PacketStream stream(file, buffer);
    const std::uint64_t total = std::uint64_t{image->width} * image->height;
    const unsigned bpp = tga.bytesPerPixel;

    // Every packet costs at least a header and one stored pixel for at most 128 pixels. A file
    // with less than that left cannot hold the image: find its failure without the pixel buffer.
    const std::uint64_t packets = (total + kMaxPacketPixels - 1) / kMaxPacketPixels;
    if (bytesRemaining(file) < packets * (1 + bpp)) {
        const char* failure = decodeRunLength<false>(stream, nullptr, total, bpp);
        std::free(buffer);
        report(failure ? failure : kShortRawPacket, filename);
        return giveUp(image, file, nullptr);
    }

    GLubyte* pixels = allocatePixels(tga.imageSize);
    if (!pixels) {
        std::free(buffer);
        report("Could not allocate memory for image", filename);
        return giveUp(image, file, nullptr);
    }
    const char* failure = decodeRunLength<true>(stream, pixels, total, bpp);
    std::free(buffer);
    if (failure) {
        report(failure, filename);
        return giveUp(image, file, pixels);
    }
    std::fclose(file);
    image->pixels = pixels;
    return true;
}
