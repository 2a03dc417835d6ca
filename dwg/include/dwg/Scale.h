// A drawing's units (header INSUNITS) and the change of them: the whole
// drawing scaled about the origin as AutoCAD's SCALE scales every entity
// (text heights, dimension values, hatch and linetype scales, bodies...), so
// that one drawing unit becomes one of the new units.
#pragma once

#include <dwg/Drawing.h>

#include <optional>
#include <string_view>

namespace dwg {

// The INSUNITS codes a drawing is saved in.
enum class LengthUnit : int {
    Inches = 1,
    Feet = 2,
    Millimetres = 4,
    Centimetres = 5,
    Metres = 6,
};

inline constexpr LengthUnit kLengthUnits[] = {LengthUnit::Millimetres, LengthUnit::Centimetres,
                                              LengthUnit::Metres, LengthUnit::Inches,
                                              LengthUnit::Feet};

// Metres in one unit of an INSUNITS code; none for 0 (no units) and codes
// that are no unit of length.
std::optional<double> metresPerUnit(int insertionUnits);

// The symbol shown after a size ("cm", "in"...); empty for no unit.
std::string_view unitSymbol(int insertionUnits);
// The unit's name in a sentence ("centímetros", "polegadas"...).
std::string_view unitName(int insertionUnits);
// The name on the command line ("mm", "cm", "m", "in", "ft").
std::string_view unitKey(LengthUnit unit);
std::optional<LengthUnit> unitFromKey(std::string_view key);

struct UnitsChange {
    bool scaled = false;  // false: the drawing had no units and was left as it was
    int from = 0;
    int to = 0;
    double factor = 1;
};

// One drawing unit becomes one `target`; the drawing's own units must have a
// length, else it is left as it is. Throws ConvertError (Convert.h) when a
// body's ACIS data cannot be scaled.
UnitsChange changeUnits(Drawing& drawing, LengthUnit target);

// Every entity, block and view `factor` times as large about the origin.
// `factor` must be a finite positive number.
void scaleDrawing(Drawing& drawing, double factor);

}  // namespace dwg
