#include "image/reference.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace vexotest {

void CompareWithReference(const cesim::Surface& actual, const std::string& folder,
                          const std::string& name) {
    std::string path = std::string(VEXO_TEST_DATA) + "/" + folder + "/" + name + ".png";
    if (std::getenv("VEXO_UPDATE_REFERENCES")) {
        ASSERT_TRUE(cesim::WritePng(actual, path)) << path;
        return;
    }
    cesim::Surface expected;
    ASSERT_TRUE(cesim::ReadPng(path, expected)) << "no reference " << path;
    ASSERT_EQ(actual.width, expected.width);
    ASSERT_EQ(actual.height, expected.height);
    std::ostringstream differences;
    int count = 0;
    for (int y = 0; y < actual.height; ++y)
        for (int x = 0; x < actual.width; ++x)
            if (actual.at(x, y) != expected.at(x, y) && ++count <= 20)
                differences << "  (" << x << ", " << y << "): " << std::hex << actual.at(x, y)
                            << " instead of " << expected.at(x, y) << std::dec << "\n";
    cesim::WritePng(actual, std::string(VEXO_BINARY_DIR) + "/" + name + ".actual.png");
    EXPECT_EQ(count, 0) << count << " pixels differ from " << path << ":\n" << differences.str();
}

} // namespace vexotest
