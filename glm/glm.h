// glm: a small Wavefront OBJ model library for fixed-function OpenGL.
//
// Reads an OBJ file (and the MTL material library it names, with its map_Kd textures) into one
// plain ObjModel record, runs geometry operations on it (fit to the unit cube, facet and
// crease-angle vertex normals, generated texture coordinates, vertex merging), draws it in
// immediate mode or into a display list, and writes it back as OBJ and MTL text.
//
// Conventions
//   - Plain C-style records and functions; no exceptions cross this interface.
//   - vertices, normals, texcoords and facetnorms are 1-based: an array for n items holds n + 1
//     items and item 0 is never used. triangles, materials and textures are 0-based.
//   - Every array and string a model owns, and every buffer handed to a caller (glmDirectoryOf's
//     result), comes from malloc and is released with free (glmFreeModel frees a whole model).
//   - Warnings go to standard output as "glmXxx() warning: ..." and the operation goes on without
//     what it cannot do. Failures (a file that cannot be opened or written, an unknown "v..."
//     statement) print "glmXxx() failed: ..." and end the process with status 1 through the
//     fail hook (glmSetFailHook), which a test or fuzzer may replace.
//   - Preconditions (non-null model, required arrays) are checked with assert in every build.
//
// What the reader guarantees about indices (a file cannot break the model):
//   - Negative indices are relative, as in OBJ: -1 is the last vertex (normal, texture
//     coordinate) read before the face. Positive indices may refer to items later in the file.
//   - Every stored vertexindex lies in 1 .. vertexcount. A face that uses a vertex that does not
//     exist (index 0, or beyond the file's vertices) is dropped with a warning; trianglecount then
//     counts only the triangles kept.
//   - A normal or texture-coordinate index that does not exist is stored as 0, meaning "none",
//     with a warning; the face is kept. Corners of faces that give no normal or texture
//     coordinate also hold 0. The operations treat 0 as "none" (a zero vector where one is needed).
//   - facetnormindex is -1 on the first triangle of each face and 0 on the others until
//     glmComputeFacetNormals sets every one.
//   - Lines end at LF or CR LF; a CR LF file reads exactly as the same file with LF line ends.
//     Statements are whole lines: a comment or an unknown statement is skipped to its line end
//     whatever its length, and numbers after a v, vn or vt statement's values are ignored.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>

// Mode word of glmDraw, glmBuildList and glmWriteOBJ.
constexpr GLuint OBJ_NONE = 0;            // bare positions
constexpr GLuint OBJ_FLAT = 1u << 0;      // one facet normal per triangle
constexpr GLuint OBJ_SMOOTH = 1u << 1;    // one normal per corner
constexpr GLuint OBJ_TEXTURE = 1u << 2;   // texture coordinates and the group's texture
constexpr GLuint OBJ_COLOR = 1u << 3;     // the group material's diffuse colour as current colour
constexpr GLuint OBJ_MATERIAL = 1u << 4;  // the group material as the OpenGL material

// One material of an MTL library. Entry 0 of a model's table is always "default".
struct ObjMaterial {
    char* name;           // first word after newmtl
    GLfloat diffuse[4];   // Kd; default 0.8 0.8 0.8 1
    GLfloat ambient[4];   // Ka; default 0.2 0.2 0.2 1
    GLfloat specular[4];  // Ks; default 0 0 0 1
    GLfloat shininess;    // Ns n (0..1000) stored as n / 1000 * 128 (OpenGL's 0..128); default 65
    GLint textureindex;   // index into the model's textures for map_Kd, -1 for none
};

// One entry of a model's texture registry: each distinct map_Kd name is loaded once.
struct ObjTexture {
    char* name;     // the map_Kd argument less its leading blanks, line feed kept
    GLuint id;      // OpenGL texture object
    GLfloat width;  // size reported by the texture loader
    GLfloat height;
};

// One triangle; corners refer to the 1-based arrays.
struct ObjTriangle {
    GLint vertexindex[3];
    GLint normalindex[3];    // 0 = none
    GLint texcoordindex[3];  // 0 = none
    GLint facetnormindex;
};

// A named group of triangles; the model keeps them in a list, newest first.
struct ObjGroup {
    char* name;               // text after "g" up to the line end, leading blank kept
    GLuint trianglecount;     // triangles in the group
    GLuint* triangleindices;  // indices into the model's triangles, in file order
    GLint material;           // index into the model's materials
    ObjGroup* next;           // next (older) group
};

// Optional progress reporting while reading; owned by the caller.
struct ObjProgress {
    void (*report)(GLint value, const char* text);  // called with a value in start..end
    GLint start;                                    // value that stands for 0 %
    GLint end;                                      // value that stands for 100 %
    const char* caption;                            // first text of the status lines
};

struct ObjModel {
    char* filepath;     // path the model was read from
    char* mtlfilename;  // material library named by the last mtllib, or null

    GLuint vertexcount;
    GLfloat* vertices;  // (vertexcount + 1) * 3, always allocated by the reader

    GLuint normalcount;
    GLfloat* normals;  // (normalcount + 1) * 3, or null

    GLuint texcoordcount;
    GLfloat* texcoords;  // (texcoordcount + 1) * 2, or null

    GLuint facetnormcount;
    GLfloat* facetnorms;  // (facetnormcount + 1) * 3, or null until computed

    GLuint trianglecount;
    ObjTriangle* triangles;

    GLuint materialcount;
    ObjMaterial* materials;  // null when the file names no material library

    GLuint groupcount;
    ObjGroup* groups;  // newest first; "default" is last

    GLuint texturecount;
    ObjTexture* textures;
};

// ---- Failure hook --------------------------------------------------------------------------

// Called after a failure message has been printed. The default ends the process with status 1.
// A replacement may throw or longjmp back to its own caller (the library releases what it
// holds on the way out when it is thrown through); if it returns, the process exits with 1.
using GlmFailHook = void (*)(const char* message);
// Installs a hook (null restores the default) and returns the previous one.
GlmFailHook glmSetFailHook(GlmFailHook hook);

// ---- Reading (OBJ) -------------------------------------------------------------------------

// Reads an OBJ file; never returns null (a file that cannot be opened ends the process).
// Textures named by the material library are uploaded into the current OpenGL context; with
// none current they are only read, and keep texture object 0 (drawn untextured).
ObjModel* glmReadOBJ(const char* filename, ObjProgress* progress = nullptr);
// The reader's two passes, for callers that manage the file themselves. glmFirstPass counts,
// creates the groups and reads the material library; the caller then allocates the arrays
// (vertices, normals, texcoords at count + 1 items, triangles at trianglecount) and calls
// glmFillPass on the same content. glmFillPass never writes beyond those counts.
void glmFirstPass(ObjModel* model, FILE* file, ObjProgress* progress);
void glmFillPass(ObjModel* model, FILE* file, ObjProgress* progress);

ObjGroup* glmFindGroup(ObjModel* model, const char* name);
ObjGroup* glmEnsureGroup(ObjModel* model, const char* name);
void glmFreeModel(ObjModel* model);

// ---- Materials and textures ------------------------------------------------------------------

// Reads the material library `name`, found in the directory of model->filepath (an absolute name
// as it stands; so are map_Kd names).
void glmReadMTL(ObjModel* model, const char* name, ObjProgress* progress);
// Index of the material called `name`; 0 ("default") with a message when there is none.
GLint glmFindMaterial(ObjModel* model, const char* name);
// Registry index of texture `name` (a map_Kd argument), loading it on first use.
GLint glmFindOrLoadTexture(ObjModel* model, const char* name, ObjProgress* progress);
// Copy of path up to and including its last '/', or "" when it has none. Free the result.
char* glmDirectoryOf(const char* path);

// ---- Geometry --------------------------------------------------------------------------------

// Centres the model and scales it into the cube -1..1 (see docs for the extent rule).
// Returns the scale applied; a model without vertices is left as it is and 1 is returned.
GLfloat glmFitToUnitCube(ObjModel* model);
// Writes |max| + |min| per axis; zeros for a model without vertices.
void glmExtents(ObjModel* model, GLfloat* dimensions);
void glmScaleModel(ObjModel* model, GLfloat scale);
void glmFlipWinding(ObjModel* model);
// One unit normal per triangle; a triangle of zero area gets the zero vector.
void glmComputeFacetNormals(ObjModel* model);
// Per-corner normals, averaged across edges whose facets lie within `angle` degrees.
void glmVertexNormals(ObjModel* model, GLfloat angle);
void glmPlanarTexCoords(ObjModel* model);
void glmSphereTexCoords(ObjModel* model);
// Merges vertices closer than epsilon on every axis; rewrites every vertexindex.
void glmMergeVertices(ObjModel* model, GLfloat epsilon);

GLfloat glmDotProduct(const GLfloat* u, const GLfloat* v);
void glmCrossProduct(const GLfloat* u, const GLfloat* v, GLfloat* n);
// Scales v to unit length; a zero-length (or non-finite) vector becomes the zero vector.
void glmNormalizeVector(GLfloat* v);
GLfloat glmAbsolute(GLfloat f);
GLfloat glmLarger(GLfloat a, GLfloat b);
GLboolean glmWithinEpsilon(const GLfloat* u, const GLfloat* v, GLfloat epsilon);
// Merges the 1-based vectors 1..*count: returns a new 1-based array (malloc) of the unique
// vectors and stores their number in *count; slots (count + 1 entries, caller-owned) receives
// each input vector's 1-based slot in the result.
GLfloat* glmMergeVectors(const GLfloat* vectors, GLuint* count, GLfloat epsilon, GLuint* slots);

// ---- Drawing (need a current OpenGL context) --------------------------------------------------

// Draws every group, or only the groups whose name equals groupName byte for byte.
void glmDraw(ObjModel* model, GLuint mode, const char* groupName = nullptr);
// Compiles glmDraw(model, mode) into a new display list and returns its name.
GLuint glmBuildList(ObjModel* model, GLuint mode);

// ---- Writing ---------------------------------------------------------------------------------

// Writes the model as OBJ text (and its materials as MTL when mode has OBJ_MATERIAL). The files
// appear complete or not at all: a failed open or write ends the process with status 1.
void glmWriteOBJ(ObjModel* model, const char* filename, GLuint mode);
void glmWriteMTL(ObjModel* model, const char* objFilename, const char* mtlName);
