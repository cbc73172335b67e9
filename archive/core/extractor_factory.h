// Creates the extractor for a detected format type. The formats live above the core, so the
// factory is defined with them (archive/formats/factory.cpp).
#pragma once

#include "archive/core/extractor.h"

// A new extractor for the type (1 to 15), owned by the caller; null for an unknown type.
// Types whose reader is not built yet get an extractor whose open fails cleanly.
IVekExtractor* CreateExtractor(int formatType);
