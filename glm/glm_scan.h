// The fast readings the passes take inline, for the lines exporters write: plain decimals for
// v, vn and vt statements, plain faces (every corner one word of the first corner's form) and
// the counting pass's bound on a face's corners. Each gives what the general reading
// (glm_scan.cpp) gives (the bound never less, and exactly that on a plain face), or hands the
// line to it.
#pragma once

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

// ---- Floats ----------------------------------------------------------------------------------

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
    return static_cast<uint32_t>(bytesWhere(p, 16, isDigit));
#endif
}

// The usual decimal: an optional minus, digits, an optional point and more digits, fifteen
// digits at most within sixteen bytes, no exponent; the digits found from one look at sixteen
// bytes, up to eight of them converted at once. Its value is m * 10^-k for the integer m its
// digits form (below 2^53 here); m times the double nearest 10^-k, rounded to a double, lies
// within two units of its last place of the text's value, so the float nearest to that product
// is the float nearest to the text unless the product lies within a few units of a point halfway
// between two floats; those rare texts go the general way (false, nothing stored).
__attribute__((always_inline)) inline bool plainDecimal(const char* p, float& value,
                                                        const char*& stop) {
    const bool negative = *p == '-';
    p += negative;
    const uint32_t gaps = ~digitMask16(p);
    const auto whole = static_cast<unsigned>(__builtin_ctz(gaps));
    uint64_t m;
    unsigned fraction = 0;
    if (p[whole] == '.') {
        const char* digits = p + whole + 1;
        fraction = static_cast<unsigned>(__builtin_ctz(gaps >> (whole + 1)));
        const unsigned total = whole + fraction;
        if (total - 1 < 8 && whole < 8) {  // one to eight digits: one word, one conversion
            const uint64_t joined =
                (load8(p) & ((uint64_t{1} << (8 * whole)) - 1)) | (load8(digits) << (8 * whole));
            m = digitValue(joined, total);
        } else if (total == 0 || total > 15 || whole + 1 + fraction >= 16) {
            return false;  // no digits, too many, or more than these sixteen bytes show
        } else {
            m = 0;
            for (const char* q = p; q < digits + fraction; ++q) {
                if (q != digits - 1) {
                    m = m * 10 + static_cast<unsigned>(*q - '0');
                }
            }
        }
        p = digits + fraction;
    } else {
        if (whole - 1 >= 8) {  // none, or more than eight
            return false;
        }
        m = digitValue(load8(p), whole);
        p += whole;
    }
    if ((*p | 0x20) == 'e') {
        return false;
    }
    // m is below 10^15 and 10^-15 <= 10^-fraction <= 1: the product is a normal float's.
    const double product =
        static_cast<double>(static_cast<int64_t>(m)) * kDecimalInverses[fraction];
    uint64_t bits;
    std::memcpy(&bits, &product, sizeof bits);
    if ((bits & 0x1FFFFFFFull) - (0x10000000ull - 4) <= 8) {
        return false;
    }
    const auto magnitude = static_cast<float>(product);
    uint32_t word;
    std::memcpy(&word, &magnitude, sizeof word);
    word |= uint32_t{negative} << 31;  // the sign by its bit: signs follow no pattern to predict
    std::memcpy(&value, &word, sizeof value);
    stop = p;
    return true;
}

// "%f %f ..." of a statement's values (a v, vn or vt line's rest). The usual line, numbers with
// single blanks between, is read from where its blanks are (one look at 32 bytes), the numbers
// side by side; anything else one after the other, the general way from the first unusual one.
template <int Count>
__attribute__((always_inline)) inline void storeFloats(const char* p, const char* end,
                                                       float* values) {
    uint32_t blanks = 0;
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(' ');
    blanks = static_cast<uint32_t>(_mm_movemask_epi8(
                 _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), space))) |
             static_cast<uint32_t>(_mm_movemask_epi8(
                 _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), space)))
                 << 16;
#else
    blanks = static_cast<uint32_t>(bytesWhere(p, 32, [](char c) { return c == ' '; }));
#endif
    if (end - p < 32) {
        blanks &= (uint32_t{1} << (end - p)) - 1;
    }
    const char* starts[Count] = {p};
    const char* stops[Count] = {};  // where each number ended, null where it did not convert
    for (int k = 1; k < Count; ++k) {
        starts[k] = p + __builtin_ctz(blanks | 0x80000000u) + 1;
        blanks &= blanks - 1;
    }
    bool plain = *p != ' ' && shortcutsEnabled();
    for (int k = 0; k < Count; ++k) {
        plain &= plainDecimal(starts[k], values[k], stops[k]);
    }
    for (int k = 1; k < Count; ++k) {
        plain &= stops[k - 1] == starts[k] - 1;
    }
    if (plain) {
        return;
    }
    for (int k = 0; k < Count; ++k) {
        p += *p == ' ';
        const char* stop;
        if (!plainDecimal(p, values[k], stop)) {
            scanFloats(p, end, values + k, Count - k);
            return;
        }
        p = stop;
    }
}

// ---- Faces -----------------------------------------------------------------------------------
//
// A face line is plain when every corner is one word of the first corner's form ("7", "7/3",
// "7//2" or "7/3/2", each number an optional minus and one to eight digits) and only blanks or
// tabs separate the words. The general reading reads such a line word by word, one corner a
// word, so its corners are its words.

inline unsigned bitCount(uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<unsigned>((x * 0x0101010101010101ull) >> 56);
}

// What the counting pass counts for a face line: at most as many corners as the general reading
// finds, exactly as many on a plain line. After the first word, a corner starts only at a word
// that begins with a digit or a sign, at a sign right after a digit (as in "1-2"), or, when the
// format is v//n, at a number right after a single slash (as in "1/2//3"), so
//     corners <= max(3, such starts + 1 if the first word does not begin so),
// which on a plain line is max(3, words). Found from masks of the blanks, digits, signs and
// slashes, 64 bytes at a time.
struct CornerBound {
    size_t starts = 0, afterSingleSlash = 0;
    uint64_t doubleSlashes = 0;
    uint64_t blankBefore = uint64_t{1} << 63, digitBefore = 0, slashBefore = 0;  // after a blank

    // Bit i of each mask: what byte i of the block is; `valid` the bytes before the line's end.
    __attribute__((always_inline)) void block(uint64_t blank, uint64_t digit, uint64_t sign,
                                              uint64_t slash, uint64_t valid) {
        const uint64_t numbers = (digit | sign) & valid;
        const uint64_t slash1 = slash << 1 | slashBefore >> 63;
        const uint64_t slash2 = slash << 2 | slashBefore >> 62;
        starts += bitCount(numbers & (blank << 1 | blankBefore >> 63));
        if (const uint64_t splits = sign & (digit << 1 | digitBefore >> 63) & valid) {
            starts += bitCount(splits);
        }
        if (const uint64_t singles = numbers & slash1 & ~slash2) {
            afterSingleSlash += bitCount(singles);
        }
        doubleSlashes |= slash & slash1 & valid;
        blankBefore = blank, digitBefore = digit, slashBefore = slash;
    }

    size_t finish(const char* p, const char* end) const {
        while (p < end && isBlank(*p)) {
            ++p;
        }
        const bool numberFirst = p < end && (isDigit(*p) || *p == '-' || *p == '+');
        const size_t bound = starts + !numberFirst + (doubleSlashes ? afterSingleSlash : 0);
        return bound < 3 ? 3 : bound;
    }

    static uint64_t valid(size_t left) {
        return left >= 64 ? ~uint64_t{0} : (uint64_t{1} << left) - 1;
    }
};

// With AVX2, 32 bytes at a time (glm_scan.cpp, used when wideBlocks).
size_t cornerBoundWide(const char* p, const char* end);

inline size_t cornerBound(const char* p, const char* end) {
    if (wideBlocks) {
        return cornerBoundWide(p, end);
    }
    CornerBound bound;
    const auto length = static_cast<size_t>(end - p);
    for (size_t at = 0; at < length; at += 64) {
        uint64_t blank = 0, digit = 0, sign = 0, slash = 0;
#if defined(__SSE2__)
        const __m128i nine = _mm_set1_epi8(9), four = _mm_set1_epi8(4);
        for (unsigned chunk = 0; chunk < 64; chunk += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at + chunk));
            const __m128i controls = _mm_sub_epi8(x, _mm_set1_epi8('\t'));  // \t \n \v \f \r
            const __m128i digits = _mm_sub_epi8(x, _mm_set1_epi8('0'));
            const auto bits = [chunk](__m128i found) {
                return uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(found))} << chunk;
            };
            blank |= bits(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(' ')),
                                       _mm_cmpeq_epi8(_mm_min_epu8(controls, four), controls)));
            digit |= bits(_mm_cmpeq_epi8(_mm_max_epu8(digits, nine), nine));
            sign |= bits(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('-')),
                                      _mm_cmpeq_epi8(x, _mm_set1_epi8('+'))));
            slash |= bits(_mm_cmpeq_epi8(x, _mm_set1_epi8('/')));
        }
#else
        blank = bytesWhere(p + at, 64, isBlank), digit = bytesWhere(p + at, 64, isDigit);
        sign = bytesWhere(p + at, 64, [](char c) { return c == '-' || c == '+'; });
        slash = bytesWhere(p + at, 64, [](char c) { return c == '/'; });
#endif
        bound.block(blank, digit, sign, slash, CornerBound::valid(length - at));
    }
    return bound.finish(p, end);
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

// Index `index` as stored: negative ones count back from the items read before the face.
inline int32_t resolveIndex(int32_t index, GLuint read) {
    return static_cast<int32_t>(index < 0 ? int64_t{index} + read + 1 : index);
}

// Bits 0..31: the digits and the minus signs among the 32 bytes at p (bits 32 and on clear).
struct CornerMasks {
    uint64_t digit, minus;
};

inline CornerMasks cornerMasks(const char* p) {
#if defined(__SSE2__)
    const __m128i zero = _mm_set1_epi8('0'), nine = _mm_set1_epi8(9), dash = _mm_set1_epi8('-');
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const auto bits = [](__m128i lowFound, __m128i highFound) {
        return uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(lowFound))} |
               uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(highFound))} << 16;
    };
    return {bits(_mm_cmpeq_epi8(_mm_max_epu8(_mm_sub_epi8(low, zero), nine), nine),
                 _mm_cmpeq_epi8(_mm_max_epu8(_mm_sub_epi8(high, zero), nine), nine)),
            bits(_mm_cmpeq_epi8(low, dash), _mm_cmpeq_epi8(high, dash))};
#else
    return {bytesWhere(p, 32, isDigit), bytesWhere(p, 32, [](char c) { return c == '-'; })};
#endif
}

// One plain corner word of format F at p: its length, or 0 when it is none. Where its numbers
// and slashes are comes from one look at 32 bytes (eight-digit numbers fit), so its numbers are
// read side by side rather than one after the other. Each number is an optional minus and one
// to eight digits; the word ends at a blank, a tab or the line's end.
template <CornerFormat F>
__attribute__((always_inline)) inline unsigned plainCorner(const char* p, const char* end,
                                                           int32_t& v, int32_t& t, int32_t& n) {
    const CornerMasks m = cornerMasks(p);
    uint64_t gaps = ~(m.digit | m.minus);  // bits 32 and on are gaps too
    const auto i = static_cast<unsigned>(__builtin_ctzll(gaps));
    gaps &= gaps - 1;
    const auto j = static_cast<unsigned>(__builtin_ctzll(gaps));
    gaps &= gaps - 1;
    const auto k = static_cast<unsigned>(__builtin_ctzll(gaps));
    // Every test is made (no branch until the end), so they combine as 0 or 1.
    const auto digits = [&m](unsigned from, unsigned to) -> unsigned {
        return to - from - 1 - ((m.minus >> from) & 1) < 8;  // one to eight after the minus
    };
    unsigned ok = digits(0, i), last = i;
    uint64_t starts = 1;  // where a minus may stand: first in a number
    if (F == CornerFormat::VertexTexCoord) {
        ok &= (p[i] == '/') & digits(i + 1, j);
        last = j, starts |= uint64_t{2} << i;
    } else if (F == CornerFormat::VertexNormal) {
        ok &= (p[i] == '/') & (j == i + 1) & (p[j] == '/') & digits(j + 1, k);
        last = k, starts |= uint64_t{2} << j;
    } else if (F == CornerFormat::Full) {
        ok &= (p[i] == '/') & digits(i + 1, j) & (p[j] == '/') & digits(j + 1, k);
        last = k, starts |= uint64_t{2} << i | uint64_t{2} << j;
    }
    ok &= (m.minus & ~starts & ((uint64_t{1} << last) - 1)) == 0;
    ok &= (p[last] == ' ') | (p[last] == '\t') | (p + last == end);
    if (!ok) {
        return 0;
    }
    const auto number = [p, &m](unsigned from, unsigned to) {
        const unsigned negative = (m.minus >> from) & 1;
        const auto magnitude =
            static_cast<int32_t>(digitValue(load8(p + from + negative), to - from - negative));
        return negative ? -magnitude : magnitude;
    };
    v = number(0, i);
    t = F == CornerFormat::Full || F == CornerFormat::VertexTexCoord ? number(i + 1, j) : 0;
    n = F == CornerFormat::Full || F == CornerFormat::VertexNormal ? number(j + 1, k) : 0;
    return last;
}

// Reads a plain face of format F and stores its fan as the corners come: the first and the last
// corner are kept here, so nothing written is read back. Returns the corners, or 0 when the face
// is not plain, does not fit the room left, or names an item that does not exist (triangles may
// have been written then).
template <CornerFormat F>
size_t storeFan(const char* p, const char* end, const FanTarget& to) {
    constexpr bool kTexCoords = F == CornerFormat::Full || F == CornerFormat::VertexTexCoord;
    constexpr bool kNormals = F == CornerFormat::Full || F == CornerFormat::VertexNormal;
    uint32_t bad = 0;
    int32_t first[3] = {0, 0, 0}, last[3] = {0, 0, 0};  // vertex, texture coordinate, normal
    for (size_t k = 0;; ++k) {
        int32_t v, t, n;
        const unsigned length = plainCorner<F>(p, end, v, t, n);
        if (length == 0) {
            return 0;
        }
        p += length;
        v = resolveIndex(v, to.verticesRead);
        bad |= static_cast<uint32_t>(v - 1) >= to.vertexCount;
        if (kTexCoords) {
            t = resolveIndex(t, to.texCoordsRead);
            bad |= static_cast<uint32_t>(t - 1) >= to.texCoordCount;
        }
        if (kNormals) {
            n = resolveIndex(n, to.normalsRead);
            bad |= static_cast<uint32_t>(n - 1) >= to.normalCount;
        }
        if (k >= 2) {
            const size_t i = k - 2;
            if (i == to.room) {
                return 0;
            }
            ObjTriangle& tri = to.triangles[i];
            tri.vertexindex[0] = first[0];
            tri.vertexindex[1] = last[0];
            tri.vertexindex[2] = v;
            tri.normalindex[0] = first[2];
            tri.normalindex[1] = last[2];
            tri.normalindex[2] = n;
            tri.texcoordindex[0] = first[1];
            tri.texcoordindex[1] = last[1];
            tri.texcoordindex[2] = t;
            tri.facetnormindex = i == 0 ? -1 : 0;
            to.indices[i] = to.first + static_cast<GLuint>(i);
        } else if (k == 0) {
            first[0] = v, first[1] = t, first[2] = n;
        }
        last[0] = v, last[1] = t, last[2] = n;
        while (isSpaceOrTab(*p)) {
            ++p;
        }
        if (p == end) {
            return bad || k < 2 ? 0 : k + 1;
        }
    }
}

// The corners of a face line the counting pass counts: the bound (see CornerBound), or, when
// exact, the corners the general reading reads.
inline size_t countFace(const char* rest, const char* end, bool exact,
                        std::vector<Corner>& scratch) {
    if (shortcutsEnabled() && !exact) {
        return cornerBound(rest, end);
    }
    scanFace(rest, end, scratch);
    return scratch.size();
}

// A plain face's triangles stored as its fan; 0 when the face needs the general reading.
__attribute__((always_inline)) inline GLuint storePlainFace(const char* p, const char* end,
                                                            const FanTarget& target) {
    if (!shortcutsEnabled()) {
        return 0;
    }
    while (isSpaceOrTab(*p)) {
        ++p;
    }
    // The format by the first word's slashes.
    const char* q = p + (*p == '-');
    q += digitRun(load8(q));
    size_t corners;
    if (*q != '/') {
        corners = storeFan<CornerFormat::Vertex>(p, end, target);
    } else if (q[1] == '/') {
        corners = storeFan<CornerFormat::VertexNormal>(p, end, target);
    } else {
        q += 1 + (q[1] == '-');
        q += digitRun(load8(q));
        corners = *q == '/' ? storeFan<CornerFormat::Full>(p, end, target)
                            : storeFan<CornerFormat::VertexTexCoord>(p, end, target);
    }
    return corners ? static_cast<GLuint>(corners - 2) : 0;
}

}  // namespace glm_detail
