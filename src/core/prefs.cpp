#include "core/prefs.h"
