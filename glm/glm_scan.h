// The fast readings the passes take inline, for the lines exporters write: the numbers of v, vn
// and vt statements, plain faces (every corner one word of the first corner's form), and the
// counting pass's corners. Each gives what the general reading (glm_scan.cpp) gives, or hands
// the line to it.
//
// A line of numbers is looked at 16 bytes at a time for where its digits and blanks are; the
// numbers are then found from those masks and converted eight digits at once from one load,
// side by side, without a branch per byte. Faces, whose indices are short, are read byte by byte.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "glm/glm_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace glm_detail {

inline bool isDigit(char c) {
    return static_cast<unsigned>(static_cast<unsigned char>(c) - '0') <= 9;
}

inline bool isSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

inline uint64_t load8(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

inline unsigned bitCount(uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<unsigned>((x * 0x0101010101010101ull) >> 56);
}

// Bits 0 .. n-1 set (n at most 64).
inline uint64_t lowBits(size_t n) {
    return n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
}

// The length of the run of ASCII digits the word's bytes start with.
inline unsigned digitRun(uint64_t word) {
    const uint64_t high = 0xF0F0F0F0F0F0F0F0ull, threes = 0x3030303030303030ull;
    const uint64_t notDigit =
        ((word & high) ^ threes) | (((word + 0x0606060606060606ull) & high) ^ threes);
    return notDigit ? static_cast<unsigned>(__builtin_ctzll(notDigit)) / 8 : 8;
}

// The value of the first `length` (1..8) digit bytes of the word: the digits moved to the top
// (the bytes below become leading zeros), then pairs, quads and octets combined.
inline uint32_t digitValue(uint64_t word, unsigned length) {
    uint64_t x = (word & 0x0F0F0F0F0F0F0F0Full) << ((64 - 8 * length) & 63);
    x = ((x * 2561) >> 8) & 0x00FF00FF00FF00FFull;
    x = ((x * 6553601) >> 16) & 0x0000FFFF0000FFFFull;
    return static_cast<uint32_t>((x * 42949672960001ull) >> 32);
}

// ---- Floats ----------------------------------------------------------------------------------

// 10^(i - 22): exact up to 10^22, the nearest double below 1.
inline constexpr double kScales[] = {
    1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11,
    1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,
    1e2,   1e3,   1e4,   1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,
    1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,  1e22};

// m * 10^scale (m < 2^63, -22 <= scale <= 22) as the nearest float, or false when the product
// of doubles cannot tell it: m times the double nearest 10^scale lies within three units of the
// product's last place of the value, so the float nearest to the product is the float nearest to
// the value unless the product lies within a few units of a point halfway between two floats.
// (The caller sees to values beyond the largest float.)
__attribute__((always_inline)) inline bool nearestFloat(uint64_t m, int scale, unsigned negative,
                                                        float& value) {
    const double product = static_cast<double>(static_cast<int64_t>(m)) * kScales[scale + 22];
    uint64_t bits;
    std::memcpy(&bits, &product, sizeof bits);
    const auto magnitude = static_cast<float>(product);
    uint32_t word;
    std::memcpy(&word, &magnitude, sizeof word);
    word |= uint32_t{negative} << 31;  // the sign by its bit: signs follow no pattern to predict
    std::memcpy(&value, &word, sizeof value);
    return (bits & 0x1FFFFFFFull) - (0x10000000ull - 4) > 8;
}

inline constexpr uint64_t kTens[] = {1ull,
                                     10ull,
                                     100ull,
                                     1000ull,
                                     10000ull,
                                     100000ull,
                                     1000000ull,
                                     10000000ull,
                                     100000000ull,
                                     1000000000ull,
                                     10000000000ull,
                                     100000000000ull,
                                     1000000000000ull,
                                     10000000000000ull,
                                     100000000000000ull,
                                     1000000000000000ull,
                                     10000000000000000ull,
                                     100000000000000000ull,
                                     1000000000000000000ull};

// The value of `length` (0..18) digits at p.
__attribute__((always_inline)) inline uint64_t digitsValue(const char* p, unsigned length) {
    if (length <= 8) {
        return length ? digitValue(load8(p), length) : 0;
    }
    const uint64_t high = digitValue(load8(p), 8);
    if (length <= 16) {
        return high * kTens[length - 8] + digitValue(load8(p + 8), length - 8);
    }
    return (high * kTens[8] + digitValue(load8(p + 8), 8)) * kTens[length - 16] +
           digitValue(load8(p + 16), length - 16);
}

// The decimal writers print whose digits start at p (after its minus, when `negative`): digits
// with an optional point among or after them, eighteen digits at most, and an optional exponent
// of up to three digits. `gaps` has bit i set when p[i] is no digit (bits past what was looked at
// set too). One to eight digits are converted at once, from one word. False, with nothing
// stored, for anything else (and for the rare values nearestFloat cannot round); otherwise the
// correctly rounded float and where a full conversion would stop.
__attribute__((always_inline)) inline bool decimalAt(const char* p, uint64_t gaps,
                                                     unsigned negative, float& value,
                                                     const char*& stop) {
    // A run of digits that reaches past what was looked at is too long to be read here. (A
    // shifted `gaps` has lost its set bits there, so its top bit stands in for them.)
    constexpr uint64_t kBeyond = uint64_t{1} << 63;
    if ((gaps & 0x7FFFF) == 0) {
        return false;
    }
    const auto whole = static_cast<unsigned>(__builtin_ctzll(gaps));
    const unsigned point = p[whole] == '.';
    const unsigned fraction =
        static_cast<unsigned>(__builtin_ctzll((gaps >> (whole + 1)) | kBeyond)) & (0u - point);
    const unsigned total = whole + fraction;
    uint64_t m;
    if (__builtin_expect(total - 1 < 8 && whole < 8, 1)) {  // one word, one conversion
        const unsigned shift = 8 * whole;
        m = digitValue((load8(p) & ((uint64_t{1} << shift) - 1)) | (load8(p + whole + 1) << shift),
                       total);
    } else if (total - 1 < 18) {
        m = digitsValue(p, whole) * kTens[fraction] + digitsValue(p + whole + 1, fraction);
    } else {
        return false;  // no digits, or too many
    }
    p += whole + point + fraction;
    int scale = -static_cast<int>(fraction);
    if (__builtin_expect((*p | 0x20) == 'e', 0)) {
        const char* q = p + 1;
        const bool down = *q == '-';
        q += down || *q == '+';
        const unsigned length = digitRun(load8(q));
        if (length > 3) {
            return false;
        }
        if (length > 0) {  // else the number ends before the 'e'
            const auto exponent = static_cast<int>(digitValue(load8(q), length));
            scale += down ? -exponent : exponent;
            p = q + length;
        }
        if (scale < -22 || scale > 22) {
            return false;
        }
    }
    float result;
    if (!nearestFloat(m, scale, negative, result) || (scale > 0 && std::isinf(result))) {
        return false;
    }
    value = result;
    stop = p;
    return true;
}

// "%f %f ..." of a statement's values (a v, vn or vt line's rest). The usual line, numbers with
// blanks between within 64 bytes, is read from one look at them: where the words start and where
// the digits are; then the numbers side by side. Anything else is read one number after the
// other.
template <int Count>
__attribute__((always_inline)) inline void storeFloats(const char* p, const char* end,
                                                       float* values) {
    if (shortcutsEnabled()) {
        uint64_t blank = 0, digit = 0;
        const auto left = static_cast<size_t>(end - p);
#if defined(__SSE2__)
        const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t');
        const __m128i zero = _mm_set1_epi8('0'), nine = _mm_set1_epi8(9);
        const auto look = [&](unsigned at) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            const __m128i digits = _mm_sub_epi8(x, zero);
            blank |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(
                         _mm_or_si128(_mm_cmpeq_epi8(x, space), _mm_cmpeq_epi8(x, tab))))}
                     << at;
            digit |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(
                         _mm_cmpeq_epi8(_mm_max_epu8(digits, nine), nine)))}
                     << at;
        };
        look(0), look(16);
        if (left > 32) {
            look(32), look(48);
        }
#else
        blank = bytesWhere(p, 64, isSpaceOrTab);
        digit = bytesWhere(p, 64, isDigit);
#endif
        // Where a number may end: a blank or the line's end. Past what was looked at nothing is
        // known: no number may end there.
        const uint64_t seen = lowBits(left > 32 ? 64 : 32);
        const uint64_t ends = (blank | ~lowBits(left)) & seen;
        const uint64_t word = ~ends & seen;
        uint64_t starts = word & ~(word << 1);
        const uint64_t gaps = ~(digit & seen);
        float read[Count];
        unsigned plain = 1;
#pragma GCC unroll 3
        for (int k = 0; k < Count; ++k) {
            const auto s = static_cast<unsigned>(__builtin_ctzll(starts | uint64_t{1} << 63));
            starts &= starts - 1;
            const unsigned negative = p[s] == '-';
            const unsigned first = (s + negative) & 63;  // the first digit (else not plain)
            const char* stop = p;
            plain &= (s + negative < 63) &&
                     decimalAt(p + first, gaps >> first, negative, read[k], stop);
            // The number all of its word.
            plain &= static_cast<unsigned>(ends >> ((stop - p) & 63)) & (stop - p < 64);
        }
        if (plain) {
            std::memcpy(values, read, sizeof read);
            return;
        }
    }
    // One after the other; what does not convert is 0.
    std::fill(values, values + Count, 0.0f);
    for (int k = 0; k < Count; ++k) {
        while (p < end && isBlank(*p)) {
            ++p;
        }
        const char* stop;
        if (!shortcutsEnabled() || !parseDecimal(p, values[k], stop)) {
            scanFloats(p, end, values + k, Count - k);
            return;
        }
        p = stop;
    }
}

// ---- Faces -----------------------------------------------------------------------------------
//
// A face line is plain when every corner is one word of the first corner's form ("7", "7/3",
// "7//2" or "7/3/2", each number an optional minus and one to nine digits) and only blanks or
// tabs separate the words. The general reading reads such a line word by word, one corner a
// word, so its corners are its words.

// The corners the counting pass counts for a face line: its words (split at blanks and tabs),
// at least three. Exact on a plain line; for any other the fill pass makes room for what it
// reads.
inline size_t countCorners(const char* p, const char* end) {
    size_t words = 0;
    uint64_t before = 0;  // whether the byte before the block is in a word
    for (const char* block = p; block < end; block += 64) {
        uint64_t blank = 0;
#if defined(__SSE2__)
        const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t');
        for (unsigned at = 0; at < 64 && block + at < end; at += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + at));
            blank |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(
                         _mm_or_si128(_mm_cmpeq_epi8(x, space), _mm_cmpeq_epi8(x, tab))))}
                     << at;
        }
#else
        blank = bytesWhere(block, 64, isSpaceOrTab);
#endif
        const uint64_t inWord = ~blank & lowBits(static_cast<size_t>(end - block));
        words += bitCount(inWord & ~(inWord << 1 | before));
        before = inWord >> 63;
    }
    return words < 3 ? 3 : words;
}

// Where a face's triangles go: the next free triangles and group slots and what indices may name.
struct FanTarget {
    ObjTriangle* triangles;
    GLuint* indices;                                  // the group's next slots
    GLuint first;                                     // index of triangles[0] in the model
    GLuint room;                                      // triangles that may be written
    GLuint vertexCount, texCoordCount, normalCount;   // items in the model
    GLuint verticesRead, texCoordsRead, normalsRead;  // items before the face (for -1 and on)
};

// Reads a plain face of format F from p and stores its fan as the corners come: the first and
// the last corner are kept here, so nothing written is read back. Returns the corners, or 0 when
// the face is not plain, does not fit the room left, or names an item that does not exist
// (triangles may have been written then).
//
// The corners are read byte by byte: indices are short and their lengths change little from one
// corner to the next, so the branches are well predicted (finding the numbers from SIMD masks of
// the line measured no faster on any shape of file). Without Signs a number is one to nine
// digits; with Signs, a minus may stand before them.
template <CornerFormat F, bool Signs>
size_t storeFan(const char* p, const char* end, const FanTarget& to) {
    GLint first[3] = {0, 0, 0}, last[3] = {0, 0, 0};
    unsigned ok = 1, bad = 0;
    GLuint corners = 0;
    // The number at p, checked against the `count` items of its kind. With Signs, a negative one
    // counts back from the `before` items read before the face, of which it must name one ("-0"
    // names none).
    const auto number = [&p, &ok, &bad](GLuint before, GLuint count) {
        const unsigned negative = Signs && *p == '-';
        p += negative;
        const char* digits = p;
        uint32_t magnitude = 0;
        for (unsigned d; (d = static_cast<unsigned char>(*p) - '0') <= 9; ++p) {
            magnitude = magnitude * 10 + d;
        }
        ok &= static_cast<unsigned>(p - digits) - 1 < 9;
        if (!Signs) {
            bad |= magnitude - 1 >= count;
            return static_cast<GLint>(magnitude);
        }
        const GLuint sign = 0u - negative;  // all ones for a negative number
        const GLuint value = (magnitude ^ sign) + (sign & (before + 2));  // before + 1 - magnitude
        bad |= value - 1 >= (negative ? before : count);
        return static_cast<GLint>(value);
    };
    // A slash, stepped over only where it stands, so that p never passes the line's end byte.
    const auto slash = [&p, &ok] {
        const unsigned found = *p == '/';
        ok &= found;
        p += found;
    };
    while (p < end) {
        GLint c[3] = {number(to.verticesRead, to.vertexCount), 0, 0};
        if (F != CornerFormat::Vertex) {
            slash();
        }
        if (F == CornerFormat::Full || F == CornerFormat::VertexTexCoord) {
            c[1] = number(to.texCoordsRead, to.texCoordCount);
        }
        if (F == CornerFormat::Full || F == CornerFormat::VertexNormal) {
            slash();
            c[2] = number(to.normalsRead, to.normalCount);
        }
        ok &= isSpaceOrTab(*p) | (p == end);  // the corner is all of its word
        if (!ok) {
            return 0;
        }
        while (isSpaceOrTab(*p)) {
            ++p;
        }
        if (corners >= 2) {
            const GLuint i = corners - 2;
            if (i == to.room) {
                return 0;
            }
            ObjTriangle& triangle = to.triangles[i];
            triangle.vertexindex[0] = first[0];
            triangle.vertexindex[1] = last[0];
            triangle.vertexindex[2] = c[0];
            triangle.normalindex[0] = first[2];
            triangle.normalindex[1] = last[2];
            triangle.normalindex[2] = c[2];
            triangle.texcoordindex[0] = first[1];
            triangle.texcoordindex[1] = last[1];
            triangle.texcoordindex[2] = c[1];
            triangle.facetnormindex = i == 0 ? -1 : 0;
            to.indices[i] = to.first + i;
        } else if (corners == 0) {
            first[0] = c[0], first[1] = c[1], first[2] = c[2];
        }
        last[0] = c[0], last[1] = c[1], last[2] = c[2];
        ++corners;
    }
    return bad || corners < 3 ? 0 : corners;
}

// The corners of a face line the counting pass counts: as countCorners, or, when exact, the
// corners the general reading reads.
inline size_t countFace(const char* rest, const char* end, bool exact,
                        std::vector<Corner>& scratch) {
    if (shortcutsEnabled() && !exact) {
        return countCorners(rest, end);
    }
    scanFace(rest, end, scratch);
    return scratch.size();
}

// The format of a face by its first word's slashes.
inline CornerFormat faceFormat(const char* p) {
    const char* q = p + (*p == '-');
    q += digitRun(load8(q));
    if (*q != '/') {
        return CornerFormat::Vertex;
    }
    if (q[1] == '/') {
        return CornerFormat::VertexNormal;
    }
    q += 1 + (q[1] == '-');
    q += digitRun(load8(q));
    return *q == '/' ? CornerFormat::Full : CornerFormat::VertexTexCoord;
}

// The fan readers by kind: 2 * format + whether its numbers may have minus signs.
using FanReader = size_t (*)(const char*, const char*, const FanTarget&);
inline constexpr FanReader kFanReaders[] = {
    storeFan<CornerFormat::VertexNormal, false>,   storeFan<CornerFormat::VertexNormal, true>,
    storeFan<CornerFormat::Full, false>,           storeFan<CornerFormat::Full, true>,
    storeFan<CornerFormat::VertexTexCoord, false>, storeFan<CornerFormat::VertexTexCoord, true>,
    storeFan<CornerFormat::Vertex, false>,         storeFan<CornerFormat::Vertex, true>};

// A plain face's triangles stored as its fan; 0 when the face needs the general reading.
// `kind` is the kind of the last plain face: files write all their faces alike, so it is tried
// first, and the kind is found from the face only when it does not fit. Numbers read without
// minus signs are read faster, so faces with signs are read with them only where a minus stands.
__attribute__((always_inline)) inline GLuint storePlainFace(const char* p, const char* end,
                                                            const FanTarget& target,
                                                            unsigned& kind) {
    if (!shortcutsEnabled()) {
        return 0;
    }
    while (isSpaceOrTab(*p)) {
        ++p;
    }
    size_t corners = kFanReaders[kind](p, end, target);
    if (corners == 0) {
        const unsigned found = 2 * static_cast<unsigned>(faceFormat(p)) +
                               (std::memchr(p, '-', static_cast<size_t>(end - p)) != nullptr);
        if (found != kind && (corners = kFanReaders[found](p, end, target)) != 0) {
            kind = found;
        }
    }
    return corners ? static_cast<GLuint>(corners - 2) : 0;
}

}  // namespace glm_detail
