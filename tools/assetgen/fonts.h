// The fonts the generator sets text and letter shapes in: Debian's DejaVu family.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

// Full path of a DejaVu font file, e.g. fontPath("DejaVuSans-Bold.ttf").
std::string fontPath(const char* fileName);

// The process's FreeType library, opened on first use.
FT_Library freeType();

// Opens a face of the named font file; exits with a message when the font package is missing,
// since every picture with text depends on it.
FT_Face openFont(const char* fileName);
