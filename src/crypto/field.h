// The field representation this compiler builds best: 51-bit limbs where a 128-bit integer type
// exists (64-bit targets), otherwise 25.5-bit limbs (the 32-bit Windows build).
#pragma once

#include "crypto/field25.h"

#if defined(__SIZEOF_INT128__)
#include "crypto/field51.h"
namespace tu::ed25519_internal {
using Field = Field51;
}
#else
namespace tu::ed25519_internal {
using Field = Field25;
}
#endif
