// The general readings of numbers and faces: "%f" and "%d" as scanf reads them, and a face's
// corners read as scanf would read them. The fast readings of the usual lines (glm_scan.h) give
// what these give.
#include "glm/glm_scan.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <cfloat>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

namespace glm_detail {

namespace {

constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};  // all exact

// "%f" for what parseDecimal leaves: inf, nan, and numbers out of its range.
bool scanFloatSlow(const char*& cursor, const char* end, float& value) {
    float result = 0.0f;
    const auto [ptr, ec] = std::from_chars(cursor, end, result, std::chars_format::general);
    if (ptr == cursor) {
        return false;
    }
    if (ec == std::errc::result_out_of_range) {
        // What strtof makes of it: +-HUGE_VALF or a tiny value, converted all the same.
        result = std::strtof(std::string(cursor, ptr).c_str(), nullptr);
    }
    value = result;
    cursor = ptr;
    return true;
}

}  // namespace

// ---- AVX2 ------------------------------------------------------------------------------------

#if defined(__x86_64__)
bool wideBlocksAvailable() {
    __builtin_cpu_init();  // this may run before the library's own initialisation
    return __builtin_cpu_supports("avx2");
}

bool wideBlocks = wideBlocksAvailable();

namespace {

__attribute__((target("avx2"))) inline uint64_t wideBits(__m256i low, __m256i high) {
    return uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(low))} |
           uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

}  // namespace

__attribute__((target("avx2"))) size_t cornerBoundWide(const char* p, const char* end) {
    CornerBound bound;
    const auto length = static_cast<size_t>(end - p);
    const __m256i nine = _mm256_set1_epi8(9), four = _mm256_set1_epi8(4);
    for (size_t at = 0; at < length; at += 64) {
        __m256i blank[2], digit[2], sign[2], slash[2];
        for (int half = 0; half < 2; ++half) {
            const __m256i x =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + at + 32 * half));
            const __m256i controls = _mm256_sub_epi8(x, _mm256_set1_epi8('\t'));
            const __m256i digits = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));
            blank[half] =
                _mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8(' ')),
                                _mm256_cmpeq_epi8(_mm256_min_epu8(controls, four), controls));
            digit[half] = _mm256_cmpeq_epi8(_mm256_max_epu8(digits, nine), nine);
            sign[half] = _mm256_or_si256(_mm256_cmpeq_epi8(x, _mm256_set1_epi8('-')),
                                         _mm256_cmpeq_epi8(x, _mm256_set1_epi8('+')));
            slash[half] = _mm256_cmpeq_epi8(x, _mm256_set1_epi8('/'));
        }
        bound.block(wideBits(blank[0], blank[1]), wideBits(digit[0], digit[1]),
                    wideBits(sign[0], sign[1]), wideBits(slash[0], slash[1]),
                    CornerBound::valid(length - at));
    }
    return bound.finish(p, end);
}

__attribute__((target("avx2"))) uint64_t lineFeedsWide(const char* p) {
    const __m256i lf = _mm256_set1_epi8('\n');
    return wideBits(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), lf),
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), lf));
}
#else
bool wideBlocks = false;

size_t cornerBoundWide(const char* p, const char* end) {
    return 0;
}

uint64_t lineFeedsWide(const char* p) {
    return 0;
}
#endif

void enableShortcuts(bool enable) {
    shortcutsOn = enable;
}

std::string_view nextWord(std::string_view& text) {
    const char* p = text.data();
    const char* end = p + text.size();
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

// ---- Floats ----------------------------------------------------------------------------------

namespace {

// m * 10^scale as the nearest float, or false when the product of doubles cannot tell it: m (or
// the double nearest it) times or divided by an exact power of ten lies within two units of the
// double's last place of the value, so the float nearest to it is the float nearest to the value
// unless it lies within a few units of a point halfway between two floats (or outside the normal
// floats).
bool nearestFloat(uint64_t m, int scale, bool negative, float& value) {
    double product = 0.0;
    if (m != 0) {
        if (scale > 22 || scale < -22) {
            return false;
        }
        const auto mantissa = static_cast<double>(static_cast<int64_t>(m));
        product = scale >= 0 ? mantissa * kPowers[scale] : mantissa / kPowers[-scale];
        uint64_t bits;
        std::memcpy(&bits, &product, sizeof bits);
        if ((bits & 0x1FFFFFFFull) - (0x10000000ull - 4) <= 8 || product < FLT_MIN ||
            product > FLT_MAX) {
            return false;
        }
    }
    auto magnitude = static_cast<float>(product);
    value = negative ? -magnitude : magnitude;
    return true;
}

// Decimals the fast reading leaves: a '+', any number of digits (the first eighteen significant
// ones make m, the rest change it by less than the rounding allows for), an exponent.
bool longDecimal(const char* p, float& value, const char*& stop) {
    const bool negative = *p == '-';
    p += negative || *p == '+';
    const char* const digits = p;
    uint64_t m = 0;
    int significant = 0, scale = 0;
    for (unsigned d; (d = static_cast<unsigned char>(*p) - '0') <= 9; ++p) {
        if (significant < 18) {
            m = m * 10 + d;
            significant += m != 0;
        } else {
            ++scale;
        }
    }
    if (*p == '.') {
        ++p;
        for (unsigned d; (d = static_cast<unsigned char>(*p) - '0') <= 9; ++p) {
            if (significant < 18) {
                m = m * 10 + d;
                significant += m != 0;
                --scale;
            }
        }
    }
    if (p == digits || (p == digits + 1 && *digits == '.')) {
        return false;  // no digits
    }
    if ((*p | 0x20) == 'e') {
        const char* q = p + 1;
        const bool down = *q == '-';
        q += *q == '-' || *q == '+';
        if (isDigit(*q)) {  // else the number ends before the 'e'
            int exponent = 0;
            for (; isDigit(*q); ++q) {
                exponent = exponent < 100000 ? exponent * 10 + (*q - '0') : exponent;
            }
            scale += down ? -exponent : exponent;
            p = q;
        }
    }
    if (!nearestFloat(m, scale, negative, value)) {
        return false;
    }
    stop = p;
    return true;
}

}  // namespace

bool parseDecimal(const char* p, float& value, const char*& stop) {
    return plainDecimal(p, value, stop) || longDecimal(p, value, stop);
}

bool scanFloat(const char*& cursor, const char* end, float& value) {
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

int scanFloats(const char*& cursor, const char* end, float* values, int count) {
    int converted = 0;
    while (converted < count && scanFloat(cursor, end, values[converted])) {
        ++converted;
    }
    return converted;
}

// ---- Faces, the general reading --------------------------------------------------------------

namespace {

// "%d": skips blanks, converts one integer. Values beyond 32 bits convert to values that no
// index check accepts.
bool scanInt(const char*& cursor, const char* end, int64_t& value) {
    const char* p = cursor;
    while (p < end && isBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p >= end || !isDigit(*p)) {
        return false;
    }
    const char* digits = p;
    uint64_t result = 0;
    for (; p < end && isDigit(*p); ++p) {
        result = result * 10 + static_cast<unsigned>(*p - '0');
    }
    if (p - digits > 12) {
        result = uint64_t{1} << 40;  // far beyond any index; the exact value does not matter
    }
    value = negative ? -static_cast<int64_t>(result) : static_cast<int64_t>(result);
    cursor = p;
    return true;
}

bool literal(const char*& p, const char* end, char c) {
    if (p < end && *p == c) {
        ++p;
        return true;
    }
    return false;
}

// One corner in the face's format, as scanf would read it: fields that do not convert keep the
// previous corner's values; the cursor moves past what was read. Returns the fields converted.
// Slashes that end a corner's word after all its fields are empty fields, and are passed over.
int scanCorner(const char*& p, const char* end, CornerFormat format, Corner& c) {
    int64_t value;
    if (!scanInt(p, end, value)) {
        return 0;
    }
    c.v = value;
    int fields = 1;
    switch (format) {
        case CornerFormat::Vertex:
            break;
        case CornerFormat::VertexNormal:
            if (!literal(p, end, '/') || !literal(p, end, '/') || !scanInt(p, end, value)) {
                return 1;
            }
            c.n = value;
            fields = 2;
            break;
        case CornerFormat::VertexTexCoord:
        case CornerFormat::Full:
            if (!literal(p, end, '/') || !scanInt(p, end, value)) {
                return 1;
            }
            c.t = value;
            if (format == CornerFormat::VertexTexCoord) {
                fields = 2;
                break;
            }
            if (!literal(p, end, '/') || !scanInt(p, end, value)) {
                return 2;
            }
            c.n = value;
            fields = 3;
            break;
    }
    const char* q = p;
    while (q < end && *q == '/') {
        ++q;
    }
    if (q == end || isBlank(*q)) {
        p = q;
    }
    return fields;
}

int scanWord(std::string_view word, CornerFormat format, Corner& c) {
    const char* p = word.data();
    return scanCorner(p, word.data() + word.size(), format, c);
}

}  // namespace

CornerFormat scanFace(const char* rest, const char* end, std::vector<Corner>& corners) {
    corners.clear();
    std::string_view text(rest, static_cast<size_t>(end - rest));
    const std::string_view first = nextWord(text);
    // The format by the first word's fields, less the empty ones it ends with ("7//" is "7").
    std::string_view fields = first;
    while (!fields.empty() && fields.back() == '/') {
        fields.remove_suffix(1);
    }
    CornerFormat format = CornerFormat::Vertex;
    Corner c{0, 0, 0};
    if (fields.find("//") != std::string_view::npos) {
        format = CornerFormat::VertexNormal;
    } else if (Corner probe{0, 0, 0}; scanWord(fields, CornerFormat::Full, probe) == 3) {
        format = CornerFormat::Full;
    } else if (scanWord(fields, CornerFormat::VertexTexCoord, probe) == 2) {
        format = CornerFormat::VertexTexCoord;
    }
    scanWord(first, format, c);
    corners.push_back(c);

    const char* p = text.data();
    for (int k = 0; k < 2; ++k) {
        scanCorner(p, end, format, c);
        corners.push_back(c);
    }
    while (scanCorner(p, end, format, c) > 0) {
        corners.push_back(c);
    }
    return format;
}

}  // namespace glm_detail
