// The demo at eight chosen moments against the pictures in tests/golden/, rendered as
// scripts/regenerate-golden.sh renders them (320x240, 20 frames per second from 0) and
// stored with four bits per colour channel so each file stays small. The fresh frames are
// cut to four bits the same way, then compared with a tolerance that lets rounding pass
// but not a missing layer or a wrong colour.
#include "tests/capture/captureRun.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const std::string goldenFolder = std::string(KESU_SOURCE_DIR) + "/tests/golden";

bool withinTolerance(const PictureDifference& difference)
{
    return difference.meanAbsolute < 2.0 && difference.fractionOffBy32 < 0.01;
}

// "at-00057.000.png" holds the frame at 57 s.
double timeOfGolden(const std::string& path)
{
    const std::string name = path.substr(path.rfind('/') + 1);
    return std::atof(name.substr(3, name.size() - 7).c_str());
}

} // namespace

TEST(GoldenFrames, DemoMatchesTheEightGoldenFrames)
{
    const std::vector<std::string> goldens = pngFilesIn(goldenFolder);
    ASSERT_EQ(goldens.size(), 8u) << "tests/golden/ should hold eight frames";
    const std::string out = makeTempFolder("golden");
    std::vector<std::string> args = {"--size", "320x240", "--fps", "20", "--out", out};
    for (const std::string& golden : goldens) {
        args.push_back("--at");
        args.push_back(std::to_string(timeOfGolden(golden)));
    }
    const ProcessResult result = runCapture(args, 800.0);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const std::vector<std::string> frames = pngFilesIn(out);
    ASSERT_EQ(frames.size(), goldens.size()) << result.out;
    for (std::size_t i = 0; i < goldens.size(); ++i) {
        SCOPED_TRACE(goldens[i]);
        std::string error;
        const Picture golden = readPicture(goldens[i], error);
        Picture frame = readPicture(frames[i], error);
        ASSERT_TRUE(error.empty()) << error;
        ASSERT_EQ(frame.width, golden.width);
        ASSERT_EQ(frame.height, golden.height);
        keepFourBits(frame);
        const PictureDifference difference = comparePictures(frame, golden);
        EXPECT_TRUE(withinTolerance(difference))
            << "mean absolute difference " << difference.meanAbsolute << ", "
            << difference.fractionOffBy32 * 100.0 << "% of pixels off by more than 32; if the change is meant, run "
            << "scripts/regenerate-golden.sh and look at the new pictures";
    }
}
