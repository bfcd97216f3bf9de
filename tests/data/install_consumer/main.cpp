#include <zandar/glm.h>
#include <cstdio>
int main(int argc, char** argv) {
    ObjModel* model = glmReadOBJ(argv[1]);
    std::printf("%u\n", model->trianglecount);
    glmFreeModel(model);
}
