// zandar-obj info [--json] FILE...: what the model library reads from each file.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/obj/obj_tool.h"

namespace {

struct Bounds {
    bool empty = true;
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
};

Bounds boundsOf(const ObjModel& model) {
    Bounds b;
    for (GLuint i = 1; i <= model.vertexcount; ++i) {
        const GLfloat* v = model.vertices + 3 * i;
        for (int k = 0; k < 3; ++k) {
            if (b.empty || v[k] < b.min[k]) {
                b.min[k] = v[k];
            }
            if (b.empty || v[k] > b.max[k]) {
                b.max[k] = v[k];
            }
        }
        b.empty = false;
    }
    return b;
}

// Groups in file order (the model keeps them newest first).
std::vector<const ObjGroup*> groupsInFileOrder(const ObjModel& model) {
    std::vector<const ObjGroup*> groups;
    for (const ObjGroup* g = model.groups; g; g = g->next) {
        groups.insert(groups.begin(), g);
    }
    return groups;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 32) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// JSON has no NaN or infinity: a file that holds them shows null there.
std::string jsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string jsonTriple(const float* v) {
    return "[" + jsonNumber(v[0]) + ", " + jsonNumber(v[1]) + ", " + jsonNumber(v[2]) + "]";
}

void printJson(const std::string& path, const ObjModel& model, const std::string& indent) {
    const Bounds b = boundsOf(model);
    std::string out = indent + "{\n";
    auto field = [&](const std::string& name, const std::string& value, bool last = false) {
        out += indent + "  " + jsonString(name) + ": " + value + (last ? "\n" : ",\n");
    };
    field("file", jsonString(path));
    field("vertices", std::to_string(model.vertexcount));
    field("normals", std::to_string(model.normalcount));
    field("texcoords", std::to_string(model.texcoordcount));
    field("triangles", std::to_string(model.trianglecount));
    field("groups", std::to_string(model.groupcount));
    field("materials", std::to_string(model.materialcount));
    field("textures", std::to_string(model.texturecount));
    std::string list;
    for (const ObjGroup* g : groupsInFileOrder(model)) {
        list += std::string(list.empty() ? "" : ", ") + "{\"name\": " + jsonString(groupName(g)) +
                ", \"triangles\": " + std::to_string(g->trianglecount) + "}";
    }
    field("group_list", "[" + list + "]");
    list.clear();
    for (GLuint i = 0; i < model.materialcount; ++i) {
        list +=
            (i ? ", " : "") + jsonString(model.materials[i].name ? model.materials[i].name : "");
    }
    field("material_names", "[" + list + "]");
    list.clear();
    for (GLuint i = 0; i < model.texturecount; ++i) {
        const ObjTexture& t = model.textures[i];
        list += std::string(i ? ", " : "") + "{\"name\": " + jsonString(textureName(t)) +
                ", \"width\": " + jsonNumber(t.width) + ", \"height\": " + jsonNumber(t.height) +
                "}";
    }
    field("texture_list", "[" + list + "]");
    if (b.empty) {
        field("bounds", "null");
        field("centre", "null", true);
    } else {
        const float centre[3] = {(b.min[0] + b.max[0]) / 2, (b.min[1] + b.max[1]) / 2,
                                 (b.min[2] + b.max[2]) / 2};
        field("bounds", "{\"min\": " + jsonTriple(b.min) + ", \"max\": " + jsonTriple(b.max) + "}");
        field("centre", jsonTriple(centre), true);
    }
    std::fputs((out + indent + "}").c_str(), stdout);
}

void printBlock(const std::string& path, const ObjModel& model) {
    std::printf("%s\n", path.c_str());
    std::printf("  vertices   %u\n", model.vertexcount);
    std::printf("  normals    %u\n", model.normalcount);
    std::printf("  texcoords  %u\n", model.texcoordcount);
    std::printf("  triangles  %u\n", model.trianglecount);
    std::printf("  groups     %u\n", model.groupcount);
    for (const ObjGroup* g : groupsInFileOrder(model)) {
        std::printf("    %-24s %u\n", groupName(g).c_str(), g->trianglecount);
    }
    std::printf("  materials  %u", model.materialcount);
    for (GLuint i = 0; i < model.materialcount; ++i) {
        std::printf("%s%s", i ? ", " : ": ",
                    model.materials[i].name ? model.materials[i].name : "");
    }
    std::printf("\n  textures   %u\n", model.texturecount);
    for (GLuint i = 0; i < model.texturecount; ++i) {
        const ObjTexture& t = model.textures[i];
        if (t.width > 0 && t.height > 0) {
            std::printf("    %s (%g x %g)\n", textureName(t).c_str(), t.width, t.height);
        } else {
            std::printf("    %s (unreadable)\n", textureName(t).c_str());
        }
    }
    const Bounds b = boundsOf(model);
    if (b.empty) {
        std::printf("  bounds     none (no vertices)\n");
    } else {
        std::printf("  bounds     %g %g %g .. %g %g %g\n", b.min[0], b.min[1], b.min[2], b.max[0],
                    b.max[1], b.max[2]);
        std::printf("  centre     %g %g %g\n", (b.min[0] + b.max[0]) / 2, (b.min[1] + b.max[1]) / 2,
                    (b.min[2] + b.max[2]) / 2);
    }
}

}  // namespace

int runInfo(const Arguments& args) {
    bool json = false;
    std::vector<std::string> files;
    ArgumentReader reader(args);
    while (reader.next()) {
        if (!reader.isOption()) {
            files.push_back(reader.text());
        } else if (reader.text() == "--json") {
            reader.noValue();
            json = true;
        } else {
            throw ToolError("info: unknown option " + reader.text());
        }
    }
    if (files.empty()) {
        throw ToolError("info: no model file given");
    }

    // Every file gets its say; one that cannot be read makes the status 1 at the end.
    int status = 0;
    bool first = true;
    const bool array = json && files.size() > 1;
    if (array) {
        std::fputs("[\n", stdout);
    }
    for (const std::string& path : files) {
        ModelPtr model;
        try {
            model = readModel(path);
        } catch (const ToolError& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "zandar-obj: %s\n", e.what());
            status = 1;
            continue;
        }
        if (json) {
            std::fputs(first ? "" : ",\n", stdout);
            printJson(path, *model, array ? "  " : "");
        } else {
            std::fputs(first ? "" : "\n", stdout);
            printBlock(path, *model);
        }
        first = false;
    }
    if (array) {
        std::fputs("\n]\n", stdout);
    } else if (json && !first) {
        std::fputs("\n", stdout);
    }
    return status;
}
