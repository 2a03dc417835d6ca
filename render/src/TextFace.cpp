#include "TextFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace render::detail {

extern const unsigned char kTextFontData[];
extern const std::size_t kTextFontSize;

namespace {

// Outline curves are flattened once, to this fraction of the cap height:
// well under a pixel until text is several hundred pixels tall.
constexpr double kOutlineTolerance = 1.0 / 4000;

struct OutlineBuilder {
    Glyph* glyph;
    double unit;  // cap heights per font unit
    Vec2 current;
    std::uint32_t contourStart = 0;

    Vec2 scaled(const FT_Vector* v) const { return {v->x * unit, v->y * unit}; }
    void closeContour() {
        const auto size = static_cast<std::uint32_t>(glyph->outline.size()) - contourStart;
        if (size > 0) glyph->contourSizes.push_back(size);
        contourStart = static_cast<std::uint32_t>(glyph->outline.size());
    }
    void point(Vec2 p) {
        glyph->outline.push_back(p);
        glyph->bounds.add(p);
        current = p;
    }
    // Quadratic and cubic Beziers, in enough chords for kOutlineTolerance.
    void curve(const Vec2* control, int order) {
        const Vec2 start = current;
        const Vec2 end = control[order - 1];
        double height = 0;
        for (int i = 0; i < order - 1; ++i) {
            const Vec2 d = end - start;
            const double len = length(d);
            height = std::max(height, len > 0 ? std::abs(cross(d, control[i] - start)) / len
                                              : length(control[i] - start));
        }
        const int n = std::clamp(
            static_cast<int>(std::ceil(std::sqrt(height / kOutlineTolerance / 4))), 1, 64);
        for (int i = 1; i <= n; ++i) {
            const double t = static_cast<double>(i) / n, s = 1 - t;
            if (order == 2)
                point(start * (s * s) + control[0] * (2 * s * t) + end * (t * t));
            else
                point(start * (s * s * s) + control[0] * (3 * s * s * t) +
                      control[1] * (3 * s * t * t) + end * (t * t * t));
        }
    }
};

int moveTo(const FT_Vector* to, void* user) {
    auto* b = static_cast<OutlineBuilder*>(user);
    b->closeContour();
    b->point(b->scaled(to));
    return 0;
}
int lineTo(const FT_Vector* to, void* user) {
    auto* b = static_cast<OutlineBuilder*>(user);
    b->point(b->scaled(to));
    return 0;
}
int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* b = static_cast<OutlineBuilder*>(user);
    const Vec2 points[2] = {b->scaled(control), b->scaled(to)};
    b->curve(points, 2);
    return 0;
}
int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* b = static_cast<OutlineBuilder*>(user);
    const Vec2 points[3] = {b->scaled(c1), b->scaled(c2), b->scaled(to)};
    b->curve(points, 3);
    return 0;
}

}  // namespace

struct TextFace::State {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    double unit = 1.0 / 1493;  // DejaVu Sans cap height in font units
    std::mutex mutex;
    // By glyph index, so the cache is bounded by the face, not by the text.
    std::unordered_map<FT_UInt, std::unique_ptr<Glyph>> glyphs;

    std::unique_ptr<Glyph> load(FT_UInt index) {
        auto glyph = std::make_unique<Glyph>();
        glyph->advance = 0.6;
        if (!face) return glyph;
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) !=
            0)
            return glyph;
        glyph->advance = face->glyph->advance.x * unit;
        if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return glyph;
        FT_Outline_Funcs funcs{};
        funcs.move_to = moveTo;
        funcs.line_to = lineTo;
        funcs.conic_to = conicTo;
        funcs.cubic_to = cubicTo;
        OutlineBuilder builder{glyph.get(), unit, {}, 0};
        FT_Outline_Decompose(&face->glyph->outline, &funcs, &builder);
        builder.closeContour();
        return glyph;
    }
};

TextFace::TextFace() : state_(new State) {
    if (FT_Init_FreeType(&state_->library) != 0) return;
    if (FT_New_Memory_Face(state_->library, kTextFontData, static_cast<FT_Long>(kTextFontSize), 0,
                           &state_->face) != 0) {
        state_->face = nullptr;
        return;
    }
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(state_->face, FT_SFNT_OS2));
    const double capHeight =
        os2 && os2->sCapHeight > 0 ? os2->sCapHeight : state_->face->units_per_EM * 0.73;
    state_->unit = 1 / capHeight;
    descent_ = std::abs(state_->face->descender) * state_->unit;
}

TextFace::~TextFace() {
    if (state_->face) FT_Done_Face(state_->face);
    if (state_->library) FT_Done_FreeType(state_->library);
    delete state_;
}

const TextFace& TextFace::instance() {
    static const TextFace face;
    return face;
}

const Glyph& TextFace::glyph(char32_t character) const {
    std::lock_guard lock(state_->mutex);
    const FT_UInt index = state_->face ? FT_Get_Char_Index(state_->face, character) : 0;
    auto& slot = state_->glyphs[index];
    if (!slot) slot = state_->load(index);
    return *slot;
}

}  // namespace render::detail
