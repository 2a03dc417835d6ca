#include <acis/Model.h>
#include <acis/Write.h>
#include <dwg/Reader.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Samples.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

bool decodes(const Bytes& body) {
    try {
        acis::decode(body);
        return true;
    } catch (const acis::Error&) {
        return false;
    }
}

// Every body of the drawings the releases' samples hold that our reader decodes.
std::vector<Bytes> sampleBodies() {
    std::vector<Bytes> bodies;
    for (const char* sample :
         {"R14/acadsharp_sample_AC1014.dwg", "R2000/acadsharp_sample_AC1015.dwg",
          "R2000/libredwg_TS1.dwg", "R2004/acadsharp_sample_AC1018.dwg",
          "R2010/acadsharp_sample_AC1024.dwg", "R2013/acadsharp_sample_AC1027.dwg",
          "R2018/acadsharp_sample_AC1032.dwg", "R2018/restaurant_LAVAMANOS.dwg",
          "R2018/symbol_co2-anturi.dwg"}) {
        const dwg::Drawing d = dwg::read(testsupport::samplesFolder() / sample);
        for (const dwg::Block& block : d.blocks)
            for (const dwg::Entity& e : block.entities)
                if (const auto* acis = std::get_if<dwg::AcisData>(&e.data);
                    acis && !acis->bytes.empty() && decodes(acis->bytes))
                    bodies.push_back(acis->bytes);
    }
    return bodies;
}

void expectSameModel(const acis::Model& a, const acis::Model& b) {
    EXPECT_EQ(a.version, b.version);
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    for (std::size_t i = 0; i < a.vertices.size(); ++i)
        EXPECT_EQ(a.vertices[i].position, b.vertices[i].position);
    ASSERT_EQ(a.faces.size(), b.faces.size());
    for (std::size_t i = 0; i < a.faces.size(); ++i) {
        EXPECT_EQ(a.faces[i].reversed, b.faces[i].reversed);
        EXPECT_EQ(a.faces[i].doubleSided, b.faces[i].doubleSided);
        EXPECT_EQ(a.faces[i].loops, b.faces[i].loops);
    }
    ASSERT_EQ(a.coedges.size(), b.coedges.size());
    for (std::size_t i = 0; i < a.coedges.size(); ++i) {
        EXPECT_EQ(a.coedges[i].reversed, b.coedges[i].reversed);
        EXPECT_EQ(a.coedges[i].partner, b.coedges[i].partner);
    }
    ASSERT_EQ(a.surfaces.size(), b.surfaces.size());
    for (std::size_t i = 0; i < a.surfaces.size(); ++i) {
        EXPECT_EQ(a.surfaces[i].kind, b.surfaces[i].kind);
        EXPECT_EQ(a.surfaces[i].normal, b.surfaces[i].normal);
        EXPECT_EQ(a.surfaces[i].radius, b.surfaces[i].radius);
    }
    EXPECT_EQ(a.edges.size(), b.edges.size());
    EXPECT_EQ(a.curves.size(), b.curves.size());
}

TEST(AcisWrite, SampleBodiesKeepTheirModelInTheOtherForm) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    const std::vector<Bytes> bodies = sampleBodies();
    ASSERT_GT(bodies.size(), 20u);
    int identical = 0;
    for (const Bytes& body : bodies) {
        const acis::Form form = acis::formOf(body);
        const acis::Form other = form == acis::Form::Text ? acis::Form::Binary : acis::Form::Text;
        const Bytes converted = acis::inForm(body, other);
        EXPECT_EQ(acis::formOf(converted), other);
        expectSameModel(acis::decode(body), acis::decode(converted));
        const Bytes back = acis::inForm(converted, form);
        expectSameModel(acis::decode(body), acis::decode(back));
        // SAB written as SAT and back is the same file, byte for byte.
        if (form == acis::Form::Binary) {
            EXPECT_EQ(back, body);
            identical += back == body;
        }
    }
    EXPECT_GT(identical, 10);
}

// Bodies of the newer releases go to SAT and back with the same model:
// curves in surface parameters by pointer, coedges naming their curve's
// kind, points in surface parameters as SAB's own pairs.
TEST(AcisWrite, BodiesOfNewerWritersGoToSatAndBack) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    int bodies = 0;
    for (const char* sample :
         {"3d/R2018/figennnnnnn_object.dwg", "3d/R2018/abass-aim_Loft_and_Swap_Week5.dwg",
          "3d/R2018/figennnnnnn_shovel.dwg", "3d/R2018/rodrigoalcar_Casas3D.dwg",
          "3d/R2018/owerko_3d_surface_NURBS.dwg"}) {
        SCOPED_TRACE(sample);
        const dwg::Drawing d = dwg::read(testsupport::samplesFolder() / sample);
        for (const dwg::Block& block : d.blocks)
            for (const dwg::Entity& e : block.entities) {
                const auto* acis = std::get_if<dwg::AcisData>(&e.data);
                if (!acis || acis->bytes.empty()) continue;
                ++bodies;
                const Bytes sat = acis::inForm(acis->bytes, acis::Form::Text);
                const Bytes back = acis::inForm(sat, acis::Form::Binary);
                expectSameModel(acis::decode(acis->bytes), acis::decode(back));
            }
    }
    EXPECT_EQ(bodies, 94);
}

// SAB may hold any 32-bit pointer; SAT says only record numbers and -1.
TEST(AcisWrite, APointerSatCannotSayIsRefused) {
    TESSALY_REQUIRE_SAMPLES_OR_SKIP();
    Bytes body;
    for (const Bytes& b : sampleBodies())
        if (acis::formOf(b) == acis::Form::Binary) {
            body = b;
            break;
        }
    ASSERT_FALSE(body.empty());
    const std::uint8_t none[] = {0x0C, 0xFF, 0xFF, 0xFF, 0xFF};
    const auto at = std::search(body.begin(), body.end(), std::begin(none), std::end(none));
    ASSERT_NE(at, body.end());
    at[1] = 0x32;  // -206
    EXPECT_THROW(acis::inForm(body, acis::Form::Text), acis::Error);
}

TEST(AcisWrite, TheSameFormComesBackUnchanged) {
    const Bytes sat = bytesOf(
        "400 0 1 0\n4 test 3 x y 3 now\n1 1e-06 1e-10\nbody $-1 $-1 $-1 $-1 #\nEnd-of-ACIS-data\n");
    EXPECT_EQ(acis::inForm(sat, acis::Form::Text), sat);
}

TEST(AcisWrite, SatOfTheFirstVersionsWritesFlagsAsNumbers) {
    // Version 106 has no product line and writes senses as 0 and 1.
    const Bytes sat = bytesOf(
        "106 0 1 0\n"
        "body $-1 $1 $-1 $-1 #\n"
        "lump $-1 $-1 $2 $0 #\n"
        "shell $-1 $-1 $-1 $3 $1 #\n"
        "face $-1 $-1 $-1 $2 $-1 $4 1 0 #\n"
        "plane-surface $-1 0 0 1 0 0 1 1 0 0 0 I I I I #\n"
        "End-of-ACIS-data\n");
    const Bytes sab = acis::inForm(sat, acis::Form::Binary);
    const Bytes text = acis::inForm(sab, acis::Form::Text);
    const std::string shown(text.begin(), text.end());
    EXPECT_NE(shown.find("face $-1 $-1 $-1 $2 $-1 $4 reversed single #"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("forward_v I I I I"), std::string::npos) << shown;
}

TEST(AcisWrite, HostileBytesGiveAClearError) {
    const std::vector<Bytes> hostile = {
        {},
        bytesOf("ACIS BinaryFile"),
        bytesOf("ACIS BinaryFile\x40\x51\0\0"),
        bytesOf("400 0 1 0\n4 test"),
        bytesOf("400 0 1 0\n99999 test 3 x y 3 now\n"),
        bytesOf("400 0 1 0\n4 test 3 x y 3 now\n1 1e-06 1e-10\nbody $-1 $1e40 #\n"),
        bytesOf("400 0 1 0\n4 test 3 x y 3 now\n1 1e-06 1e-10\nface $-1 $1 @999999 x #\n"),
        bytesOf("400 0 1 0\n4 test 3 x y 3 now\n1 1e-06 1e-10\nbody $-1 $1 $-1 $-1"),
        // A transform record that says too little.
        bytesOf("400 0 1 0\n4 test 3 x y 3 now\n1 1e-06 1e-10\nbody $-1 $1 $-1 $1 #\n"
                "transform $-1 1 0 #\nEnd-of-ACIS-data\n"),
    };
    for (const Bytes& bytes : hostile) {
        SCOPED_TRACE(std::string(bytes.begin(), bytes.end()));
        EXPECT_THROW(acis::scaled(bytes, 2), acis::Error);
        EXPECT_THROW(
            acis::inForm(bytes, acis::formOf(bytes) == acis::Form::Text ? acis::Form::Binary
                                                                        : acis::Form::Text),
            acis::Error);
    }
}

TEST(AcisWrite, KnownFaultFilesGiveAClearErrorOrAModel) {
    const std::filesystem::path faults = testsupport::samplesFolder().parent_path() / "faults";
    if (!std::filesystem::is_directory(faults)) GTEST_SKIP() << "no faults folder at " << faults;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(faults)) {
        if (entry.path().extension() != ".sat") continue;
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes bytes{std::istreambuf_iterator<char>(in), {}};
        for (acis::Form form : {acis::Form::Text, acis::Form::Binary}) {
            try {
                acis::decode(acis::inForm(bytes, form));
            } catch (const acis::Error&) {
            }
        }
        try {
            acis::scaled(bytes, 10);
        } catch (const acis::Error&) {
        }
    }
    EXPECT_GT(files, 0);
}

}  // namespace
