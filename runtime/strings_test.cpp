#include <gtest/gtest.h>
#include "runtime/strings.h"
