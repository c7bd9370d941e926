// Filled by the platform layer.
#pragma once
#include "platform/win32_base.h"
