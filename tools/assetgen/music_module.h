// arabish.xm as a module in memory: the looping dance tune whose beat channel (channel 0) has a
// note on every fourth row, which the demo's picture pulses to.
#pragma once

#include "tools/assetgen/xm_writer.h"

xm::Module arabishModule();
