#pragma once
// Writes the index file of the temporary home with the given items, as the scanner writes it.

#include "search/IndexFile.h"

#include <gtest/gtest.h>
#include <vector>

namespace quorvel::test {

inline void writeIndex(const std::vector<LaunchItem>& items)
{
    ASSERT_TRUE(IndexFile::write(_combinedListPath(), items));
}

} // namespace quorvel::test
