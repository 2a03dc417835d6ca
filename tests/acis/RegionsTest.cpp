// The crossing check of faces' boundaries in their surfaces' parameters:
// proper crossings refused, segments that meet at an end, or miss meeting by
// a rounding of the plane's size, let through.
#include <gtest/gtest.h>

#include <cmath>

#include "Regions.h"

namespace {

using acis::detail::Region;
using acis::detail::Ring;

Ring ring(std::initializer_list<acis::detail::Vec2> points) {
    Ring out;
    for (const acis::detail::Vec2& p : points) out.push_back({p, {p.u, p.v, 0}});
    return out;
}

bool crosses(const Region& region) {
    const acis::WorkCharge none;
    acis::detail::Work work(none);
    try {
        acis::detail::checkCrossings({region}, work);
        return false;
    } catch (const acis::Error&) {
        return true;
    }
}

TEST(Crossings, ProperOnesOnlyAreRefused) {
    struct Case {
        const char* name;
        Region region;
        bool refused;
    };
    const Case cases[] = {
        {"square", {ring({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), {}}, false},
        {"bow tie", {ring({{0, 0}, {1, 1}, {1, 0}, {0, 1}}), {}}, true},
        {"hole across the outer boundary",
         {ring({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), {ring({{0.5, 0.5}, {1.5, 0.5}, {1.5, 0.6}})}},
         true},
        // A seam's point mapped from either side of it: 1e-17 off zero one
        // way, then the other, and a rounding above the pole's line.
        {"ends a rounding apart",
         {ring({{0, 0}, {6.8e-18, 0.0107}, {-2.2e-17, std::nextafter(0.01223, 1.0)},
                {9.4e-18, 0.01223}, {-0.00179, 0.01223}, {-0.00179, 0}}),
          {}},
         false},
        {"ends further apart",
         {ring({{0, 0}, {6.8e-18, 0.0107}, {-1e-6, 0.01223 + 1e-6}, {9.4e-18, 0.01223},
                {-0.00179, 0.01223}, {-0.00179, 0}}),
          {}},
         true},
    };
    for (const Case& c : cases) EXPECT_EQ(crosses(c.region), c.refused) << c.name;
}

}  // namespace
