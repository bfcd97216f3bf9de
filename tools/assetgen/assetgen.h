// The asset generator's parts: each writes its files below the output folder.
#pragma once

#include <string>

void generateImages(const std::string& outDir);  // every PNG and JPEG picture
void generateModels(const std::string& outDir);  // models/: OBJ, MTL and TGA textures
void generateMusic(const std::string& outDir);   // arabish.xm and desert.mp3
