#include "driver/demo_globals.h"

DemoGlobals demo;
