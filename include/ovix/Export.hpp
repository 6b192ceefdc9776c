#pragma once

// Marks what the shared library exports; everything else stays hidden.
#if defined(OVIX_STATIC_DEFINE)
#define OVIX_EXPORT
#else
#define OVIX_EXPORT __attribute__((visibility("default")))
#endif
