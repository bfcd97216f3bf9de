// zandar-obj thumbnail FILE OUT.png [--size W[xH]] [--angle DEGREES]: the model as the demo
// shows its models (fitted into the unit cube, smooth normals up to a 90 degree crease, lit from
// the viewer by the demo's light, in its material colours and textures), into a PNG.
#include <GL/gl.h>
#include <GL/glu.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/System/Err.hpp>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/capture/private_display.h"
#include "tools/obj/obj_tool.h"

namespace {

constexpr unsigned kMaxSide = 2048;
constexpr unsigned kSupersample = 2;   // drawn at twice the size and averaged: smooth edges
constexpr double kFieldOfView = 45.0;  // the demo's vertical field of view
constexpr float kTilt = 20.0f;         // looking a little from above

// The X server of our own when there is no usable display; stopped at exit, after the window
// library's connection is gone.
PrivateDisplay* privateDisplay = nullptr;

void stopPrivateDisplay() {
    delete privateDisplay;
    privateDisplay = nullptr;
}

void ensureDisplay() {
    const char* name = std::getenv("DISPLAY");
    if (name && *name) {
        if (Display* display = XOpenDisplay(nullptr)) {
            XCloseDisplay(display);
            return;
        }
    }
    try {
        privateDisplay = new PrivateDisplay();
    } catch (const std::exception& e) {
        throw ToolError(std::string("thumbnail: ") + e.what());
    }
    std::atexit(stopPrivateDisplay);
}

unsigned parseSide(const std::string& text, const std::string& whole) {
    const bool digits = !text.empty() && text.size() <= 5 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned value = digits ? static_cast<unsigned>(std::stoul(text)) : 0;
    if (!digits || value < 1 || value > kMaxSide) {
        throw ToolError("--size: '" + whole + "' is not W or WxH with sides of 1 to " +
                        std::to_string(kMaxSide));
    }
    return value;
}

// The demo's lighting: one white light along the view direction, white material by default.
void setLighting() {
    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1.0f};
    const GLfloat diffuse[] = {0.8f, 0.8f, 0.8f, 1.0f};
    const GLfloat specular[] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat position[] = {0.0f, 0.0f, 1.0f, 0.0f};
    const GLfloat white[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, white);
}

// Draws the prepared model turned by angle (and the tilt), placed and framed so that it fills
// the picture, centred, whatever its shape.
void draw(ObjModel* model, unsigned width, unsigned height, float angle) {
    const double aspect = static_cast<double>(width) / height;
    const double tanY = std::tan(kFieldOfView / 2 * M_PI / 180);
    const double tanX = tanY * aspect;
    const double a = angle * M_PI / 180;
    const double t = kTilt * M_PI / 180;
    // The vertices turned as the modelview matrix below turns them: about y, then about x.
    std::vector<std::array<double, 3>> turned;
    double distance = 0.0;  // far enough for every vertex to lie within the field of view
    double radius = 0.0;
    for (GLuint i = 1; i <= model->vertexcount; ++i) {
        const GLfloat* v = model->vertices + 3 * i;
        const double x = v[0] * std::cos(a) + v[2] * std::sin(a);
        const double z1 = -v[0] * std::sin(a) + v[2] * std::cos(a);
        const double y = v[1] * std::cos(t) - z1 * std::sin(t);
        const double z = v[1] * std::sin(t) + z1 * std::cos(t);
        turned.push_back({x, y, z});
        distance = std::max({distance, z + std::fabs(x) / tanX, z + std::fabs(y) / tanY});
        radius = std::max(radius, std::sqrt(x * x + y * y + z * z));
    }
    if (!(radius > 0.0) || !std::isfinite(distance) || !std::isfinite(radius)) {
        turned.clear();
        radius = 1.0;
        distance = 3.0;
    }
    distance *= 1.05;
    // Then the picture is moved and enlarged onto what the model covers of it.
    double low[2] = {1.0, 1.0};
    double high[2] = {-1.0, -1.0};
    for (const auto& p : turned) {
        const double x = p[0] / ((distance - p[2]) * tanX);
        const double y = p[1] / ((distance - p[2]) * tanY);
        low[0] = std::min(low[0], x);
        high[0] = std::max(high[0], x);
        low[1] = std::min(low[1], y);
        high[1] = std::max(high[1], y);
    }
    const double span = std::max(high[0] - low[0], high[1] - low[1]);
    const double zoom = span > 1e-6 ? 1.9 / span : 1.0;

    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glClearColor(0.16f, 0.17f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (!turned.empty()) {
        glScaled(zoom, zoom, 1.0);
        glTranslated(-(low[0] + high[0]) / 2, -(low[1] + high[1]) / 2, 0.0);
    }
    gluPerspective(kFieldOfView, aspect, std::max(distance - 1.1 * radius, 0.01 * radius),
                   distance + 1.1 * radius);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    setLighting();
    glTranslated(0.0, 0.0, -distance);
    glRotatef(kTilt, 1.0f, 0.0f, 0.0f);
    glRotatef(angle, 0.0f, 1.0f, 0.0f);

    GLuint mode = model->normals ? OBJ_SMOOTH : OBJ_NONE;
    mode |= model->materials ? OBJ_COLOR : OBJ_NONE;
    mode |= model->texcoords && model->texturecount ? OBJ_TEXTURE : OBJ_NONE;
    callLibrary([&] { glmDraw(model, mode); });
    glFinish();
}

// The drawn picture, averaged down by the supersampling factor, top row first, RGBA.
std::vector<sf::Uint8> readPicture(unsigned width, unsigned height) {
    const unsigned s = kSupersample;
    std::vector<sf::Uint8> drawn(std::size_t(width) * s * height * s * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, static_cast<GLsizei>(width * s), static_cast<GLsizei>(height * s), GL_RGBA,
                 GL_UNSIGNED_BYTE, drawn.data());
    std::vector<sf::Uint8> picture(std::size_t(width) * height * 4);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            for (unsigned c = 0; c < 4; ++c) {
                unsigned sum = 0;
                for (unsigned dy = 0; dy < s; ++dy) {
                    for (unsigned dx = 0; dx < s; ++dx) {
                        sum += drawn[((std::size_t(y) * s + dy) * width * s + x * s + dx) * 4 + c];
                    }
                }
                // OpenGL's rows go up from the bottom; the picture's go down from the top.
                picture[((std::size_t(height) - 1 - y) * width + x) * 4 + c] =
                    static_cast<sf::Uint8>((sum + s * s / 2) / (s * s));
            }
        }
    }
    return picture;
}

// The PNG appears whole or not at all: written beside the target, then renamed over it.
void writePng(const std::string& path, const std::vector<sf::Uint8>& pixels, unsigned width,
              unsigned height) {
    sf::Image image;
    image.create(width, height, pixels.data());
    const std::string partial = path + ".partial-" + std::to_string(getpid()) + ".png";
    if (!image.saveToFile(partial)) {
        std::remove(partial.c_str());
        throw ToolError(path + ": cannot write the picture");
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        const int why = errno;
        std::remove(partial.c_str());
        throw ToolError(path + ": " + std::strerror(why));
    }
}

}  // namespace

int runThumbnail(const Arguments& args) {
    std::vector<std::string> files;
    unsigned width = 256;
    unsigned height = 256;
    float angle = 30.0f;
    ArgumentReader reader(args);
    while (reader.next()) {
        const std::string& o = reader.text();
        if (!reader.isOption()) {
            files.push_back(o);
        } else if (o == "--size") {
            const std::string size = reader.value();
            const std::size_t x = size.find('x');
            width = parseSide(size.substr(0, x), size);
            height = x == std::string::npos ? width : parseSide(size.substr(x + 1), size);
        } else if (o == "--angle") {
            angle = parseNumber(o, reader.value());
        } else {
            throw ToolError("thumbnail: unknown option " + o);
        }
    }
    if (files.size() != 2) {
        throw ToolError("thumbnail: give a model file and an output picture (" +
                        std::to_string(files.size()) + " given)");
    }
    checkReadable(files[0]);
    checkWritable(files[1]);

    ensureDisplay();
    sf::err().rdbuf(nullptr);  // the window library's own complaints; ours say what failed
    sf::RenderTexture target;
    const unsigned s = kSupersample;
    if (!target.create(width * s, height * s, sf::ContextSettings(24)) || !target.setActive(true)) {
        throw ToolError("thumbnail: cannot draw a picture of " + std::to_string(width) + "x" +
                        std::to_string(height) + " with OpenGL here");
    }
    // Read inside the context, so that the textures are uploaded.
    ModelPtr model = readModel(files[0]);
    callLibrary([&] {
        glmFitToUnitCube(model.get());
        if (model->trianglecount > 0) {
            glmComputeFacetNormals(model.get());
            glmVertexNormals(model.get(), 90.0f);
        }
    });
    draw(model.get(), width * s, height * s, angle);
    const std::vector<sf::Uint8> picture = readPicture(width, height);
    model.reset();  // its textures go while their context is current
    writePng(files[1], picture, width, height);
    return 0;
}
