#include <gtest/gtest.h>

#include <QImage>
#include <vector>

#include "ui/Skin.h"

using ui::Recolour;

namespace {

::testing::AssertionResult near(const QColor& actual, const QColor& expected) {
    const int apart = std::max(
        {std::abs(actual.red() - expected.red()), std::abs(actual.green() - expected.green()),
         std::abs(actual.blue() - expected.blue()), std::abs(actual.alpha() - expected.alpha())});
    if (apart <= 1) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << actual.name(QColor::HexArgb).toStdString() << " instead of "
           << expected.name(QColor::HexArgb).toStdString();
}

}  // namespace

TEST(Recolour, KnownColours) {
    struct Case {
        const char* what;
        QColor colour;
        Recolour recolour;
        QColor expected;
    };
    const Recolour program = ui::kProgramRecolour;
    const std::vector<Case> cases = {
        // Red turned by 270 degrees is violet (hue 270), saturation 1 down to 0.3.
        {"red", QColor(255, 0, 0), program, QColor(217, 178, 255)},
        // Green (120) turns to 30, an orange, kept half transparent.
        {"green, half transparent", QColor(0, 255, 0, 128), program, QColor(255, 217, 178, 128)},
        // Blue (240) turns to 150; value 0.5 is kept.
        {"dark blue", QColor(0, 0, 128), program, QColor(90, 128, 109)},
        {"grey stays grey", QColor(128, 128, 128), program, QColor(128, 128, 128)},
        {"white stays white", QColor(255, 255, 255), program, QColor(255, 255, 255)},
        {"black stays black", QColor(0, 0, 0), program, QColor(0, 0, 0)},
        {"hue only", QColor(255, 0, 0), Recolour{120, 0}, QColor(0, 255, 0)},
        {"hue offset past a turn", QColor(255, 0, 0), Recolour{480, 0}, QColor(0, 255, 0)},
        {"saturation -100 leaves grey of the same value", QColor(255, 0, 0), Recolour{0, -100},
         QColor(255, 255, 255)},
        {"saturation +50 goes halfway to full", QColor(255, 128, 128), Recolour{0, 50},
         QColor(255, 64, 64)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(near(ui::recoloured(c.colour, c.recolour), c.expected));
    }
}

TEST(Recolour, ImagesPixelByPixelKeepingTransparency) {
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixelColor(0, 0, QColor(255, 0, 0));
    image.setPixelColor(1, 0, QColor(0, 0, 0, 0));
    image.setPixelColor(2, 0, QColor(0, 255, 0, 128));
    const QImage turned = ui::recoloured(image, ui::kProgramRecolour);
    ASSERT_EQ(turned.size(), image.size());
    EXPECT_TRUE(near(turned.pixelColor(0, 0), QColor(217, 178, 255)));
    EXPECT_EQ(turned.pixelColor(1, 0).alpha(), 0);
    EXPECT_TRUE(near(turned.pixelColor(2, 0), QColor(255, 217, 178, 128)));
}

// The stored skin is vivid blue-green; the program's settings turn every one
// of its colours, images included, toward grey.
TEST(Skin, ProgramSkinIsTheBaseSkinRecoloured) {
    const ui::Skin& base = ui::baseSkin();
    const ui::Skin& skin = ui::programSkin();
    EXPECT_EQ(base.name, QStringLiteral("Velmora (internal)"));
    for (int i = 0; i < ui::kSkinSectionCount; ++i) {
        const auto section = static_cast<ui::SkinSection>(i);
        SCOPED_TRACE(ui::sectionName(section));
        for (const auto& [stored, shown] :
             {std::pair{base[section].top, skin[section].top},
              std::pair{base[section].bottom, skin[section].bottom},
              std::pair{base[section].border, skin[section].border}}) {
            EXPECT_TRUE(near(shown, ui::recoloured(stored, ui::kProgramRecolour)));
            EXPECT_LE(shown.hsvSaturation(), 77);  // 30 % of full at most
        }
    }
    for (const auto& [stored, shown] : {std::pair{&base.checkMark, &skin.checkMark},
                                        std::pair{&base.arrowDown, &skin.arrowDown}}) {
        ASSERT_FALSE(stored->isNull());
        ASSERT_EQ(shown->size(), stored->size());
        // The most saturated pixel of the stored image, seen after recolouring.
        QPoint vivid;
        for (int y = 0; y < stored->height(); ++y)
            for (int x = 0; x < stored->width(); ++x)
                if (stored->pixelColor(x, y).alpha() == 255 &&
                    stored->pixelColor(x, y).hsvSaturation() >
                        stored->pixelColor(vivid).hsvSaturation())
                    vivid = {x, y};
        EXPECT_GT(stored->pixelColor(vivid).hsvSaturation(), 200);
        EXPECT_LE(shown->pixelColor(vivid).hsvSaturation(), 77);
    }
}
