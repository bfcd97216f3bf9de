#include "driver/demo.h"

#include <SFML/Graphics.hpp>
#include <SFML/OpenGL.hpp>
#include <GL/glu.h>

#include <cstdio>

#include "driver/demo_globals.h"
#include "driver/loading.h"
#include "driver/music.h"
#include "scenes/scenes.h"

namespace {

const char* const kWindowTitle = "Tovlek Zere - Vorn Ekka Trudel Mips Oo Zandar? (party edition)";

// The window library may open a full-screen window at another size when the display lacks the
// mode; treat that like a resize so the picture fills the screen.
void fitViewportToWindow() {
    sf::Vector2u size = demo.renderWindow->getSize();
    if (size.x != static_cast<unsigned>(demo.screenWidth) ||
        size.y != static_cast<unsigned>(demo.screenHeight)) {
        glViewport(0, 0, static_cast<GLsizei>(size.x), static_cast<GLsizei>(size.y));
    }
}

}  // namespace

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
            // Only the viewport follows; the projection keeps the 1280/720 aspect.
            glViewport(0, 0, static_cast<GLsizei>(event.size.width),
                       static_cast<GLsizei>(event.size.height));
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
        timeline.frameDrawn();
        demo.renderWindow->display();
        updateBeatPulses(timeline);
    }
    return running;
}

int runDemo(Timeline& timeline) {
    std::printf("starting demo (grobblers says hi!)\n");
    sf::RenderWindow App(sf::VideoMode(demo.screenWidth, demo.screenHeight, 32), kWindowTitle,
                         sf::Style::Fullscreen, sf::ContextSettings(24, 8, 0));
    std::printf("created render window\n");
    std::fflush(stdout);
    demo.renderWindow = &App;

    setOpenGLState();
    fitViewportToWindow();

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
