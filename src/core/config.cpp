#include "core/config.h"
