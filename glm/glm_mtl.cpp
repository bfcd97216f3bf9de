// Material libraries (MTL) and the per-model texture registry.
#undef NDEBUG  // preconditions are checked in every build
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "glm/glm_internal.h"
#include "textures/texture.h"

using namespace glm_detail;

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// Directory of the model's file followed by `name`; an absolute name as it stands.
std::string besideModel(const ObjModel* model, std::string_view name) {
    if (!name.empty() && name[0] == '/') {
        return std::string(name);
    }
    std::unique_ptr<char, decltype(&std::free)> directory(glmDirectoryOf(model->filepath),
                                                          &std::free);
    std::string path(directory.get());
    path.append(name);
    return path;
}

void setDefaults(ObjMaterial& material) {
    material = ObjMaterial{};
    const GLfloat diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    const GLfloat specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::memcpy(material.diffuse, diffuse, sizeof diffuse);
    std::memcpy(material.ambient, ambient, sizeof ambient);
    std::memcpy(material.specular, specular, sizeof specular);
    material.shininess = 65.0f;
    material.textureindex = -1;
}

void freeMaterials(ObjModel* model) {
    if (model->materials) {
        for (GLuint i = 0; i < model->materialcount; ++i) {
            std::free(model->materials[i].name);
        }
        std::free(model->materials);
    }
    model->materials = nullptr;
    model->materialcount = 0;
}

void scanColour(std::string_view rest, GLfloat* colour) {
    const char* p = rest.data();
    scanFloats(p, p + rest.size(), colour, 3);  // what does not convert keeps its value
}

}  // namespace

void glmReadMTL(ObjModel* model, const char* name, ObjProgress* progress) {
    assert(model);
    const std::string path = besideModel(model, name);
    std::unique_ptr<FILE, FileCloser> file(openForReading(path.c_str()));
    if (!file) {
        fail(stderr, "glmReadMTL() failed: can't open material file \"%s\".\n", path.c_str());
    }

    GLuint count = 1;  // "default"
    {
        LineSource lines(file.get());
        lines.each([&count](const char* begin, const char* end) {
            std::string_view rest(begin, static_cast<size_t>(end - begin));
            if (nextWord(rest) == "newmtl" && count < 0x7fffffff) {
                ++count;
            }
        });
    }

    // A second mtllib replaces the table read for the first.
    freeMaterials(model);
    model->materials = static_cast<ObjMaterial*>(checkedCalloc(count, sizeof(ObjMaterial)));
    model->materialcount = count;
    for (GLuint i = 0; i < count; ++i) {
        setDefaults(model->materials[i]);
    }
    model->materials[0].name = copyString("default");

    std::rewind(file.get());
    LineSource lines(file.get());
    GLuint current = 0;
    std::string argument;
    lines.each([&](const char* begin, const char* end) {
        std::string_view rest(begin, static_cast<size_t>(end - begin));
        const std::string_view token = nextWord(rest);
        if (token.empty()) {
            return;
        }
        ObjMaterial& material = model->materials[current];
        const char second = token.size() > 1 ? token[1] : '\0';
        switch (token[0]) {
            case 'n':
                // Only newmtl starts a material; other statements are ones the library skips.
                if (token == "newmtl" && current + 1 < count) {
                    ++current;  // (the library cannot grow between the two reads)
                    std::free(model->materials[current].name);
                    model->materials[current].name = copyString(std::string(nextWord(rest)));
                }
                break;
            case 'N':
                if (second == 's') {
                    const char* p = rest.data();
                    float value;
                    // A value that does not convert keeps the default shininess.
                    if (scanFloat(p, end, value)) {
                        material.shininess = static_cast<GLfloat>(value / 1000.0);
                        material.shininess = static_cast<GLfloat>(material.shininess * 128.0);
                    }
                }
                break;
            case 'K':
                if (second == 'd') {
                    scanColour(rest, material.diffuse);
                } else if (second == 's') {
                    scanColour(rest, material.specular);
                } else if (second == 'a') {
                    scanColour(rest, material.ambient);
                }
                break;
            case 'm':
                if (token.substr(0, 6) == "map_Kd") {
                    // The argument keeps its leading blank and its line end.
                    argument.assign(rest.data(), rest.size());
                    if (lines.hadLineEnd()) {
                        argument += '\n';
                    }
                    const GLint index = glmFindOrLoadTexture(model, argument.c_str(), progress);
                    model->materials[current].textureindex = index;
                }
                break;
            default:
                break;
        }
    });
    for (GLuint i = 0; i < count; ++i) {
        if (!model->materials[i].name) {
            model->materials[i].name = copyString("");
        }
    }
}

GLint glmFindMaterial(ObjModel* model, const char* name) {
    assert(model);
    for (GLuint i = 0; i < model->materialcount; ++i) {
        if (std::strcmp(model->materials[i].name, name) == 0) {
            return static_cast<GLint>(i);
        }
    }
    std::printf("glmFindMaterial():  can't find material \"%s\".\n", name);
    return 0;
}

GLint glmFindOrLoadTexture(ObjModel* model, const char* name, ObjProgress* progress) {
    assert(model);
    const char* key = name;
    while (*key == ' ') {
        ++key;
    }
    for (GLuint i = 0; i < model->texturecount; ++i) {
        if (std::strcmp(model->textures[i].name, key) == 0) {
            return static_cast<GLint>(i);
        }
    }

    if (progress && progress->report) {
        const std::string text = std::string("Loading Textures (") + name + " )...";
        const auto percent = static_cast<float>(model->texturecount * 30.0 / 5);
        progress->report(progressValue(percent, progress), text.c_str());
    }

    // A drive-qualified name is taken as it stands; anything else lies beside the model.
    std::string path = std::strstr(name, ":\\") ? std::string(name) : besideModel(model, key);
    // Drop the line end the argument carries (LF, or CR LF).
    for (int i = 0; i < 2; ++i) {
        if (!path.empty() && static_cast<unsigned char>(path.back()) < 32) {
            path.pop_back();
        }
    }

    model->textures = static_cast<ObjTexture*>(
        checkedRealloc(model->textures, sizeof(ObjTexture) * (size_t{model->texturecount} + 1)));
    ObjTexture& texture = model->textures[model->texturecount];
    texture = ObjTexture{};
    texture.name = copyString(key);
    ++model->texturecount;
    texture.id = glmLoadTexture(path.c_str(), GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE, &texture.width,
                                &texture.height);
    return static_cast<GLint>(model->texturecount - 1);
}
