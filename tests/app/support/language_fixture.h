// Tests of the language machinery: each starts from the language state of
// start-up (whatever ran before, such as the application of the shell
// tests) and leaves it so, through the language's own tear-down.
#pragma once

#include <gtest/gtest.h>

#include "app/lang/kernel_string_fill.h"

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override { kelvo::lang::free_language(); }
  void TearDown() override { kelvo::lang::free_language(); }
};
