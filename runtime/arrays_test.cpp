#include <gtest/gtest.h>
#include "runtime/arrays.h"
