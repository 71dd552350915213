#include <gtest/gtest.h>

#include "base/Text.h"

int main(int argc, char** argv) {
    InitLocale();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
