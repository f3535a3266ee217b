#include "host/config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

DemoConfig parsed(const std::string& text, ConfigStatus expected)
{
    DemoConfig config;
    std::string problem;
    EXPECT_EQ(parseConfig(text, config, problem), expected) << "for \"" << text << "\": " << problem;
    if (expected == CONFIG_FALLBACK) {
        EXPECT_FALSE(problem.empty());
    }
    return config;
}

} // namespace

TEST(ConfigFile, ReadsThreeNumbersWhateverWhiteSpaceSeparatesThem)
{
    const DemoConfig oneLine = parsed("640 480 1", CONFIG_READ);
    const DemoConfig threeLines = parsed("640\n480\n1\n", CONFIG_READ);
    const DemoConfig mixed = parsed("\t 640\r\n\t480  \n\n  1 trailing words 7 8", CONFIG_READ);
    for (const DemoConfig& config : {oneLine, threeLines, mixed}) {
        EXPECT_EQ(config.width, 640);
        EXPECT_EQ(config.height, 480);
        EXPECT_EQ(config.swapInterval, 1);
    }
    const DemoConfig signedInterval = parsed("1280 720 -1", CONFIG_READ);
    EXPECT_EQ(signedInterval.swapInterval, -1);
    const DemoConfig edges = parsed("1 16384 0", CONFIG_READ);
    EXPECT_EQ(edges.width, 1);
    EXPECT_EQ(edges.height, 16384);
}

TEST(ConfigFile, FallsBackOnMissingOrUnusableNumbers)
{
    for (const char* text : {"", "text", "640 480", "640 x 480 1", "0 0 1", "99999 99999 1", "-640 480 1",
                             "640 16385 1", "99999999999 480 1"}) {
        DemoConfig config;
        config.width = 123;
        std::string problem;
        EXPECT_EQ(parseConfig(text, config, problem), CONFIG_FALLBACK) << text;
        EXPECT_FALSE(problem.empty()) << text;
        EXPECT_EQ(config.width, 123) << "a rejected file must not change the configuration: " << text;
    }
}
