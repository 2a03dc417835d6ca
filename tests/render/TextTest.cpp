// Text placement and content: the alignments of TEXT, the attachment points,
// paragraphs, wrapping and inline codes of MTEXT, and the special symbols.
#include <gtest/gtest.h>
#include <render/Build.h>

#include <cmath>
#include <numbers>

#include "TestDrawing.h"
#include "TextFace.h"
#include "TextLayout.h"

namespace {

using render::Box;
using render::DisplayList;
using render::Item;
using render::detail::TextFace;
using testsupport::TestDrawing;

// Ink bounds of all text in the list.
Box textInk(const DisplayList& list) {
    Box box;
    for (const Item& item : list.items)
        if (item.kind == Item::Kind::Text) box.add(item.bounds);
    return box;
}

constexpr double kHeight = 2;
constexpr double kAx = 10, kAy = 20;  // alignment point

TEST(TextTest, TextAlignmentsPutTheInkAroundTheirAnchor) {
    // "H" has ink from the baseline to the cap height; its side bearings are
    // under a fifth of the height (or the letter's width).
    const double descent = TextFace::instance().descent() * kHeight;
    enum Edge { Left, CentreX, Right, Bottom, CentreY, Top };
    struct Expect {
        Edge edge;
        double value;
    };
    struct Case {
        const char* name;
        int h, v;
        std::vector<Expect> expect;
    };
    const Case cases[] = {
        {"left", 0, 0, {{Left, 0}, {Bottom, 0}, {Top, kHeight}}},
        {"center", 1, 0, {{CentreX, kAx}, {Bottom, kAy}}},
        {"right", 2, 0, {{Right, kAx}, {Bottom, kAy}}},
        {"middle", 4, 0, {{CentreX, kAx}, {CentreY, kAy}}},
        {"top left", 0, 3, {{Left, kAx}, {Top, kAy}}},
        {"top center", 1, 3, {{CentreX, kAx}, {Top, kAy}}},
        {"middle center", 1, 2, {{CentreX, kAx}, {CentreY, kAy}}},
        {"middle right", 2, 2, {{Right, kAx}, {CentreY, kAy}}},
        {"bottom left", 0, 1, {{Left, kAx}, {Bottom, kAy + descent}}},
        {"bottom right", 2, 1, {{Right, kAx}, {Bottom, kAy + descent}}},
        // Aligned and fit run from the insertion point to the alignment point;
        // aligned keeps the proportions, fit keeps the height.
        {"aligned", 3, 0, {{Left, 0}, {Right, kAx}, {Bottom, 0}}},
        {"fit", 5, 0, {{Left, 0}, {Right, kAx}, {Bottom, 0}, {Top, kHeight}}},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        dwg::Text text;
        text.text = "HH";
        text.height = kHeight;
        text.horizontalAlignment = c.h;
        text.verticalAlignment = c.v;
        text.alignment = (c.h == 3 || c.h == 5) ? dwg::Point2{kAx, 0} : dwg::Point2{kAx, kAy};
        t.add(TestDrawing::kModel, "TEXT", text);
        const Box ink = textInk(render::buildModelSpace(t.drawing));
        ASSERT_FALSE(ink.empty()) << c.name;
        // Side bearings grow with the height and, along the line, with the
        // width of each of the two letters.
        const double slack = 0.2 * std::max(ink.height(), ink.width() / 2);
        for (const Expect& e : c.expect) {
            const double actual = e.edge == Left      ? ink.minX
                                  : e.edge == Right   ? ink.maxX
                                  : e.edge == CentreX ? ink.centre().x
                                  : e.edge == Bottom  ? ink.minY
                                  : e.edge == Top     ? ink.maxY
                                                      : ink.centre().y;
            EXPECT_NEAR(actual, e.value, slack) << c.name << " edge " << e.edge;
        }
    }
}

TEST(TextTest, RotationMirroringAndWidthFactorShapeTheRun) {
    struct Case {
        const char* name;
        double rotation, widthFactor;
        int generation;
        Box expected;  // ink, to a tenth of the height
    };
    // "HH" is about 1.9 heights wide at width factor 1.
    const double w = 2 * TextFace::instance().glyph('H').advance * kHeight;
    const Case cases[] = {
        {"plain", 0, 1, 0, {0, 0, w, kHeight}},
        {"wide", 0, 2, 0, {0, 0, 2 * w, kHeight}},
        {"quarter turn", std::numbers::pi / 2, 1, 0, {-kHeight, 0, 0, w}},
        {"backwards", 0, 1, 2, {-w, 0, 0, kHeight}},
        {"upside down", 0, 1, 4, {0, -kHeight, w, 0}},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        dwg::Text text;
        text.text = "HH";
        text.height = kHeight;
        text.rotation = c.rotation;
        text.widthFactor = c.widthFactor;
        text.generation = c.generation;
        t.add(TestDrawing::kModel, "TEXT", text);
        const Box ink = textInk(render::buildModelSpace(t.drawing));
        const double slack = 0.2 * std::max({kHeight, ink.width() / 2, ink.height() / 2});
        EXPECT_NEAR(ink.minX, c.expected.minX, slack) << c.name;
        EXPECT_NEAR(ink.minY, c.expected.minY, slack) << c.name;
        EXPECT_NEAR(ink.maxX, c.expected.maxX, slack) << c.name;
        EXPECT_NEAR(ink.maxY, c.expected.maxY, slack) << c.name;
    }
}

TEST(TextTest, MTextAttachmentPointsAnchorTheBlockOfLines) {
    struct Case {
        int attachment;
        double x, y;  // where the insertion point is on the ink: 0 min, 0.5 middle, 1 max
    };
    const Case cases[] = {{1, 0, 1},   {2, 0.5, 1}, {3, 1, 1},   {4, 0, 0.5}, {5, 0.5, 0.5},
                          {6, 1, 0.5}, {7, 0, 0},   {8, 0.5, 0}, {9, 1, 0}};
    for (const Case& c : cases) {
        TestDrawing t;
        dwg::MText text;
        text.text = "HHH\\PHHH";  // two lines
        text.height = kHeight;
        text.attachment = c.attachment;
        t.add(TestDrawing::kModel, "MTEXT", text);
        const Box ink = textInk(render::buildModelSpace(t.drawing));
        ASSERT_FALSE(ink.empty());
        EXPECT_NEAR(ink.minX + (ink.maxX - ink.minX) * c.x, 0, 0.15 * kHeight) << c.attachment;
        EXPECT_NEAR(ink.minY + (ink.maxY - ink.minY) * c.y, 0, 0.15 * kHeight) << c.attachment;
        EXPECT_GT(ink.height(), 2.5 * kHeight) << "two lines, " << c.attachment;
    }
}

TEST(TextTest, MTextCodesChangeLinesSizesColoursAndSymbols) {
    using render::detail::layoutMText;
    using render::detail::MTextBox;
    const TextFace& face = TextFace::instance();
    MTextBox box;
    box.height = 1;
    struct Case {
        const char* name;
        const char* content;
        double wrapWidth;
        int lines;
    };
    const Case lineCases[] = {
        {"paragraphs", "one\\Ptwo\\Pthree", 0, 3},        {"newline", "one\ntwo", 0, 2},
        {"no wrap without a width", "aaa bbb ccc", 0, 1}, {"wrapped words", "aaa bbb ccc", 3, 3},
        {"non-breaking space", "aaa\\~bbb ccc", 3, 2},
    };
    for (const Case& c : lineCases) {
        box.wrapWidth = c.wrapWidth;
        EXPECT_EQ(layoutMText(c.content, box).lineCount, c.lines) << c.name;
    }
    box.wrapWidth = 0;

    auto layout = layoutMText("a{\\H2x;\\C1;b}c", box);
    ASSERT_EQ(layout.fragments.size(), 3u);
    EXPECT_DOUBLE_EQ(layout.fragments[1].height, 2);
    ASSERT_TRUE(layout.fragments[1].colour.has_value());
    EXPECT_EQ(layout.fragments[1].colour->index, 1);
    EXPECT_DOUBLE_EQ(layout.fragments[2].height, 1);  // the group ended
    EXPECT_FALSE(layout.fragments[2].colour.has_value());

    layout = layoutMText("\\S1/2;", box);
    EXPECT_EQ(layout.fragments.size(), 2u);
    EXPECT_EQ(layout.bars.size(), 1u);

    struct Symbol {
        const char* content;
        char32_t expected;
    };
    const Symbol symbols[] = {
        {"%%c", 0x2300}, {"%%d", 0xB0}, {"%%p", 0xB1}, {"\\U+00E9", 0xE9}, {"\\\\", '\\'}};
    for (const Symbol& s : symbols) {
        layout = layoutMText(s.content, box);
        ASSERT_EQ(layout.fragments.size(), 1u) << s.content;
        ASSERT_EQ(layout.fragments[0].glyphs.size(), 1u) << s.content;
        EXPECT_EQ(layout.fragments[0].glyphs[0].glyph, &face.glyph(s.expected)) << s.content;
        const auto simple = render::detail::parseSimpleText(s.content);
        if (s.content[0] == '%') {
            EXPECT_EQ(simple.glyphs.at(0).glyph, &face.glyph(s.expected)) << s.content;
        }
    }
    const auto underlined = render::detail::parseSimpleText("%%uAB%%u C");
    ASSERT_EQ(underlined.decorations.size(), 1u);
    EXPECT_NEAR(underlined.decorations[0].to, face.glyph('A').advance + face.glyph('B').advance,
                1e-9);
}

}  // namespace
