// The one face all drawing text is set in (DejaVu Sans, compiled in), as
// outlines scaled so that the cap height is 1. Safe to use from any thread.
#pragma once

#include <render/DisplayList.h>

namespace render::detail {

class TextFace {
  public:
    static const TextFace& instance();

    // Characters the face lacks get its "missing" glyph.
    const Glyph& glyph(char32_t character) const;
    // Depth of the descenders below the baseline, in cap heights (positive).
    double descent() const { return descent_; }

    TextFace(const TextFace&) = delete;
    TextFace& operator=(const TextFace&) = delete;
    ~TextFace();

  private:
    TextFace();
    struct State;
    State* state_;
    double descent_ = 0.3;
};

}  // namespace render::detail
