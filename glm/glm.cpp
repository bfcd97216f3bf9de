// The model library's core: the failure path, allocation, line reading and number scanning
// shared by the readers, groups, freeing a model, and the path rule.
#undef NDEBUG  // preconditions are checked in every build
#include <sys/stat.h>

#include <cassert>
#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "glm/glm_internal.h"

namespace glm_detail {

namespace {

void exitHook(const char*) {
    std::exit(1);
}

GlmFailHook failHook = exitHook;

}  // namespace

void fail(FILE* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    std::vsnprintf(message.data(), message.size() + 1, format, args);
    va_end(args);

    std::fputs(message.c_str(), stream);
    std::fflush(stream);
    failHook(message.c_str());
    std::exit(1);  // a hook that returns still ends the failed operation
}

void* checkedMalloc(size_t bytes) {
    void* block = std::malloc(bytes ? bytes : 1);
    if (!block) {
        fail(stderr, "glm failed: out of memory (%zu bytes).\n", bytes);
    }
    return block;
}

void* checkedCalloc(size_t count, size_t bytes) {
    void* block = std::calloc(count ? count : 1, bytes ? bytes : 1);
    if (!block) {
        fail(stderr, "glm failed: out of memory (%zu x %zu bytes).\n", count, bytes);
    }
    return block;
}

void* checkedRealloc(void* block, size_t bytes) {
    void* grown = std::realloc(block, bytes ? bytes : 1);
    if (!grown) {
        std::free(block);
        fail(stderr, "glm failed: out of memory (%zu bytes).\n", bytes);
    }
    return grown;
}

char* copyString(std::string_view text) {
    char* copy = static_cast<char*>(checkedMalloc(text.size() + 1));
    if (!text.empty()) {
        std::memcpy(copy, text.data(), text.size());
    }
    copy[text.size()] = '\0';
    return copy;
}

FILE* openForReading(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        return nullptr;
    }
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

// ---- LineReader ------------------------------------------------------------------------------

namespace {
constexpr size_t kChunk = 1 << 18;
}

LineReader::LineReader(FILE* file) : file_(file), buffer_(kChunk + kReadSlack) {}

bool LineReader::refill() {
    if (eof_) {
        return false;
    }
    // Keep the unfinished line at the front, grow when it fills the whole buffer.
    const size_t kept = end_ - begin_;
    if (kept > 0 && begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, kept);
    }
    begin_ = 0;
    end_ = kept;
    size_t capacity = buffer_.size() - kReadSlack;
    if (end_ == capacity) {
        capacity *= 2;
        buffer_.resize(capacity + kReadSlack);
    }
    const size_t got = std::fread(buffer_.data() + end_, 1, capacity - end_, file_);
    end_ += got;
    if (got == 0) {
        eof_ = true;
    }
    return got > 0;
}

bool LineReader::next(std::string_view& line, bool& hadEnd) {
    size_t searched = 0;  // bytes of the pending line already known to hold no line feed
    for (;;) {
        const char* base = buffer_.data();
        const char* start = base + begin_;
        const size_t available = end_ - begin_;
        const void* lf = available > searched
                             ? std::memchr(start + searched, '\n', available - searched)
                             : nullptr;
        if (lf) {
            const size_t length = static_cast<size_t>(static_cast<const char*>(lf) - start);
            size_t kept = length;
            if (kept > 0 && start[kept - 1] == '\r') {
                --kept;
            }
            line = std::string_view(start, kept);
            hadEnd = true;
            begin_ += length + 1;
            ++line_;
            return true;
        }
        searched = available;
        if (!refill()) {
            if (end_ == begin_) {
                return false;
            }
            // The last line, without a line end: a '\n' after it ends its last number.
            buffer_[end_] = '\n';
            line = std::string_view(buffer_.data() + begin_, end_ - begin_);
            hadEnd = false;
            begin_ = end_;
            ++line_;
            return true;
        }
    }
}

// ---- Scanning --------------------------------------------------------------------------------

bool scanFloatSlow(const char*& cursor, const char* end, float& value) {
    const char* p = cursor;
    const char* stop;
    // from_chars takes no '+'; "%f" does.
    if (p < end && *p == '+' && p + 1 < end && *(p + 1) != '-' && *(p + 1) != '+') {
        ++p;
        if (parseDecimal(p, value, stop)) {
            cursor = stop;
            return true;
        }
    }
    float result = 0.0f;
    const auto [ptr, ec] = std::from_chars(p, end, result, std::chars_format::general);
    if (ptr == p) {
        return false;
    }
    if (ec == std::errc::result_out_of_range) {
        // What strtof makes of it: +-HUGE_VALF or a tiny value, converted all the same.
        const std::string text(p, ptr);
        result = std::strtof(text.c_str(), nullptr);
    }
    value = result;
    cursor = ptr;
    return true;
}

GLint progressValue(float percent, const ObjProgress* progress) {
    const float value =
        percent / 100.0f *
            (static_cast<float>(progress->end) - static_cast<float>(progress->start)) +
        static_cast<float>(progress->start);
    if (value != value) {
        return progress->start;
    }
    if (value <= -2147483648.0f) {
        return INT32_MIN;
    }
    if (value >= 2147483648.0f) {
        return INT32_MAX;
    }
    return static_cast<GLint>(value);  // towards zero
}

namespace {
const GLfloat kZero[3] = {0.0f, 0.0f, 0.0f};
}

const GLfloat* vec3At(const GLfloat* array, GLuint count, GLint index) {
    if (!array || index < 1 || static_cast<GLuint>(index) > count) {
        return kZero;
    }
    return array + 3 * static_cast<size_t>(index);
}

const GLfloat* vec2At(const GLfloat* array, GLuint count, GLint index) {
    if (!array || index < 1 || static_cast<GLuint>(index) > count) {
        return kZero;
    }
    return array + 2 * static_cast<size_t>(index);
}

}  // namespace glm_detail

using namespace glm_detail;

GlmFailHook glmSetFailHook(GlmFailHook hook) {
    GlmFailHook previous = failHook;
    failHook = hook ? hook : exitHook;
    return previous;
}

// ---- Groups ----------------------------------------------------------------------------------

ObjGroup* glmFindGroup(ObjModel* model, const char* name) {
    assert(model);
    for (ObjGroup* group = model->groups; group; group = group->next) {
        if (std::strcmp(name, group->name) == 0) {
            return group;
        }
    }
    return nullptr;
}

ObjGroup* glmEnsureGroup(ObjModel* model, const char* name) {
    ObjGroup* group = glmFindGroup(model, name);
    if (!group) {
        group = static_cast<ObjGroup*>(checkedCalloc(1, sizeof(ObjGroup)));
        group->name = copyString(name);
        group->next = model->groups;
        model->groups = group;
        ++model->groupcount;
    }
    return group;
}

// ---- Freeing ---------------------------------------------------------------------------------

void glmFreeModel(ObjModel* model) {
    assert(model);
    std::free(model->filepath);
    std::free(model->mtlfilename);
    std::free(model->vertices);
    std::free(model->normals);
    std::free(model->texcoords);
    std::free(model->facetnorms);
    std::free(model->triangles);
    if (model->materials) {
        for (GLuint i = 0; i < model->materialcount; ++i) {
            std::free(model->materials[i].name);
        }
        std::free(model->materials);
    }
    if (model->textures) {
        for (GLuint i = 0; i < model->texturecount; ++i) {
            std::free(model->textures[i].name);
            // Texture 0 is no object (a loader that made none); deleting it would be a no-op.
            if (model->textures[i].id != 0) {
                glDeleteTextures(1, &model->textures[i].id);
            }
        }
        std::free(model->textures);
    }
    while (model->groups) {
        ObjGroup* group = model->groups;
        model->groups = group->next;
        std::free(group->name);
        std::free(group->triangleindices);
        std::free(group);
    }
    std::free(model);
}

// ---- Path rule -------------------------------------------------------------------------------

char* glmDirectoryOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return copyString(slash ? std::string_view(path, static_cast<size_t>(slash - path) + 1)
                            : std::string_view());
}
