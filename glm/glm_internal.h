// Pieces shared by the model library's source files: the one failure path, checked allocation,
// the line source every text file is read through (glm_lines.cpp), the general readings of
// numbers and faces (glm_scan.cpp; the fast ones are in glm_scan.h) and the reader's two passes
// (glm_passes.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "glm/glm.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace glm_detail {

// Prints the message (stdout or stderr) and runs the fail hook; never returns.
[[noreturn]] void fail(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

// malloc/calloc/realloc that end the process through the fail hook when memory runs out.
void* checkedMalloc(size_t bytes);
void* checkedCalloc(size_t count, size_t bytes);
void* checkedRealloc(void* block, size_t bytes);
char* copyString(std::string_view text);

// Frees every group of the model, leaving it with none.
void freeGroups(ObjModel* model);

// Opens a regular file for reading ("rb"); null when it is missing, unreadable or a directory.
FILE* openForReading(const char* path);

// A progress record's value for a percentage of its range, truncated towards zero.
GLint progressValue(float percent, const ObjProgress* progress);

// Bounds-checked access to the 1-based arrays: the zero vector for an index that is not an item.
const GLfloat* vec3At(const GLfloat* array, GLuint count, GLint index);
const GLfloat* vec2At(const GLfloat* array, GLuint count, GLint index);

// Bit i set when `is` takes p[i], for i < count (at most 64): where SIMD compares are not to be
// had.
template <class Is>
inline uint64_t bytesWhere(const char* p, unsigned count, Is is) {
    uint64_t bits = 0;
    for (unsigned i = 0; i < count; ++i) {
        bits |= uint64_t{is(p[i])} << i;
    }
    return bits;
}

// ---- Lines -----------------------------------------------------------------------------------

// Readable bytes after every line's end byte, so scanners may load whole words without bounds
// checks and find the line's end by its value.
constexpr size_t kPadding = 64;

// The statements of a text file, one line each: LF or CR LF ends a line (a lone CR stays in it),
// and a line ending in a backslash goes on with the next (the two joined by a blank). Every line
// handed out is followed by the byte that ended it ('\n', or the '\r' of a CR LF; a '\n' after a
// last line without one) and kPadding readable bytes.
//
// A file is streamed through one buffer, or, when the whole of a large regular file is read,
// mapped a window at a time so that its bytes are not copied; the end of the file is read into
// the buffer as a stream's end is, so every line keeps its readable bytes after it.
class LineSource {
public:
    // Streams `file` from its current position.
    explicit LineSource(FILE* file);
    struct Whole {};
    // All of `file`, from its start.
    LineSource(FILE* file, Whole);
    // `size` bytes of text followed by kPadding + 1 readable bytes.
    LineSource(const char* text, size_t size);
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;
    ~LineSource();

    // Calls handle(begin, end) for every statement, in order. The scanning state is kept in
    // locals while the bytes at hand last, so that it stays in registers across the calls.
    template <class Handle>
    void each(Handle&& handle) {
        const char *begin, *end;
        for (;;) {
            const char* cursor = cursor_;
            const char* block = block_;
            const char* const limit = limit_;
            uint64_t feeds = feeds_;
            unsigned long line = line_;
            bool continued = false;
            ended_ = true;
            for (;;) {
                if (!feeds) {  // line feeds are found 64 bytes at a time
                    block += 64;
                    if (__builtin_expect(block >= limit, 0)) {
                        break;
                    }
                    __builtin_prefetch(block + 1024);  // the next pages, before they are needed
                    feeds = lineFeeds(block);
                    continue;
                }
                const char* lf = block + __builtin_ctzll(feeds);
                if (__builtin_expect(lf >= limit, 0)) {
                    break;
                }
                feeds &= feeds - 1;
                begin = cursor;
                end = lf > cursor && lf[-1] == '\r' ? lf - 1 : lf;
                cursor = lf + 1;
                first_ = ++line;
                if (__builtin_expect(end > begin && end[-1] == '\\', 0)) {
                    continued = true;  // joined below, which may fetch more bytes
                    break;
                }
                handle(begin, end);
            }
            cursor_ = cursor, block_ = block, feeds_ = feeds, line_ = line;
            if (!continued && !nextSlow(begin, end)) {
                return;
            }
            if (end > begin && end[-1] == '\\') {
                join(begin, end);
            }
            handle(begin, end);
        }
    }
    // Number of the (first) line of the statement last handed out, from 1.
    unsigned long lineNumber() const { return first_; }
    // Whether a line end followed the statement last handed out.
    bool hadLineEnd() const { return ended_; }

    // Bit i set when p[i] is a line feed, for i < 64.
    static uint64_t lineFeeds(const char* p) {
#if defined(__SSE2__)
        const __m128i lf = _mm_set1_epi8('\n');
        uint64_t bits = 0;
#pragma GCC unroll 4
        for (unsigned at = 0; at < 64; at += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            bits |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, lf)))}
                    << at;
        }
        return bits;
#else
        return bytesWhere(p, 64, [](char c) { return c == '\n'; });
#endif
    }

private:
    // The next line, from the bytes at hand or after fetching more; false at the end.
    bool nextLine(const char*& begin, const char*& end);
    // The next line if its line feed is among the bytes at hand.
    bool findLine(const char*& begin, const char*& end);
    // The next line after fetching more bytes, or the last one; false at the end.
    bool nextSlow(const char*& begin, const char*& end);
    void join(const char*& begin, const char*& end);
    void restart();
    void stream();
    void refill();
    bool map(uint64_t offset, size_t length);
    void unmap();
    void advance();

    const char* cursor_ = nullptr;  // the bytes not yet handed out are [cursor_, limit_)
    const char* limit_ = nullptr;
    const char* block_ = nullptr;  // line feeds of the 64 bytes at block_ not yet handed out
    uint64_t feeds_ = 0;
    unsigned long line_ = 0, first_ = 0;
    bool ended_ = false;
    bool eof_ = false;

    FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::vector<char> joined_;  // a statement continued over several lines

    int fd_ = -1;  // mapping: the file, its size at the start, the window
    uint64_t size_ = 0, page_ = 4096, mapOffset_ = 0;
    char* map_ = nullptr;
    size_t mapLength_ = 0;
};

// ---- Numbers ---------------------------------------------------------------------------------

// C's isspace in the "C" locale, without a locale lookup.
inline bool isBlank(char c) {
    return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';  // \t \n \v \f \r
}

// Splits off the first whitespace-delimited word of `text`; `text` keeps what follows it.
std::string_view nextWord(std::string_view& text);

// "%f": skips blanks, converts one float; the cursor moves past what was converted. The text
// must end in a byte that ends a number (a line's end byte), with kPadding readable bytes after.
bool scanFloat(const char*& cursor, const char* end, float& value);
// Up to `count` floats in a row, as "%f %f ..." would; returns how many converted. Values that
// do not convert keep what they held.
int scanFloats(const char*& cursor, const char* end, float* values, int count);
// The decimals scanFloat reads itself: an optional sign, digits with an optional point, an
// optional exponent, right at p. False, with nothing stored, for anything else (and for the rare
// values it cannot round with certainty); otherwise the correctly rounded float and where a full
// conversion would stop.
bool parseDecimal(const char* p, float& value, const char*& stop);

// ---- Faces -----------------------------------------------------------------------------------

// How the corners of one face are written, decided by its first corner.
enum class CornerFormat { VertexNormal, Full, VertexTexCoord, Vertex };

// One corner as read: vertex, texture-coordinate and normal index (0 where the format has none).
struct Corner {
    int64_t v, t, n;
};

// A face's corners read from the rest of its line as scanf would, the general reading: the first
// word decides the format, the second and third corners are read whatever they hold (a corner
// that converts nothing repeats the one before), further corners while they convert. Empty
// fields at the end of a corner ("7/3/", "7//") are absent ones. At least three corners.
CornerFormat scanFace(const char* rest, const char* end, std::vector<Corner>& corners);

// ---- The two passes (glm_passes.cpp) ------------------------------------------------------------

// Index-array sizes of the groups, as the first pass counted them.
using Capacities = std::unordered_map<const ObjGroup*, GLuint>;
// Triangles per group name.
using GroupCounts = std::unordered_map<std::string, uint64_t>;

// The first pass: counts the statements, creates the groups and reads the material library;
// stores the counts in the model and gives every group an index array of its counted size
// (its count reset for the fill pass). Faces count exactly as the general reading reads them, or
// (not exact) by their words, which is exact for every plain face.
// `librariesRead`: the first libraries named, already read, are not read again.
Capacities countStatements(ObjModel* model, ObjProgress* progress, LineSource& lines, bool exact,
                           unsigned librariesRead = 0);
// Counts the triangles of each group name (by words), and nothing else.
GroupCounts countGroupTriangles(LineSource& lines);
// The fill pass, into arrays allocated at the counted sizes; never stores beyond them. Group
// index arrays grow for faces counted short, and so do the model's triangles when `ownArrays`;
// the model's trianglecount ends as the triangles stored.
void fillStatements(ObjModel* model, ObjProgress* progress, LineSource& lines,
                    Capacities capacities, bool ownArrays);
// Both passes' work in one, into arrays that grow, for a fresh model: true when done. False, the
// model's geometry and groups to be discarded, when the file holds what only the two passes read
// as they should (an index of an item not read yet, a library named after a material was used);
// its first `librariesRead` libraries have been read by then.
bool readOnePass(ObjModel* model, LineSource& lines, uint64_t fileSize, unsigned& librariesRead);

// The reader's shortcuts (on by default); tests switch them off to hold what the reader makes
// with them against the general reading.
void enableShortcuts(bool enable);
inline bool shortcutsOn = true;
inline bool shortcutsEnabled() {
    return shortcutsOn;
}

}  // namespace glm_detail
