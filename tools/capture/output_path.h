// Small helpers for the files the capture writes.
#pragma once

#include <string>

// Throws CaptureError unless a file can be created at path (its folder exists and is writable,
// and path is not a folder).
void checkWritable(const std::string& path);

// The last lines of a text file, for quoting a tool's complaint; empty if unreadable.
std::string tailOfFile(const std::string& path, int lines = 5);
