// The builders behind generateModels, one per model, each returning a mesh centred on the
// origin with its materials; textures are written beside the models by generateModels.
#pragma once

#include <cstdint>
#include <string>

#include "tools/assetgen/mesh.h"

namespace modelgen {

Material makeMaterial(const std::string& name, std::uint32_t rgb, const std::string& texture = "");

Mesh buildEmblem();                                  // asd.obj
Mesh buildWord(const std::string& text, int index);  // the six title words
Mesh buildOilField();                                // oljefalt.obj
Mesh buildOasis();                                   // oasis.obj

}  // namespace modelgen
