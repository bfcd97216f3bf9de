// zandar-obj's shared pieces: arguments, numbers, file checks and calls into the model library.
#include "tools/obj/obj_tool.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

// Thrown by the fail hook through the library, which releases what it holds on the way out.
struct LibraryFailure {
    std::string message;
};

void throwFailure(const char* message) {
    throw LibraryFailure{message ? message : "the model library failed"};
}

std::string systemError(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

// Standard output and error diverted into an in-memory file while it lives.
class CapturedOutput {
public:
    CapturedOutput() {
        std::fflush(stdout);
        std::fflush(stderr);
        fd_ = memfd_create("zandar-obj", MFD_CLOEXEC);
        if (fd_ < 0) {
            throw ToolError(std::string("cannot hold the library's messages: ") +
                            std::strerror(errno));
        }
        savedOut_ = dup(STDOUT_FILENO);
        savedErr_ = dup(STDERR_FILENO);
        dup2(fd_, STDOUT_FILENO);
        dup2(fd_, STDERR_FILENO);
    }
    ~CapturedOutput() { release(); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    // Puts the streams back and returns what was written meanwhile.
    std::string release() {
        if (fd_ < 0) {
            return "";
        }
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(savedOut_, STDOUT_FILENO);
        dup2(savedErr_, STDERR_FILENO);
        close(savedOut_);
        close(savedErr_);
        std::string text;
        char buffer[4096];
        ssize_t n = 0;
        lseek(fd_, 0, SEEK_SET);
        while ((n = read(fd_, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        close(fd_);
        fd_ = -1;
        return text;
    }

private:
    int fd_ = -1;
    int savedOut_ = -1;
    int savedErr_ = -1;
};

struct FailHookGuard {
    FailHookGuard() : previous(glmSetFailHook(throwFailure)) {}
    ~FailHookGuard() { glmSetFailHook(previous); }
    GlmFailHook previous;
};

}  // namespace

bool ArgumentReader::next() {
    if (index_ >= args_.size()) {
        return false;
    }
    const std::string& arg = args_[index_++];
    if (!operandsOnly_ && arg == "--") {
        operandsOnly_ = true;
        return next();
    }
    option_ = !operandsOnly_ && arg.size() > 1 && arg[0] == '-';
    const std::size_t equals = arg.find('=');
    hasAttached_ = option_ && arg.compare(0, 2, "--") == 0 && equals != std::string::npos;
    text_ = hasAttached_ ? arg.substr(0, equals) : arg;
    attached_ = hasAttached_ ? arg.substr(equals + 1) : "";
    return true;
}

std::string ArgumentReader::value() {
    if (hasAttached_) {
        return attached_;
    }
    if (index_ >= args_.size()) {
        throw ToolError(text_ + " needs a value");
    }
    return args_[index_++];
}

void ArgumentReader::noValue() const {
    if (hasAttached_) {
        throw ToolError(text_ + " takes no value");
    }
}

float parseNumber(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) ||
        end != text.c_str() + text.size() || std::isnan(value)) {
        throw ToolError(option + ": '" + text + "' is not a number");
    }
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) {
        throw ToolError(option + ": " + text + " is out of range");
    }
    return static_cast<float>(value);
}

void checkReadable(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw ToolError(systemError(path));
    }
    struct stat st = {};
    const bool folder = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    close(fd);
    if (folder) {
        errno = EISDIR;
        throw ToolError(systemError(path));
    }
}

void checkWritable(const std::string& path) {
    if (path.empty()) {
        throw ToolError("the output file name is empty");
    }
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) {
        folder = ".";
    }
    struct stat st = {};
    if (stat(folder.c_str(), &st) != 0) {
        throw ToolError(systemError(path));
    }
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        throw ToolError(systemError(path));
    }
    if (access(folder.c_str(), W_OK) != 0) {
        throw ToolError(systemError(path));
    }
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        throw ToolError(systemError(path));
    }
}

void callLibrary(const std::function<void()>& fn) {
    std::string text;
    std::string failure;
    bool failed = false;
    {
        CapturedOutput captured;
        FailHookGuard hook;
        try {
            fn();
        } catch (const LibraryFailure& f) {
            failure = f.message;
            failed = true;
        }
        text = captured.release();
    }
    // The library printed its failure message just before the hook ran: it becomes our one line.
    if (failed && text.size() >= failure.size() &&
        text.compare(text.size() - failure.size(), failure.size(), failure) == 0) {
        text.erase(text.size() - failure.size());
    }
    std::fputs(text.c_str(), stderr);
    if (failed) {
        while (!failure.empty() && (failure.back() == '\n' || failure.back() == '\r')) {
            failure.pop_back();
        }
        throw ToolError(failure);
    }
}

ModelPtr readModel(const std::string& path) {
    checkReadable(path);
    ObjModel* model = nullptr;
    callLibrary([&] { model = glmReadOBJ(path.c_str()); });
    return ModelPtr(model);
}

std::string groupName(const ObjGroup* group) {
    std::string name = group->name ? group->name : "";
    name.erase(0, name.find_first_not_of(" \t"));
    while (!name.empty() && static_cast<unsigned char>(name.back()) < 32) {
        name.pop_back();
    }
    return name;
}

std::string textureName(const ObjTexture& texture) {
    std::string name = texture.name ? texture.name : "";
    while (!name.empty() && static_cast<unsigned char>(name.back()) < 32) {
        name.pop_back();
    }
    return name;
}
