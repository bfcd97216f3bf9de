// zandar-obj's shared pieces: its error type, the arguments a command gets, checks of input and
// output files, strict number parsing, and the way it calls the model library.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "glm/glm.h"

// What stops a command: one line for the user, e.g. "--scale: 'x' is not a number".
class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& what) : std::runtime_error(what) {}
};

// A command's arguments after its name; options and operands stay in the order given.
using Arguments = std::vector<std::string>;

int runInfo(const Arguments& args);
int runConvert(const Arguments& args);
int runThumbnail(const Arguments& args);

// Walks a command's arguments: options (--name, --name VALUE or --name=VALUE) and operands.
// Everything after "--" is an operand.
class ArgumentReader {
public:
    explicit ArgumentReader(const Arguments& args) : args_(args) {}
    // Moves to the next argument; false at the end.
    bool next();
    bool isOption() const { return option_; }
    const std::string& text() const { return text_; }  // the option's name, or the operand
    // The option's value: after '=', else the next argument. Throws when there is none.
    std::string value();
    // Throws when an option that takes no value was given one with '='.
    void noValue() const;

private:
    const Arguments& args_;
    std::size_t index_ = 0;
    bool option_ = false;
    bool operandsOnly_ = false;
    std::string text_;
    std::string attached_;
    bool hasAttached_ = false;
};

// Strict numbers: the whole text, finite; the option's name goes into the message.
float parseNumber(const std::string& option, const std::string& text);

// Throws unless path names a readable file (not a folder).
void checkReadable(const std::string& path);
// Throws unless a file can be created at path: its folder exists and path is not a folder.
void checkWritable(const std::string& path);

struct ModelDeleter {
    void operator()(ObjModel* model) const { glmFreeModel(model); }
};
using ModelPtr = std::unique_ptr<ObjModel, ModelDeleter>;

// Runs fn, a call into the model library, with the library's own lines (its warnings on
// standard output, the texture loader's messages) moved to standard error, so that standard
// output carries only the tool's results. A library failure, which would end the process,
// comes back as ToolError with the library's message instead of that message printed twice.
void callLibrary(const std::function<void()>& fn);

// Reads the model at path (checked first) through callLibrary.
ModelPtr readModel(const std::string& path);

// The stored group name as written after "g" in the file: without the leading blanks.
std::string groupName(const ObjGroup* group);
// A texture's registry name without its line end.
std::string textureName(const ObjTexture& texture);
