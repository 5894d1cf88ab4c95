#include <gtest/gtest.h>

#include "media/MediaCases.h"

namespace trelvo {
namespace {

TEST(MediaCheck, TableOfMedia)
{
    for (const auto& c : testing::MediaCases())
        for (const std::string& failure : testing::RunMediaCase(c)) ADD_FAILURE() << failure;
}

}  // namespace
}  // namespace trelvo
