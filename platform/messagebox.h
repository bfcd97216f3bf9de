// Stand-in for the Windows message box: the texture readers report through it.
// Here a "box" is one line on standard error, caption then text, and the call returns at once
// (there is nobody to press OK on a machine that runs the demo unattended).
#pragma once

constexpr unsigned MB_OK = 0x00000000u;
constexpr int IDOK = 1;

// owner and type are accepted for the callers' sake and have no effect.
int MessageBoxA(void* owner, const char* text, const char* caption, unsigned type);
