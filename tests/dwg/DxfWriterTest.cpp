// The DXF writer's file as text: its framing, handles and owners, how values
// are spelt in each version, and what it refuses to write.
#include <dwg/DxfWriter.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <set>

#include "DxfDrawings.h"

namespace {

using namespace dwg;
using testsupport::entity;

struct Group {
    int code = 0;
    std::string value;
};

// The groups of a file whose every line ends in CR LF; fails the test otherwise.
std::vector<Group> groups(const std::string& file) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < file.size()) {
        const std::size_t end = file.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "last line without CR LF";
            break;
        }
        lines.push_back(file.substr(start, end - start));
        EXPECT_EQ(lines.back().find('\n'), std::string::npos) << "bare line feed in " << lines.back();
        start = end + 2;
    }
    EXPECT_EQ(lines.size() % 2, 0u);
    std::vector<Group> result;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        std::string_view code = lines[i];
        while (!code.empty() && code.front() == ' ') code.remove_prefix(1);
        Group g;
        const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), g.code);
        EXPECT_TRUE(error == std::errc() && end == code.data() + code.size() && lines[i].size() >= 3)
            << "code line '" << lines[i] << "'";
        g.value = lines[i + 1];
        result.push_back(std::move(g));
    }
    return result;
}

std::uint64_t hex(const std::string& value) { return std::stoull(value, nullptr, 16); }

Drawing everything(Version version) {
    Drawing d = testsupport::dxfBaseDrawing();
    for (const testsupport::DxfCase& c : testsupport::dxfCases(version)) {
        Entity e = c.entity;
        if (std::holds_alternative<Leader>(e.data)) {
            Entity note = entity("MTEXT", MText{"nota", {4, 2, 0}});
            note.header.handle = testsupport::kLeaderText;
            d.blocks[0].entities.push_back(note);
        }
        d.blocks[c.paperSpace ? 1 : 0].entities.push_back(e);
    }
    return d;
}

// The value of the first group `code` after the entity or object `type` starts.
std::string valueIn(const std::vector<Group>& file, std::string_view type, int code) {
    bool inside = false;
    for (const Group& g : file) {
        if (g.code == 0) inside = g.value == type;
        else if (inside && g.code == code) return g.value;
    }
    return "(nenhum)";
}

class DxfFile : public testing::TestWithParam<Version> {};

TEST_P(DxfFile, IsSectionsOfCodeAndValueLinesEndingInEof) {
    const std::vector<Group> file = groups(writeDxf(everything(GetParam()), GetParam()));
    std::vector<std::string> sections;
    for (std::size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i].code == 0 && file[i].value == "SECTION") sections.push_back(file[i + 1].value);
    std::vector<std::string> expected = {"HEADER",   "CLASSES", "TABLES",
                                         "BLOCKS",   "ENTITIES", "OBJECTS"};
    if (GetParam() == Version::R2018) expected.push_back("ACDSDATA");
    EXPECT_EQ(sections, expected);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file.back().code, 0);
    EXPECT_EQ(file.back().value, "EOF");
    EXPECT_EQ(valueIn(file, "SECTION", 1), GetParam() == Version::R2000 ? "AC1015" : "AC1032");
    for (const Group& g : file) EXPECT_TRUE(g.code >= 0 && g.code <= 1071) << g.code;
}

TEST_P(DxfFile, HandlesAreUniqueReferencesResolveAndTheSeedIsAboveThem) {
    const std::vector<Group> file = groups(writeDxf(everything(GetParam()), GetParam()));
    std::set<std::uint64_t> handles;
    std::uint64_t seed = 0;
    bool inHeader = true;
    std::string variable;
    for (const Group& g : file) {
        if (g.code == 0 && g.value == "ENDSEC") inHeader = false;
        if (inHeader) {
            if (g.code == 9) variable = g.value;
            if (g.code == 5 && variable == "$HANDSEED") seed = hex(g.value);
            continue;
        }
        if (g.code == 5 || g.code == 105) {
            EXPECT_TRUE(handles.insert(hex(g.value)).second) << "handle " << g.value << " twice";
        }
    }
    ASSERT_FALSE(handles.empty());
    EXPECT_GT(seed, *handles.rbegin());
    // Owners and pointers (330-369), and the ACIS records' entity handles (320).
    for (const Group& g : file) {
        if ((g.code >= 320 && g.code <= 369) && hex(g.value) != 0) {
            EXPECT_TRUE(handles.count(hex(g.value))) << g.code << " points at " << g.value;
        }
    }
}

TEST_P(DxfFile, DeclaresTheClassOfEveryClassDefinedObjectItHolds) {
    const std::vector<Group> file = groups(writeDxf(everything(GetParam()), GetParam()));
    const std::set<std::string> classDefined = {
        "ACDBDICTIONARYWDFLT", "ACDBPLACEHOLDER", "LAYOUT",          "MLEADERSTYLE",
        "MULTILEADER",         "IMAGE",           "IMAGEDEF",        "IMAGEDEF_REACTOR",
        "RASTERVARIABLES",     "WIPEOUT",         "WIPEOUTVARIABLES", "MESH",
        "HELIX",               "PLANESURFACE",    "EXTRUDEDSURFACE", "LOFTEDSURFACE",
        "REVOLVEDSURFACE",     "SWEPTSURFACE",    "NURBSURFACE"};
    std::set<std::string> declared, used;
    for (std::size_t i = 0; i + 1 < file.size(); ++i) {
        if (file[i].code == 0 && file[i].value == "CLASS") declared.insert(file[i + 1].value);
        if (file[i].code == 0 && classDefined.count(file[i].value)) used.insert(file[i].value);
    }
    EXPECT_GE(used.size(), 10u);
    for (const std::string& type : used) EXPECT_TRUE(declared.count(type)) << type;
}

TEST_P(DxfFile, DependsOnlyOnTheDrawing) {
    EXPECT_EQ(writeDxf(everything(GetParam()), GetParam()),
              writeDxf(everything(GetParam()), GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Versions, DxfFile, testing::Values(Version::R2000, Version::R2018),
                         [](const auto& info) {
                             return info.param == Version::R2000 ? "AC1015" : "AC1032";
                         });

// The entity alone in model space, beside the standard table entries.
Drawing withEntity(Entity e) {
    Drawing d = testsupport::baseDrawing();
    d.blocks.pop_back();  // the dimension's block: the entity is the file's only one
    d.blocks[0].entities.push_back(std::move(e));
    return d;
}

TEST(DxfText, IsWrittenInEachVersionsEncodingWithCaretEscapes) {
    struct Case {
        Version version;
        std::string text;
        std::string stored;
    };
    const Case cases[] = {
        {Version::R2000, "Móveis", "M\xF3veis"},
        {Version::R2000, "10 € Ω", "10 \x80 \\U+03A9"},
        {Version::R2018, "10 € Ω", "10 € Ω"},
        {Version::R2000, "linha\num\ttab", "linha^Jum^Itab"},
        {Version::R2018, "1^2", "1^ 2"},
    };
    for (const Case& c : cases) {
        Text t;
        t.text = c.text;
        t.height = 1;
        EXPECT_EQ(valueIn(groups(writeDxf(withEntity(entity("TEXT", t)), c.version)), "TEXT", 1),
                  c.stored)
            << c.text;
    }
}

// Readers refuse a backslash in a name, so names hold as few \U+ escapes as
// can be: the file is in the code page that holds the most names, and its
// texts escape only what that code page lacks.
TEST(DxfText, NamesChooseTheCodePageOfAFileBeforeAc1021) {
    struct Case {
        const char* layerName;
        const char* otherLayerName;
        int drawingCodePage;
        const char* codePage;
        const char* storedName;
        const char* storedText;  // of "Ω 中"
    };
    const Case cases[] = {
        {"Móveis", "Paredes", 30, "ANSI_1252", "M\xF3veis", "\\U+03A9 \\U+4E2D"},
        {"保温层", "墙", 30, "ANSI_936", "\xB1\xA3\xCE\xC2\xB2\xE3", "\xA6\xB8 \xD6\xD0"},
        // GBK holds Cyrillic too, but the drawing's own code page comes first.
        {"Стены", "Двери", 29, "ANSI_1251", "\xD1\xF2\xE5\xED\xFB", "\\U+03A9 \\U+4E2D"},
        // Chinese and Thai in no code page together: the Portuguese name decides.
        {"中ก", "Paredes", 39, "ANSI_1252", "\\U+4E2D\\U+0E01", "\\U+03A9 \\U+4E2D"},
    };
    // Beside the two layers, the dimension style "ISO-25 ação" in Windows-1252.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layerName);
        Text t;
        t.text = "Ω 中";
        t.height = 1;
        Drawing d = withEntity(entity("TEXT", t));
        d.layers.back().name = c.layerName;
        d.layers[1].name = c.otherLayerName;
        d.codePage = c.drawingCodePage;
        const std::vector<Group> file = groups(writeDxf(d, Version::R2000));
        std::string codePage;
        for (std::size_t i = 0; i + 1 < file.size(); ++i)
            if (file[i].code == 9 && file[i].value == "$DWGCODEPAGE") codePage = file[i + 1].value;
        EXPECT_EQ(codePage, c.codePage);
        EXPECT_EQ(valueIn(file, "TEXT", 1), c.storedText);
        EXPECT_TRUE(std::any_of(file.begin(), file.end(), [&](const Group& g) {
            return g.code == 2 && g.value == c.storedName;
        })) << "no name stored as " << c.storedName;
    }
    // AC1021 and later keep UTF-8 whatever the names.
    Drawing d = withEntity(entity("TEXT", Text{}));
    d.layers.back().name = "保温层";
    const std::string file = writeDxf(d, Version::R2018);
    EXPECT_NE(file.find("ANSI_1252"), std::string::npos);
    EXPECT_NE(file.find("保温层"), std::string::npos);
}

TEST(DxfText, LongMultilineTextIsSplitWithoutCuttingACharacter) {
    MText t;
    std::string text;
    for (int i = 0; i < 200; ++i) text += "ação ";  // multi-byte characters astride every cut
    t.text = text;
    t.height = 1;
    const std::vector<Group> file = groups(writeDxf(withEntity(entity("MTEXT", t)), Version::R2018));
    std::string joined;
    bool inside = false;
    int chunks = 0;
    for (const Group& g : file) {
        if (g.code == 0) inside = g.value == "MTEXT";
        if (!inside || (g.code != 3 && g.code != 1)) continue;
        EXPECT_LE(g.value.size(), 250u);
        // Every chunk starts on a character, not inside a UTF-8 sequence.
        EXPECT_NE(static_cast<unsigned char>(g.value[0]) & 0xC0, 0x80);
        joined += g.value;
        ++chunks;
    }
    EXPECT_EQ(joined, text);
    EXPECT_GE(chunks, 5);
}

// Each tiled viewport is an "*Active" VPORT where it lies in the window.
TEST(DxfViewports, EveryTileIsAnActiveViewportInItsPlace) {
    Drawing d = testsupport::dxfBaseDrawing();
    d.tiledViews.resize(2);
    d.tiledViews[0].upperRight = {0.5, 1};
    d.tiledViews[1].lowerLeft = {0.5, 0};
    d.activeView = d.tiledViews[0];
    for (Version version : {Version::R2000, Version::R2018}) {
        std::vector<std::pair<std::string, std::string>> corners;  // codes 10 x and 11 x
        bool inViewport = false;
        for (const Group& g : groups(writeDxf(d, version))) {
            if (g.code == 0) inViewport = g.value == "VPORT";
            if (!inViewport) continue;
            if (g.code == 2) {
                EXPECT_EQ(g.value, "*Active");
            }
            if (g.code == 10) corners.push_back({g.value, ""});
            if (g.code == 11 && !corners.empty()) corners.back().second = g.value;
        }
        ASSERT_EQ(corners.size(), 2u);
        EXPECT_EQ(std::stod(corners[0].first), 0);
        EXPECT_EQ(std::stod(corners[0].second), 0.5);
        EXPECT_EQ(std::stod(corners[1].first), 0.5);
        EXPECT_EQ(std::stod(corners[1].second), 1);
    }
}

TEST(DxfNumbers, AreRealsThatReadBackExactly) {
    for (const double x : {0.1, -2.5e-300, 1e20, 123456789.0, 1.0 / 3, -0.0}) {
        const std::string stored = valueIn(
            groups(writeDxf(withEntity(entity("LINE", Line{{x, 0, 0}, {1, 1, 0}})),
                            Version::R2000)),
            "LINE", 10);
        EXPECT_EQ(std::stod(stored), x) << stored;
        EXPECT_NE(stored.find_first_of(".e"), std::string::npos) << stored;
        if (x == 0) {
            EXPECT_EQ(stored, "0.0") << "no negative zero";
        }
    }
}

TEST(DxfAnonymousBlocks, AreNumberedAndFoundByTheirReferences) {
    Drawing d = testsupport::dxfBaseDrawing();
    std::erase_if(d.blocks, [](const Block& b) { return b.handle == testsupport::kDimensionDrawing; });
    Block second = d.blocks.back();  // the dimension's "*D"
    second.handle = 99;
    d.blocks.push_back(second);
    Dimension dim;
    dim.block = 99;
    d.blocks[0].entities.push_back(entity("DIMENSION_LINEAR", dim));
    const std::vector<Group> file = groups(writeDxf(d, Version::R2000));
    std::vector<std::string> names;
    for (std::size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i].code == 0 && file[i].value == "BLOCK_RECORD") names.push_back(valueIn(
            std::vector<Group>(file.begin() + static_cast<std::ptrdiff_t>(i), file.end()),
            "BLOCK_RECORD", 2));
    EXPECT_THAT(names, testing::IsSupersetOf({"*U1", "*D2", "*D3"}));
    EXPECT_EQ(valueIn(file, "DIMENSION", 2), "*D3");
}

TEST(DxfAcis, SatLinesAreEnciphered) {
    AcisData sat;
    const std::string text = "body $-1 #\nAcis ^ end\n";
    sat.bytes.assign(text.begin(), text.end());
    const std::vector<Group> file =
        groups(writeDxf(withEntity(entity("3DSOLID", sat)), Version::R2000));
    std::vector<std::string> lines;
    bool inside = false;
    for (const Group& g : file) {
        if (g.code == 0) inside = g.value == "3DSOLID";
        if (!inside || g.code != 1) continue;
        std::string line;
        for (std::size_t i = 0; i < g.value.size(); ++i) {
            char c = g.value[i];
            if (c == '^') c = g.value[++i] == ' ' ? '^' : static_cast<char>(g.value[i] - 64);
            line += c == ' ' ? ' ' : static_cast<char>(159 - static_cast<unsigned char>(c));
        }
        lines.push_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"body $-1 #", "Acis ^ end"}));
}

TEST(DxfAcis, SabGoesToTheDataSectionUnderItsEntitysHandle) {
    AcisData sab;
    const std::string bytes = std::string("ASM BinaryFile4") + std::string(300, '\0') + "\xFF";
    sab.bytes.assign(bytes.begin(), bytes.end());
    const std::vector<Group> file =
        groups(writeDxf(withEntity(entity("3DSOLID", sab)), Version::R2018));
    std::string solidHandle = valueIn(file, "3DSOLID", 5), owner, decoded;
    int size = -1;
    bool inRecord = false;
    for (const Group& g : file) {
        if (g.code == 0) inRecord = g.value == "ACDSRECORD";
        if (!inRecord) continue;
        if (g.code == 320) owner = g.value;
        if (g.code == 94) size = std::stoi(g.value);
        if (g.code == 310) {
            EXPECT_LE(g.value.size(), 254u);
            for (std::size_t i = 0; i + 1 < g.value.size(); i += 2)
                decoded += static_cast<char>(std::stoi(g.value.substr(i, 2), nullptr, 16));
        }
    }
    EXPECT_EQ(owner, solidHandle);
    EXPECT_EQ(size, static_cast<int>(bytes.size()));
    EXPECT_EQ(decoded, bytes);
}

TEST(DxfRefusals, NameWhatTheVersionCannotHold) {
    AcisData sab, sat;
    sab.bytes = {'A', 'C', 'I', 'S', ' ', 'B', 'i', 'n', 'a', 'r', 'y', 'F', 'i', 'l', 'e'};
    sat.bytes = {'7', '0', '0', '\n'};
    Entity trueColor = entity("LINE", Line{});
    trueColor.header.color = Color::fromTrueColor(0x102030);
    Hatch gradient;
    gradient.gradientColor = Color::fromIndex(2);
    Insert lost;
    lost.block = 12345;
    struct Case {
        const char* name;
        Version version;
        Entity entity;
        const char* said;
    };
    const Case cases[] = {
        {"multileader", Version::R2000, entity("MULTILEADER", MultiLeader{}), "MULTILEADER"},
        {"mesh", Version::R2000, entity("MESH", SubdivisionMesh{}), "MESH"},
        {"true colour", Version::R2000, trueColor, "RGB"},
        {"gradient", Version::R2000, entity("HATCH", gradient), "degradê"},
        {"SAB in 2000", Version::R2000, entity("3DSOLID", sab), "SAB"},
        {"SAT in 2018", Version::R2018, entity("REGION", sat), "SAT"},
        {"not decoded", Version::R2018, entity("SHAPE", Unsupported{}), "SHAPE"},
        {"proxy", Version::R2018, entity("UNKNOWN_ENT", ProxyGraphics{}), "UNKNOWN_ENT"},
        {"missing block", Version::R2018, entity("INSERT", lost), "INSERT"},
        {"not finite", Version::R2018, entity("CIRCLE", Circle{{0, 0, 0}, std::nan("")}),
         "numérico"},
    };
    for (const Case& c : cases) {
        try {
            writeDxf(withEntity(c.entity), c.version);
            ADD_FAILURE() << c.name << " was written";
        } catch (const WriteError& error) {
            EXPECT_THAT(error.what(), testing::HasSubstr(c.said)) << c.name;
        }
    }
    Drawing twice = testsupport::dxfBaseDrawing();
    twice.layers.push_back(twice.layers[1]);
    twice.layers.back().handle = 777;
    twice.layers.back().name = "PAREDES";  // the same name in other letters
    EXPECT_THROW(writeDxf(twice, Version::R2000), WriteError);
    EXPECT_THROW(writeDxf(testsupport::dxfBaseDrawing(), Version::R2004), WriteError);
    // The chair placed by the table, which the chair now places.
    Drawing cycle = testsupport::dxfBaseDrawing();
    Insert table;
    table.block = testsupport::kTable;
    for (Block& block : cycle.blocks)
        if (block.handle == testsupport::kChair) block.entities.push_back(entity("INSERT", table));
    EXPECT_THROW(writeDxf(cycle, Version::R2018), WriteError);
}

}  // namespace
