// DIMSTYLE: the dimension variables in the order each version stores them.
#include "EntityStyles.h"
#include "FieldReader.h"

namespace dwg::detail {
namespace {

// R13 and R14: flags first, then the sizes, then the names and plain colour numbers.
void readOldLayout(FieldReader& f, DimensionStyle& s) {
    BitReader& d = f.data();
    d.bit();  // DIMTOL
    d.bit();  // DIMLIM
    s.textInsideHorizontal = d.bit();
    s.textOutsideHorizontal = d.bit();
    s.suppressExtension1 = d.bit();
    s.suppressExtension2 = d.bit();
    d.bit();  // DIMALT
    s.lineInside = d.bit();
    s.separateArrows = d.bit();
    s.textInside = d.bit();
    d.bit();      // DIMSOXD
    d.rawChar();  // DIMALTD
    s.zeroSuppression = d.rawChar();
    d.bit();      // DIMSD1
    d.bit();      // DIMSD2
    d.rawChar();  // DIMTOLJ
    s.textJustification = d.rawChar();
    s.fit = d.rawChar();
    d.bit();      // DIMUPT
    d.rawChar();  // DIMTZIN
    d.rawChar();  // DIMALTZ
    d.rawChar();  // DIMALTTZ
    s.textVertical = d.rawChar();
    s.linearUnits = d.bitShort();  // DIMUNIT
    s.angularUnits = d.bitShort();
    s.decimals = d.bitShort();
    d.bitShort();  // DIMTDEC
    d.bitShort();  // DIMALTU
    d.bitShort();  // DIMALTTD
    s.scale = d.bitDouble();
    s.arrowSize = d.bitDouble();
    s.extensionOffset = d.bitDouble();
    s.baselineSpacing = d.bitDouble();
    s.extensionBeyond = d.bitDouble();
    s.rounding = d.bitDouble();
    s.lineBeyond = d.bitDouble();
    d.bitDouble();  // DIMTP
    d.bitDouble();  // DIMTM
    s.textHeight = d.bitDouble();
    s.centerMark = d.bitDouble();
    s.tickSize = d.bitDouble();
    d.bitDouble();  // DIMALTF
    s.lengthFactor = d.bitDouble();
    d.bitDouble();  // DIMTVP
    d.bitDouble();  // DIMTFAC
    s.textGap = d.bitDouble();
    s.postfix = f.text();
    f.text();  // DIMAPOST
    // Arrowheads are named here, not referred to; the blocks stay unset.
    for (int i = 0; i < 3; ++i) f.text();
    s.lineColor = f.color();
    s.extensionColor = f.color();
    s.textColor = f.color();
    s.angularDecimals = s.decimals;
    s.decimalSeparator = '.';
}

void readLayout(FieldReader& f, DimensionStyle& s) {
    BitReader& d = f.data();
    const Version v = f.version();
    s.postfix = f.text();
    f.text();  // DIMAPOST
    s.scale = d.bitDouble();
    s.arrowSize = d.bitDouble();
    s.extensionOffset = d.bitDouble();
    s.baselineSpacing = d.bitDouble();
    s.extensionBeyond = d.bitDouble();
    s.rounding = d.bitDouble();
    s.lineBeyond = d.bitDouble();
    d.bitDouble();  // DIMTP
    d.bitDouble();  // DIMTM
    if (v >= Version::R2007) {
        d.bitDouble();  // DIMFXL
        d.bitDouble();  // DIMJOGANG
        d.bitShort();   // DIMTFILL
        f.color();      // DIMTFILLCLR
    }
    d.bit();  // DIMTOL
    d.bit();  // DIMLIM
    s.textInsideHorizontal = d.bit();
    s.textOutsideHorizontal = d.bit();
    s.suppressExtension1 = d.bit();
    s.suppressExtension2 = d.bit();
    s.textVertical = d.bitShort();
    s.zeroSuppression = d.bitShort();
    d.bitShort();                        // DIMAZIN
    if (v >= Version::R2007) d.bitShort();  // DIMARCSYM
    s.textHeight = d.bitDouble();
    s.centerMark = d.bitDouble();
    s.tickSize = d.bitDouble();
    d.bitDouble();  // DIMALTF
    s.lengthFactor = d.bitDouble();
    d.bitDouble();  // DIMTVP
    d.bitDouble();  // DIMTFAC
    s.textGap = d.bitDouble();
    d.bitDouble();  // DIMALTRND
    d.bit();        // DIMALT
    d.bitShort();   // DIMALTD
    s.lineInside = d.bit();
    s.separateArrows = d.bit();
    s.textInside = d.bit();
    d.bit();  // DIMSOXD
    s.lineColor = f.color();
    s.extensionColor = f.color();
    s.textColor = f.color();
    s.angularDecimals = d.bitShort();
    s.decimals = d.bitShort();
    d.bitShort();  // DIMTDEC
    d.bitShort();  // DIMALTU
    d.bitShort();  // DIMALTTD
    s.angularUnits = d.bitShort();
    d.bitShort();  // DIMFRAC
    s.linearUnits = d.bitShort();
    s.decimalSeparator = d.bitShort();
    d.bitShort();  // DIMTMOVE
    s.textJustification = d.bitShort();
    d.bit();       // DIMSD1
    d.bit();       // DIMSD2
    d.bitShort();  // DIMTOLJ
    d.bitShort();  // DIMTZIN
    d.bitShort();  // DIMALTZ
    d.bitShort();  // DIMALTTZ
    d.bit();       // DIMUPT
    s.fit = d.bitShort();
    if (v >= Version::R2007) d.bit();  // DIMFXLON
    if (v >= Version::R2010) {
        d.bit();        // DIMTXTDIRECTION
        d.bitDouble();  // DIMALTMZF
        f.text();       // DIMALTMZS
        d.bitDouble();  // DIMMZF
        f.text();       // DIMMZS
    }
    s.lineweight = d.bitShort();
    s.extensionLineweight = d.bitShort();
}

}  // namespace

DimensionStyle parseDimensionStyle(Streams& streams, const FileContext& file, Handle own) {
    FieldReader f(streams, file, own);
    DimensionStyle style;
    style.handle = own;
    if (file.version <= Version::R14)
        readOldLayout(f, style);
    else
        readLayout(f, style);
    style.textStyle = f.handle();
    if (file.version >= Version::R2000) {
        style.leaderArrowBlock = f.handle();
        style.arrowBlock = f.handle();
        style.firstArrowBlock = f.handle();
        style.secondArrowBlock = f.handle();
    }
    return style;
}

}  // namespace dwg::detail
