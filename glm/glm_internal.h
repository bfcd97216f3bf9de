// Pieces shared by the model library's source files: the one failure path, checked allocation,
// line-by-line reading of text files, scanf-like number scanning and the face scanners (here so
// the tests can hold the fast paths against the general ones).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
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

// Opens a regular file for reading ("rb"); null when it is missing, unreadable or a directory.
FILE* openForReading(const char* path);

// Yields the lines of a file (from its current position), without their line end: LF, or CR LF
// as a text-mode stream on the original platform would read it. A line of any length is returned
// whole, followed by the byte that ended it ('\n', or the '\r' of a CR LF; a '\n' after a last
// line without a line end) and kReadSlack - 1 more readable bytes.
class LineReader {
public:
    explicit LineReader(FILE* file);

    // False at the end. `hadEnd` tells whether a line end followed the line.
    bool next(std::string_view& line, bool& hadEnd);
    // Number of the line last returned, from 1.
    unsigned long lineNumber() const { return line_; }

private:
    bool refill();

    FILE* file_ = nullptr;
    std::vector<char> buffer_;
    size_t begin_ = 0;  // first unread byte
    size_t end_ = 0;    // end of valid bytes
    bool eof_ = false;
    unsigned long line_ = 0;
};

// C's isspace in the "C" locale, without a locale lookup.
inline bool isBlank(char c) {
    return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';  // \t \n \v \f \r
}

// Every buffer LineReader hands out has this many readable bytes after its last line, so the
// number scanners may load eight bytes at a time (they never use bytes past a line's end).
constexpr size_t kReadSlack = 32;

// Digits in eight bytes at once: the length of the run of ASCII digits the word starts with.
inline unsigned digitRun(uint64_t word) {
    const uint64_t high = 0xF0F0F0F0F0F0F0F0ull, threes = 0x3030303030303030ull;
    const uint64_t notDigit =
        ((word & high) ^ threes) | (((word + 0x0606060606060606ull) & high) ^ threes);
    return notDigit ? static_cast<unsigned>(__builtin_ctzll(notDigit)) / 8 : 8;
}

// The value of the first `length` (1..8) digit bytes of the word: the digits moved to the top
// (the bytes below become leading zeros), then pairs, quads and octets combined.
inline uint32_t digitValue(uint64_t word, unsigned length) {
    uint64_t x = (word & 0x0F0F0F0F0F0F0F0Full) << (64 - 8 * length);
    x = ((x * 2561) >> 8) & 0x00FF00FF00FF00FFull;
    x = ((x * 6553601) >> 16) & 0x0000FFFF0000FFFFull;
    return static_cast<uint32_t>((x * 42949672960001ull) >> 32);
}

inline uint64_t load8(const char* p) {
    uint64_t word;
    __builtin_memcpy(&word, p, 8);
    return word;
}

// Splits off the first whitespace-delimited word of `text`; `text` keeps what follows it.
inline std::string_view nextWord(std::string_view& text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const char* p = begin;
    while (p < end && isBlank(*p)) {
        ++p;
    }
    const char* word = p;
    while (p < end && !isBlank(*p)) {
        ++p;
    }
    text = std::string_view(p, static_cast<size_t>(end - p));
    return std::string_view(word, static_cast<size_t>(p - word));
}

// Plain decimals, the usual case: an optional minus, digits, an optional '.' and more digits,
// fifteen digits at most, all within sixteen bytes, no exponent. Gives the same float as a full
// conversion, correctly rounded. The value is m / 10^k for the integer m (below 2^53) that the
// digits form; m times the double nearest 10^-k, rounded to a double, lies within two units of
// its last place of it, so the float nearest to that product is the float nearest to the text
// unless the product lies within a few units of a point halfway between two floats; those
// rare texts are left to the full conversion. `p` is the first character after the blanks. The
// text must end in a byte that is not a digit, '.', 'e' or 'E' (a line end, say), with sixteen
// readable bytes after it. False (nothing stored) when the text needs the full conversion;
// otherwise `stop` is where a full conversion would stop.
inline constexpr double kDecimalInverses[] = {1e-0, 1e-1, 1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                              1e-8, 1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};

// Bit i set when p[i] is an ASCII digit, for i < 16.
inline uint32_t digitMask16(const char* p) {
#if defined(__SSE2__)
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i x =
        _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8('0'));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(x, nine), nine)));
#else
    uint32_t mask = 0;
    for (int i = 0; i < 16; ++i) {
        mask |= uint32_t{static_cast<unsigned char>(p[i] - '0') <= 9} << i;
    }
    return mask;
#endif
}

__attribute__((always_inline)) inline bool parseDecimal(const char* p, float& value,
                                                        const char*& stop) {
    const bool negative = *p == '-';
    p += negative;
    // Where the digits are among the next sixteen bytes: the first gap ends the integer part.
    const uint32_t gaps = ~digitMask16(p);
    const auto whole = static_cast<unsigned>(__builtin_ctz(gaps));
    uint64_t mantissa;
    unsigned fraction = 0;
    if (p[whole] == '.') {
        const char* digits = p + whole + 1;
        fraction = static_cast<unsigned>(__builtin_ctz(gaps >> (whole + 1)));
        const unsigned total = whole + fraction;
        if (total - 1 < 8 && whole < 8) {  // one to eight digits: one word, one conversion
            const uint64_t joined =
                (load8(p) & ((uint64_t{1} << (8 * whole)) - 1)) | (load8(digits) << (8 * whole));
            mantissa = digitValue(joined, total);
        } else if (total == 0 || total > 15 || whole + 1 + fraction >= 16) {
            return false;  // no digits, too many, or more than these sixteen bytes show
        } else {
            mantissa = 0;
            for (const char* q = p; q < digits + fraction; ++q) {
                if (q != digits - 1) {
                    mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
                }
            }
        }
        p = digits + fraction;
    } else {
        if (whole - 1 >= 8) {  // none, or more than eight
            return false;
        }
        mantissa = digitValue(load8(p), whole);
        p += whole;
    }
    if ((*p | 0x20) == 'e') {
        return false;
    }
    // Within four units of the last place of a halfway point between two floats, the float
    // nearest to the product might not be the float nearest to the text.
    const double product = static_cast<double>(mantissa) * kDecimalInverses[fraction];
    uint64_t bits;
    __builtin_memcpy(&bits, &product, sizeof bits);
    if ((bits & 0x1FFFFFFFull) - (0x10000000ull - 4) <= 8) {
        return false;
    }
    // The sign by its bit, not by a branch: signs follow no pattern a predictor could learn.
    const auto magnitude = static_cast<float>(product);
    uint32_t word;
    __builtin_memcpy(&word, &magnitude, sizeof word);
    word |= uint32_t{negative} << 31;
    __builtin_memcpy(&value, &word, sizeof value);
    stop = p;
    return true;
}

// The rest of "%f" (signs, exponents, long digit strings, inf and nan) for scanFloat.
bool scanFloatSlow(const char*& cursor, const char* end, float& value);

// "%f": skips blanks, converts one float; the cursor moves past what was converted. The byte at
// `end` must end the line as parseDecimal requires (LineReader's lines do).
__attribute__((always_inline)) inline bool scanFloat(const char*& cursor, const char* end,
                                                     float& value) {
    const char* p = cursor;
    while (p < end && isBlank(*p)) {
        ++p;
    }
    if (parseDecimal(p, value, cursor)) {
        return true;
    }
    cursor = p;
    return scanFloatSlow(cursor, end, value);
}

// Up to `count` floats in a row, as "%f %f %f" would; returns how many converted.
__attribute__((always_inline)) inline int scanFloats(const char*& cursor, const char* end,
                                                     float* values, int count) {
    int converted = 0;
    while (converted < count && scanFloat(cursor, end, values[converted])) {
        ++converted;
    }
    return converted;
}

// "%d": skips blanks, converts one integer. Values beyond 32 bits convert to INT64 values that
// no index check accepts.
inline bool scanInt(const char*& cursor, const char* end, int64_t& value) {
    const char* p = cursor;
    while (p < end && isBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p >= end || static_cast<unsigned>(*p - '0') > 9) {
        return false;
    }
    const char* digits = p;
    uint64_t result = 0;
    while (p < end && static_cast<unsigned>(*p - '0') <= 9) {
        result = result * 10 + static_cast<unsigned>(*p - '0');
        ++p;
    }
    if (p - digits > 12) {
        result = uint64_t{1} << 40;  // far beyond any index; the exact value does not matter
    }
    value = negative ? -static_cast<int64_t>(result) : static_cast<int64_t>(result);
    cursor = p;
    return true;
}

// ---- Faces ----------------------------------------------------------------------------------

// How the corners of one face are written, decided by its first corner.
enum class CornerFormat { VertexNormal, Full, VertexTexCoord, Vertex };

// One corner as read: vertex, texture-coordinate and normal index (0 where the format has none).
struct Corner {
    int64_t v, t, n;
};

// Reads a face's corners from the rest of its line as scanf would: the first corner is one whole
// word that decides the format; the second and third are read whatever they hold (a corner that
// converts nothing repeats the one before); further corners follow while they convert. Always
// yields at least three corners, so every face makes at least one triangle.
CornerFormat scanFace(std::string_view rest, std::vector<Corner>& corners);

// The common case, read in one tight pass: every corner is one word of the first corner's shape
// ("7", "7/3", "7//2" or "7/3/2": digits with an optional minus) and blanks or tabs separate them.
// Returns the number of words, which scanFace would read as the same corners (padded to three),
// or 0 when the line needs scanFace. With Store, the corners are stored into `corners` (0 when
// there are more than `capacity`); without, they are only counted. `*end` must be the byte that
// ended the line (any byte but a digit, '-', '/', blank or tab), followed by eight readable bytes.
template <bool Store>
size_t scanPlainFace(const char* p, const char* end, CornerFormat& format, Corner* corners,
                     size_t capacity) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const auto number = [&p](int64_t& out) {
        const bool negative = *p == '-';
        p += negative;
        const uint64_t word = load8(p);
        const unsigned length = digitRun(word);
        uint64_t value;
        if (length == 0) {
            return false;
        } else if (length < 8) {
            value = Store ? digitValue(word, length) : 0;
            p += length;
        } else {  // long numbers: digit by digit (the line's end byte is no digit)
            const char* digits = p;
            value = 0;
            while (static_cast<unsigned>(*p - '0') <= 9) {
                value = value * 10 + static_cast<unsigned>(*p - '0');
                ++p;
            }
            if (p - digits > 12) {
                value = uint64_t{1} << 40;  // far beyond any index, as scanInt gives
            }
        }
        if (Store) {
            out = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
        }
        return true;
    };

    while (blank(*p)) {
        ++p;
    }
    if (p == end) {
        return 0;
    }
    // The first word decides the format by its slashes.
    Corner c{0, 0, 0};
    if (!number(c.v)) {
        return 0;
    }
    if (*p != '/') {
        format = CornerFormat::Vertex;
    } else if (p[1] == '/') {
        p += 2;
        format = CornerFormat::VertexNormal;
        if (!number(c.n)) {
            return 0;
        }
    } else {
        ++p;
        if (!number(c.t)) {
            return 0;
        }
        format = CornerFormat::VertexTexCoord;
        if (*p == '/') {
            ++p;
            format = CornerFormat::Full;
            if (!number(c.n)) {
                return 0;
            }
        }
    }
    size_t count = 0;
    for (;;) {
        if (p != end && !blank(*p)) {
            return 0;
        }
        if (Store) {
            if (count == capacity) {
                return 0;
            }
            corners[count] = c;
        }
        ++count;
        while (blank(*p)) {
            ++p;
        }
        if (p == end) {
            return count;
        }
        if (!number(c.v)) {
            return 0;
        }
        switch (format) {
            case CornerFormat::Vertex:
                break;
            case CornerFormat::VertexTexCoord:
                if (*p != '/') {
                    return 0;
                }
                ++p;
                if (!number(c.t)) {
                    return 0;
                }
                break;
            case CornerFormat::VertexNormal:
                if (p[0] != '/' || p[1] != '/') {
                    return 0;
                }
                p += 2;
                if (!number(c.n)) {
                    return 0;
                }
                break;
            case CornerFormat::Full:
                if (*p != '/') {
                    return 0;
                }
                ++p;
                if (!number(c.t) || *p != '/') {
                    return 0;
                }
                ++p;
                if (!number(c.n)) {
                    return 0;
                }
                break;
        }
    }
}

#if defined(__SSE2__)
// Bit i set when p[i] is an ASCII digit, for i < 32.
inline uint32_t digitMask32(const char* p) {
    const __m128i zero = _mm_set1_epi8('0'), nine = _mm_set1_epi8(9);
    const __m128i low = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), zero);
    const __m128i high =
        _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), zero);
    const auto lowBits =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(low, nine), nine)));
    const auto highBits =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(high, nine), nine)));
    return lowBits | highBits << 16;
}

// One corner word of format F at p, read from the positions of the bytes that are not digits
// (every position from 32 on counts as one, and each is checked by its byte): the digit runs
// between them are the numbers. Returns the word's length, or 0 when it is no plain word of
// that format (with Store also when a number has more than eight digits). With Store the
// numbers go to v, t and n (0 for the fields the format lacks).
template <CornerFormat F, bool Store>
__attribute__((always_inline)) inline unsigned plainCorner(const char* p, const char* end,
                                                           uint32_t& v, uint32_t& t, uint32_t& n) {
    uint64_t gaps = ~uint64_t{digitMask32(p)};
    const auto i = static_cast<unsigned>(__builtin_ctzll(gaps));
    gaps &= gaps - 1;
    const auto j = static_cast<unsigned>(__builtin_ctzll(gaps));
    gaps &= gaps - 1;
    const auto k = static_cast<unsigned>(__builtin_ctzll(gaps));
    // Each number is one to eight digits (any number of digits when only counting).
    // Every test is made (no branch until the end), so they combine as 0 or 1.
    const auto digits = [](unsigned length) -> unsigned {
        return Store ? length - 1 < 8 : length != 0;
    };
    unsigned plain = digits(i);
    unsigned last = i;  // the gap that ends the word
    if (F == CornerFormat::VertexTexCoord) {
        plain &= (p[i] == '/') & digits(j - i - 1);
        last = j;
    } else if (F == CornerFormat::VertexNormal) {
        plain &= (p[i] == '/') & (j == i + 1) & (p[j] == '/') & digits(k - j - 1);
        last = k;
    } else if (F == CornerFormat::Full) {
        plain &= (p[i] == '/') & digits(j - i - 1) & (p[j] == '/') & digits(k - j - 1);
        last = k;
    }
    plain &= (p[last] == ' ') | (p[last] == '\t') | (p + last == end);
    if (!plain) {
        return 0;
    }
    if (Store) {
        v = digitValue(load8(p), i);
        t = n = 0;
        if (F == CornerFormat::VertexTexCoord || F == CornerFormat::Full) {
            t = digitValue(load8(p + i + 1), j - i - 1);
        }
        if (F == CornerFormat::VertexNormal || F == CornerFormat::Full) {
            n = digitValue(load8(p + j + 1), k - j - 1);
        }
    }
    return last;
}

template <CornerFormat F, bool Store>
size_t plainCorners(const char* p, const char* end, Corner* corners, size_t capacity) {
    size_t count = 0;
    for (;;) {
        uint32_t v, t, n;
        const unsigned length = plainCorner<F, Store>(p, end, v, t, n);
        if (length == 0) {
            return 0;
        }
        if (Store) {
            if (count == capacity) {
                return 0;
            }
            corners[count] = Corner{v, t, n};
        }
        ++count;
        p += length;
        while (*p == ' ' || *p == '\t') {
            ++p;
        }
        if (p == end) {
            return count;
        }
    }
}

// The format a plain face's first corner word at p (its first byte not blank) would set.
inline CornerFormat plainFormat(const char* p) {
    uint64_t gaps = ~uint64_t{digitMask32(p)};
    const char* gap = p + __builtin_ctzll(gaps);
    if (*gap != '/') {
        return CornerFormat::Vertex;
    }
    if (gap[1] == '/') {
        return CornerFormat::VertexNormal;
    }
    gaps &= gaps - 1;
    return p[__builtin_ctzll(gaps)] == '/' ? CornerFormat::Full : CornerFormat::VertexTexCoord;
}

// scanPlainFace for corners of at most 31 bytes whose numbers have no sign (and, with Store, at
// most eight digits), sixteen bytes compared at once. Same contract, with 40 readable bytes
// after `end`.
template <bool Store>
size_t scanPlainFaceWide(const char* p, const char* end, CornerFormat& format, Corner* corners,
                         size_t capacity) {
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    if (p == end) {
        return 0;
    }
    format = plainFormat(p);
    switch (format) {
        case CornerFormat::Vertex:
            return plainCorners<CornerFormat::Vertex, Store>(p, end, corners, capacity);
        case CornerFormat::VertexNormal:
            return plainCorners<CornerFormat::VertexNormal, Store>(p, end, corners, capacity);
        case CornerFormat::Full:
            return plainCorners<CornerFormat::Full, Store>(p, end, corners, capacity);
        case CornerFormat::VertexTexCoord:
            break;
    }
    return plainCorners<CornerFormat::VertexTexCoord, Store>(p, end, corners, capacity);
}
#endif

// The reader's shortcuts for plain face lines (on by default). Tests switch them off to hold
// what the reader makes with them against what the general reading makes.
void enablePlainFaces(bool enable);
bool plainFacesEnabled();

#if defined(__x86_64__)
#define GLM_WIDE_FACES 1
// Whole face lines at once: for processors with AVX2, BMI1/2, POPCNT and PCLMUL.
bool wideFacesAvailable();

// How many corners scanPlainFace would count on a line of at most 63 bytes without minus signs
// (0 when it is not plain), decided for the whole line at once from where its digits, slashes
// and blanks are: bytes other than those, a slash at either end of a word, three slashes in a
// row, or a word shaped unlike the first make it not plain. The shapes are checked by counting:
// in "a/b" words, word starts and slash runs alternate; in "a//b" words too, with every run two
// slashes long; in "a/b/c" words, an even number of runs precedes every word start and word
// starts alternate with the odd-numbered runs, so every word holds exactly two. `end` needs 64
// readable bytes after it.
__attribute__((target("avx2,bmi,bmi2,popcnt,pclmul"))) size_t wideFace(const char* p,
                                                                       const char* end,
                                                                       CornerFormat& format);
#endif

// A progress record's value for a percentage of its range, truncated towards zero.
GLint progressValue(float percent, const ObjProgress* progress);

// Bounds-checked access to the 1-based arrays: the zero vector for an index that is not an item.
const GLfloat* vec3At(const GLfloat* array, GLuint count, GLint index);
const GLfloat* vec2At(const GLfloat* array, GLuint count, GLint index);

}  // namespace glm_detail
