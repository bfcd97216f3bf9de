// The demo's models: the group emblem, the six title words, the oil field and the night oasis,
// each an OBJ with its material library (and TGA textures) under models/.
#include <cstdint>
#include <string>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/mesh.h"
#include "tools/assetgen/model_builders.h"
#include "tools/assetgen/model_parts.h"
#include "tools/assetgen/tga_writer.h"

namespace modelgen {

Material makeMaterial(const std::string& name, std::uint32_t rgb, const std::string& texture) {
    Material m;
    m.name = name;
    m.diffuse = hexColor(rgb);
    m.ambient = mix(m.diffuse, Rgb{0, 0, 0}, 0.6f);
    m.texture = texture;
    return m;
}

namespace {

// A nearly white texture with a faint pattern inside a white frame: the demo draws models without
// texture coordinates, so whatever texel it samples must leave the colours as they are.
TgaPicture paleTexture(int size, int channels, std::uint32_t seed) {
    TgaPicture t;
    t.width = t.height = size;
    t.channels = channels;
    t.pixels.assign(std::size_t(size) * size * channels, 255);
    for (int y = 4; y < size - 4; ++y) {
        for (int x = 4; x < size - 4; ++x) {
            const bool stripe = ((x / 8 + y / 8 + int(seed)) & 1) != 0;
            std::uint8_t* p = &t.pixels[(std::size_t(y) * size + x) * channels];
            p[0] = stripe ? 246 : 255;
            p[1] = stripe ? 240 : 252;
            p[2] = stripe ? 228 : 246;
        }
    }
    return t;
}

}  // namespace

}  // namespace modelgen

void generateModels(const std::string& outDir) {
    using namespace modelgen;
    const std::string dir = outDir + "/models";

    buildEmblem().write(dir, "asd", "the Tovlek Zere emblem");

    const char* words[] = {"Vorn", "Ekka", "Trudel", "Mips", "Oo", "Zandar?"};
    const char* files[] = {"vorn", "ekka", "trudel", "mips", "oo", "zandar"};
    for (int i = 0; i < 6; ++i) {
        buildWord(words[i], i).write(dir, files[i], std::string("title word ") + words[i]);
    }

    buildOilField().write(dir, "oljefalt", "an oil field around the viewer");
    writeTga(dir + "/ground.tga", paleTexture(64, 4, 1), true);
    writeTga(dir + "/tank.tga", paleTexture(64, 3, 2), false);

    buildOasis().write(dir, "oasis", "a night oasis");
    writeTga(dir + "/dune.tga", paleTexture(64, 3, 3), true);
    writeTga(dir + "/palm.tga", paleTexture(64, 4, 4), false);
}
