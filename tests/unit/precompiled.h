// The headers nearly every unit test includes, compiled once for all of
// them (tests/CMakeLists.txt).
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>
