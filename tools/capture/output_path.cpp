#include "tools/capture/output_path.h"

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "tools/capture/capture_error.h"

namespace fs = std::filesystem;

void checkWritable(const std::string& path) {
    const fs::path file = fs::absolute(path);
    const fs::path folder = file.parent_path();
    std::error_code error;
    if (fs::is_directory(file, error)) {
        throw CaptureError("cannot write " + path + ": it is a folder");
    }
    if (!fs::is_directory(folder, error) || access(folder.c_str(), W_OK) != 0) {
        throw CaptureError("cannot write " + path + ": no writable folder " + folder.string());
    }
}

std::string tailOfFile(const std::string& path, int lines) {
    std::ifstream in(path);
    std::deque<std::string> last;
    for (std::string line; std::getline(in, line);) {
        last.push_back(line);
        if (static_cast<int>(last.size()) > lines) {
            last.pop_front();
        }
    }
    std::string text;
    for (const std::string& line : last) {
        text += (text.empty() ? "" : "\n") + line;
    }
    return text;
}
