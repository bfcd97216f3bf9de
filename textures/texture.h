// Texture loading for the model library, and a raw PPM reader.
#pragma once

#include <GL/gl.h>

// Reads a TGA file into a new OpenGL texture object and returns its name; the image's size comes
// back through width and height. Leading blanks of filename are skipped. A file that cannot be
// read is reported in a message box; loading goes on with a configured texture object that holds
// no image, and sizes of 0. Leaves the texture bound. Without a current OpenGL context the
// picture is still read (and a bad file reported) but nothing is uploaded: the result is 0 with
// the picture's size, and a model drawn with it later shows untextured.
GLuint glmLoadTexture(const char* filename, GLboolean reserved, GLboolean repeat,
                      GLboolean filtering, GLboolean mipmaps, GLfloat* width, GLfloat* height);

// Reads a raw (P6) PPM image: width * height * 3 bytes from malloc, freed by the caller, or null
// after a one-line reason on standard error. Samples are single bytes (maximum value 1 to 255),
// and width * height * 3 stays within an int.
unsigned char* readPPM(const char* filename, int* width, int* height);
