#include "driver/demo.h"

#include <SFML/Graphics.hpp>
#include <SFML/OpenGL.hpp>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "driver/demo_globals.h"
#include "driver/loading.h"
#include "driver/music.h"
#include "scenes/scenes.h"

namespace {

const char* const kWindowTitle = "Tovlek Zere - Vorn Ekka Trudel Mips Oo Zandar? (party edition)";

// The demo's own mode, or, on a screen without it, full screen at the screen's own size: the
// picture is then scaled to fit rather than the screen switched.
sf::VideoMode windowMode() {
    const sf::VideoMode wanted(static_cast<unsigned>(demo.screenWidth),
                               static_cast<unsigned>(demo.screenHeight), 32);
    if (wanted.isValid()) {
        return wanted;
    }
    const sf::VideoMode desktop = sf::VideoMode::getDesktopMode();
    return sf::VideoMode(desktop.width, desktop.height, 32);
}

}  // namespace

sf::IntRect pictureArea(sf::Vector2u window) {
    const double scale = std::min(window.x / static_cast<double>(demo.screenWidth),
                                  window.y / static_cast<double>(demo.screenHeight));
    const int width = std::max(1, static_cast<int>(std::lround(demo.screenWidth * scale)));
    const int height = std::max(1, static_cast<int>(std::lround(demo.screenHeight * scale)));
    return {(static_cast<int>(window.x) - width) / 2, (static_cast<int>(window.y) - height) / 2,
            width, height};
}

void fitPictureToWindow(sf::Vector2u window) {
    if (window.x == 0 || window.y == 0) {
        return;  // nothing shows; the picture fits again at the next real size
    }
    const sf::IntRect area = pictureArea(window);
    // Sprites: the picture's own coordinates, shown in the same rectangle. The window library
    // rounds the relative viewport back to exactly these whole pixels.
    const float w = static_cast<float>(window.x), h = static_cast<float>(window.y);
    sf::View view(sf::FloatRect(0.0f, 0.0f, static_cast<float>(demo.screenWidth),
                                static_cast<float>(demo.screenHeight)));
    view.setViewport(sf::FloatRect(area.left / w, area.top / h, area.width / w, area.height / h));
    demo.renderWindow->setView(view);
    // 3D: the projection keeps the 1280/720 aspect, which is the rectangle's.
    glViewport(area.left, static_cast<GLint>(window.y) - area.top - area.height, area.width,
               area.height);
}

void blackenBars() {
    const sf::Vector2u window = demo.renderWindow->getSize();
    const sf::IntRect area = pictureArea(window);
    const int w = static_cast<int>(window.x), h = static_cast<int>(window.y);
    if (w == 0 || h == 0 || (area.width == w && area.height == h)) {
        return;
    }
    // Clears of the whole window (the scenes' own, and the main loop's) reach the bars too.
    GLint box[4] = {};
    GLfloat colour[4] = {};
    const GLboolean scissored = glIsEnabled(GL_SCISSOR_TEST);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    const int bottom = h - area.top - area.height;  // counted from the bottom, as OpenGL does
    const int right = area.left + area.width;
    const GLint bars[4][4] = {{0, 0, area.left, h},
                              {right, 0, w - right, h},
                              {area.left, 0, area.width, bottom},
                              {area.left, bottom + area.height, area.width, area.top}};
    for (const GLint* bar : bars) {
        if (bar[2] > 0 && bar[3] > 0) {
            glScissor(bar[0], bar[1], bar[2], bar[3]);
            glClear(GL_COLOR_BUFFER_BIT);
        }
    }
    glClearColor(colour[0], colour[1], colour[2], colour[3]);
    glScissor(box[0], box[1], box[2], box[3]);
    if (!scissored) {
        glDisable(GL_SCISSOR_TEST);
    }
}

void setOpenGLState() {
    GLfloat ambientLight[] = {0.2f, 0.2f, 0.2f, 1.0f};
    GLfloat diffuseLight[] = {0.8f, 0.8f, 0.8f, 1.0f};
    GLfloat specularLight[] = {0.5f, 0.5f, 0.5f, 1.0f};
    GLfloat position[] = {0.0f, 0.0f, 1.0f, 0.0f};  // directional, along +z
    GLfloat mcolor[] = {1.0f, 1.0f, 1.0f, 1.0f};
    GLfloat fogColor[] = {1.0f, 0.0f, 1.0f, 1.0f};  // magenta

    glViewport(0, 0, demo.screenWidth, demo.screenHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<float>(demo.screenWidth) / static_cast<float>(demo.screenHeight),
                   static_cast<double>(0.0001f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_TEXTURE_2D);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambientLight);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuseLight);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specularLight);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, mcolor);
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_EXP2);
    glFogfv(GL_FOG_COLOR, fogColor);
    glFogf(GL_FOG_DENSITY, 0.3f);
    glHint(GL_FOG_HINT, GL_NICEST);
    glFogf(GL_FOG_START, 10.0f);
    glFogf(GL_FOG_END, 40.0f);
}

void handleEvent(const sf::Event& event, bool& running) {
    switch (event.type) {
        case sf::Event::Closed:
            running = false;
            break;
        case sf::Event::Resized:
            fitPictureToWindow({event.size.width, event.size.height});
            break;
        case sf::Event::KeyPressed:
            if (event.key.code == sf::Keyboard::Escape) {
                running = false;
            }
            break;
        default:
            break;
    }
}

bool dispatchScene() {
    switch (demo.sceneIndex) {
        case 1: scene1(); break;
        case 2: scene2(); break;
        case 3: scene3(); break;
        case 4: scene4(); break;
        case 5: scene5(); break;
        case 6: scene6(); break;
        case 7: scene7(); break;
        case 8: scene8(); break;
        case 9: scene9(); break;
        case 10: return false;
        default: break;  // nothing drawn: the cleared frame is shown
    }
    return true;
}

bool runFrame(Timeline& timeline) {
    bool running = true;
    sf::Event event;
    while (demo.renderWindow->pollEvent(event)) {
        handleEvent(event, running);  // the queue is drained even once running is false
    }
    demo.frameTime = timeline.measureFrame();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    if (!dispatchScene()) {
        running = false;
    }
    if (running) {
        blackenBars();
        timeline.frameDrawn();
        demo.renderWindow->display();
        updateBeatPulses(timeline);
    }
    return running;
}

int runDemo(Timeline& timeline) {
    std::printf("starting demo (grobblers says hi!)\n");
    sf::RenderWindow App(windowMode(), kWindowTitle, sf::Style::Fullscreen,
                         sf::ContextSettings(24, 8, 0));
    std::printf("created render window\n");
    std::fflush(stdout);
    demo.renderWindow = &App;
    App.setMouseCursorVisible(false);  // a demo is watched, not clicked

    setOpenGLState();
    fitPictureToWindow(App.getSize());

    loadDemoAssets();

    initAudio(nullptr);
    playStream("desert.mp3");
    playModule("arabish.xm");

    timeline.start();
    while (runFrame(timeline)) {
    }
    App.close();
    demo.renderWindow = nullptr;
    return 0;
}
