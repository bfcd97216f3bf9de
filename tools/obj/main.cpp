// zandar-obj: the model library's reading, operations, writing and drawing from a shell.
// `zandar-obj --help` lists the commands; docs/MODEL_LIBRARY.md describes them.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "tools/obj/obj_tool.h"

namespace {

const char* kUsage =
    "usage: zandar-obj info [--json] FILE...\n"
    "       zandar-obj convert IN OUT [OPERATION...] [--normals smooth|flat] [--texcoords]\n"
    "                          [--materials]\n"
    "       zandar-obj thumbnail FILE OUT.png [--size W[xH]] [--angle DEGREES]\n"
    "\n"
    "info       counts (vertices, normals, texture coordinates, triangles, groups with their\n"
    "           triangles, materials, textures), bounding box and centre, one block per file;\n"
    "           --json: one JSON object (an array of them for several files)\n"
    "convert    reads IN, runs the operations in the order given, writes OUT (and its\n"
    "           materials as OUT's name with .mtl); operations:\n"
    "             --unitize            centre and scale into the cube -1..1\n"
    "             --scale S            multiply every vertex by S\n"
    "             --reverse            reverse the winding of every triangle\n"
    "             --weld EPS           merge vertices closer than EPS on every axis\n"
    "             --facet-normals      one normal per triangle\n"
    "             --smooth DEGREES     normals per corner, smoothed up to a crease angle\n"
    "             --linear-texcoords   texture coordinates projected onto the x-z plane\n"
    "             --sphere-texcoords   sphere-map texture coordinates from the normals\n"
    "           what to write (without any of these: everything the model has):\n"
    "             --normals smooth|flat, --texcoords, --materials\n"
    "thumbnail  draws the model fitted into view, lit, with its materials and textures, into\n"
    "           a PNG (default 256x256, turned by 30 degrees); starts its own X server (Xvfb)\n"
    "           when there is no display\n"
    "\n"
    "Errors go to standard error as one line; the status is then 1. Outputs appear whole or\n"
    "not at all.\n";

bool asksForHelp(const Arguments& args) {
    const auto end = std::find(args.begin(), args.end(), "--");
    return std::find_if(args.begin(), end,
                        [](const std::string& a) { return a == "--help" || a == "-h"; }) != end;
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments all(argv + 1, argv + argc);
    if (asksForHelp(all) || (!all.empty() && all[0] == "help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    try {
        if (all.empty()) {
            throw ToolError("no command given (info, convert or thumbnail); see zandar-obj --help");
        }
        const std::string& command = all[0];
        const Arguments args(all.begin() + 1, all.end());
        if (command == "info") {
            return runInfo(args);
        }
        if (command == "convert") {
            return runConvert(args);
        }
        if (command == "thumbnail") {
            return runThumbnail(args);
        }
        throw ToolError("unknown command '" + command + "' (info, convert or thumbnail)");
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "zandar-obj: %s\n", e.what());
        return 1;
    }
}
