// The fixture of the runtime and codec tests: the runtime started once, and
// every test gives back all it takes.
#pragma once
#include <gtest/gtest.h>

#include "runtime/runtime.h"
#include "runtime/strings_test_support.h"

class RuntimeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RuntimeInit(); }
    void TearDown() override { EXPECT_EQ(model::Holding(), before_); }
    decltype(model::Holding()) before_ = model::Holding();
};
