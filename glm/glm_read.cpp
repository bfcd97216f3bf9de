// Reading OBJ files: a counting pass, exact allocation, and a filling pass over the same lines.
//
// Both passes read the file line by line and classify each line by its first word with the same
// code, so they always agree on what they count. The fill pass still checks every store against
// what was allocated, so a file that changes between the passes cannot overrun the arrays.
#undef NDEBUG  // preconditions are checked in every build
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "glm/glm_internal.h"

using namespace glm_detail;

namespace {

// ---- Statements ------------------------------------------------------------------------------

enum class Statement { Skip, Vertex, Normal, TexCoord, UnknownV, MtlLib, UseMtl, Group, Face };

Statement classify(std::string_view token) {
    switch (token[0]) {
        case '#':
            return Statement::Skip;
        case 'v':
            if (token.size() == 1 || token[1] == '\0') {
                return Statement::Vertex;
            }
            if (token[1] == 'n') {
                return Statement::Normal;
            }
            if (token[1] == 't') {
                return Statement::TexCoord;
            }
            return Statement::UnknownV;
        case 'm':
            return Statement::MtlLib;
        case 'u':
            return Statement::UseMtl;
        case 'g':
            return Statement::Group;
        case 'f':
            return Statement::Face;
        default:
            return Statement::Skip;
    }
}

// Splits a line into its first word and the rest (which keeps the blank after the word).
bool splitStatement(std::string_view line, std::string_view& token, std::string_view& rest) {
    rest = line;
    token = nextWord(rest);
    return !token.empty();
}

// ---- Faces -----------------------------------------------------------------------------------

// How the corners of one face are written, decided by its first corner.
enum class CornerFormat { VertexNormal, Full, VertexTexCoord, Vertex };

struct Corner {
    int64_t v = 0, t = 0, n = 0;
};

bool literal(const char*& p, const char* end, char c) {
    if (p < end && *p == c) {
        ++p;
        return true;
    }
    return false;
}

// One corner in the face's format, as scanf would read it: fields that do not convert keep the
// previous corner's values; the cursor moves past what was read. Returns the fields converted.
int scanCorner(const char*& p, const char* end, CornerFormat format, Corner& c) {
    int64_t value;
    if (!scanInt(p, end, value)) {
        return 0;
    }
    c.v = value;
    switch (format) {
        case CornerFormat::Vertex:
            return 1;
        case CornerFormat::VertexNormal:
            if (!literal(p, end, '/') || !literal(p, end, '/') || !scanInt(p, end, value)) {
                return 1;
            }
            c.n = value;
            return 2;
        case CornerFormat::VertexTexCoord:
            if (!literal(p, end, '/') || !scanInt(p, end, value)) {
                return 1;
            }
            c.t = value;
            return 2;
        case CornerFormat::Full:
            if (!literal(p, end, '/') || !scanInt(p, end, value)) {
                return 1;
            }
            c.t = value;
            if (!literal(p, end, '/') || !scanInt(p, end, value)) {
                return 2;
            }
            c.n = value;
            return 3;
    }
    return 0;
}

int scanToken(std::string_view token, CornerFormat format, Corner& c) {
    const char* p = token.data();
    return scanCorner(p, token.data() + token.size(), format, c);
}

// The common case, read in one tight pass: every corner is one word of exactly the format's
// shape (digits with an optional minus, the format's slashes) and blanks separate them. Gives
// what the general reading below gives for such lines; false for anything else.
// With Store false it only counts the corners (into corners' size, values left zero).
template <bool Store>
bool scanRegularFace(std::string_view rest, std::vector<Corner>& corners, CornerFormat& format) {
    const char* p = rest.data();
    const char* end = p + rest.size();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    auto integer = [&](int64_t& out) {
        const bool negative = p < end && *p == '-';
        p += negative;
        const uint64_t word = load8(p);
        unsigned length = digitRun(word);
        const auto left = static_cast<unsigned>(end - p);
        length = length < left ? length : left;
        if (length == 0) {
            return false;
        }
        uint64_t value = 0;
        if (length < 8) {
            if (Store) {
                value = digitValue(word, length);
            }
            p += length;
        } else {  // long numbers: digit by digit
            const char* digits = p;
            value = 0;
            while (p < end && static_cast<unsigned>(*p - '0') <= 9) {
                value = value * 10 + static_cast<unsigned>(*p - '0');
                ++p;
            }
            if (p - digits > 12) {
                value = uint64_t{1} << 40;  // no index check accepts it
            }
        }
        out = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
        return true;
    };
    auto slash = [&]() { return p < end && *p++ == '/'; };

    while (p < end && blank(*p)) {
        ++p;
    }
    if (p == end) {
        return false;
    }
    // The first word decides the format by its slashes.
    Corner c;
    if (!integer(c.v)) {
        return false;
    }
    if (p == end || blank(*p)) {
        format = CornerFormat::Vertex;
    } else if (!slash()) {
        return false;
    } else if (p < end && *p == '/') {
        ++p;
        format = CornerFormat::VertexNormal;
        if (!integer(c.n)) {
            return false;
        }
    } else {
        if (!integer(c.t)) {
            return false;
        }
        format = CornerFormat::VertexTexCoord;
        if (p < end && *p == '/') {
            ++p;
            format = CornerFormat::Full;
            if (!integer(c.n)) {
                return false;
            }
        }
    }
    corners.clear();
    for (;;) {
        if (p < end && !blank(*p)) {
            return false;
        }
        corners.push_back(c);
        while (p < end && blank(*p)) {
            ++p;
        }
        if (p == end) {
            break;
        }
        if (!integer(c.v)) {
            return false;
        }
        switch (format) {
            case CornerFormat::Vertex:
                break;
            case CornerFormat::VertexTexCoord:
                if (!slash() || !integer(c.t)) {
                    return false;
                }
                break;
            case CornerFormat::VertexNormal:
                if (!slash() || !slash() || !integer(c.n)) {
                    return false;
                }
                break;
            case CornerFormat::Full:
                if (!slash() || !integer(c.t) || !slash() || !integer(c.n)) {
                    return false;
                }
                break;
        }
    }
    while (corners.size() < 3) {  // a read that converts nothing repeats the corner before
        corners.push_back(corners.back());
    }
    return true;
}

// Reads the corners of a face from the rest of its line. The first corner is one whole word that
// decides the format; the second and third are read whatever they hold (a corner that converts
// nothing repeats the one before); further corners follow while they convert. Always yields at
// least three corners, so every face makes at least one triangle.
template <bool Store>
CornerFormat scanFace(std::string_view rest, std::vector<Corner>& corners) {
    CornerFormat format;
    if (scanRegularFace<Store>(rest, corners, format)) {
        return format;
    }
    corners.clear();
    const std::string_view first = nextWord(rest);
    format = CornerFormat::Vertex;
    Corner c;
    if (first.find("//") != std::string_view::npos) {
        format = CornerFormat::VertexNormal;
    } else if (Corner probe; scanToken(first, CornerFormat::Full, probe) == 3) {
        format = CornerFormat::Full;
    } else if (scanToken(first, CornerFormat::VertexTexCoord, probe) == 2) {
        format = CornerFormat::VertexTexCoord;
    }
    scanToken(first, format, c);
    corners.push_back(c);

    const char* p = rest.data();
    const char* end = p + rest.size();
    for (int k = 0; k < 2; ++k) {
        scanCorner(p, end, format, c);
        corners.push_back(c);
    }
    while (scanCorner(p, end, format, c) > 0) {
        corners.push_back(c);
    }
    return format;
}

// ---- First pass ------------------------------------------------------------------------------

constexpr uint64_t kMaxItems = 0x7ffffffe;  // indices are 32-bit signed

struct Counts {
    uint64_t vertices = 0, normals = 0, texcoords = 0, triangles = 0;
};

// Capacity of each group's index array, as allocated after the first pass.
using Capacities = std::unordered_map<const ObjGroup*, GLuint>;

// Counts the statements. With `model` it is the real first pass: groups are created and counted
// on the model and the material library is read. Without, it only counts (groups by name).
Counts countPass(ObjModel* model, LineReader& reader, ObjProgress* progress,
                 std::unordered_map<std::string, uint64_t>* groupCounts) {
    Counts counts;
    std::vector<Corner> corners;
    std::string name = "default";
    ObjGroup* group = model ? glmEnsureGroup(model, name.c_str()) : nullptr;
    uint64_t* groupTriangles = groupCounts ? &(*groupCounts)[name] : nullptr;

    std::string_view line, token, rest;
    bool hadEnd;
    while (reader.next(line, hadEnd)) {
        if (!splitStatement(line, token, rest)) {
            continue;
        }
        switch (classify(token)) {
            case Statement::Skip:
            case Statement::UseMtl:
                break;
            case Statement::Vertex:
                ++counts.vertices;
                break;
            case Statement::Normal:
                ++counts.normals;
                break;
            case Statement::TexCoord:
                ++counts.texcoords;
                break;
            case Statement::UnknownV:
                fail(stdout, "glmFirstPass(): Unknown token \"%.*s\".\n",
                     static_cast<int>(token.size()), token.data());
            case Statement::MtlLib:
                if (model) {
                    const std::string library(nextWord(rest));
                    std::free(model->mtlfilename);
                    model->mtlfilename = copyString(library.c_str());
                    glmReadMTL(model, model->mtlfilename, progress);
                }
                break;
            case Statement::Group:
                name.assign(rest.data(), rest.size());
                if (model) {
                    group = glmEnsureGroup(model, name.c_str());
                } else {
                    groupTriangles = &(*groupCounts)[name.c_str()];
                }
                break;
            case Statement::Face: {
                scanFace<false>(rest, corners);
                const uint64_t triangles = corners.size() - 2;
                counts.triangles += triangles;
                if (group) {
                    const uint64_t sum = uint64_t{group->trianglecount} + triangles;
                    group->trianglecount = static_cast<GLuint>(sum < kMaxItems ? sum : kMaxItems);
                }
                if (groupTriangles) {
                    *groupTriangles += triangles;
                }
                break;
            }
        }
    }
    if (counts.vertices > kMaxItems || counts.normals > kMaxItems || counts.texcoords > kMaxItems ||
        counts.triangles > kMaxItems) {
        fail(stderr, "glmFirstPass() failed: more than %llu items in one array.\n",
             static_cast<unsigned long long>(kMaxItems));
    }
    return counts;
}

void storeCounts(ObjModel* model, const Counts& counts) {
    model->vertexcount = static_cast<GLuint>(counts.vertices);
    model->normalcount = static_cast<GLuint>(counts.normals);
    model->texcoordcount = static_cast<GLuint>(counts.texcoords);
    model->trianglecount = static_cast<GLuint>(counts.triangles);
}

// Gives every group an index array of its counted size and resets its count for the fill pass.
Capacities allocateGroups(ObjModel* model) {
    Capacities capacities;
    for (ObjGroup* group = model->groups; group; group = group->next) {
        std::free(group->triangleindices);
        group->triangleindices =
            static_cast<GLuint*>(checkedMalloc(sizeof(GLuint) * group->trianglecount));
        capacities[group] = group->trianglecount;
        group->trianglecount = 0;
    }
    return capacities;
}

void allocateArrays(ObjModel* model) {
    // Zeroed, so an item the file leaves unset reads as 0 rather than as garbage.
    std::free(model->vertices);
    std::free(model->normals);
    std::free(model->texcoords);
    std::free(model->triangles);
    model->vertices =
        static_cast<GLfloat*>(checkedCalloc(size_t{model->vertexcount} + 1, 3 * sizeof(GLfloat)));
    model->normals = model->normalcount ? static_cast<GLfloat*>(checkedCalloc(
                                              size_t{model->normalcount} + 1, 3 * sizeof(GLfloat)))
                                        : nullptr;
    model->texcoords = model->texcoordcount
                           ? static_cast<GLfloat*>(checkedCalloc(size_t{model->texcoordcount} + 1,
                                                                 2 * sizeof(GLfloat)))
                           : nullptr;
    model->triangles =
        static_cast<ObjTriangle*>(checkedCalloc(model->trianglecount, sizeof(ObjTriangle)));
}

// ---- Fill pass -------------------------------------------------------------------------------

constexpr unsigned kWarningLimit = 10;

class FillPass {
public:
    FillPass(ObjModel* model, ObjProgress* progress, Capacities capacities)
        : model_(model), progress_(progress), capacities_(std::move(capacities)) {}

    void run(LineReader& reader);

private:
    void selectGroup(const char* name);
    void storeVertex(std::string_view rest);
    void storeFace(std::string_view rest, unsigned long line);
    GLint resolve(int64_t index, GLuint soFar, GLuint total) const;
    void warnIndex(unsigned long line, const char* what, int64_t index, GLuint total,
                   const char* outcome);
    void warnOverflow();
    void finish();

    ObjModel* model_;
    ObjProgress* progress_;
    Capacities capacities_;
    std::vector<Corner> corners_;

    GLuint vertices_ = 0, normals_ = 0, texcoords_ = 0;  // items stored so far
    GLuint triangles_ = 0;
    GLint material_ = 0;
    ObjGroup* group_ = nullptr;
    GLuint groupCapacity_ = 0;

    unsigned long dropped_ = 0, cleared_ = 0, warnings_ = 0;
    bool overflowWarned_ = false;
};

void FillPass::selectGroup(const char* name) {
    group_ = glmFindGroup(model_, name);
    if (!group_) {
        warnOverflow();  // a group the first pass never saw: it gets no triangles
        group_ = glmEnsureGroup(model_, name);
    }
    const auto found = capacities_.find(group_);
    groupCapacity_ = found == capacities_.end() ? 0 : found->second;
}

void FillPass::warnOverflow() {
    if (!overflowWarned_) {
        overflowWarned_ = true;
        std::printf(
            "glmFillPass() warning: the file holds more than the first pass counted (was it "
            "changed while being read?); the rest is left out.\n");
    }
}

void FillPass::warnIndex(unsigned long line, const char* what, int64_t index, GLuint total,
                         const char* outcome) {
    if (++warnings_ <= kWarningLimit) {
        std::printf("glmFillPass() warning: line %lu: face uses %s %lld, but there are %u; %s.\n",
                    line, what, static_cast<long long>(index), total, outcome);
    }
}

GLint FillPass::resolve(int64_t index, GLuint soFar, GLuint total) const {
    if (index > 0) {
        return index <= total ? static_cast<GLint>(index) : 0;
    }
    if (index < 0) {
        const int64_t absolute = int64_t{soFar} + 1 + index;  // -1 is the last one read
        return absolute >= 1 ? static_cast<GLint>(absolute) : 0;
    }
    return 0;
}

void FillPass::storeVertex(std::string_view rest) {
    if (vertices_ >= model_->vertexcount) {
        warnOverflow();
        return;
    }
    ++vertices_;
    const char* p = rest.data();
    scanFloats(p, p + rest.size(), model_->vertices + 3 * size_t{vertices_}, 3);

    const GLuint next = vertices_ + 1;
    if (progress_ && progress_->report && next % 200 == 0) {
        std::string text = progress_->caption ? progress_->caption : "";
        text += " (";
        text += group_->name;
        text += " )... ";
        const auto percent = static_cast<float>(next * 70.0 / model_->vertexcount + 30.0);
        progress_->report(progressValue(percent, progress_), text.c_str());
    }
}

void FillPass::storeFace(std::string_view rest, unsigned long line) {
    const CornerFormat format = scanFace<true>(rest, corners_);
    const bool hasTexCoords =
        format == CornerFormat::Full || format == CornerFormat::VertexTexCoord;
    const bool hasNormals = format == CornerFormat::Full || format == CornerFormat::VertexNormal;

    const size_t count = corners_.size();
    const GLuint triangles = static_cast<GLuint>(count - 2);
    if (triangles > model_->trianglecount - triangles_ ||
        triangles > groupCapacity_ - group_->trianglecount) {
        warnOverflow();
        return;
    }

    // Resolve every corner first: a face with a missing vertex is dropped whole.
    bool clearedHere = false;
    for (Corner& c : corners_) {
        const GLint v = resolve(c.v, vertices_, model_->vertexcount);
        if (v == 0) {
            ++dropped_;
            warnIndex(line, "vertex", c.v, model_->vertexcount, "face dropped");
            return;
        }
        c.v = v;
        if (hasTexCoords) {
            const GLint t = resolve(c.t, texcoords_, model_->texcoordcount);
            if (t == 0 && !clearedHere) {
                clearedHere = true;
                ++cleared_;
                warnIndex(line, "texture coordinate", c.t, model_->texcoordcount,
                          "corner left without one");
            }
            c.t = t;
        } else {
            c.t = 0;
        }
        if (hasNormals) {
            const GLint n = resolve(c.n, normals_, model_->normalcount);
            if (n == 0 && !clearedHere) {
                clearedHere = true;
                ++cleared_;
                warnIndex(line, "normal", c.n, model_->normalcount, "corner left without one");
            }
            c.n = n;
        } else {
            c.n = 0;
        }
    }

    // Fan: (c1, c2, c3), then (c1, c(k-1), ck) for each further corner.
    for (size_t k = 2; k < count; ++k) {
        ObjTriangle& tri = model_->triangles[triangles_];
        const Corner* used[3] = {&corners_[0], &corners_[k - 1], &corners_[k]};
        for (int i = 0; i < 3; ++i) {
            tri.vertexindex[i] = static_cast<GLint>(used[i]->v);
            tri.texcoordindex[i] = static_cast<GLint>(used[i]->t);
            tri.normalindex[i] = static_cast<GLint>(used[i]->n);
        }
        tri.facetnormindex = k == 2 ? -1 : 0;
        group_->triangleindices[group_->trianglecount++] = triangles_;
        ++triangles_;
    }
}

void FillPass::run(LineReader& reader) {
    selectGroup("default");
    std::string name;
    std::string_view line, token, rest;
    bool hadEnd;
    while (reader.next(line, hadEnd)) {
        if (!splitStatement(line, token, rest)) {
            continue;
        }
        switch (classify(token)) {
            case Statement::Skip:
            case Statement::MtlLib:
            case Statement::UnknownV:
                break;
            case Statement::Vertex:
                storeVertex(rest);
                break;
            case Statement::Normal:
                if (normals_ < model_->normalcount) {
                    ++normals_;
                    const char* p = rest.data();
                    scanFloats(p, p + rest.size(), model_->normals + 3 * size_t{normals_}, 3);
                } else {
                    warnOverflow();
                }
                break;
            case Statement::TexCoord:
                if (texcoords_ < model_->texcoordcount) {
                    ++texcoords_;
                    const char* p = rest.data();
                    scanFloats(p, p + rest.size(), model_->texcoords + 2 * size_t{texcoords_}, 2);
                } else {
                    warnOverflow();
                }
                break;
            case Statement::UseMtl:
                name.assign(nextWord(rest));
                material_ = glmFindMaterial(model_, name.c_str());
                group_->material = material_;
                break;
            case Statement::Group:
                name.assign(rest.data(), rest.size());
                selectGroup(name.c_str());
                group_->material = material_;
                break;
            case Statement::Face:
                storeFace(rest, reader.lineNumber());
                break;
        }
    }
    finish();
}

void FillPass::finish() {
    if (warnings_ > kWarningLimit) {
        std::printf(
            "glmFillPass() warning: %lu faces dropped and %lu faces left with missing normals or "
            "texture coordinates in all.\n",
            dropped_, cleared_);
    }
    if (triangles_ < model_->trianglecount) {
        model_->trianglecount = triangles_;
        model_->triangles = static_cast<ObjTriangle*>(
            checkedRealloc(model_->triangles, sizeof(ObjTriangle) * size_t{triangles_}));
    }
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

// ---- Public passes ---------------------------------------------------------------------------

void glmFirstPass(ObjModel* model, FILE* file, ObjProgress* progress) {
    assert(model);
    LineReader reader(file);
    storeCounts(model, countPass(model, reader, progress, nullptr));
    allocateGroups(model);
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
    text.resize(size + kReadSlack, '\0');
    std::unordered_map<std::string, uint64_t> groupCounts;
    {
        LineReader counter(text.data(), size);
        countPass(nullptr, counter, nullptr, &groupCounts);
    }
    Capacities capacities;
    for (ObjGroup* group = model->groups; group; group = group->next) {
        const auto found = groupCounts.find(group->name);
        const uint64_t wanted = found == groupCounts.end() ? 0 : found->second;
        const GLuint capacity = static_cast<GLuint>(wanted < kMaxItems ? wanted : kMaxItems);
        group->triangleindices = static_cast<GLuint*>(
            checkedRealloc(group->triangleindices, sizeof(GLuint) * size_t{capacity}));
        group->trianglecount = 0;
        capacities[group] = capacity;
    }
    if (model->vertexcount && !model->vertices) {
        model->vertexcount = 0;  // nothing to fill
    }
    if (model->normalcount && !model->normals) {
        model->normalcount = 0;
    }
    if (model->texcoordcount && !model->texcoords) {
        model->texcoordcount = 0;
    }
    if (model->trianglecount && !model->triangles) {
        model->trianglecount = 0;
    }
    LineReader reader(text.data(), size);
    FillPass(model, progress, std::move(capacities)).run(reader);
}

// ---- glmReadOBJ ------------------------------------------------------------------------------

ObjModel* glmReadOBJ(const char* filename, ObjProgress* progress) {
    std::unique_ptr<FILE, FileCloser> file(openForReading(filename));
    if (!file) {
        fail(stderr, "glmReadOBJ() failed: can't open data file \"%s\".\n", filename);
    }
    ModelGuard guard{static_cast<ObjModel*>(checkedCalloc(1, sizeof(ObjModel)))};
    ObjModel* model = guard.model;
    model->filepath = copyString(filename);

    Capacities capacities;
    {
        LineReader reader(file.get());
        storeCounts(model, countPass(model, reader, progress, nullptr));
        capacities = allocateGroups(model);
    }
    allocateArrays(model);

    std::rewind(file.get());
    {
        LineReader reader(file.get());
        FillPass(model, progress, std::move(capacities)).run(reader);
    }
    guard.model = nullptr;
    return model;
}
