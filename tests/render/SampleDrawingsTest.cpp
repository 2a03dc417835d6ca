// The builder over every real sample drawing: it builds within its limits.
#include <dwg/Reader.h>
#include <gtest/gtest.h>
#include <render/Build.h>

#include <cmath>

#include "Samples.h"

namespace {

TEST(SampleDrawingsTest, EverySampleBuildsWithinItsLimits) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    int built = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(testsupport::samplesFolder())) {
        if (entry.path().extension() != ".dwg") continue;
        SCOPED_TRACE(entry.path().string());
        dwg::Drawing drawing;
        try {
            drawing = dwg::read(entry.path());
        } catch (const dwg::Error&) {
            continue;  // the reader's own tests cover files it refuses
        }
        const render::DisplayList list = render::buildModelSpace(drawing);
        EXPECT_FALSE(list.report.truncated);
        for (const render::Item& item : list.items) {
            if (item.kind == render::Item::Kind::InfiniteLine) continue;
            EXPECT_TRUE(std::isfinite(item.bounds.minX) && std::isfinite(item.bounds.maxY));
        }
        ++built;
    }
    EXPECT_GT(built, 100);
}

}  // namespace
