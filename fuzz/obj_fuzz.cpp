// libFuzzer target for the OBJ and MTL readers and the operations loadModel runs on what they
// read, then the writer. The input is an OBJ file, optionally followed by a line "---mtl---" and
// the material library it may name as m.mtl. Failures (unknown statements, a missing library)
// are turned into exceptions through the fail hook, so every input is tried in-process.
//
// Textures are not uploaded: this target defines the texture loader itself, as a function that
// checks the path it is given and returns no texture object, so no OpenGL context is needed.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "glm/glm.h"

GLuint glmLoadTexture(const char* filename, GLboolean, GLboolean, GLboolean, GLboolean,
                      GLfloat* width, GLfloat* height) {
    volatile size_t length = std::strlen(filename);  // the path must be a whole C string
    (void)length;
    *width = 1.0f;
    *height = 1.0f;
    return 0;
}

namespace {

struct Failed {};

std::string directory() {
    static const std::string path = [] {
        // tmpfs when there is one: the writer syncs what it writes.
        std::string pattern =
            access("/dev/shm", W_OK) == 0 ? "/dev/shm/glm-fuzz-XXXXXX" : "/tmp/glm-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::abort();
        }
        std::freopen("/dev/null", "w", stdout);  // warnings are many and not the point here
        glmSetFailHook([](const char*) { throw Failed{}; });
        return pattern + "/";
    }();
    return path;
}

void writeFile(const std::string& path, const char* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::abort();
    }
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = directory();
    const char* text = reinterpret_cast<const char*>(data);
    const std::string input(text, size);
    const std::string separator = "\n---mtl---\n";
    const size_t split = input.find(separator);
    const size_t objSize = split == std::string::npos ? size : split;
    const size_t mtlStart = split == std::string::npos ? size : split + separator.size();
    writeFile(dir + "m.obj", text, objSize);
    writeFile(dir + "m.mtl", text + mtlStart, size - mtlStart);

    ObjModel* model = nullptr;
    try {
        model = glmReadOBJ((dir + "m.obj").c_str());
    } catch (const Failed&) {
        return 0;  // the reader released what it held
    }
    try {
        if (model->vertexcount > 0) {
            glmFitToUnitCube(model);
        }
        glmComputeFacetNormals(model);
        glmVertexNormals(model, 90.0f);
        glmSphereTexCoords(model);
        glmFlipWinding(model);
        glmMergeVertices(model, 0.01f);
        // Write the material library under a fixed name: names read from the file stay out of
        // the paths written.
        std::free(model->mtlfilename);
        model->mtlfilename = strdup("out.mtl");
        glmWriteOBJ(model, (dir + "out.obj").c_str(), OBJ_SMOOTH | OBJ_TEXTURE | OBJ_MATERIAL);
        glmWriteOBJ(model, (dir + "out.obj").c_str(), OBJ_FLAT);
    } catch (const Failed&) {
    }
    glmFreeModel(model);
    return 0;
}
