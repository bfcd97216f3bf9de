// Texture loading for the model library, and a raw PPM reader.
#pragma once

#include <GL/gl.h>

// Reads a TGA file into a new OpenGL texture object and returns its name; the image's size comes
// back through width and height. Leading blanks of filename are skipped. A file that cannot be
// read is reported in a message box; loading goes on.
GLuint glmLoadTexture(const char* filename, GLboolean reserved, GLboolean repeat,
                      GLboolean filtering, GLboolean mipmaps, GLfloat* width, GLfloat* height);

// Reads a raw (P6) PPM image: width * height * 3 bytes from malloc, freed by the caller, or null.
unsigned char* readPPM(const char* filename, int* width, int* height);
