// Pieces shared by the model library's source files: the one failure path, checked allocation,
// line-by-line reading of text files and scanf-like number scanning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "glm/glm.h"

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

// Yields the lines of a file (from its current position) or of a block of memory, without their
// line end: LF, or CR LF as a text-mode stream on the original platform would read it. A line of
// any length is returned whole.
class LineReader {
public:
    explicit LineReader(FILE* file);
    // `data` must be followed by kReadSlack readable bytes.
    LineReader(const char* data, size_t size);

    // False at the end. `hadEnd` tells whether a line end followed the line.
    bool next(std::string_view& line, bool& hadEnd);
    // Number of the line last returned, from 1.
    unsigned long lineNumber() const { return line_; }

private:
    bool refill();

    FILE* file_ = nullptr;
    std::vector<char> buffer_;
    const char* data_ = nullptr;  // memory mode: the whole text
    size_t begin_ = 0;            // first unread byte
    size_t end_ = 0;              // end of valid bytes
    bool eof_ = false;
    unsigned long line_ = 0;
};

// C's isspace in the "C" locale, without a locale lookup.
inline bool isBlank(char c) {
    return c == ' ' || static_cast<unsigned char>(c - '\t') <= '\r' - '\t';  // \t \n \v \f \r
}

// Every buffer LineReader hands out has this many readable bytes after its last line, so the
// number scanners may load eight bytes at a time (they never use bytes past a line's end).
constexpr size_t kReadSlack = 16;

// Digits in eight bytes at once: the length of the run of ASCII digits the word starts with.
inline unsigned digitRun(uint64_t word) {
    const uint64_t high = 0xF0F0F0F0F0F0F0F0ull, threes = 0x3030303030303030ull;
    const uint64_t notDigit =
        ((word & high) ^ threes) | (((word + 0x0606060606060606ull) & high) ^ threes);
    return notDigit ? static_cast<unsigned>(__builtin_ctzll(notDigit)) / 8 : 8;
}

// The value of the first `length` (1..8) digit bytes of the word.
inline uint32_t digitValue(uint64_t word, unsigned length) {
    uint64_t x = (word << (64 - 8 * length)) - (0x3030303030303030ull << (64 - 8 * length));
    x = (x * 10 + (x >> 8)) & 0x00FF00FF00FF00FFull;
    x = (x * 100 + (x >> 16)) & 0x0000FFFF0000FFFFull;
    x = (x * 10000 + (x >> 32)) & 0xFFFFFFFFull;
    return static_cast<uint32_t>(x);
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

// "%f": skips blanks, converts one float; the cursor moves past what was converted.
bool scanFloat(const char*& cursor, const char* end, float& value);
// Up to `count` floats in a row, as "%f %f %f" would; returns how many converted.
int scanFloats(const char*& cursor, const char* end, float* values, int count);

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

// A progress record's value for a percentage of its range, truncated towards zero.
GLint progressValue(float percent, const ObjProgress* progress);

// Bounds-checked access to the 1-based arrays: the zero vector for an index that is not an item.
const GLfloat* vec3At(const GLfloat* array, GLuint count, GLint index);
const GLfloat* vec2At(const GLfloat* array, GLuint count, GLint index);

}  // namespace glm_detail
