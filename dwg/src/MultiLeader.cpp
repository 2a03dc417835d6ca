// MULTILEADER and its MLEADERSTYLE. The entity's geometry sits in an embedded
// annotation context (leader roots with their lines, then the MTEXT or block
// content); the entity's own copy of the style values follows, with flags
// telling which of them override the style.

#include "EntityStyles.h"
#include "FieldReader.h"
#include "MoreEntityParsers.h"

namespace dwg::detail {
namespace {

class MultiLeaderParser {
  public:
    explicit MultiLeaderParser(EntityParseContext& context)
        : f_(context.streams, context.file, context.record.entity.header.handle),
          d_(f_.data()),
          v_(context.file.version),
          record_(context.record) {}

    void parse();

  private:
    MLeaderRoot root();
    MLeaderLine line();
    MText textContent();
    MLeaderBlockContent blockContent();
    void entityLook();

    FieldReader f_;
    BitReader& d_;
    Version v_;
    EntityRecord& record_;
    MultiLeader leader_;
    MLeaderPending pending_;
};

MLeaderLine MultiLeaderParser::line() {
    MLeaderLine line;
    const std::size_t pointCount = f_.count("vértices de linha de chamada", kMinBitsPoint3);
    line.points.reserve(pointCount);
    for (std::size_t i = 0; i < pointCount; ++i) line.points.push_back(d_.bitPoint3());
    const std::size_t breakCount = f_.count("interrupções", kMinBitsBitLong);
    for (std::size_t i = 0; i < breakCount; ++i) {
        d_.bitLong();  // segment index
        const std::size_t pairs = f_.count("interrupções", 2 * kMinBitsPoint3);
        for (std::size_t k = 0; k < 2 * pairs; ++k) d_.bitPoint3();
    }
    d_.bitLong();  // line index
    std::uint32_t overrides = 0;
    if (v_ >= Version::R2010) {
        line.leaderType = d_.bitShort();
        line.color = f_.color();
        line.linetype = f_.handle();
        line.lineweight = d_.bitLong();
        line.arrowSize = d_.bitDouble();
        line.arrowBlock = f_.handle();
        overrides = static_cast<std::uint32_t>(d_.bitLong());
    }
    pending_.lineOverrides.push_back(overrides);
    return line;
}

MLeaderRoot MultiLeaderParser::root() {
    MLeaderRoot root;
    d_.bit();  // content valid
    d_.bit();
    root.connection = d_.bitPoint3();
    root.direction = d_.bitPoint3();
    const std::size_t breakPairs = f_.count("interrupções", 2 * kMinBitsPoint3);
    for (std::size_t i = 0; i < 2 * breakPairs; ++i) d_.bitPoint3();
    d_.bitLong();  // root index
    root.landingDistance = d_.bitDouble();
    const std::size_t lineCount = f_.count("linhas de chamada", 3 * kMinBitsBitLong);
    for (std::size_t i = 0; i < lineCount; ++i) root.lines.push_back(line());
    if (v_ >= Version::R2010) d_.bitShort();  // attachment direction
    return root;
}

MText MultiLeaderParser::textContent() {
    MText m;
    m.text = f_.text();
    m.extrusion = d_.bitPoint3();
    m.style = f_.handle();
    m.insertion = d_.bitPoint3();
    m.xAxis = d_.bitPoint3();
    d_.bitDouble();  // rotation, already in the direction
    m.rectangleWidth = d_.bitDouble();
    d_.bitDouble();  // boundary height
    m.lineSpacingFactor = d_.bitDouble();
    d_.bitShort();  // line spacing style
    leader_.textColor = f_.color();
    m.attachment = d_.bitShort();  // 1 left, 2 centre, 3 right: the top row of MTEXT's nine
    m.drawingDirection = d_.bitShort();
    f_.color();      // background colour
    d_.bitDouble();  // background scale
    d_.bitLong();    // background transparency
    d_.bit();        // background fill
    d_.bit();        // background mask
    d_.bitShort();   // column type
    d_.bit();        // automatic height
    d_.bitDouble();  // column width
    d_.bitDouble();  // gutter
    d_.bit();        // flow reversed
    const std::size_t columns = f_.count("colunas", kMinBitsBitDouble);
    for (std::size_t i = 0; i < columns; ++i) d_.bitDouble();
    d_.bit();  // word break
    d_.bit();
    return m;
}

MLeaderBlockContent MultiLeaderParser::blockContent() {
    MLeaderBlockContent b;
    b.block = f_.handle();
    b.normal = d_.bitPoint3();
    b.location = d_.bitPoint3();
    b.scale = d_.bitPoint3();
    b.rotation = d_.bitDouble();
    b.color = f_.color();
    for (double& value : b.transform) value = d_.bitDouble();
    return b;
}

// The entity's copy of the style values, after the annotation context.
void MultiLeaderParser::entityLook() {
    MLeaderLook& own = pending_.own;
    pending_.style = f_.handle();
    leader_.style = pending_.style;
    pending_.overrides = static_cast<std::uint32_t>(d_.bitLong());
    own.leaderType = d_.bitShort();
    own.leaderColor = f_.color();
    own.leaderLinetype = f_.handle();
    own.leaderLineweight = d_.bitLong();
    d_.bit();  // landing enabled
    own.dogleg = d_.bit();
    d_.bitDouble();  // landing distance
    own.arrowBlock = f_.handle();
    d_.bitDouble();  // arrowhead size, unscaled: the context's is used
    d_.bitShort();   // content type
    f_.handle();     // text style
    d_.bitShort();   // left attachment
    d_.bitShort();   // right attachment
    d_.bitShort();   // text angle type
    d_.bitShort();
    f_.color();  // text colour
    own.textFrame = d_.bit();
    f_.handle();     // block
    f_.color();      // block colour
    d_.bitPoint3();  // block scale
    d_.bitDouble();  // block rotation
    d_.bitShort();   // block connection type
    d_.bit();        // annotative
    if (v_ <= Version::R2007) {
        const std::size_t arrows = f_.count("pontas de seta", 1);
        for (std::size_t i = 0; i < arrows; ++i) {
            d_.bit();  // default
            f_.handle();
        }
    }
    const std::size_t labels = f_.count("rótulos de bloco", 2);
    for (std::size_t i = 0; i < labels; ++i) {
        const Handle attdef = f_.handle();
        std::string value = f_.text();
        d_.bitShort();   // index
        d_.bitDouble();  // width
        if (leader_.block) leader_.block->attributes.emplace_back(attdef, std::move(value));
    }
    d_.bit();        // text direction negative
    d_.bitShort();   // alignment in place
    d_.bitShort();   // justification
    d_.bitDouble();  // scale factor
    if (v_ >= Version::R2010) {
        d_.bitShort();  // attachment direction
        d_.bitShort();  // top attachment
        d_.bitShort();  // bottom attachment
    }
    if (v_ >= Version::R2013) d_.bit();  // extend leader to text
}

void MultiLeaderParser::parse() {
    if (v_ >= Version::R2010) d_.bitShort();  // version
    const std::size_t rootCount = f_.count("raízes de linha de chamada", 2 * kMinBitsPoint3);
    for (std::size_t i = 0; i < rootCount; ++i) leader_.roots.push_back(root());
    leader_.scale = d_.bitDouble();
    d_.bitPoint3();  // content base point
    const double textHeight = d_.bitDouble();
    pending_.arrowSize = d_.bitDouble();
    leader_.landingGap = d_.bitDouble();
    d_.bitShort();  // left attachment
    d_.bitShort();  // right attachment
    d_.bitShort();  // text alignment
    d_.bitShort();  // attachment type
    if (d_.bit()) {
        leader_.text = textContent();
        leader_.text->height = textHeight;
    } else if (d_.bit()) {
        leader_.block = blockContent();
    }
    d_.bitPoint3();  // base point
    d_.bitPoint3();  // base direction
    d_.bitPoint3();  // base vertical
    d_.bit();        // normal reversed
    if (v_ >= Version::R2010) {
        d_.bitShort();  // top attachment
        d_.bitShort();  // bottom attachment
    }
    entityLook();
    record_.mleader = std::move(pending_);
    record_.entity.data = std::move(leader_);
}

}  // namespace

void parseMultiLeader(EntityParseContext& context) {
    MultiLeaderParser(context).parse();
}

static MLeaderStyle styleFields(Streams& streams, const FileContext& file, Handle own,
                                bool newFormat) {
    FieldReader f(streams, file, own);
    BitReader& d = f.data();
    const Version v = file.version;
    MLeaderStyle style;
    style.handle = own;
    MLeaderLook& look = style.look;
    if (v >= Version::R2010) d.bitShort();  // version
    d.bitShort();                           // content type
    d.bitShort();                           // draw order
    d.bitShort();                           // leader draw order
    d.bitLong();                            // maximum points
    d.bitDouble();                          // first segment angle
    d.bitDouble();                          // second segment angle
    look.leaderType = d.bitShort();
    look.leaderColor = f.color();
    look.leaderLinetype = f.handle();
    look.leaderLineweight = d.bitLong();
    d.bit();        // landing enabled
    d.bitDouble();  // landing gap
    look.dogleg = d.bit();
    d.bitDouble();  // landing distance
    f.text();       // description
    look.arrowBlock = f.handle();
    d.bitDouble();                // arrowhead size
    f.text();                     // default text
    f.handle();                   // text style
    d.bitShort();                 // left attachment
    d.bitShort();                 // right attachment
    if (newFormat) d.bitShort();  // text angle type
    d.bitShort();                 // text alignment
    f.color();                    // text colour
    d.bitDouble();                // text height
    look.textFrame = d.bit();
    if (newFormat) d.bit();  // always left-aligned
    d.bitDouble();           // align space
    f.handle();              // block
    f.color();               // block colour
    d.bitPoint3();           // block scale
    d.bit();
    d.bitDouble();  // block rotation
    d.bit();
    d.bitShort();   // block connection
    d.bitDouble();  // scale
    d.bit();        // changed
    d.bit();        // annotative
    d.bitDouble();  // break size
    if (v >= Version::R2010) {
        d.bitShort();  // attachment direction
        d.bitShort();  // top attachment
        d.bitShort();  // bottom attachment
    }
    if (v >= Version::R2013) d.bit();
    return style;
}

MLeaderStyle parseMLeaderStyle(Streams& streams, const FileContext& file, Handle own) {
    if (file.version >= Version::R2010) return styleFields(streams, file, own, true);
    // Before R2010 the newer layout goes with extended data of the ACAD_MLEADERVER
    // application, whose name this reader does not look up: take the layout that
    // fills the data exactly.
    Streams older = streams;
    try {
        MLeaderStyle style = styleFields(older, file, own, false);
        if (older.data().remainingBits() == 0) return style;
    } catch (const Error&) {
    }
    return styleFields(streams, file, own, true);
}

void applyMLeaderStyle(MultiLeader& leader, const MLeaderPending& pending,
                       const MLeaderStyle* style) {
    // The entity's value where it overrides the style, or where there is no style.
    MLeaderLook look = pending.own;
    if (style) {
        const MLeaderLook& s = style->look;
        auto fromStyle = [&](std::uint32_t bit) { return !(pending.overrides & bit); };
        if (fromStyle(kOverrideLeaderType)) look.leaderType = s.leaderType;
        if (fromStyle(kOverrideLeaderColor)) look.leaderColor = s.leaderColor;
        if (fromStyle(kOverrideLeaderLinetype)) look.leaderLinetype = s.leaderLinetype;
        if (fromStyle(kOverrideLeaderLineweight)) look.leaderLineweight = s.leaderLineweight;
        if (fromStyle(kOverrideDogleg)) look.dogleg = s.dogleg;
        if (fromStyle(kOverrideArrowBlock)) look.arrowBlock = s.arrowBlock;
        if (fromStyle(kOverrideTextFrame)) look.textFrame = s.textFrame;
    }
    leader.landing = look.dogleg;
    leader.textFrame = look.textFrame;
    std::size_t index = 0;
    for (MLeaderRoot& root : leader.roots) {
        for (MLeaderLine& line : root.lines) {
            const std::uint32_t own =
                index < pending.lineOverrides.size() ? pending.lineOverrides[index] : 0;
            ++index;
            if (!(own & kLineOverrideType)) line.leaderType = look.leaderType;
            if (!(own & kLineOverrideColor)) line.color = look.leaderColor;
            if (!(own & kLineOverrideLinetype)) line.linetype = look.leaderLinetype;
            if (!(own & kLineOverrideLineweight)) line.lineweight = look.leaderLineweight;
            if (!(own & kLineOverrideArrowBlock)) line.arrowBlock = look.arrowBlock;
            if (!(own & kLineOverrideArrowSize)) line.arrowSize = pending.arrowSize;
        }
    }
}

}  // namespace dwg::detail
