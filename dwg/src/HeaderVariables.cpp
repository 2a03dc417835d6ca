// The header variables section. Only a few variables matter for showing a
// drawing, but the section is one bit stream, so every field before the last
// one we need has to be read in order.
#include <cmath>

#include "Sections.h"
#include "Streams.h"

namespace dwg::detail {
namespace {

constexpr Sentinel kHeaderStart = {0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                   0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};

class HeaderReader {
  public:
    HeaderReader(Streams& streams, const FileContext& context)
        : s_(streams), d_(streams.data()), context_(context), v_(context.version) {}

    HeaderVariables read();

  private:
    void bits(int n) {
        for (int i = 0; i < n; ++i) d_.bit();
    }
    void shorts(int n) {
        for (int i = 0; i < n; ++i) d_.bitShort();
    }
    void longs(int n) {
        for (int i = 0; i < n; ++i) d_.bitLong();
    }
    void doubles(int n) {
        for (int i = 0; i < n; ++i) d_.bitDouble();
    }
    void points3(int n) {
        for (int i = 0; i < n; ++i) d_.bitPoint3();
    }
    void rawChars(int n) {
        for (int i = 0; i < n; ++i) d_.rawChar();
    }
    void texts(int n) {
        for (int i = 0; i < n; ++i) s_.text(context_);
    }
    void colors(int n) {
        for (int i = 0; i < n; ++i) d_.color(v_, s_.strings());
    }
    Handle handle() { return s_.handles().handle().value; }
    void handles(int n) {
        for (int i = 0; i < n; ++i) handle();
    }

    void readSpaceSettings();  // INSBASE .. UCSNAME (.. UCSORGBACK) of one space
    void readDimensionVariables();

    Streams& s_;
    BitReader& d_;
    const FileContext& context_;
    Version v_;
    HeaderVariables result_;
};

// Files store ±1e20 (or garbage) where the extents were never computed.
std::optional<Point3> plausibleExtent(const Point3& p) {
    constexpr double limit = 1e19;
    for (double c : {p.x, p.y, p.z})
        if (!std::isfinite(c) || std::fabs(c) >= limit) return std::nullopt;
    return p;
}

void HeaderReader::readSpaceSettings() {
    result_.insertionBase = d_.bitPoint3();
    const Point3 extMin = d_.bitPoint3();
    const Point3 extMax = d_.bitPoint3();
    result_.extentsMin = plausibleExtent(extMin);
    result_.extentsMax = plausibleExtent(extMax);
    if (!result_.extentsMin || !result_.extentsMax || extMin.x > extMax.x || extMin.y > extMax.y) {
        result_.extentsMin.reset();
        result_.extentsMax.reset();
    }
    d_.rawPoint2();  // LIMMIN
    d_.rawPoint2();  // LIMMAX
    doubles(1);      // ELEVATION
    points3(3);      // UCSORG, UCSXDIR, UCSYDIR
    handles(1);      // UCSNAME
    if (v_ >= Version::R2000) {
        handles(1);  // UCSORTHOREF
        shorts(1);   // UCSORTHOVIEW
        handles(1);  // UCSBASE
        points3(6);  // UCSORGTOP .. UCSORGBACK
    }
}

void HeaderReader::readDimensionVariables() {
    if (v_ >= Version::R2000) texts(2);  // DIMPOST, DIMAPOST
    if (v_ <= Version::R14) {
        bits(11);     // DIMTOL .. DIMSOXD
        rawChars(2);  // DIMALTD, DIMZIN
        bits(2);      // DIMSD1, DIMSD2
        rawChars(3);  // DIMTOLJ, DIMJUST, DIMFIT
        bits(1);      // DIMUPT
        rawChars(4);  // DIMTZIN, DIMALTZ, DIMALTTZ, DIMTAD
        shorts(6);    // DIMUNIT .. DIMALTTD
        handles(1);   // DIMTXSTY
    }
    result_.dimScale = d_.bitDouble();
    doubles(8);  // DIMASZ .. DIMTM
    if (v_ >= Version::R2007) {
        doubles(2);  // DIMFXL, DIMJOGANG
        shorts(1);   // DIMTFILL
        colors(1);   // DIMTFILLCLR
    }
    if (v_ >= Version::R2000) {
        bits(6);    // DIMTOL .. DIMSE2
        shorts(3);  // DIMTAD, DIMZIN, DIMAZIN
    }
    if (v_ >= Version::R2007) shorts(1);  // DIMARCSYM
    result_.dimTextHeight = d_.bitDouble();
    doubles(7);                        // DIMCEN .. DIMGAP
    if (v_ <= Version::R14) texts(5);  // DIMPOST .. DIMBLK2
    if (v_ >= Version::R2000) {
        doubles(1);  // DIMALTRND
        bits(1);     // DIMALT
        shorts(1);   // DIMALTD
        bits(4);     // DIMTOFL, DIMSAH, DIMTIX, DIMSOXD
    }
    colors(3);  // DIMCLRD, DIMCLRE, DIMCLRT
    if (v_ >= Version::R2000) {
        shorts(11);  // DIMADEC .. DIMJUST
        bits(2);     // DIMSD1, DIMSD2
        shorts(4);   // DIMTOLJ, DIMTZIN, DIMALTZ, DIMALTTZ
        bits(1);     // DIMUPT
        shorts(1);   // DIMATFIT
    }
    if (v_ >= Version::R2007) bits(1);  // DIMFXLON
    if (v_ >= Version::R2010) {
        bits(1);     // DIMTXTDIRECTION
        doubles(1);  // DIMALTMZF
        texts(1);    // DIMALTMZS
        doubles(1);  // DIMMZF
        texts(1);    // DIMMZS
    }
    if (v_ >= Version::R2000) handles(5);  // DIMTXSTY, DIMLDRBLK, DIMBLK, DIMBLK1, DIMBLK2
    if (v_ >= Version::R2007) handles(3);  // DIMLTYPE, DIMLTEX1, DIMLTEX2
    if (v_ >= Version::R2000) shorts(2);   // DIMLWD, DIMLWE
}

HeaderVariables HeaderReader::read() {
    if (v_ >= Version::R2013) d_.bitLongLong();  // REQUIREDVERSIONS
    doubles(4);
    texts(4);
    longs(2);
    if (v_ <= Version::R14) shorts(1);
    if (v_ < Version::R2004) handles(1);  // current viewport entity header
    bits(2);                              // DIMASO, DIMSHO
    if (v_ <= Version::R14) bits(1);      // DIMSAV
    bits(3);                              // PLINEGEN, ORTHOMODE, REGENMODE
    result_.fillMode = d_.bit();
    bits(1);  // QTEXTMODE
    result_.paperSpaceLinetypeScaling = d_.bit();
    bits(1);                          // LIMCHECK
    if (v_ <= Version::R14) bits(1);  // BLIPMODE
    if (v_ >= Version::R2004) bits(1);
    bits(4);                          // USRTIMER, SKPOLY, ANGDIR, SPLFRAME
    if (v_ <= Version::R14) bits(2);  // ATTREQ, ATTDIA
    bits(2);                          // MIRRTEXT, WORLDVIEW
    if (v_ <= Version::R14) bits(1);  // WIREFRAME
    result_.tileMode = d_.bit();
    bits(2);                            // PLIMCHECK, VISRETAIN
    if (v_ <= Version::R14) bits(1);    // DELOBJ
    bits(2);                            // DISPSILH, PELLIPSE
    shorts(1);                          // PROXYGRAPHICS
    if (v_ <= Version::R14) shorts(1);  // DRAGMODE
    shorts(5);                          // TREEDEPTH .. AUPREC
    if (v_ <= Version::R14) shorts(1);  // OSMODE
    shorts(1);                          // ATTMODE
    if (v_ <= Version::R14) shorts(1);  // COORDS
    result_.pointDisplayMode = d_.bitShort();
    if (v_ <= Version::R14) shorts(1);  // PICKSTYLE
    if (v_ >= Version::R2004) longs(3);
    shorts(19);  // USERI1 .. TEXTQLTY
    result_.linetypeScale = d_.bitDouble();
    doubles(6);  // TEXTSIZE .. ANGBASE
    result_.pointDisplaySize = d_.bitDouble();
    doubles(12);  // PLINEWID .. CMLSCALE
    result_.newEntityLinetypeScale = d_.bitDouble();
    texts(1);  // MENUNAME
    longs(4);  // TDCREATE, TDUPDATE
    if (v_ >= Version::R2004) longs(3);
    longs(4);                              // TDINDWG, TDUSRTIMER
    colors(1);                             // CECOLOR
    d_.handle();                           // HANDSEED, always in the data stream
    result_.currentLayer = handle();       // CLAYER
    handles(2);                            // TEXTSTYLE, CELTYPE
    if (v_ >= Version::R2007) handles(1);  // CMATERIAL
    handles(2);                            // DIMSTYLE, CMLSTYLE
    if (v_ >= Version::R2000) doubles(1);  // PSVPSCALE
    readSpaceSettings();                   // paper space
    readSpaceSettings();                   // model space: the values kept
    readDimensionVariables();
    result_.blockControl = handle();
    result_.layerControl = handle();
    result_.styleControl = handle();
    result_.linetypeControl = handle();
    result_.viewControl = handle();
    result_.ucsControl = handle();
    result_.vportControl = handle();
    result_.appIdControl = handle();
    result_.dimStyleControl = handle();
    if (v_ <= Version::R2000) handles(1);  // viewport entity header control
    handles(3);                            // ACAD_GROUP, ACAD_MLINESTYLE, named objects
    if (v_ >= Version::R2000) {
        shorts(2);   // TSTACKALIGN, TSTACKSIZE
        texts(2);    // HYPERLINKBASE, STYLESHEET
        handles(3);  // LAYOUTS, PLOTSETTINGS, PLOTSTYLES dictionaries
    }
    if (v_ >= Version::R2004) handles(2);  // MATERIALS, COLORS
    if (v_ >= Version::R2007) handles(1);  // VISUALSTYLE
    if (v_ >= Version::R2013) handles(1);
    if (v_ >= Version::R2000) {
        longs(1);  // flags
        result_.insertionUnits = d_.bitShort();
        const int plotStyleType = d_.bitShort();  // CEPSNTYPE
        if (plotStyleType == 3) handles(1);       // CPSNID
        texts(2);                                 // FINGERPRINTGUID, VERSIONGUID
    }
    if (v_ >= Version::R2004) {
        rawChars(6);  // SORTENTS .. HALOGAP
        shorts(2);    // OBSCUREDCOLOR, INTERSECTIONCOLOR
        rawChars(2);  // OBSCUREDLTYPE, INTERSECTIONDISPLAY
        texts(1);     // PROJECTNAME
    }
    result_.paperSpaceBlock = handle();
    result_.modelSpaceBlock = handle();
    result_.linetypeByLayer = handle();
    result_.linetypeByBlock = handle();
    result_.linetypeContinuous = handle();
    // What follows (R2007+ camera and light settings, trailing unknowns) is not needed.
    return result_;
}

}  // namespace

HeaderVariables parseHeaderVariables(Bytes section, const FileContext& context) {
    const FramedSection framed = unframeSection(section, kHeaderStart, "de variáveis", context);
    BitReader data(framed.data);
    Streams streams(data);
    if (context.version >= Version::R2007) {
        // The RL bit count is measured from the RL itself, which sits at the start of the data.
        const std::size_t countPosition = data.position();
        const auto bitCount = static_cast<std::uint32_t>(streams.data().rawLong());
        const std::size_t handlesStart = countPosition + bitCount;
        if (handlesStart > data.endPosition())
            throw Error::damaged("tamanho de variáveis inválido");
        BitReader handles = streams.data();
        handles.seek(handlesStart);
        streams.setHandles(handles);
        streams.splitStrings(handlesStart);
    }
    HeaderReader reader(streams, context);
    return reader.read();
}

}  // namespace dwg::detail
