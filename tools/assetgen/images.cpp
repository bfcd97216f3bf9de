// Every picture the demo opens: backgrounds, overlays, characters, props, texts and the
// flip-book frames, each painted from code at the size its scene needs.
#include <string>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/canvas.h"
#include "tools/assetgen/img_common.h"

void generateImages(const std::string& outDir) {
    auto png = [&](const std::string& name, const Canvas& c, bool opaque = false) {
        c.writePNG(outDir + "/" + name, opaque);
    };

    // Full-window pictures, opaque.
    png("loading.png", paintLoading(), true);
    png("blackscreen.png", Canvas(1280, 720, {0, 0, 0, 1}), true);
    png("whitescreen.png", Canvas(1280, 720, {1, 1, 1, 1}), true);
    png("bg_blue.png", paintSkyDay(), true);
    png("bg_night.png", paintSkyNight(), true);

    // Scenery and overlays, transparent around their shapes.
    png("sand.png", paintSand());
    png("palm.png", paintPalm());
    png("filter.png", paintFilter());

    // Characters, props and their words.
    png("arab.png", paintTraveller());
    png("ak47.png", paintSaz());
    png("bmw.png", paintCar());
    png("quistel.png", paintCamel());
    png("quistel-bubble.png", paintCamelBubble());
    png("brumlo.png", paintBrumlo());
    png("brumlo-bubble.png", paintBrumloBubble());
    png("cross.png", paintEmblem(200));

    // Texts.
    for (int i = 1; i <= 4; ++i) png("cred_" + std::to_string(i) + ".png", paintCreditCard(i));
    png("scroll.png", paintNightScroll());
    png("scroll2.png", paintFinalScroll());

    // The flip-book: opaque JPEG frames on black.
    for (int i = 1; i <= 6; ++i) {
        paintPlantFrame(i).writeJPEG(outDir + "/weed3-" + std::to_string(i) + ".jpg", 90);
    }
}
