// Every object the writer stores, decoded field by field with the layouts of
// the format notes: the data must end exactly where the handle stream begins,
// and every handle the stream names must be an object of the file. The same
// decoder runs over AutoCAD 2000 drawings first, which shows that the layouts
// are the ones other programs write and read, not only our reader's.
#include <dwg/Writer.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>

#include "BitReader.h"
#include "Crc.h"
#include "Samples.h"
#include "Sections.h"
#include "WrittenDrawings.h"

namespace {

using namespace dwg;
using dwg::detail::BitReader;
using Bytes = std::span<const std::uint8_t>;

// Object types the layouts below know, by their type numbers in R2000 files.
using Layout = std::function<void(BitReader&)>;

void commonEntityData(BitReader& d) {
    if (d.bit()) d.skipBytes(static_cast<std::uint32_t>(d.rawLong()));  // proxy graphics
    d.twoBits();                                                        // entity mode
    d.bitLong();                                                        // reactors
    d.bit();                                                            // no links
    d.bitShort();                                                       // colour
    d.bitDouble();                                                      // linetype scale
    d.twoBits();
    d.twoBits();
    d.bitShort();  // invisibility
    d.rawChar();   // lineweight
}

void tableEntry(BitReader& d) {
    d.bitLong();  // reactors
    d.rawText();
    d.bit();
    d.bitShort();
    d.bit();
}

void repeat(int n, const std::function<void()>& f) {
    for (int i = 0; i < n; ++i) f();
}

void text(BitReader& d) {
    const int absent = d.rawChar();
    if (!(absent & 1)) d.rawDouble();
    d.rawPoint2();
    if (!(absent & 2)) repeat(2, [&] { d.bitDoubleDefault(0); });
    d.extrusion(Version::R2000);
    d.thickness(Version::R2000);
    if (!(absent & 4)) d.rawDouble();
    if (!(absent & 8)) d.rawDouble();
    d.rawDouble();
    if (!(absent & 16)) d.rawDouble();
    d.rawText();
    for (int bit : {32, 64, 128})
        if (!(absent & bit)) d.bitShort();
}

void insert(BitReader& d) {
    d.bitPoint3();
    switch (d.twoBits()) {
        case 0:
            d.rawDouble();
            repeat(2, [&] { d.bitDoubleDefault(0); });
            break;
        case 1:
            repeat(2, [&] { d.bitDoubleDefault(0); });
            break;
        case 2:
            d.rawDouble();
            break;
    }
    d.bitDouble();
    d.bitPoint3();
    d.bit();
}

void lwPolyline(BitReader& d) {
    const int flags = d.bitShort();
    if (flags & 4) d.bitDouble();
    if (flags & 8) d.bitDouble();
    if (flags & 2) d.bitDouble();
    if (flags & 1) d.bitPoint3();
    const int points = d.bitLong();
    const int bulges = flags & 16 ? d.bitLong() : 0;
    const int widths = flags & 32 ? d.bitLong() : 0;
    d.rawPoint2();
    repeat(2 * (points - 1), [&] { d.bitDoubleDefault(0); });
    repeat(bulges + 2 * widths, [&] { d.bitDouble(); });
}

void spline(BitReader& d) {
    const int scenario = d.bitLong();
    d.bitLong();
    if (scenario == 2) {
        d.bitDouble();
        repeat(2, [&] { d.bitPoint3(); });
        repeat(d.bitLong(), [&] { d.bitPoint3(); });
        return;
    }
    repeat(3, [&] { d.bit(); });
    repeat(2, [&] { d.bitDouble(); });
    const int knots = d.bitLong();
    const int controls = d.bitLong();
    const bool weighted = d.bit();
    repeat(knots, [&] { d.bitDouble(); });
    repeat(controls, [&] {
        d.bitPoint3();
        if (weighted) d.bitDouble();
    });
}

void hatch(BitReader& d) {
    d.bitDouble();
    d.bitPoint3();
    d.rawText();
    const bool solid = d.bit();
    d.bit();
    bool derived = false;
    repeat(d.bitLong(), [&] {
        const int flags = d.bitLong();
        derived = derived || (flags & 4);
        if (flags & 2) {
            const bool bulges = d.bit();
            d.bit();
            repeat(d.bitLong(), [&] {
                d.rawPoint2();
                if (bulges) d.bitDouble();
            });
        } else {
            repeat(d.bitLong(), [&] {
                switch (d.rawChar()) {
                    case 1:
                        repeat(2, [&] { d.rawPoint2(); });
                        break;
                    case 2:
                        d.rawPoint2();
                        repeat(3, [&] { d.bitDouble(); });
                        d.bit();
                        break;
                    case 3:
                        repeat(2, [&] { d.rawPoint2(); });
                        repeat(3, [&] { d.bitDouble(); });
                        d.bit();
                        break;
                    default: {
                        d.bitLong();
                        const bool rational = d.bit();
                        d.bit();
                        const int knots = d.bitLong();
                        const int controls = d.bitLong();
                        repeat(knots, [&] { d.bitDouble(); });
                        repeat(controls, [&] {
                            d.rawPoint2();
                            if (rational) d.bitDouble();
                        });
                    }
                }
            });
        }
        d.bitLong();  // boundary objects
    });
    d.bitShort();
    d.bitShort();
    if (!solid) {
        repeat(2, [&] { d.bitDouble(); });
        d.bit();
        repeat(d.bitShort(), [&] {
            repeat(5, [&] { d.bitDouble(); });
            repeat(d.bitShort(), [&] { d.bitDouble(); });
        });
    }
    if (derived) d.bitDouble();
    repeat(d.bitLong(), [&] { d.rawPoint2(); });
}

// The part every DIMENSION shares (R2000).
void dimension(BitReader& d) {
    d.bitPoint3();
    d.rawPoint2();
    d.bitDouble();
    d.rawChar();
    d.rawText();
    repeat(2, [&] { d.bitDouble(); });
    d.bitPoint3();
    d.bitDouble();
    repeat(2, [&] { d.bitShort(); });
    repeat(2, [&] { d.bitDouble(); });
    d.rawPoint2();
}

Layout dimensionWith(std::function<void(BitReader&)> own) {
    return [own](BitReader& d) {
        dimension(d);
        own(d);
    };
}

void vertex(BitReader& d) {
    d.rawChar();
    d.bitPoint3();
}

const std::map<int, Layout>& layouts() {
    auto control = [](BitReader& d) { repeat(2, [&] { d.bitLong(); }); };
    auto entity = [](Layout body) {
        return [body](BitReader& d) {
            commonEntityData(d);
            body(d);
        };
    };
    static const std::map<int, Layout> table = {
        {48, control},
        {50, control},
        {52, control},
        {56, control},
        {60, control},
        {62, control},
        {64, control},
        {66, control},
        {70, control},
        {68,
         [](BitReader& d) {
             repeat(2, [&] { d.bitLong(); });
             d.rawChar();
         }},
        {42,
         [](BitReader& d) {  // DICTIONARY
             d.bitLong();
             const int items = d.bitLong();
             d.bitShort();
             d.rawChar();
             repeat(items, [&] { d.rawText(); });
         }},
        {51,
         [](BitReader& d) {
             tableEntry(d);
             d.bitShort();
             d.bitShort();
         }},
        {53,
         [](BitReader& d) {
             tableEntry(d);
             repeat(2, [&] { d.bit(); });
             repeat(3, [&] { d.bitDouble(); });
             d.rawChar();
             d.bitDouble();
             repeat(2, [&] { d.rawText(); });
         }},
        {57,
         [](BitReader& d) {
             tableEntry(d);
             d.rawText();
             d.bitDouble();
             d.rawChar();
             repeat(d.rawChar(), [&] {
                 d.bitDouble();
                 d.bitShort();
                 repeat(2, [&] { d.rawDouble(); });
                 repeat(2, [&] { d.bitDouble(); });
                 d.bitShort();
             });
             d.skipBytes(256);
         }},
        {49,
         [](BitReader& d) {  // BLOCK_HEADER
             tableEntry(d);
             repeat(5, [&] { d.bit(); });
             d.bitPoint3();
             d.rawText();
             while (d.rawChar() != 0) {
             }
             d.rawText();
             d.skipBytes(static_cast<std::uint32_t>(d.bitLong()));
         }},
        {65,
         [](BitReader& d) {  // VPORT
             tableEntry(d);
             repeat(2, [&] { d.bitDouble(); });
             d.rawPoint2();
             repeat(2, [&] { d.bitPoint3(); });
             repeat(4, [&] { d.bitDouble(); });
             repeat(4, [&] { d.bit(); });
             d.rawChar();
             repeat(2, [&] { d.rawPoint2(); });
             d.bit();
             d.bitShort();
             repeat(4, [&] { d.bit(); });
             d.rawPoint2();
             repeat(2, [&] { d.bit(); });
             d.bitShort();
             d.bitDouble();
             repeat(2, [&] { d.rawPoint2(); });
             repeat(2, [&] { d.bit(); });
             repeat(3, [&] { d.bitPoint3(); });
             d.bitDouble();
             d.bitShort();
         }},
        {67,
         [](BitReader& d) {
             tableEntry(d);
             d.rawChar();
         }},
        {69,
         [](BitReader& d) {  // DIMSTYLE
             tableEntry(d);
             repeat(2, [&] { d.rawText(); });
             repeat(9, [&] { d.bitDouble(); });
             repeat(6, [&] { d.bit(); });
             repeat(3, [&] { d.bitShort(); });
             repeat(9, [&] { d.bitDouble(); });
             d.bit();
             d.bitShort();
             repeat(4, [&] { d.bit(); });
             repeat(14, [&] { d.bitShort(); });
             repeat(2, [&] { d.bit(); });
             repeat(4, [&] { d.bitShort(); });
             d.bit();
             repeat(3, [&] { d.bitShort(); });
             d.bit();
         }},
        {73,
         [](BitReader& d) {  // MLINESTYLE
             d.bitLong();
             repeat(2, [&] { d.rawText(); });
             repeat(2, [&] { d.bitShort(); });
             repeat(2, [&] { d.bitDouble(); });
             repeat(d.rawChar(), [&] {
                 d.bitDouble();
                 repeat(2, [&] { d.bitShort(); });
             });
         }},
        {4, entity([](BitReader& d) { d.rawText(); })},
        {5, entity([](BitReader&) {})},
        {1, entity(text)},
        {2, entity([](BitReader& d) {  // ATTRIB
             text(d);
             d.rawText();
             d.bitShort();
             d.rawChar();
         })},
        {3, entity([](BitReader& d) {  // ATTDEF
             text(d);
             d.rawText();
             d.bitShort();
             d.rawChar();
             d.rawText();
         })},
        {6, entity([](BitReader&) {})},  // SEQEND
        {10, entity([](BitReader& d) {   // VERTEX_2D
             d.rawChar();
             d.bitPoint3();
             if (d.bitDouble() >= 0) d.bitDouble();
             repeat(2, [&] { d.bitDouble(); });
         })},
        {11, entity(vertex)},
        {12, entity(vertex)},
        {13, entity(vertex)},
        {14, entity([](BitReader& d) { repeat(4, [&] { d.bitShort(); }); })},
        {15, entity([](BitReader& d) {  // POLYLINE_2D
             repeat(2, [&] { d.bitShort(); });
             repeat(2, [&] { d.bitDouble(); });
             d.thickness(Version::R2000);
             d.bitDouble();
             d.extrusion(Version::R2000);
         })},
        {16, entity([](BitReader& d) { repeat(2, [&] { d.rawChar(); }); })},
        {29, entity([](BitReader& d) { repeat(2, [&] { d.bitShort(); }); })},
        {30, entity([](BitReader& d) { repeat(6, [&] { d.bitShort(); }); })},
        {20, entity(dimensionWith([](BitReader& d) {  // ordinate
             repeat(3, [&] { d.bitPoint3(); });
             d.rawChar();
         }))},
        {21, entity(dimensionWith([](BitReader& d) {  // linear
             repeat(3, [&] { d.bitPoint3(); });
             repeat(2, [&] { d.bitDouble(); });
         }))},
        {22, entity(dimensionWith([](BitReader& d) {  // aligned
             repeat(3, [&] { d.bitPoint3(); });
             d.bitDouble();
         }))},
        {23, entity(dimensionWith([](BitReader& d) { repeat(4, [&] { d.bitPoint3(); }); }))},
        {24, entity(dimensionWith([](BitReader& d) {  // angular from two lines
             d.rawPoint2();
             repeat(4, [&] { d.bitPoint3(); });
         }))},
        {25, entity(dimensionWith([](BitReader& d) {  // radius
             repeat(2, [&] { d.bitPoint3(); });
             d.bitDouble();
         }))},
        {26, entity(dimensionWith([](BitReader& d) {  // diameter
             repeat(2, [&] { d.bitPoint3(); });
             d.bitDouble();
         }))},
        {46, entity([](BitReader& d) {  // TOLERANCE
             repeat(3, [&] { d.bitPoint3(); });
             d.rawText();
         })},
        {45, entity([](BitReader& d) {  // LEADER
             d.bit();
             repeat(2, [&] { d.bitShort(); });
             repeat(d.bitLong() + 5, [&] { d.bitPoint3(); });
             repeat(2, [&] { d.bitDouble(); });
             repeat(2, [&] { d.bit(); });
             d.bitShort();
             repeat(2, [&] { d.bit(); });
         })},
        {7, entity(insert)},
        {8, entity([](BitReader& d) {
             insert(d);
             repeat(2, [&] { d.bitShort(); });
             repeat(2, [&] { d.bitDouble(); });
         })},
        {17, entity([](BitReader& d) {
             d.bitPoint3();
             d.bitDouble();
             d.thickness(Version::R2000);
             d.extrusion(Version::R2000);
             repeat(2, [&] { d.bitDouble(); });
         })},
        {18, entity([](BitReader& d) {
             d.bitPoint3();
             d.bitDouble();
             d.thickness(Version::R2000);
             d.extrusion(Version::R2000);
         })},
        {19, entity([](BitReader& d) {
             const bool flat = d.bit();
             repeat(flat ? 2 : 3, [&] {
                 d.rawDouble();
                 d.bitDoubleDefault(0);
             });
             d.thickness(Version::R2000);
             d.extrusion(Version::R2000);
         })},
        {27, entity([](BitReader& d) {
             d.bitPoint3();
             d.thickness(Version::R2000);
             d.extrusion(Version::R2000);
             d.bitDouble();
         })},
        {28, entity([](BitReader& d) {  // 3DFACE
             const bool noFlags = d.bit();
             const bool zZero = d.bit();
             repeat(zZero ? 2 : 3, [&] { d.rawDouble(); });
             repeat(9, [&] { d.bitDoubleDefault(0); });
             if (!noFlags) d.bitShort();
         })},
        {31, entity([](BitReader& d) {
             d.thickness(Version::R2000);
             d.bitDouble();
             repeat(4, [&] { d.rawPoint2(); });
             d.extrusion(Version::R2000);
         })},
        {32, entity([](BitReader& d) {  // TRACE, as SOLID
             d.thickness(Version::R2000);
             d.bitDouble();
             repeat(4, [&] { d.rawPoint2(); });
             d.extrusion(Version::R2000);
         })},
        {40, entity([](BitReader& d) { repeat(2, [&] { d.bitPoint3(); }); })},  // RAY
        {41, entity([](BitReader& d) { repeat(2, [&] { d.bitPoint3(); }); })},  // XLINE
        {35, entity([](BitReader& d) {
             repeat(3, [&] { d.bitPoint3(); });
             repeat(3, [&] { d.bitDouble(); });
         })},
        {36, entity(spline)},
        {44, entity([](BitReader& d) {  // MTEXT
             repeat(3, [&] { d.bitPoint3(); });
             repeat(2, [&] { d.bitDouble(); });
             repeat(2, [&] { d.bitShort(); });
             repeat(2, [&] { d.bitDouble(); });
             d.rawText();
             d.bitShort();
             d.bitDouble();
             d.bit();
         })},
        {77, entity(lwPolyline)},
        {78, entity(hatch)},
    };
    return table;
}

// The classes a written file declares, and the layouts of their objects.
const std::map<std::string, Layout>& classLayouts() {
    static const std::map<std::string, Layout> table = {
        {"ACDBDICTIONARYWDFLT", layouts().at(42)},
        {"ACDBPLACEHOLDER", [](BitReader& d) { d.bitLong(); }},
        {"LAYOUT",
         [](BitReader& d) {
             d.bitLong();
             repeat(2, [&] { d.rawText(); });
             d.bitShort();
             repeat(6, [&] { d.bitDouble(); });
             d.rawText();
             d.bitPoint2();
             repeat(3, [&] { d.bitShort(); });
             repeat(2, [&] { d.bitPoint2(); });
             d.rawText();
             repeat(2, [&] { d.bitDouble(); });
             d.rawText();
             d.bitShort();
             d.bitDouble();
             d.bitPoint2();
             d.rawText();
             d.bitLong();
             d.bitShort();
             d.bitPoint3();
             repeat(2, [&] { d.rawPoint2(); });
             repeat(3, [&] { d.bitPoint3(); });
             d.bitDouble();
             d.bitShort();
             repeat(2, [&] { d.bitPoint3(); });
         }},
    };
    return table;
}

struct AuditReport {
    int objectsChecked = 0;
    std::set<int> typesChecked;
    std::vector<std::string> faults;
    std::vector<std::string> danglingReferences;
};

std::uint32_t rawLong(Bytes file, std::size_t at) {
    return std::uint32_t{file[at]} | std::uint32_t{file[at + 1]} << 8 |
           std::uint32_t{file[at + 2]} << 16 | std::uint32_t{file[at + 3]} << 24;
}

AuditReport audit(Bytes file) {
    AuditReport report;
    std::map<int, std::pair<std::uint32_t, std::uint32_t>> locators;
    for (std::uint32_t i = 0; i < rawLong(file, 0x15); ++i) {
        const std::size_t at = 0x19 + 9 * i;
        locators[file[at]] = {rawLong(file, at + 1), rawLong(file, at + 5)};
    }
    detail::FileContext context;
    const auto section = [&](int n) { return file.subspan(locators[n].first, locators[n].second); };
    const detail::ClassTable classes = detail::parseClasses(section(1), context);
    const detail::ObjectMap map = detail::parseObjectMap(section(2), context);
    std::set<Handle> handles;
    for (const auto& location : map) handles.insert(location.handle);

    for (const auto& location : map) {
        const std::string where = "object " + std::to_string(location.handle);
        BitReader frame(file.subspan(location.offset));
        const std::uint32_t size = frame.modularShort();
        const std::size_t start = location.offset + frame.position() / 8;
        BitReader d(file.subspan(start, size));
        const int type = d.bitShort();
        const std::uint32_t handleStream = static_cast<std::uint32_t>(d.rawLong());
        if (d.handle().value != location.handle) report.faults.push_back(where + ": own handle");
        while (const int eed = d.bitShort()) {
            d.handle();
            d.skipBytes(static_cast<std::size_t>(eed));
        }
        const Layout* layout = nullptr;
        if (const auto fixed = layouts().find(type); fixed != layouts().end())
            layout = &fixed->second;
        else if (const auto klass = classes.find(type); klass != classes.end())
            if (const auto known = classLayouts().find(klass->second.dxfName);
                known != classLayouts().end())
                layout = &known->second;
        if (!layout) continue;
        try {
            (*layout)(d);
            if (d.position() != handleStream)
                report.faults.push_back(where + " of type " + std::to_string(type) +
                                        ": data ends at bit " + std::to_string(d.position()) +
                                        ", handles start at " + std::to_string(handleStream));
            d.seek(handleStream);
            while (d.remainingBits() >= 8) {
                const detail::HandleRef ref = d.handle();
                const Handle target = ref.resolve(location.handle);
                if (ref.code >= 2 && target != 0 && !handles.count(target))
                    report.danglingReferences.push_back(where + " refers to " +
                                                        std::to_string(target));
            }
        } catch (const Error& error) {
            report.faults.push_back(where + " of type " + std::to_string(type) + ": " +
                                    error.what());
        }
        ++report.objectsChecked;
        report.typesChecked.insert(type);
    }
    return report;
}

TEST(WriterLayout, AutoCadDrawingsDecodeExactlyWithTheseLayouts) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    std::set<int> types;
    for (const char* name : {"R2000/libredwg_sample_2000.dwg", "R2000/libredwg_entities-2d.dwg",
                             "R2000/acadsharp_sample_AC1015.dwg", "R2000/libredwg_TS1.dwg",
                             "R2000/libredwg_Spline.dwg", "R2000/libredwg_Ellipse.dwg",
                             "R2000/libredwg_PolyLine2D.dwg"}) {
        SCOPED_TRACE(name);
        std::ifstream in(testsupport::samplesFolder() / name, std::ios::binary);
        const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        const AuditReport report = audit(bytes);
        EXPECT_GT(report.objectsChecked, 30);
        EXPECT_TRUE(report.faults.empty()) << report.faults.front();
        types.insert(report.typesChecked.begin(), report.typesChecked.end());
    }
    // Every layout was tried on at least one of those drawings, but MINSERT:
    // none of them has one, and it is INSERT with four more fields.
    for (const auto& [type, layout] : layouts())
        EXPECT_TRUE(type == 8 || types.count(type)) << "type " << type << " not met in the samples";
}

TEST(WriterLayout, WrittenObjectsDecodeExactlyAndReferOnlyToObjectsOfTheFile) {
    Drawing drawing = testsupport::nestedBlocks();
    for (const testsupport::EntityCase& c : testsupport::entityCases())
        drawing.blocks[0].entities.push_back(c.entity);
    const std::vector<std::uint8_t> bytes = writeR2000(drawing);
    const AuditReport report = audit(bytes);
    EXPECT_TRUE(report.faults.empty())
        << report.faults.size() << " faults, first: " << report.faults.front();
    EXPECT_TRUE(report.danglingReferences.empty()) << report.danglingReferences.front();
    // Everything written was decoded: no object type without a layout.
    EXPECT_EQ(static_cast<std::size_t>(report.objectsChecked),
              detail::parseObjectMap(
                  std::span<const std::uint8_t>(bytes).subspan(rawLong(bytes, 0x19 + 9 * 2 + 1),
                                                               rawLong(bytes, 0x19 + 9 * 2 + 5)),
                  detail::FileContext{})
                  .size());
}

}  // namespace
