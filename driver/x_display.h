// The X display the demo's window opens on.
#pragma once

// Opens a connection to the display that DISPLAY names and keeps it for the rest of the
// process; false when the display cannot be reached. The window library opens and closes
// connections of its own while it makes the window, and aborts the process when one fails. A
// server that resets when its last client leaves (xvfb-run's) can be in the middle of that reset
// just then; a connection held from before the window until exit keeps it from resetting at all.
bool holdDisplay();
