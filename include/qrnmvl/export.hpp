#pragma once

// Marks the public API: the library is built with hidden symbols by default.
#define QRNMVL_EXPORT __attribute__((visibility("default")))
