// The reference pictures of tests/data: a rendering is compared with its PNG pixel for pixel.
#pragma once

#include <cesim/surface.h>

#include <string>

namespace vexotest {

// Compares `actual` with tests/data/<folder>/<name>.png, listing the first differing pixels and
// leaving the rendering beside the build as <name>.actual.png. With VEXO_UPDATE_REFERENCES set
// in the environment the reference is written instead.
void CompareWithReference(const cesim::Surface& actual, const std::string& folder,
                          const std::string& name);

} // namespace vexotest
