// Reading OBJ files: glmReadOBJ runs the counting pass, allocates every array once at its
// counted size and runs the filling pass over the same lines (glm_passes.cpp); glmFirstPass and
// glmFillPass do the same for callers that manage the file themselves.
#undef NDEBUG  // preconditions are checked in every build
#include <sys/stat.h>

#include <cassert>
#include <cstdlib>
#include <memory>

#include "glm/glm_internal.h"

using namespace glm_detail;

namespace {

// Zeroed, so an item the file leaves unset reads as 0 rather than as garbage.
GLfloat* allocateItems(GLuint count, size_t components) {
    return static_cast<GLfloat*>(checkedCalloc(size_t{count} + 1, components * sizeof(GLfloat)));
}

void allocateArrays(ObjModel* model) {
    std::free(model->vertices);
    std::free(model->normals);
    std::free(model->texcoords);
    std::free(model->triangles);
    model->vertices = allocateItems(model->vertexcount, 3);
    model->normals = model->normalcount ? allocateItems(model->normalcount, 3) : nullptr;
    model->texcoords = model->texcoordcount ? allocateItems(model->texcoordcount, 2) : nullptr;
    model->triangles =
        static_cast<ObjTriangle*>(checkedCalloc(model->trianglecount, sizeof(ObjTriangle)));
}

// What a single pass had read but the material library: the two passes start again from it.
void discardGeometry(ObjModel* model) {
    for (GLfloat** items : {&model->vertices, &model->normals, &model->texcoords}) {
        std::free(*items);
        *items = nullptr;
    }
    std::free(model->triangles);
    model->triangles = nullptr;
    model->vertexcount = model->normalcount = model->texcoordcount = model->trianglecount = 0;
    freeGroups(model);
}

// Frees a model being read when the fail hook throws through the reader.
struct ModelGuard {
    ObjModel* model;
    ~ModelGuard() {
        if (model) {
            glmFreeModel(model);
        }
    }
};

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

void glmFirstPass(ObjModel* model, FILE* file, ObjProgress* progress) {
    assert(model);
    LineSource lines(file);
    countStatements(model, progress, lines, true);
}

void glmFillPass(ObjModel* model, FILE* file, ObjProgress* progress) {
    assert(model);
    // The caller's file may hold anything by now: count it again, in memory so both scans see
    // the same bytes, and size the group arrays by that count.
    std::vector<char> text;
    char chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.insert(text.end(), chunk, chunk + got);
    }
    const size_t size = text.size();
    text.push_back('\n');
    text.resize(text.size() + kPadding, '\0');
    GroupCounts groupCounts;
    {
        LineSource counter(text.data(), size);
        groupCounts = countGroupTriangles(counter);
    }
    Capacities capacities;
    for (ObjGroup* group = model->groups; group; group = group->next) {
        const auto found = groupCounts.find(group->name);
        const uint64_t wanted = found == groupCounts.end() ? 0 : found->second;
        const auto capacity = static_cast<GLuint>(wanted < 0x7ffffffe ? wanted : 0x7ffffffe);
        group->triangleindices = static_cast<GLuint*>(
            checkedRealloc(group->triangleindices, sizeof(GLuint) * size_t{capacity}));
        group->trianglecount = 0;
        capacities[group] = capacity;
    }
    // Counts without arrays: nothing to fill.
    if (!model->vertices) {
        model->vertexcount = 0;
    }
    if (!model->normals) {
        model->normalcount = 0;
    }
    if (!model->texcoords) {
        model->texcoordcount = 0;
    }
    if (!model->triangles) {
        model->trianglecount = 0;
    }
    LineSource lines(text.data(), size);
    fillStatements(model, progress, lines, std::move(capacities), false);
}

ObjModel* glmReadOBJ(const char* filename, ObjProgress* progress) {
    std::unique_ptr<FILE, FileCloser> file(openForReading(filename));
    if (!file) {
        fail(stderr, "glmReadOBJ() failed: can't open data file \"%s\".\n", filename);
    }
    ModelGuard guard{static_cast<ObjModel*>(checkedCalloc(1, sizeof(ObjModel)))};
    ObjModel* model = guard.model;
    model->filepath = copyString(filename);

    // Most files read in one pass; progress is reported against the counts of two.
    unsigned librariesRead = 0;
    if (!progress && shortcutsEnabled()) {
        struct stat info;
        const uint64_t size = fstat(fileno(file.get()), &info) == 0 ? info.st_size : 0;
        LineSource lines(file.get(), LineSource::Whole{});
        if (readOnePass(model, lines, size, librariesRead)) {
            guard.model = nullptr;
            return model;
        }
        discardGeometry(model);
    }
    Capacities capacities;
    {
        LineSource lines(file.get(), LineSource::Whole{});
        capacities = countStatements(model, progress, lines, false, librariesRead);
    }
    allocateArrays(model);
    {
        LineSource lines(file.get(), LineSource::Whole{});
        fillStatements(model, progress, lines, std::move(capacities), true);
    }
    guard.model = nullptr;
    return model;
}
