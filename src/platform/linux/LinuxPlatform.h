#pragma once

#include "common/Services.h"

// The real platform services of a Linux desktop.
Platform makeLinuxPlatform();
