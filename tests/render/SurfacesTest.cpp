// Surfaces from entities: 3D faces and polyface meshes with their invisible
// edges, polygon meshes across their seams, subdivision meshes smoothed at
// their level, outlines given a thickness; the edges kept for silhouettes;
// meshes that cannot be made reported, their edges still drawn.
#include <gtest/gtest.h>
#include <render/Build.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Meshes.h"
#include "TestDrawing.h"

namespace {

using render::DisplayList;
using render::Item;
using render::Vec3;
using render::detail::PolygonMesh;
using testsupport::TestDrawing;

// Straight segments drawn as lines of surfaces.
int surfaceEdgeSegments(const DisplayList& list) {
    int segments = 0;
    for (const Item& item : list.items) {
        if (!item.surfaceEdge) continue;
        for (std::uint32_t i = item.first; i < item.first + item.count; ++i)
            segments += static_cast<int>(list.pieces[i].pointCount) - 1;
    }
    return segments;
}

std::uint32_t triangles(const DisplayList& list) {
    std::uint32_t count = 0;
    for (const render::Surface& s : list.surfaces) count += s.triangleCount;
    return count;
}

dwg::Face face3D(std::array<dwg::Point3, 4> corners, int invisibleEdges) {
    dwg::Face face;
    face.kind = dwg::Face::Kind::Face3D;
    face.corners = corners;
    face.invisibleEdges = invisibleEdges;
    return face;
}

TEST(Surfaces, ThreeDFacesShowTheirVisibleEdgesAndTheirFace) {
    struct Case {
        const char* name;
        dwg::Face face;
        int edges;
        std::uint32_t triangles;
    };
    const std::array<dwg::Point3, 4> square{dwg::Point3{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}};
    const std::array<dwg::Point3, 4> triangle{
        dwg::Point3{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 4, 0}};
    const Case cases[] = {
        {"all edges", face3D(square, 0), 4, 2},
        {"first and third hidden", face3D(square, 1 | 4), 2, 2},
        {"all hidden", face3D(square, 15), 0, 2},
        // The repeated corner makes no second triangle; its zero-length edge still counts.
        {"triangle", face3D(triangle, 0), 4, 1},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        t.add(TestDrawing::kModel, "3DFACE", c.face, TestDrawing::kLayerZero,
              dwg::Color::fromIndex(3));
        const DisplayList list = render::buildModelSpace(t.drawing);
        EXPECT_EQ(surfaceEdgeSegments(list), c.edges) << c.name;
        EXPECT_EQ(triangles(list), c.triangles) << c.name;
        ASSERT_EQ(list.surfaces.size(), 1u) << c.name;
        EXPECT_EQ(list.surfaces[0].colour, render::Colour::fromRgb(0x00FF00)) << c.name;
        // The face counts in the extents even with no edge drawn.
        EXPECT_DOUBLE_EQ(list.extents.maxX, 4) << c.name;
    }
}

dwg::Polyline pyramid(std::vector<dwg::PolyfaceFace> faces) {
    dwg::Polyline p;
    p.kind = dwg::Polyline::Kind::PolyfaceMesh;
    for (const dwg::Point3 v : {dwg::Point3{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 0, 4}}) {
        dwg::Vertex vertex;
        vertex.position = v;
        p.vertices.push_back(vertex);
    }
    p.faces = std::move(faces);
    return p;
}

TEST(Surfaces, PolyfaceMeshesHideNegativeEdgesAndRefuseIndicesOutsideTheirVertices) {
    struct Case {
        const char* name;
        std::vector<dwg::PolyfaceFace> faces;
        int edges;
        std::uint32_t triangles;
        int failed;
    };
    const Case cases[] = {
        {"every edge shown",
         {{{1, 2, 3, 0}}, {{1, 2, 4, 0}}, {{2, 3, 4, 0}}, {{1, 3, 4, 0}}},
         12,
         4,
         0},
        // A negative index hides the edge from that corner to the next.
        {"shared edges hidden once", {{{1, -2, 3, 0}}, {{-1, 2, 4, 0}}}, 4, 2, 0},
        {"a quadrilateral", {{{1, 2, 4, 3}}}, 4, 2, 0},
        {"an index past the vertices", {{{1, 2, 3, 0}}, {{1, 2, 9, 0}}}, 4, 0, 1},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        t.add(TestDrawing::kModel, "POLYLINE_PFACE", pyramid(c.faces));
        const DisplayList list = render::buildModelSpace(t.drawing);
        EXPECT_EQ(surfaceEdgeSegments(list), c.edges) << c.name;
        EXPECT_EQ(triangles(list), c.triangles) << c.name;
        EXPECT_EQ(list.report.surfacesFailed, c.failed) << c.name;
        if (c.failed) {
            ASSERT_FALSE(list.report.surfaceErrors.empty());
            EXPECT_NE(list.report.surfaceErrors[0].find("fora dos seus vértices"),
                      std::string::npos);
        }
    }
}

TEST(Surfaces, PolygonMeshesCloseAcrossTheirSeams) {
    struct Case {
        const char* name;
        int rows, columns;
        bool closedM, closedN;
        std::size_t vertices;
        std::uint32_t triangles;
        int failed;
    };
    const Case cases[] = {
        {"open", 3, 4, false, false, 12, 2 * 2 * 3, 0},
        {"closed across columns", 3, 4, false, true, 12, 2 * 2 * 4, 0},
        {"closed both ways", 3, 4, true, true, 12, 2 * 3 * 4, 0},
        {"fewer vertices than rows times columns", 3, 4, false, false, 11, 0, 1},
    };
    for (const Case& c : cases) {
        dwg::Polyline mesh;
        mesh.kind = dwg::Polyline::Kind::PolygonMesh;
        mesh.meshM = c.rows;
        mesh.meshN = c.columns;
        mesh.closed = c.closedM;
        mesh.closedN = c.closedN;
        // Rows up a cylinder of radius 5, columns round it.
        for (std::size_t i = 0; i < c.vertices; ++i) {
            const double angle = 2 * std::numbers::pi * static_cast<double>(i % 4) / 4;
            dwg::Vertex v;
            v.position = {5 * std::cos(angle), 5 * std::sin(angle), static_cast<double>(i / 4)};
            mesh.vertices.push_back(v);
        }
        TestDrawing t;
        t.add(TestDrawing::kModel, "POLYLINE_MESH", mesh);
        const DisplayList list = render::buildModelSpace(t.drawing);
        EXPECT_EQ(triangles(list), c.triangles) << c.name;
        EXPECT_EQ(list.report.surfacesFailed, c.failed) << c.name;
        EXPECT_FALSE(list.items.empty()) << c.name;  // its lines are drawn either way
    }
}

PolygonMesh cube() {
    PolygonMesh mesh;
    for (int i = 0; i < 8; ++i)
        mesh.positions.push_back({i & 1 ? 1.0 : -1.0, i & 2 ? 1.0 : -1.0, i & 4 ? 1.0 : -1.0});
    // Each face counter-clockwise seen from outside.
    const std::uint32_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                       {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& face : faces) mesh.addFace(face);
    return mesh;
}

bool any(std::size_t) {
    return true;
}

TEST(Meshes, CatmullClarkRoundsACubeTowardsItsLimit) {
    const auto once = render::detail::subdivide(cube(), 1, 1'000'000, any);
    ASSERT_TRUE(once);
    EXPECT_EQ(once->faceCount(), 24u);
    EXPECT_EQ(once->positions.size(), 26u);  // 8 corners, 12 edges, 6 faces
    // A corner of three faces moves to (F + 2R) / 3 with F the mean of the
    // faces' middles and R of the edges' middles: 5/9 of the way out.
    EXPECT_NEAR(once->positions[7].x, 5.0 / 9, 1e-12);
    EXPECT_NEAR(once->positions[7].y, 5.0 / 9, 1e-12);
    EXPECT_NEAR(once->positions[7].z, 5.0 / 9, 1e-12);
    // An edge's point is the mean of its ends and the middles of its faces.
    const bool edgePoint =
        std::any_of(once->positions.begin(), once->positions.end(), [](const Vec3& p) {
            return std::abs(p.x) < 1e-12 && std::abs(p.y - 0.75) < 1e-12 &&
                   std::abs(p.z - 0.75) < 1e-12;
        });
    EXPECT_TRUE(edgePoint);

    const auto twice = render::detail::subdivide(cube(), 2, 1'000'000, any);
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->faceCount(), 96u);
    for (const Vec3& p : twice->positions) {
        EXPECT_LE(std::max({std::abs(p.x), std::abs(p.y), std::abs(p.z)}), 1.0);
        EXPECT_GT(length(p), 0.5);
    }
    // Every face still turns the way the cage's did: its normal points out.
    std::size_t at = 0;
    for (const std::uint32_t size : twice->faceSizes) {
        const Vec3 n = render::detail::faceNormal(*twice, at, size);
        const Vec3 c = twice->positions[twice->corners[at]];
        EXPECT_GT(n.x * c.x + n.y * c.y + n.z * c.z, 0);
        at += size;
    }
}

TEST(Meshes, CreasedEdgesStaySharpForAsManyStepsAsTheySay) {
    struct Case {
        const char* name;
        double crease;
        bool staysACube;
    };
    const Case cases[] = {
        {"sharp at every step", -1, true},
        {"sharp for two steps", 2, true},
        {"sharp for the first step only", 1, false},
        {"smooth", 0, false},
    };
    for (const Case& c : cases) {
        PolygonMesh creased = cube();
        std::size_t at = 0;
        for (const std::uint32_t size : creased.faceSizes) {
            for (std::uint32_t i = 0; i < size; ++i)
                creased.creases[render::detail::edgeKey(
                    creased.corners[at + i], creased.corners[at + (i + 1) % size])] = c.crease;
            at += size;
        }
        const auto smoothed = render::detail::subdivide(creased, 2, 1'000'000, any);
        ASSERT_TRUE(smoothed) << c.name;
        // Every point of a cube that stayed one lies on its faces.
        bool onTheCube = true;
        for (const Vec3& p : smoothed->positions)
            onTheCube =
                onTheCube &&
                std::abs(std::max({std::abs(p.x), std::abs(p.y), std::abs(p.z)}) - 1) < 1e-12;
        EXPECT_EQ(onTheCube, c.staysACube) << c.name;
    }
}

TEST(Meshes, SubdivisionIsBoundedAndStopsWhenTheWorkRunsOut) {
    const auto huge = render::detail::subdivide(cube(), 1000, 1000, any);
    ASSERT_TRUE(huge);
    EXPECT_GT(huge->faceCount(), 1000u / 4);
    EXPECT_LE(huge->faceCount(), 4u * 1000);
    int calls = 0;
    const auto refused =
        render::detail::subdivide(cube(), 3, 1'000'000, [&](std::size_t) { return ++calls < 2; });
    EXPECT_FALSE(refused);
    // Faces without area are left out before smoothing.
    PolygonMesh slivers = cube();
    const std::uint32_t line[2] = {0, 1};
    slivers.addFace(line);
    EXPECT_EQ(render::detail::subdivide(slivers, 1, 1'000'000, any)->faceCount(), 24u);
}

TEST(Meshes, ProblemsAreNamedAndNonConvexFacesCutInsideThemselves) {
    PolygonMesh outside = cube();
    outside.corners[3] = 8;
    EXPECT_TRUE(render::detail::meshProblem(outside));
    PolygonMesh notFinite = cube();
    notFinite.positions[0].x = std::nan("");
    EXPECT_TRUE(render::detail::meshProblem(notFinite));
    EXPECT_FALSE(render::detail::meshProblem(cube()));

    // An L of six corners: four triangles, all inside it.
    const Vec3 l[6] = {{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}};
    std::vector<std::array<std::uint32_t, 3>> cut;
    render::detail::triangulateFace(l, cut);
    ASSERT_EQ(cut.size(), 4u);
    double area = 0;
    for (const auto& [a, b, c] : cut) {
        const Vec3 n = cross(l[b] - l[a], l[c] - l[a]);
        EXPECT_GT(n.z, 0);  // turning as the face does
        area += n.z / 2;
    }
    EXPECT_NEAR(area, 3, 1e-12);
}

TEST(Surfaces, SubdivisionMeshesSmoothAtTheirLevelWithinBounds) {
    struct Case {
        const char* name;
        int level;
        int badIndex;
        std::uint32_t triangles;
        int failed;
    };
    const Case cases[] = {
        {"as stored", 0, -1, 12, 0},
        {"level one", 1, -1, 48, 0},
        // Six levels at most, as the CAD program allows.
        {"a level far beyond any use", 1'000'000, -1, 2 * 6 * 4096, 0},
        {"a face past the vertices", 1, 8, 0, 1},
    };
    for (const Case& c : cases) {
        dwg::SubdivisionMesh mesh;
        mesh.subdivisionLevel = c.level;
        const PolygonMesh cage = cube();
        for (const Vec3& p : cage.positions) mesh.vertices.push_back({p.x, p.y, p.z});
        for (std::size_t f = 0; f < 6; ++f)
            mesh.faces.push_back({static_cast<int>(cage.corners[4 * f]),
                                  static_cast<int>(cage.corners[4 * f + 1]),
                                  static_cast<int>(cage.corners[4 * f + 2]),
                                  static_cast<int>(cage.corners[4 * f + 3])});
        if (c.badIndex >= 0) mesh.faces[2][1] = c.badIndex;
        TestDrawing t;
        t.add(TestDrawing::kModel, "MESH", mesh);
        const DisplayList list = render::buildModelSpace(t.drawing);
        EXPECT_EQ(triangles(list), c.triangles) << c.name;
        EXPECT_EQ(list.report.surfacesFailed, c.failed) << c.name;
        EXPECT_FALSE(list.report.truncated) << c.name;
        EXPECT_GT(surfaceEdgeSegments(list), 0) << c.name;
        // Smoothed, the surface keeps the edges its outline may run along.
        EXPECT_EQ(c.level > 0 && c.failed == 0, !list.smoothEdges.empty()) << c.name;
    }
}

TEST(Surfaces, AThicknessRaisesWallsAndTheOutlineOnTop) {
    struct Case {
        const char* name;
        dwg::EntityData data;
        std::uint32_t minTriangles;
        double height;  // of the extents seen from the front
        bool smooth;
    };
    dwg::Line line = TestDrawing::line(0, 0, 10, 0);
    line.thickness = 5;
    dwg::Circle circle;
    circle.radius = 3;
    circle.thickness = -2;
    dwg::Face solid;
    solid.corners = {dwg::Point3{0, 0, 0}, {4, 0, 0}, {0, 4, 0}, {4, 4, 0}};
    solid.thickness = 1;
    dwg::LwPolyline polyline;
    polyline.points = {{0, 0}, {10, 0}, {10, 10}};
    polyline.bulges = {0, 1, 0};
    polyline.thickness = 7;
    dwg::Point point;
    point.thickness = 4;
    const Case cases[] = {
        {"line", line, 2, 5, false},
        // Downwards, closed top and bottom, round: its outline shows from any side.
        {"circle", circle, 2 * 16 + 2 * 14, 2, true},
        {"solid", solid, 12, 1, false},
        {"polyline with an arc", polyline, 2 + 2 * 16, 7, false},
        {"point", point, 0, 4, false},
    };
    for (const Case& c : cases) {
        TestDrawing t;
        t.add(TestDrawing::kModel, "ENTITY", c.data);
        render::BuildOptions options;
        options.projection = render::Projection::front();
        const DisplayList list = render::buildModelSpace(t.drawing, options);
        EXPECT_GE(triangles(list), c.minTriangles) << c.name;
        EXPECT_NEAR(list.extents.height(), c.height, 1e-9) << c.name;
        EXPECT_EQ(!list.smoothEdges.empty(), c.smooth) << c.name;
    }
}

TEST(Surfaces, InsertsPlaceFacesAndTurnTheirNormalsWithThem) {
    TestDrawing t;
    t.block("PLACA", 0x50);
    t.add(0x50, "3DFACE", face3D({dwg::Point3{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, 0));
    // Stood up: turned a quarter about x by an insert whose extrusion is -y,
    // and stretched three times along its own x.
    dwg::Insert standing = TestDrawing::insert(0x50, {0, 0, 0}, 0, {3, 1, 1});
    standing.extrusion = {0, -1, 0};
    t.add(TestDrawing::kModel, "INSERT", standing);
    const DisplayList list = render::buildModelSpace(t.drawing);
    ASSERT_EQ(list.surfaces.size(), 1u);
    for (const Vec3& n : list.normals) {
        EXPECT_NEAR(std::abs(n.y), 1, 1e-12);  // across the face, which now stands in x and z
        EXPECT_NEAR(length(n), 1, 1e-12);
    }
    EXPECT_NEAR(list.extents.width(), 3, 1e-12);
    EXPECT_NEAR(list.extents.height(), 0, 1e-12);
}

}  // namespace
