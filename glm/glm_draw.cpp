// Drawing a model in immediate mode, and compiling the same drawing into a display list.
#undef NDEBUG  // preconditions are checked in every build
#include <cassert>
#include <cstring>

#include "glm/glm_internal.h"

using namespace glm_detail;

namespace {

// Clears the mode bits the model cannot serve, with one line per correction, on every call.
GLuint correctDrawMode(const ObjModel* model, GLuint mode) {
    if ((mode & OBJ_FLAT) && !model->facetnorms) {
        std::printf(
            "glmDraw() warning: flat render mode requested with no facet normals defined.\n");
        mode &= ~OBJ_FLAT;
    }
    if ((mode & OBJ_SMOOTH) && !model->normals) {
        std::printf("glmDraw() warning: smooth render mode requested with no normals defined.\n");
        mode &= ~OBJ_SMOOTH;
    }
    if ((mode & OBJ_TEXTURE) && !model->texcoords) {
        std::printf(
            "glmDraw() warning: texture render mode requested with no texture coordinates "
            "defined.\n");
        mode &= ~OBJ_TEXTURE;
    }
    if ((mode & OBJ_FLAT) && (mode & OBJ_SMOOTH)) {
        std::printf(
            "glmDraw() warning: flat render mode requested and smooth render mode requested "
            "(using smooth).\n");
        mode &= ~OBJ_FLAT;
    }
    if ((mode & OBJ_COLOR) && !model->materials) {
        std::printf("glmDraw() warning: color render mode requested with no materials defined.\n");
        mode &= ~OBJ_COLOR;
    }
    if ((mode & OBJ_MATERIAL) && !model->materials) {
        std::printf(
            "glmDraw() warning: material render mode requested with no materials defined.\n");
        mode &= ~OBJ_MATERIAL;
    }
    if ((mode & OBJ_COLOR) && (mode & OBJ_MATERIAL)) {
        std::printf(
            "glmDraw() warning: color and material render mode requested using only material "
            "mode.\n");
        mode &= ~OBJ_COLOR;
    }
    return mode;
}

const ObjMaterial* groupMaterial(const ObjModel* model, const ObjGroup* group) {
    if (!model->materials || model->materialcount == 0) {
        return nullptr;
    }
    const GLint index = group->material;
    return &model->materials[index >= 0 && static_cast<GLuint>(index) < model->materialcount ? index
                                                                                             : 0];
}

}  // namespace

void glmDraw(ObjModel* model, GLuint mode, const char* groupName) {
    assert(model);
    assert(model->vertices);
    mode = correctDrawMode(model, mode);

    if (mode & OBJ_COLOR) {
        glEnable(GL_COLOR_MATERIAL);
    } else if (mode & OBJ_MATERIAL) {
        glDisable(GL_COLOR_MATERIAL);
    }
    if (mode & OBJ_TEXTURE) {
        glEnable(GL_TEXTURE_2D);
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }

    for (const ObjGroup* group = model->groups; group; group = group->next) {
        if (groupName && std::strcmp(groupName, group->name) != 0) {
            continue;
        }
        const ObjMaterial* material = groupMaterial(model, group);
        const GLint textureIndex = material ? material->textureindex : -1;

        if (material && (mode & OBJ_MATERIAL)) {
            glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material->ambient);
            glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material->diffuse);
            glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material->specular);
            glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material->shininess);
        }
        if (mode & OBJ_TEXTURE) {
            const bool known =
                textureIndex >= 0 && static_cast<GLuint>(textureIndex) < model->texturecount;
            glBindTexture(GL_TEXTURE_2D, known ? model->textures[textureIndex].id : 0);
        }
        if (material && (mode & OBJ_COLOR)) {
            glColor3fv(material->diffuse);
        }

        glBegin(GL_TRIANGLES);
        for (GLuint i = 0; i < group->trianglecount; ++i) {
            const GLuint t = group->triangleindices[i];
            if (t >= model->trianglecount) {
                continue;
            }
            const ObjTriangle& triangle = model->triangles[t];
            if (mode & OBJ_FLAT) {
                glNormal3fv(
                    vec3At(model->facetnorms, model->facetnormcount, triangle.facetnormindex));
            }
            for (int k = 0; k < 3; ++k) {
                if (mode & OBJ_SMOOTH) {
                    glNormal3fv(
                        vec3At(model->normals, model->normalcount, triangle.normalindex[k]));
                }
                if (mode & OBJ_TEXTURE) {
                    glTexCoord2fv(
                        vec2At(model->texcoords, model->texcoordcount, triangle.texcoordindex[k]));
                }
                glVertex3fv(vec3At(model->vertices, model->vertexcount, triangle.vertexindex[k]));
            }
        }
        glEnd();
    }
}

GLuint glmBuildList(ObjModel* model, GLuint mode) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glmDraw(model, mode);
    glEndList();
    return list;
}
