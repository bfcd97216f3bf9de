#include "driver/loading.h"

#include <cstdio>

#include "driver/demo.h"
#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "effects/animated_sprite.h"
#include "glm/demo_models.h"

namespace {

// Load results of the static images are not looked at: a missing file is an empty sprite.
sf::Texture& loadImage(std::unique_ptr<sf::Texture>& image, const char* path) {
    image = std::make_unique<sf::Texture>();
    loadSpriteTexture(*image, path);
    return *image;
}

void showLoadingPicture() {
    demo.loading = createCenteredSprite(loadImage(demo.loadingImage, "loading.png"));
    demo.loading->setPosition(640.0f, 360.0f);
    // Drawn once, without a clear; it stays on screen until the first frame of the main loop.
    drawSprite(demo.loading);
    blackenBars();
    demo.renderWindow->display();
}

sf::Sprite* centeredAt(std::unique_ptr<sf::Texture>& image, const char* path, float x, float y) {
    sf::Sprite* sprite = createCenteredSprite(loadImage(image, path));
    sprite->setPosition(x, y);
    return sprite;
}

sf::Sprite* centered(std::unique_ptr<sf::Texture>& image, const char* path) {
    return createCenteredSprite(loadImage(image, path));
}

sf::Sprite* withCenter(std::unique_ptr<sf::Texture>& image, const char* path, int x, int y) {
    return createSpriteWithCenter(loadImage(image, path), x, y);
}

void loadStaticSprites() {
    demo.blackscreen = centeredAt(demo.blackscreenImage, "blackscreen.png", 640, 360);
    demo.bg_blue = centeredAt(demo.bg_blueImage, "bg_blue.png", 640, 360);
    demo.bg_night = centeredAt(demo.bg_nightImage, "bg_night.png", 640, 360);
    demo.scroll = centeredAt(demo.scrollImage, "scroll.png", 640, 0);
    demo.scroll2 = centeredAt(demo.scroll2Image, "scroll2.png", 640, 0);
    demo.whitescreen = centeredAt(demo.whitescreenImage, "whitescreen.png", 640, 360);
    demo.sand = withCenter(demo.sandImage, "sand.png", 0, 0);
    demo.palm = withCenter(demo.palmImage, "palm.png", 0, 0);
    demo.quistel_bubble = centered(demo.quistel_bubbleImage, "quistel-bubble.png");
    demo.quistel = withCenter(demo.quistelImage, "quistel.png", 0, 0);
    demo.bmw = centered(demo.bmwImage, "bmw.png");
    demo.arab = withCenter(demo.arabImage, "arab.png", 170, 0);
    demo.brumlo_bubble = centered(demo.brumlo_bubbleImage, "brumlo-bubble.png");
    demo.brumlo = withCenter(demo.brumloImage, "brumlo.png", 0, 0);
    demo.ak47 = centered(demo.ak47Image, "ak47.png");
}

void loadModels() {
    demo.asd = loadModel("models/asd.obj");
    demo.vorn = loadModel("models/vorn.obj");
    demo.oljefalt = loadModel("models/oljefalt.obj");
    demo.oasis = loadModel("models/oasis.obj");
    demo.ekka = loadModel("models/ekka.obj");
    demo.trudel = loadModel("models/trudel.obj");
    demo.mips = loadModel("models/mips.obj");
    demo.oo = loadModel("models/oo.obj");
    demo.zandar = loadModel("models/zandar.obj");
    demo.oljefaltList = compileModelSmoothColor(demo.oljefalt);
    demo.oasisList = compileModelSmoothColor(demo.oasis);
}

void loadCreditSprites() {
    demo.cred_1 = createSpriteFromFile("cred_1.png");
    demo.cred_2 = createSpriteFromFile("cred_2.png");
    demo.cred_3 = createSpriteFromFile("cred_3.png");
    demo.cred_4 = createSpriteFromFile("cred_4.png");
    demo.cross = createSpriteFromFile("cross.png");
    for (sf::Sprite* card : {demo.cred_1, demo.cred_2, demo.cred_3, demo.cred_4}) {
        card->setPosition(640.0f, 360.0f);
    }
}

void loadAnimationFrames() {
    demo.weed3_1 = createSpriteFromFile("weed3-1.jpg");
    demo.weed3_2 = createSpriteFromFile("weed3-2.jpg");
    demo.weed3_3 = createSpriteFromFile("weed3-3.jpg");
    demo.weed3_4 = createSpriteFromFile("weed3-4.jpg");
    demo.weed3_5 = createSpriteFromFile("weed3-5.jpg");
    demo.weed3_6 = createSpriteFromFile("weed3-6.jpg");
    sf::Sprite* const order[kWeedFrameCount] = {demo.weed3_1, demo.weed3_2, demo.weed3_3,
                                                demo.weed3_4, demo.weed3_5, demo.weed3_6,
                                                demo.weed3_5, demo.weed3_4, demo.weed3_3,
                                                demo.weed3_2};
    for (int i = 0; i < kWeedFrameCount; ++i) {
        demo.weedFrames[i] = order[i];
    }
}

void buildAnimation() {
    demo.weedAnimation = new AnimatedSprite(demo.weedFrames, kWeedFrameCount, 640.0f, 360.0f, 0.15f);
}

void loadFilter() {
    demo.filterImage = std::make_unique<sf::Texture>();
    bool loaded = loadSpriteTexture(*demo.filterImage, "filter.png");
    std::printf("%d", loaded ? 1 : 0);
    demo.filter = createCenteredSprite(*demo.filterImage);
    demo.filter->setPosition(640.0f, 360.0f);
}

}  // namespace

void loadDemoAssets() {
    showLoadingPicture();
    loadStaticSprites();
    loadModels();
    loadCreditSprites();
    loadAnimationFrames();
    buildAnimation();
    loadFilter();
    std::printf("\ngeneric data loaded\n");
    std::fflush(stdout);
}
