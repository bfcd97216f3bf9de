// zandar-obj convert IN OUT [operations] [what to write]: the library's operations in the order
// given, then its writer.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/obj/obj_tool.h"

namespace fs = std::filesystem;

namespace {

struct Operation {
    std::string option;
    float value = 0.0f;
};

void run(ObjModel* model, const Operation& op) {
    const std::string& o = op.option;
    if (o == "--sphere-texcoords" && !model->normals) {
        throw ToolError("--sphere-texcoords needs normals: put --smooth DEGREES before it");
    }
    callLibrary([&] {
        if (o == "--unitize") {
            glmFitToUnitCube(model);
        } else if (o == "--scale") {
            glmScaleModel(model, op.value);
        } else if (o == "--reverse") {
            glmFlipWinding(model);
        } else if (o == "--weld") {
            glmMergeVertices(model, op.value);
        } else if (o == "--facet-normals") {
            glmComputeFacetNormals(model);
        } else if (o == "--smooth") {
            if (!model->facetnorms) {  // smoothing works from the facets; make them when missing
                glmComputeFacetNormals(model);
            }
            glmVertexNormals(model, op.value);
        } else if (o == "--linear-texcoords") {
            glmPlanarTexCoords(model);
        } else if (o == "--sphere-texcoords") {
            glmSphereTexCoords(model);
        }
    });
}

// What goes into the file: as asked, or else everything the model has.
GLuint outputMode(ObjModel* model, bool selected, const std::string& normals, bool texcoords,
                  bool materials) {
    const bool hasMaterials = model->materials && model->mtlfilename;
    if (!selected) {
        return (model->normals      ? OBJ_SMOOTH
                : model->facetnorms ? OBJ_FLAT
                                    : OBJ_NONE) |
               (model->texcoords ? OBJ_TEXTURE : OBJ_NONE) |
               (hasMaterials ? OBJ_MATERIAL : OBJ_NONE);
    }
    GLuint mode = OBJ_NONE;
    if (normals == "smooth") {
        if (!model->normals) {
            throw ToolError(
                "--normals smooth: the model has no normals (--smooth DEGREES makes "
                "them)");
        }
        mode |= OBJ_SMOOTH;
    } else if (normals == "flat") {
        if (!model->facetnorms) {
            callLibrary([&] { glmComputeFacetNormals(model); });
        }
        mode |= OBJ_FLAT;
    }
    if (texcoords) {
        if (!model->texcoords) {
            throw ToolError(
                "--texcoords: the model has no texture coordinates "
                "(--linear-texcoords or --sphere-texcoords make them)");
        }
        mode |= OBJ_TEXTURE;
    }
    if (materials) {
        if (!hasMaterials) {
            throw ToolError("--materials: the model names no material library");
        }
        mode |= OBJ_MATERIAL;
    }
    return mode;
}

// The texture file a map_Kd name stands for, as the reader found it, relative to folder: the
// reader puts the model's folder before every name, absolute ones too.
std::string texturePathFrom(const ObjModel& model, const ObjTexture& texture,
                            const fs::path& folder) {
    const std::string name = textureName(texture);
    if (name.find(":\\") != std::string::npos) {
        return name;
    }
    char* directory = glmDirectoryOf(model.filepath);
    const fs::path file = fs::absolute(std::string(directory) + name).lexically_normal();
    std::free(directory);
    return file.lexically_relative(fs::absolute(folder).lexically_normal()).string();
}

// The library's MTL writer leaves out the texture maps; put each material's map_Kd back after
// its newmtl line, replacing the file whole (temporary file, then rename).
void addTextureMaps(const ObjModel& model, const std::string& objPath) {
    bool any = false;
    for (GLuint i = 0; i < model.materialcount; ++i) {
        any = any || model.materials[i].textureindex >= 0;
    }
    if (!any) {
        return;
    }
    fs::path folder = fs::path(objPath).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const std::string mtlPath = (folder / model.mtlfilename).string();
    std::ifstream in(mtlPath, std::ios::binary);
    std::string text;
    GLuint material = 0;
    for (std::string line; std::getline(in, line);) {
        text += line + "\n";
        if (line.compare(0, 7, "newmtl ") == 0 && material < model.materialcount) {
            const GLint t = model.materials[material++].textureindex;
            if (t >= 0 && static_cast<GLuint>(t) < model.texturecount) {
                text += "map_Kd " + texturePathFrom(model, model.textures[t], folder) + "\n";
            }
        }
    }
    if (!in.eof()) {
        throw ToolError(mtlPath + ": cannot read it back to add the texture maps");
    }
    const std::string partial = mtlPath + ".partial-" + std::to_string(getpid());
    FILE* out = std::fopen(partial.c_str(), "wb");
    bool written = out && std::fwrite(text.data(), 1, text.size(), out) == text.size() &&
                   std::fflush(out) == 0 && fsync(fileno(out)) == 0;
    const int error = errno;
    written = out && std::fclose(out) == 0 && written;
    if (!written || std::rename(partial.c_str(), mtlPath.c_str()) != 0) {
        const int why = written ? errno : error;
        std::remove(partial.c_str());
        throw ToolError(mtlPath + ": " + std::strerror(why));
    }
}

}  // namespace

int runConvert(const Arguments& args) {
    std::vector<std::string> files;
    std::vector<Operation> operations;
    bool selected = false;
    std::string normals;
    bool texcoords = false;
    bool materials = false;
    ArgumentReader reader(args);
    while (reader.next()) {
        const std::string& o = reader.text();
        if (!reader.isOption()) {
            files.push_back(o);
        } else if (o == "--unitize" || o == "--reverse" || o == "--facet-normals" ||
                   o == "--linear-texcoords" || o == "--sphere-texcoords") {
            reader.noValue();
            operations.push_back({o});
        } else if (o == "--scale" || o == "--weld" || o == "--smooth") {
            const float value = parseNumber(o, reader.value());
            if (o == "--scale" && value == 0.0f) {
                throw ToolError("--scale: 0 would collapse the model to a point");
            }
            if (o == "--weld" && value < 0.0f) {
                throw ToolError("--weld: the distance must not be negative");
            }
            if (o == "--smooth" && (value < 0.0f || value > 180.0f)) {
                throw ToolError("--smooth: the crease angle must lie within 0 to 180 degrees");
            }
            operations.push_back({o, value});
        } else if (o == "--normals") {
            normals = reader.value();
            if (normals != "smooth" && normals != "flat") {
                throw ToolError("--normals: '" + normals + "' is neither smooth nor flat");
            }
            selected = true;
        } else if (o == "--texcoords" || o == "--materials") {
            reader.noValue();
            (o == "--texcoords" ? texcoords : materials) = true;
            selected = true;
        } else {
            throw ToolError("convert: unknown option " + o);
        }
    }
    if (files.size() != 2) {
        throw ToolError("convert: give an input and an output file (" +
                        std::to_string(files.size()) + " given)");
    }
    const std::string& output = files[1];
    checkWritable(output);

    ModelPtr model = readModel(files[0]);
    for (const Operation& op : operations) {
        run(model.get(), op);
    }
    const GLuint mode = outputMode(model.get(), selected, normals, texcoords, materials);
    if (mode & OBJ_MATERIAL) {
        // The materials go beside the output under its name, never over the input's library.
        const std::string name = fs::path(output).stem().string() + ".mtl";
        std::free(model->mtlfilename);
        model->mtlfilename = strdup(name.c_str());
    }
    callLibrary([&] { glmWriteOBJ(model.get(), output.c_str(), mode); });
    if (mode & OBJ_MATERIAL) {
        addTextureMaps(*model, output);
    }
    return 0;
}
