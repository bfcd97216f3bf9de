// TGA reading: uncompressed (type 2) and run-length (type 10) true-colour images of 24 or 32 bits,
// decoded into tightly packed RGB or RGBA bytes ready for an OpenGL upload.
// Failures are reported in message boxes; the program carries on. Not re-entrant: the readers
// share module-level header state, so use them from one thread at a time.
#pragma once

#include <GL/gl.h>

#include <cstdio>

struct TgaImage {
    GLubyte* pixels;      // width * height * bitsPerPixel / 8 bytes from malloc; the caller frees it
    GLuint bitsPerPixel;  // 24 or 32
    GLuint width;         // 1 .. 65535
    GLuint height;        // 1 .. 65535
    GLuint format;        // GL_RGB for 24 bits, GL_RGBA for 32
};

// Opens filename, checks its 12-byte header and hands over to one of the two readers below.
// True when the header named a kind we read (the outcome then shows in image->pixels: null when
// the image could not be read). False when the file cannot be opened or is not such a file; the
// record is then untouched.
bool readTGA(TgaImage* image, const char* filename);

// Read the rest of a file positioned just after the 12-byte header; both close the file on every
// path. True only when the whole image was read; on failure image->pixels is null and nothing
// is left allocated.
bool readTGAUncompressed(TgaImage* image, const char* filename, FILE* file);
bool readTGARunLength(TgaImage* image, const char* filename, FILE* file);
