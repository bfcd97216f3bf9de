// The demo's model helpers: reading a model ready to draw, the fixed drawing modes, and two
// lighting helpers for the scenes.
#include "glm/demo_models.h"

ObjModel* loadModel(const char* path) {
    ObjModel* model = glmReadOBJ(path);
    glmFitToUnitCube(model);
    glmComputeFacetNormals(model);
    glmVertexNormals(model, 90.0f);
    return model;
}

void drawModelFlatColor(ObjModel* model) {
    glmDraw(model, OBJ_FLAT | OBJ_COLOR);
}

void drawModelSmoothColor(ObjModel* model) {
    glmDraw(model, OBJ_SMOOTH | OBJ_COLOR);
}

void drawModelSmoothMaterial(ObjModel* model) {
    glmDraw(model, OBJ_SMOOTH | OBJ_MATERIAL);
}

void drawModelSmooth(ObjModel* model) {
    glmDraw(model, OBJ_SMOOTH);
}

void setMaterialColor(float r, float g, float b) {
    const GLfloat colour[4] = {r, g, b, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
}

void setLightPosition(float x, float y, float z) {
    const GLfloat position[4] = {x, y, z, 1.0f};  // w = 1: a positional light
    glLightfv(GL_LIGHT0, GL_POSITION, position);
}
