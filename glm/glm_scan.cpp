// The general readings of numbers and faces: "%f" and "%d" as scanf reads them, and a face's
// corners read as scanf would read them. The fast readings of the usual lines (glm_scan.h) give
// what these give.
#include "glm/glm_scan.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace glm_detail {

namespace {

// "%f" for what parseDecimal leaves: inf, nan, '+', long digit strings, large exponents, and the
// rare values it cannot round with certainty.
bool scanFloatSlow(const char*& cursor, const char* end, float& value) {
    const char* p = cursor;
    if (p + 1 < end && *p == '+' && p[1] != '-' && p[1] != '+') {
        ++p;  // from_chars takes no '+'; "%f" does
    }
    float result = 0.0f;
    const auto [ptr, ec] = std::from_chars(p, end, result, std::chars_format::general);
    if (ptr == p) {
        return false;
    }
    if (ec == std::errc::result_out_of_range) {
        // What strtof makes of it: +-HUGE_VALF or a tiny value, converted all the same.
        result = std::strtof(std::string(p, ptr).c_str(), nullptr);
    }
    value = result;
    cursor = ptr;
    return true;
}

}  // namespace

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

// Bit i set when p[i] is an ASCII digit, for i < 32.
uint64_t digitMask(const char* p) {
#if defined(__SSE2__)
    const __m128i nine = _mm_set1_epi8(9), zero = _mm_set1_epi8('0');
    const auto digits = [&](const char* at) {
        const __m128i x = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), zero);
        return uint64_t{static_cast<uint16_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(x, nine), nine)))};
    };
    return digits(p) | digits(p + 16) << 16;
#else
    return bytesWhere(p, 32, isDigit);
#endif
}

// The decimals writers print, right at p, as decimalAt reads them, its digits found from one look
// at 32 bytes.
bool plainDecimal(const char* p, float& value, const char*& stop) {
    const unsigned negative = *p == '-';
    return decimalAt(p + negative, ~digitMask(p + negative), negative, value, stop);
}

// Decimals plainDecimal leaves: a '+', any number of digits (the first eighteen significant ones
// make m, the rest change it by less than the rounding allows for), an exponent.
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
    float result = negative ? -0.0f : 0.0f;
    if (m != 0 && (scale < -22 || scale > 22 || !nearestFloat(m, scale, negative, result) ||
                   std::isinf(result))) {
        return false;
    }
    value = result;
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
    if (shortcutsEnabled() && parseDecimal(p, value, cursor)) {
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
