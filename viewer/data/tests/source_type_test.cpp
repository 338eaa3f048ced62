#include <gtest/gtest.h>
#include "data/source_type.h"
TEST(SourceType, BaseName) { EXPECT_STREQ(pelorin::SourceModelName(3), "Base"); }
