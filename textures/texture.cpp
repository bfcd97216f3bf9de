// Texture loading for the model library (TGA files into OpenGL texture objects) and a reader for
// raw PPM images.
#include "textures/texture.h"

#include <GL/glu.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/messagebox.h"
#include "textures/tga.h"

#ifndef GL_BGR_EXT
#define GL_BGR_EXT 0x80E0
#endif
#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

namespace {

GLuint componentCount(GLuint format) {
    switch (format) {
        case GL_LUMINANCE:
            return 1;
        case GL_RGB:
        case GL_BGR_EXT:
            return 3;
        case GL_RGBA:
        case GL_BGRA_EXT:
            return 4;
        default:
            std::printf("glmLoadTexture(): unknown type 0x%x\n", format);
            return 0;
    }
}

}  // namespace

GLuint glmLoadTexture(const char* filename, GLboolean /*reserved*/, GLboolean repeat,
                      GLboolean filtering, GLboolean mipmaps, GLfloat* width, GLfloat* height) {
    const char* name = filename ? filename : "";
    while (*name == ' ') {
        ++name;
    }

    TgaImage image = {nullptr, 0, 0, 0, 0};
    readTGA(&image, name);
    if (!image.pixels) {
        // snprintf cuts a long file name to fit the box's text.
        char err[80];
        std::snprintf(err, sizeof err, "Nu am putut incarca o textura %s!", name);
        MessageBoxA(nullptr, err, "ERROR", MB_OK);
    }

    const GLuint components = componentCount(image.format);

    // Without a current context (a converter, a server) there is nowhere to upload to, and GLU
    // would read the missing extension string: keep the picture's size, texture object 0.
    if (!glGetString(GL_VERSION)) {
        if (width) {
            *width = image.pixels ? static_cast<GLfloat>(image.width) : 0.0f;
        }
        if (height) {
            *height = image.pixels ? static_cast<GLfloat>(image.height) : 0.0f;
        }
        std::free(image.pixels);
        return 0;
    }

    glPixelStorei(GL_UNPACK_ALIGNMENT, (components * image.width) % 4 == 0 ? 4 : 1);

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    if (filtering) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mipmaps ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);

    // A texture that could not be read still gets its configured (empty) texture object, so the
    // model that names it draws as untextured instead of failing; it reports a size of 0 x 0 and
    // nothing is uploaded, since there are no pixels to read.
    GLfloat reportedWidth = 0.0f;
    GLfloat reportedHeight = 0.0f;
    if (image.pixels) {
        const auto w = static_cast<GLsizei>(image.width);
        const auto h = static_cast<GLsizei>(image.height);
        const auto format = static_cast<GLenum>(image.format);
        if (mipmaps) {
            gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(format), w, h, format,
                              GL_UNSIGNED_BYTE, image.pixels);
        } else {
            glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), w, h, 0, format,
                         GL_UNSIGNED_BYTE, image.pixels);
        }
        std::free(image.pixels);
        reportedWidth = static_cast<GLfloat>(image.width);
        reportedHeight = static_cast<GLfloat>(image.height);
    }
    if (width) {
        *width = reportedWidth;
    }
    if (height) {
        *height = reportedHeight;
    }
    return texture;
}

// ---------------------------------------------------------------------------------------------
// Raw PPM reading
// ---------------------------------------------------------------------------------------------

namespace {

// Header lines are read into a 70-byte buffer; a longer line never spills into the next read.
constexpr int kLineCapacity = 69;

struct HeaderLine {
    char text[kLineCapacity + 1];
    int length;     // characters stored, at most kLineCapacity
    bool overlong;  // the line had more characters than fit; they were consumed and dropped
};

// Reads one line up to and including its end; false at the end of the file with nothing read.
bool readHeaderLine(FILE* file, HeaderLine* line) {
    line->length = 0;
    line->overlong = false;
    int c = std::getc(file);
    if (c == EOF) {
        return false;
    }
    for (; c != EOF && c != '\n'; c = std::getc(file)) {
        if (line->length < kLineCapacity) {
            line->text[line->length++] = static_cast<char>(c);
        } else {
            line->overlong = true;
        }
    }
    line->text[line->length] = '\0';
    return true;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Takes up to `wanted` decimal integers from character `from` of a line on, the way "%d %d %d"
// would: blanks before each, an optional sign, digits; stops at the first thing that is not a
// number, and tells where (`stop`). Values too large for an int are kept as INT_MAX / INT_MIN,
// which the size checks then refuse.
int takeValues(const HeaderLine& line, int from, int wanted, long long* values, int* stop) {
    int taken = 0;
    int i = from;
    while (taken < wanted) {
        while (i < line.length && isBlank(line.text[i])) {
            ++i;
        }
        bool negative = false;
        if (i < line.length && (line.text[i] == '+' || line.text[i] == '-')) {
            negative = line.text[i] == '-';
            ++i;
        }
        if (i >= line.length || line.text[i] < '0' || line.text[i] > '9') {
            break;
        }
        long long value = 0;
        for (; i < line.length && line.text[i] >= '0' && line.text[i] <= '9'; ++i) {
            if (value <= INT_MAX) {
                value = value * 10 + (line.text[i] - '0');
            }
        }
        if (value > INT_MAX) {
            value = INT_MAX;
        }
        values[taken++] = negative ? -value : value;
    }
    while (i < line.length && isBlank(line.text[i])) {
        ++i;
    }
    *stop = i;
    return taken;
}

// Bytes left between the file position and the end of a regular file; SIZE_MAX for pipes and
// devices, whose reads then simply run until they come up short.
std::size_t bytesRemaining(FILE* file) {
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
        return SIZE_MAX;
    }
    const long position = std::ftell(file);
    if (position < 0 || position > st.st_size) {
        return SIZE_MAX;
    }
    return static_cast<std::size_t>(st.st_size - position);
}

unsigned char* failPPM(FILE* file, const char* filename, const char* why) {
    std::fprintf(stderr, "%s: %s\n", filename, why);
    std::fclose(file);
    return nullptr;
}

}  // namespace

unsigned char* readPPM(const char* filename, int* width, int* height) {
    if (!filename) {
        errno = EINVAL;
        std::perror("readPPM");
        return nullptr;
    }
    FILE* file = std::fopen(filename, "rb");
    if (!file) {
        std::perror(filename);
        return nullptr;
    }

    HeaderLine line;
    if (!readHeaderLine(file, &line) || line.length < 2 || line.text[0] != 'P' ||
        line.text[1] != '6') {
        return failPPM(file, filename, "Not a raw PPM file");
    }

    // Width, height and maximum sample value: on the magic line after "P6" and a blank, as
    // Netpbm writes "P6 4 1 255", then on the lines that follow, around comment lines. Anything
    // else on the magic line ends its values.
    long long values[3] = {0, 0, 0};
    int count = 0;
    if (line.length > 2 && isBlank(line.text[2])) {
        int stop = 0;
        count = takeValues(line, 2, 3, values, &stop);
        if (line.overlong && stop == line.length) {
            // What was cut off at the buffer's end may hold values (or the rest of one).
            return failPPM(file, filename, "PPM header line too long");
        }
    }
    while (count < 3) {
        if (!readHeaderLine(file, &line)) {
            return failPPM(file, filename, "Incomplete PPM header");
        }
        if (line.text[0] == '#') {
            continue;
        }
        if (line.overlong) {
            // Values cut off at the buffer's end would be read wrongly; refuse instead.
            return failPPM(file, filename, "PPM header line too long");
        }
        int stop = 0;
        count += takeValues(line, 0, 3 - count, values + count, &stop);
    }

    // Samples are taken as single bytes, and callers size the buffer as an int.
    const long long w = values[0];
    const long long h = values[1];
    const long long maximum = values[2];
    if (w < 1 || h < 1 || w * h > INT_MAX / 3) {
        return failPPM(file, filename, "Unsupported PPM image size");
    }
    if (maximum < 1 || maximum > 255) {
        return failPPM(file, filename, "Unsupported PPM maximum sample value");
    }

    const auto size = static_cast<std::size_t>(w * h * 3);
    if (bytesRemaining(file) < size) {
        // Refused before allocating what a truncated file could never fill.
        return failPPM(file, filename, "Could not read image data");
    }
    auto* pixels = static_cast<unsigned char*>(std::malloc(size));
    if (!pixels) {
        return failPPM(file, filename, "Could not allocate memory for image");
    }
    if (std::fread(pixels, 1, size, file) != size) {
        std::free(pixels);
        return failPPM(file, filename, "Could not read image data");
    }
    std::fclose(file);
    if (width) {
        *width = static_cast<int>(w);
    }
    if (height) {
        *height = static_cast<int>(h);
    }
    return pixels;
}
