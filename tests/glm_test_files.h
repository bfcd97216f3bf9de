// Files for the model library's tests: a private temporary folder, text in and out, a tiny
// uncompressed TGA writer, and a fail hook that turns the library's failure exits into
// exceptions so a bad file can be tried in-process.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "glm/glm.h"

namespace glmtest {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "glm-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// An uncompressed 24-bit TGA of one colour (stored blue, green, red).
inline void writeTga(const std::string& path, int width, int height, uint8_t r, uint8_t g,
                     uint8_t b) {
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = 2;
    bytes[12] = static_cast<uint8_t>(width & 0xff);
    bytes[13] = static_cast<uint8_t>(width >> 8);
    bytes[14] = static_cast<uint8_t>(height & 0xff);
    bytes[15] = static_cast<uint8_t>(height >> 8);
    bytes[16] = 24;
    for (int i = 0; i < width * height; ++i) {
        bytes.insert(bytes.end(), {b, g, r});
    }
    writeFile(path, std::string(bytes.begin(), bytes.end()));
}

struct GlmFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// While alive, the library's failures throw GlmFailure carrying their message.
class ThrowOnFailure {
public:
    ThrowOnFailure() : previous_(glmSetFailHook([](const char* m) { throw GlmFailure(m); })) {}
    ~ThrowOnFailure() { glmSetFailHook(previous_); }

private:
    GlmFailHook previous_;
};

struct ModelDeleter {
    void operator()(ObjModel* model) const { glmFreeModel(model); }
};
using ModelPtr = std::unique_ptr<ObjModel, ModelDeleter>;

// Reads `text` as an OBJ file named `name` inside `dir`.
inline ModelPtr readText(const TempDir& dir, const std::string& text,
                         const std::string& name = "model.obj") {
    writeFile(dir / name, text);
    return ModelPtr(glmReadOBJ((dir / name).c_str()));
}

inline std::vector<std::string> groupNames(const ObjModel* model) {
    std::vector<std::string> names;
    for (const ObjGroup* g = model->groups; g; g = g->next) {
        names.emplace_back(g->name);
    }
    return names;
}

inline std::vector<int> vertexIndices(const ObjModel* model) {
    std::vector<int> indices;
    for (GLuint i = 0; i < model->trianglecount; ++i) {
        for (int k = 0; k < 3; ++k) {
            indices.push_back(model->triangles[i].vertexindex[k]);
        }
    }
    return indices;
}

}  // namespace glmtest
