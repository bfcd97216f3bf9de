#include "tools/assetgen/fonts.h"

#include <cstdio>
#include <cstdlib>

std::string fontPath(const char* fileName) {
    return std::string("/usr/share/fonts/truetype/dejavu/") + fileName;
}

FT_Library freeType() {
    static FT_Library library = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0) {
            std::fprintf(stderr, "assetgen: cannot initialise FreeType\n");
            std::exit(1);
        }
        return lib;
    }();
    return library;
}

FT_Face openFont(const char* fileName) {
    FT_Face face = nullptr;
    std::string path = fontPath(fileName);
    if (FT_New_Face(freeType(), path.c_str(), 0, &face) != 0) {
        std::fprintf(stderr,
                     "assetgen: cannot open font %s (packages fonts-dejavu-core and "
                     "fonts-dejavu-extra)\n",
                     path.c_str());
        std::exit(1);
    }
    return face;
}
