#include "core/json.h"
