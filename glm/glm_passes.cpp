// The OBJ reader's two passes, a counting pass and a filling pass, driven by one statement loop:
// both see every line classified by the same code. The counting pass counts every statement the
// fill pass stores and the triangles of every face as its words (exactly, for every face
// exporters write); the fill pass checks every store against what was allocated, so neither a
// malformed face nor a file that changes between the passes can overrun the arrays, and makes
// room for a face that reads as more triangles than counted.
#undef NDEBUG  // preconditions are checked in every build
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <string>

#include "glm/glm_scan.h"

namespace glm_detail {

namespace {

constexpr uint64_t kMaxItems = 0x7ffffffe;  // indices are 32-bit signed

// Any statement by its first word.
template <class Pass>
void statement(Pass& pass, const char* begin, const char* end) {
    std::string_view rest(begin, static_cast<size_t>(end - begin));
    const std::string_view token = nextWord(rest);
    if (token.empty()) {
        return;
    }
    const char* after = rest.data();
    switch (token[0]) {
        case 'v':
            if (token.size() == 1 || token[1] == '\0') {
                pass.vertex(after, end);
            } else if (token[1] == 'n') {
                pass.normal(after, end);
            } else if (token[1] == 't') {
                pass.texCoord(after, end);
            } else {
                pass.unknown(token);
            }
            break;
        case 'm':
            pass.library(nextWord(rest));
            break;
        case 'u':
            pass.material(nextWord(rest));
            break;
        case 'g':
            pass.group(rest);
            break;
        case 'f':
            pass.face(after, end);
            break;
        default:  // comments and statements the library does not use
            break;
    }
}

// The one loop of both passes: the common statements by their first bytes (when a blank or tab
// ends the keyword), anything else by its first word.
template <class Pass>
void readStatements(LineSource& lines, Pass& pass) {
    lines.each([&pass](const char* begin, const char* end) {
        const char second = begin[1];  // a line's end byte is followed by readable bytes
        switch (*begin) {
            case 'v':
                if (isSpaceOrTab(second)) {
                    return pass.vertex(begin + 2, end);
                }
                if (isSpaceOrTab(begin[2]) && (second == 'n' || second == 't')) {
                    return second == 'n' ? pass.normal(begin + 3, end)
                                         : pass.texCoord(begin + 3, end);
                }
                break;
            case 'f':
                if (isSpaceOrTab(second)) {
                    return pass.face(begin + 2, end);
                }
                break;
            case '#':
                return;
            default:
                break;
        }
        statement(pass, begin, end);
    });
}

// ---- Counting --------------------------------------------------------------------------------

// A material library named by the file: the model keeps the last name and its materials.
void readLibrary(ObjModel* model, std::string_view name, ObjProgress* progress) {
    std::free(model->mtlfilename);
    model->mtlfilename = copyString(name);
    glmReadMTL(model, model->mtlfilename, progress);
}

[[noreturn]] void unknownToken(std::string_view token) {
    fail(stdout, "glmFirstPass(): Unknown token \"%.*s\".\n", static_cast<int>(token.size()),
         token.data());
}

struct Counts {
    uint64_t vertices = 0, normals = 0, texcoords = 0, triangles = 0;
};

// Counts the statements. With a model it is the real first pass: groups are created and counted
// on the model and the material library is read. Without, it only counts (groups by name). Faces
// count by their words (exactly on every plain face), or, when exact, as the general reading
// reads them.
class CountPass {
public:
    CountPass(ObjModel* model, ObjProgress* progress, GroupCounts* byName, bool exact,
              unsigned librariesRead = 0)
        : model_(model),
          progress_(progress),
          byName_(byName),
          exact_(exact),
          librariesRead_(librariesRead) {
        group("default");
    }

    void vertex(const char*, const char*) { ++counts_.vertices; }
    void normal(const char*, const char*) { ++counts_.normals; }
    void texCoord(const char*, const char*) { ++counts_.texcoords; }
    void face(const char* rest, const char* end) {
        const size_t triangles = countFace(rest, end, exact_, scratch_) - 2;
        counts_.triangles += triangles;
        *groupTriangles_ += triangles;
    }
    void group(std::string_view name) {
        const std::string copy(name);
        groupTriangles_ =
            model_ ? &byGroup_[glmEnsureGroup(model_, copy.c_str())] : &(*byName_)[copy.c_str()];
    }
    void material(std::string_view) {}
    void library(std::string_view name) {
        if (librariesRead_ > 0) {
            --librariesRead_;  // read by a single pass that had to start again
        } else if (model_) {
            readLibrary(model_, name, progress_);
        }
    }
    [[noreturn]] void unknown(std::string_view token) { unknownToken(token); }

    Counts finish() {
        if (counts_.vertices > kMaxItems || counts_.normals > kMaxItems ||
            counts_.texcoords > kMaxItems || counts_.triangles > kMaxItems) {
            fail(stderr, "glmFirstPass() failed: more than %llu items in one array.\n",
                 static_cast<unsigned long long>(kMaxItems));
        }
        for (const auto& [group, triangles] : byGroup_) {
            const uint64_t sum = group->trianglecount + triangles;
            group->trianglecount = static_cast<GLuint>(sum < kMaxItems ? sum : kMaxItems);
        }
        return counts_;
    }

private:
    ObjModel* model_;
    ObjProgress* progress_;
    GroupCounts* byName_;
    bool exact_;
    unsigned librariesRead_;
    std::unordered_map<ObjGroup*, uint64_t> byGroup_;
    uint64_t* groupTriangles_ = nullptr;
    Counts counts_;
    std::vector<Corner> scratch_;
};

// ---- Filling ---------------------------------------------------------------------------------

constexpr unsigned kWarningLimit = 10;

// How the fill pass stores: into arrays allocated at the counted sizes (the caller's, or the
// reader's own, whose triangles may grow), or in one pass without counts, every array growing.
enum class Fill { CallersArrays, OwnArrays, OnePass };

class FillPass {
public:
    // `estimate`: in one pass, the items each array starts with.
    FillPass(ObjModel* model, ObjProgress* progress, Capacities capacities, LineSource& lines,
             Fill fill, GLuint estimate = 0)
        : model_(model),
          progress_(progress),
          capacities_(std::move(capacities)),
          lines_(lines),
          fill_(fill),
          onePass_(fill == Fill::OnePass),
          vertexCapacity_(model->vertexcount),
          normalCapacity_(model->normalcount),
          texcoordCapacity_(model->texcoordcount),
          estimate_(estimate) {
        selectGroup("default");
    }

    void vertex(const char* rest, const char* end);
    void normal(const char* rest, const char* end) {
        storeItem<3>(rest, end, model_->normals, normalCapacity_, model_->normalcount, normals_);
    }
    void texCoord(const char* rest, const char* end) {
        storeItem<2>(rest, end, model_->texcoords, texcoordCapacity_, model_->texcoordcount,
                     texcoords_);
    }
    void face(const char* rest, const char* end);
    void group(std::string_view name) {
        selectGroup(std::string(name).c_str());
        group_->material = material_;
    }
    void material(std::string_view name);
    void library(std::string_view name);
    void unknown(std::string_view token) {
        if (onePass_) {
            unknownToken(token);
        }  // else the first pass has ended the process for these
    }
    void finish();

    // Thrown in one pass at what only two passes read as they should: an index beyond the items
    // read so far (a later item, or none), a library named after a material was used. Counts the
    // libraries read by then.
    struct Restart {
        unsigned librariesRead;
    };

private:
    template <int Components>
    bool storeItem(const char* rest, const char* end, GLfloat*& items, GLuint& capacity,
                   GLuint& modelCount, GLuint& stored);
    void selectGroup(const char* name);
    void generalFace(const char* rest, const char* end);
    bool grow(GLfloat*& items, GLuint& capacity, size_t components);
    bool makeRoom(GLuint triangles);
    GLint resolve(int64_t index, GLuint read, GLuint total) const;
    void warnIndex(const char* what, int64_t index, GLuint total, const char* outcome);
    void warnOverflow();

    ObjModel* model_;
    ObjProgress* progress_;
    Capacities capacities_;
    LineSource& lines_;
    Fill fill_;
    bool onePass_;
    unsigned faceKind_ = 2;  // of the last plain face (as storePlainFace has it)
    std::vector<Corner> corners_;

    GLuint vertices_ = 0, normals_ = 0, texcoords_ = 0;  // items stored so far
    GLuint vertexCapacity_, normalCapacity_, texcoordCapacity_, estimate_;
    GLuint triangles_ = 0;
    GLint material_ = 0;
    ObjGroup* group_ = nullptr;
    GLuint groupCapacity_ = 0;
    bool materialUsed_ = false;
    std::vector<std::string> missingMaterials_;  // used in one pass, in no library
    unsigned librariesRead_ = 0;

    unsigned long dropped_ = 0, cleared_ = 0, warnings_ = 0;
    bool overflowWarned_ = false;
};

void FillPass::selectGroup(const char* name) {
    group_ = glmFindGroup(model_, name);
    if (!group_) {
        if (!onePass_) {
            warnOverflow();  // a group the first pass never saw: it gets no triangles
        }
        group_ = glmEnsureGroup(model_, name);
    }
    const auto found = capacities_.find(group_);
    groupCapacity_ = found == capacities_.end() ? 0 : found->second;
}

void FillPass::material(std::string_view name) {
    const std::string copy(name);
    if (onePass_) {
        material_ = -1;
        for (GLuint i = 0; i < model_->materialcount && material_ < 0; ++i) {
            material_ = std::strcmp(model_->materials[i].name, copy.c_str()) == 0 ? i : -1;
        }
        if (material_ < 0) {
            // Not in the libraries read so far: unless one is named later (which starts again),
            // it is found nowhere, and is reported where two passes report it, after them all.
            material_ = 0;
            missingMaterials_.push_back(copy);
        }
        materialUsed_ = true;
    } else {
        material_ = glmFindMaterial(model_, copy.c_str());
    }
    group_->material = material_;
}

void FillPass::library(std::string_view name) {
    if (onePass_) {
        if (materialUsed_) {
            throw Restart{librariesRead_};  // every use reads the last library named
        }
        readLibrary(model_, name, progress_);
        ++librariesRead_;
    }
}

void FillPass::warnOverflow() {
    if (onePass_) {
        throw Restart{librariesRead_};
    }
    if (!overflowWarned_) {
        overflowWarned_ = true;
        std::printf(
            "glmFillPass() warning: the file holds more than the first pass counted (was it "
            "changed while being read?); the rest is left out.\n");
    }
}

void FillPass::warnIndex(const char* what, int64_t index, GLuint total, const char* outcome) {
    if (onePass_) {
        throw Restart{librariesRead_};
    }
    if (++warnings_ <= kWarningLimit) {
        std::printf("glmFillPass() warning: line %lu: face uses %s %lld, but there are %u; %s.\n",
                    lines_.lineNumber(), what, static_cast<long long>(index), total, outcome);
    }
}

inline GLint FillPass::resolve(int64_t index, GLuint read, GLuint total) const {
    if (index > 0) {
        return index <= total ? static_cast<GLint>(index) : 0;
    }
    if (index < 0) {
        const int64_t absolute = int64_t{read} + 1 + index;  // -1 is the last one read
        return absolute >= 1 ? static_cast<GLint>(absolute) : 0;
    }
    return 0;
}

// Room for one more item in one pass: the array (item 0 unused, and zero) starts at the room
// the file's size suggests and grows by half.
bool FillPass::grow(GLfloat*& items, GLuint& capacity, size_t components) {
    if (!onePass_ || capacity >= kMaxItems) {
        return false;
    }
    const bool first = items == nullptr;
    capacity = static_cast<GLuint>(std::min<uint64_t>(
        kMaxItems, first ? estimate_ : std::max<uint64_t>(capacity + capacity / 2, 1024)));
    const size_t bytes = (size_t{capacity} + 1) * components * sizeof(GLfloat);
    items = static_cast<GLfloat*>(checkedRealloc(items, bytes));
    if (first) {
        std::fill(items, items + components, 0.0f);
    }
    return true;
}

// One more vertex, normal or texture coordinate, after the `stored` ones (item 0 is unused); in
// one pass the model counts what was stored so far. False when there is no room for it.
template <int Components>
bool FillPass::storeItem(const char* rest, const char* end, GLfloat*& items, GLuint& capacity,
                         GLuint& modelCount, GLuint& stored) {
    if (stored == capacity && !grow(items, capacity, Components)) {
        warnOverflow();
        return false;
    }
    modelCount = onePass_ ? stored + 1 : modelCount;
    ++stored;
    storeFloats<Components>(rest, end, items + Components * size_t{stored});
    return true;
}

void FillPass::vertex(const char* rest, const char* end) {
    if (!storeItem<3>(rest, end, model_->vertices, vertexCapacity_, model_->vertexcount,
                      vertices_)) {
        return;
    }
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

void FillPass::face(const char* rest, const char* end) {
    const auto roomLeft = [this] {
        return std::min(model_->trianglecount - triangles_, groupCapacity_ - group_->trianglecount);
    };
    GLuint room = roomLeft();
    if (onePass_ && room < 64 && makeRoom(64)) {
        room = roomLeft();
    }
    if (room > 0) {
        const FanTarget target{model_->triangles + triangles_,
                               group_->triangleindices + group_->trianglecount,
                               triangles_,
                               room,
                               model_->vertexcount,
                               model_->texcoordcount,
                               model_->normalcount,
                               vertices_,
                               texcoords_,
                               normals_};
        if (const GLuint stored = storePlainFace(rest, end, target, faceKind_)) {
            triangles_ += stored;
            group_->trianglecount += stored;
            return;
        }
    }
    generalFace(rest, end);
}

// Any face the shortcut does not take: read the general way, checked corner by corner, with
// warnings for what it leaves out.
void FillPass::generalFace(const char* rest, const char* end) {
    const CornerFormat format = scanFace(rest, end, corners_);
    const bool hasTexCoords =
        format == CornerFormat::Full || format == CornerFormat::VertexTexCoord;
    const bool hasNormals = format == CornerFormat::Full || format == CornerFormat::VertexNormal;
    const size_t count = corners_.size();
    if (count - 2 > kMaxItems || !makeRoom(static_cast<GLuint>(count - 2))) {
        return warnOverflow();
    }
    const auto triangles = static_cast<GLuint>(count - 2);

    // Resolve every corner first: a face with a missing vertex is dropped whole.
    bool clearedHere = false;
    for (Corner& c : corners_) {
        const GLint v = resolve(c.v, vertices_, model_->vertexcount);
        if (v == 0) {
            ++dropped_;
            return warnIndex("vertex", c.v, model_->vertexcount, "face dropped");
        }
        c.v = v;
        const GLint t = hasTexCoords ? resolve(c.t, texcoords_, model_->texcoordcount) : 0;
        if (hasTexCoords && t == 0 && !clearedHere) {
            clearedHere = true;
            ++cleared_;
            warnIndex("texture coordinate", c.t, model_->texcoordcount, "corner left without one");
        }
        const GLint n = hasNormals ? resolve(c.n, normals_, model_->normalcount) : 0;
        if (hasNormals && n == 0 && !clearedHere) {
            clearedHere = true;
            ++cleared_;
            warnIndex("normal", c.n, model_->normalcount, "corner left without one");
        }
        c.t = t;
        c.n = n;
    }

    // Fan: (c1, c2, c3), then (c1, c(k-1), ck) for each further corner.
    GLuint* indices = group_->triangleindices + group_->trianglecount;
    group_->trianglecount += triangles;
    for (size_t k = 2; k < count; ++k) {
        ObjTriangle& tri = model_->triangles[triangles_];
        const Corner* used[3] = {&corners_[0], &corners_[k - 1], &corners_[k]};
        for (int i = 0; i < 3; ++i) {
            tri.vertexindex[i] = static_cast<GLint>(used[i]->v);
            tri.texcoordindex[i] = static_cast<GLint>(used[i]->t);
            tri.normalindex[i] = static_cast<GLint>(used[i]->n);
        }
        tri.facetnormindex = k == 2 ? -1 : 0;
        *indices++ = triangles_++;
    }
}

// Room for `triangles` more in the model and the group: a face the counting pass counted short
// (one the general reading finds more corners in than words) grows the arrays. The model's
// triangles grow only when they are the reader's own.
bool FillPass::makeRoom(GLuint triangles) {
    const auto grown = [triangles](GLuint used, GLuint capacity) -> uint64_t {
        const uint64_t wanted = uint64_t{used} + triangles;
        return wanted <= capacity ? capacity
                                  : std::max({wanted, capacity + uint64_t{capacity} / 2,
                                              uint64_t{1024}});
    };
    const uint64_t modelCapacity = grown(triangles_, model_->trianglecount);
    const uint64_t groupCapacity = grown(group_->trianglecount, groupCapacity_);
    if (uint64_t{triangles_} + triangles > kMaxItems ||
        (modelCapacity > model_->trianglecount && fill_ == Fill::CallersArrays)) {
        return false;
    }
    if (modelCapacity > model_->trianglecount) {
        const auto capacity = static_cast<GLuint>(std::min(modelCapacity, kMaxItems));
        model_->triangles = static_cast<ObjTriangle*>(
            checkedRealloc(model_->triangles, sizeof(ObjTriangle) * size_t{capacity}));
        model_->trianglecount = capacity;
    }
    if (groupCapacity > groupCapacity_) {
        groupCapacity_ = static_cast<GLuint>(std::min(groupCapacity, kMaxItems));
        group_->triangleindices = static_cast<GLuint*>(
            checkedRealloc(group_->triangleindices, sizeof(GLuint) * size_t{groupCapacity_}));
        capacities_[group_] = groupCapacity_;
    }
    return true;
}

void FillPass::finish() {
    for (const std::string& name : missingMaterials_) {
        glmFindMaterial(model_, name.c_str());  // its message; the faces have "default" already
    }
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
    if (onePass_) {  // every array at its size, as two passes leave them
        const auto fit = [](GLfloat*& items, GLuint count, size_t components) {
            if (items) {
                items = static_cast<GLfloat*>(checkedRealloc(
                    items, (size_t{count} + 1) * components * sizeof(GLfloat)));
            }
        };
        if (!model_->vertices) {
            grow(model_->vertices, vertexCapacity_, 3);
        }
        fit(model_->vertices, vertices_, 3);
        fit(model_->normals, normals_, 3);
        fit(model_->texcoords, texcoords_, 2);
        for (ObjGroup* group = model_->groups; group; group = group->next) {
            group->triangleindices = static_cast<GLuint*>(checkedRealloc(
                group->triangleindices, sizeof(GLuint) * size_t{group->trianglecount}));
        }
    }
}

}  // namespace

Capacities countStatements(ObjModel* model, ObjProgress* progress, LineSource& lines, bool exact,
                           unsigned librariesRead) {
    CountPass pass(model, progress, nullptr, exact, librariesRead);
    readStatements(lines, pass);
    const Counts counts = pass.finish();
    model->vertexcount = static_cast<GLuint>(counts.vertices);
    model->normalcount = static_cast<GLuint>(counts.normals);
    model->texcoordcount = static_cast<GLuint>(counts.texcoords);
    model->trianglecount = static_cast<GLuint>(counts.triangles);
    // Every group gets an index array of its counted size; the fill pass counts again.
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

GroupCounts countGroupTriangles(LineSource& lines) {
    GroupCounts byName;
    CountPass pass(nullptr, nullptr, &byName, false);
    readStatements(lines, pass);
    pass.finish();
    return byName;
}

void fillStatements(ObjModel* model, ObjProgress* progress, LineSource& lines,
                    Capacities capacities, bool ownArrays) {
    FillPass pass(model, progress, std::move(capacities), lines,
                  ownArrays ? Fill::OwnArrays : Fill::CallersArrays);
    readStatements(lines, pass);
    pass.finish();
}

bool readOnePass(ObjModel* model, LineSource& lines, uint64_t fileSize, unsigned& librariesRead) {
    // Room to start with, from the file's size (a line of 24 bytes for each item): most files
    // need no more, and what is not used is never touched. Larger files grow.
    const auto estimate = static_cast<GLuint>(std::min<uint64_t>(fileSize / 24 + 64, 1 << 24));
    model->trianglecount = estimate;
    model->triangles =
        static_cast<ObjTriangle*>(checkedMalloc(sizeof(ObjTriangle) * size_t{estimate}));
    ObjGroup* first = glmEnsureGroup(model, "default");  // most files have no other group
    first->triangleindices = static_cast<GLuint*>(checkedMalloc(sizeof(GLuint) * size_t{estimate}));
    try {
        FillPass pass(model, nullptr, Capacities{{first, estimate}}, lines, Fill::OnePass,
                      estimate);
        readStatements(lines, pass);
        pass.finish();
        return true;
    } catch (const FillPass::Restart& restart) {
        librariesRead = restart.librariesRead;
        return false;
    }
}

}  // namespace glm_detail
