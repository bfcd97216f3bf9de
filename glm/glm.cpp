// The model library's core: the failure path, allocation, groups, freeing a model, and the path
// rule.
#undef NDEBUG  // preconditions are checked in every build
#include <sys/stat.h>

#include <cassert>
#include <cerrno>
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

void freeGroups(ObjModel* model) {
    while (model->groups) {
        ObjGroup* group = model->groups;
        model->groups = group->next;
        std::free(group->name);
        std::free(group->triangleindices);
        std::free(group);
    }
    model->groupcount = 0;
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
    freeGroups(model);
    std::free(model);
}

// ---- Path rule -------------------------------------------------------------------------------

char* glmDirectoryOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return copyString(slash ? std::string_view(path, static_cast<size_t>(slash - path) + 1)
                            : std::string_view());
}
