// Pieces shared by the model library's source files: the one failure path, checked allocation,
// line-by-line reading of text files and scanf-like number scanning.
#pragma once

#include "glm/glm.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace glm_detail {

// Prints the message (stdout or stderr) and runs the fail hook; never returns.
[[noreturn]] void fail(FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

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
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

// Splits off the first whitespace-delimited word of `text`; `text` keeps what follows it.
std::string_view nextWord(std::string_view& text);

// "%f": skips blanks, converts one float; the cursor moves past what was converted.
bool scanFloat(const char*& cursor, const char* end, float& value);
// Up to `count` floats in a row, as "%f %f %f" would; returns how many converted.
int scanFloats(const char*& cursor, const char* end, float* values, int count);

// "%d": skips blanks, converts one integer. Values beyond 32 bits convert to INT64 values that
// no index check accepts.
bool scanInt(const char*& cursor, const char* end, int64_t& value);

// A progress record's value for a percentage of its range, truncated towards zero.
GLint progressValue(float percent, const ObjProgress* progress);

// Bounds-checked access to the 1-based arrays: the zero vector for an index that is not an item.
const GLfloat* vec3At(const GLfloat* array, GLuint count, GLint index);
const GLfloat* vec2At(const GLfloat* array, GLuint count, GLint index);

}  // namespace glm_detail
