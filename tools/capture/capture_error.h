// What stops a capture: a message for the user, e.g. "cannot write out.csv: No space left".
#pragma once

#include <stdexcept>
#include <string>

class CaptureError : public std::runtime_error {
public:
    explicit CaptureError(const std::string& what) : std::runtime_error(what) {}
};
