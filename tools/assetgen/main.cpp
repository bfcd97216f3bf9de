// zandar-assetgen OUTDIR [images|models|music ...]
// Writes every asset the demo opens into OUTDIR (all parts unless some are named).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/assetgen/assetgen.h"

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: %s OUTDIR [images|models|music ...]\n", argv[0]);
        return argc < 2 ? 2 : 0;
    }
    const std::string outDir = argv[1];
    std::filesystem::create_directories(outDir + "/models");

    auto wanted = [&](const char* part) {
        if (argc == 2) return true;
        for (int i = 2; i < argc; ++i) {
            if (std::strcmp(argv[i], part) == 0) return true;
        }
        return false;
    };
    if (wanted("images")) generateImages(outDir);
    if (wanted("models")) generateModels(outDir);
    if (wanted("music")) generateMusic(outDir);
    return 0;
}
