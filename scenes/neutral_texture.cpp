#include "scenes/neutral_texture.h"

#include <SFML/OpenGL.hpp>
#include <map>
#include <vector>

namespace {

bool isIdentity(const GLfloat m[16]) {
    for (int i = 0; i < 16; ++i) {
        if (m[i] != ((i % 5 == 0) ? 1.0f : 0.0f)) {
            return false;
        }
    }
    return true;
}

// With a constant texture coordinate every 2x2 block of fragments has zero derivatives, so the
// texture is magnified: at the origin, with repeat wrapping, a linear filter blends the four
// corner texels of level 0 and a nearest filter takes the first one. The pixels never change
// after loading, so the answer is kept per texture.
bool originSamplesWhite(GLuint texture) {
    static std::map<GLuint, bool> known;
    auto found = known.find(texture);
    if (found != known.end()) {
        return found->second;
    }
    GLint wrapS = 0, wrapT = 0, mag = 0, baseLevel = 0, width = 0, height = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, &baseLevel);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    bool white = false;
    if (wrapS == GL_REPEAT && wrapT == GL_REPEAT && baseLevel == 0 && width > 0 && height > 0 &&
        (mag == GL_LINEAR || mag == GL_NEAREST)) {
        std::vector<GLubyte> pixels(static_cast<std::size_t>(width) * height * 4);
        GLint packAlignment = 4;
        glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
        const int xs[] = {0, width - 1};
        const int ys[] = {0, height - 1};
        white = true;
        for (int y : ys) {
            for (int x : xs) {
                if (mag == GL_NEAREST && (x != 0 || y != 0)) {
                    continue;
                }
                const GLubyte* texel = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
                white = white && texel[0] == 255 && texel[1] == 255 && texel[2] == 255 &&
                        texel[3] == 255;
            }
        }
    }
    known.emplace(texture, white);
    return white;
}

}  // namespace

bool boundTextureIsNeutral() {
    GLint activeUnit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &activeUnit);
    if (activeUnit != GL_TEXTURE0 || !glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(GL_TEXTURE_1D) ||
        glIsEnabled(GL_TEXTURE_3D) || glIsEnabled(GL_TEXTURE_CUBE_MAP) ||
        glIsEnabled(GL_TEXTURE_GEN_S) || glIsEnabled(GL_TEXTURE_GEN_T)) {
        return false;
    }
    GLint envMode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
    GLfloat coords[4] = {};
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, coords);
    GLfloat matrix[16] = {};
    glGetFloatv(GL_TEXTURE_MATRIX, matrix);
    if (envMode != GL_MODULATE || coords[0] != 0.0f || coords[1] != 0.0f || coords[3] != 1.0f ||
        !isIdentity(matrix)) {
        return false;
    }
    GLint texture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    // The default texture has no pixels: it is incomplete, and so already samples nothing.
    return texture != 0 && originSamplesWhite(static_cast<GLuint>(texture));
}

NeutralTextureOff::NeutralTextureOff() : switchedOff_(boundTextureIsNeutral()) {
    if (switchedOff_) {
        glDisable(GL_TEXTURE_2D);
    }
}

NeutralTextureOff::~NeutralTextureOff() {
    if (switchedOff_) {
        glEnable(GL_TEXTURE_2D);
    }
}
