// Reads, prepares and frees every model named on the command line, as the demo's loader does,
// with a current OpenGL context for the textures their material libraries name. Run under
// valgrind by the test suite: any invalid access or leak in the model library or the texture
// reader fails it.
#include <SFML/Window/Context.hpp>

#include <cstdio>

#include "glm/demo_models.h"
#include "glm/glm.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MODEL.obj...\n", argv[0]);
        return 2;
    }
    sf::Context context;  // the texture uploads need one, as in the demo
    for (int i = 1; i < argc; ++i) {
        ObjModel* model = loadModel(argv[i]);
        std::printf("%s: %u vertices, %u triangles, %u groups, %u materials, %u textures\n",
                    argv[i], model->vertexcount, model->trianglecount, model->groupcount,
                    model->materialcount, model->texturecount);
        glmFreeModel(model);
    }
    return 0;
}
