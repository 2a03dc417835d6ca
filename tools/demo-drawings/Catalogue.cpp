// The blocks of the demo library. Plan views unless the name says otherwise;
// lengths in centimetres; each block's base point where it would be placed
// in a project (a wall face, a corner, a centre).
#include "Catalogue.h"

#include <cmath>
#include <numbers>

namespace demo {
namespace {

const Pen kOutline{"CONTORNO", 7};
const Pen kDetail{"DETALHE", 8};
const Pen kShade{"HACHURA", 253};
const Pen kDark{"HACHURA-ESCURA", 250};
const Pen kText{"TEXTO", 5};
const Pen kHidden{"PROJECAO", 8, "TRACEJADA"};
const Pen kWater{"LOUCAS", 151};
const Pen kGreen{"VEGETACAO", 94};
const Pen kLeaf{"FOLHAGEM", 82};
const Pen kWood{"MADEIRA", 34};
const Pen kElectric{"ELETRICA", 1};
const Pen kAccent{"DESTAQUE", 30};

constexpr double kQuarter = 0.41421356237309503;  // bulge of a quarter circle

Point2 polar(Point2 center, double radius, double degrees) {
    const double a = degrees * std::numbers::pi / 180;
    return {center.x + radius * std::cos(a), center.y + radius * std::sin(a)};
}

// An isometric view of a point (x to the right and back, y to the left and back, z up).
Point2 iso(double x, double y, double z) {
    return {(x - y) * std::cos(std::numbers::pi / 6), (x + y) * 0.5 + z};
}

// A box seen in isometric view: top, front and side filled in three greys.
void isoBox(Sketch& s, double x, double y, double z, double dx, double dy, double dz) {
    const Point2 top[] = {iso(x, y, z + dz), iso(x + dx, y, z + dz), iso(x + dx, y + dy, z + dz),
                          iso(x, y + dy, z + dz)};
    const Point2 front[] = {iso(x, y, z), iso(x + dx, y, z), iso(x + dx, y, z + dz),
                            iso(x, y, z + dz)};
    const Point2 side[] = {iso(x, y, z), iso(x, y + dy, z), iso(x, y + dy, z + dz),
                           iso(x, y, z + dz)};
    s.fill({"FACE-SUPERIOR", 254}, {std::begin(top), std::end(top)});
    s.fill({"FACE-FRONTAL", 252}, {std::begin(front), std::end(front)});
    s.fill({"FACE-LATERAL", 250}, {std::begin(side), std::end(side)});
    for (const auto* face : {top, front, side}) s.polyline(kOutline, {face, face + 4}, true);
}

// A scalloped outline round a centre: tree canopies and shrubs.
void scallops(Sketch& s, const Pen& fill, const Pen& edge, Point2 center, double radius, int bumps,
              double bulge) {
    std::vector<Point2> points;
    for (int i = 0; i < bumps; ++i) points.push_back(polar(center, radius, 360.0 * i / bumps));
    const std::vector<double> bulges(points.size(), bulge);
    s.fill(fill, points, bulges);
    s.polyline(edge, points, true, bulges);
}

// A pointed leaf from `base` to `tip`, filled.
void leaf(Sketch& s, const Pen& fill, Point2 base, Point2 tip, double bulge) {
    s.fill(fill, {base, tip}, {bulge, bulge});
    s.polyline(kDetail, {base, tip}, true, {bulge, bulge});
}

void wallStubs(Sketch& s, double opening, double thickness) {
    s.fillRectangle(kDark, {-30, 0}, 30, thickness);
    s.fillRectangle(kDark, {opening, 0}, 30, thickness);
}

void diningChair(Sketch& s) {
    s.defineBlock("Cadeira", {0, 0}, [&] {
        s.rectangle(kOutline, {-21, -21}, 42, 40, 4);
        s.fill(kWood, {{-21, 19}, {21, 19}, {21, 25}, {-21, 25}},
               {0, kQuarter / 2, 0, -kQuarter / 2});
        s.polyline(kOutline, {{-21, 19}, {21, 19}, {21, 25}, {-21, 25}}, true,
                   {0, kQuarter / 2, 0, -kQuarter / 2});
    });
}

// ---- 0 3D --------------------------------------------------------------------------

void cube(Sketch& s) {
    isoBox(s, 0, 0, 0, 60, 60, 60);
}

void cylinder(Sketch& s) {
    const double r = 30, h = 80;
    const Point2 axis{r * std::sqrt(1.5), 0};
    const double ratio = std::sqrt(1.0 / 3.0);
    s.fillRectangle({"FACE-FRONTAL", 252}, {-axis.x, 0}, 2 * axis.x, h);
    s.fillEllipse({"FACE-FRONTAL", 252}, {0, 0}, axis, ratio);
    s.fillEllipse({"FACE-SUPERIOR", 254}, {0, h}, axis, ratio);
    s.ellipse(kOutline, {0, h}, axis, ratio);
    s.ellipse(kHidden, {0, 0}, axis, ratio);
    s.line(kOutline, {-axis.x, 0}, {-axis.x, h});
    s.line(kOutline, {axis.x, 0}, {axis.x, h});
}

void isoTable(Sketch& s) {
    for (const Point2 leg : {Point2{4, 4}, {112, 4}, {4, 72}}) isoBox(s, leg.x, leg.y, 0, 4, 4, 70);
    isoBox(s, 0, 0, 70, 120, 80, 5);
}

// ---- 1 Acessórios --------------------------------------------------------------

void plantPot(Sketch& s) {
    s.fillRings(kWood, {{{-20, 0}, {20, 0}}, {{-17, 0}, {17, 0}}}, {{1, 1}, {1, 1}});
    s.circle(kOutline, {0, 0}, 20);
    for (int i = 0; i < 7; ++i) leaf(s, kLeaf, {0, 0}, polar({0, 0}, 34, i * 360.0 / 7 + 10), 0.35);
}

void floorLamp(Sketch& s) {
    s.fillCircle(kAccent, {0, 0}, 6);
    s.circle(kOutline, {0, 0}, 22);
    s.circle(kDetail, {0, 0}, 16);
    for (int a = 45; a < 360; a += 90) s.line(kDetail, polar({0, 0}, 6, a), polar({0, 0}, 22, a));
}

void rug(Sketch& s) {
    s.rectangle(kOutline, {0, 0}, 200, 140);
    s.rectangle(kHidden, {10, 10}, 180, 120);
    for (double y = 4; y < 140; y += 8) {
        s.line(kDetail, {0, y}, {-6, y});
        s.line(kDetail, {200, y}, {206, y});
    }
    s.fillEllipse(kAccent, {100, 70}, {45, 0}, 0.55);
}

void picture(Sketch& s) {
    s.rectangle(kWood, {0, 0}, 80, 60);
    s.rectangle(kOutline, {5, 5}, 70, 50);
    s.fill(kGreen, {{5, 5}, {28, 32}, {42, 20}, {58, 38}, {75, 18}, {75, 5}});
    s.fillCircle(kAccent, {60, 45}, 5);
}

// ---- 2 Banheiros ---------------------------------------------------------------

void toilet(Sketch& s) {
    s.rectangle(kOutline, {-20, -18}, 40, 18, 3);
    s.circle(kDetail, {0, -9}, 2.5);
    s.ellipse(kOutline, {0, -44}, {0, 26}, 0.68);
    s.ellipse(kDetail, {0, -46}, {0, 19}, 0.62);
    s.fillEllipse(kWater, {0, -48}, {0, 11}, 0.6);
}

void washbasin(Sketch& s) {
    s.rectangle(kOutline, {-30, -45}, 60, 45);
    s.ellipse(kOutline, {0, -25}, {19, 0}, 0.75);
    s.fillEllipse(kWater, {0, -26}, {15, 0}, 0.7);
    s.fillCircle(kDark, {0, -26}, 2);
    s.rectangle(kDetail, {-2, -9}, 4, 8, 1);
}

void shower(Sketch& s) {
    s.rectangle(kOutline, {0, 0}, 90, 90);
    for (const Point2 corner : {Point2{0, 0}, {90, 0}, {90, 90}, {0, 90}})
        s.line(kDetail, corner, {45, 45});
    s.fillRings(kDark, {{{39, 45}, {51, 45}}, {{41, 45}, {49, 45}}}, {{1, 1}, {1, 1}});
    s.arc(kWater, {45, 90}, 12, 180, 360);
    s.line(kHidden, {0, 2}, {90, 2});
}

void bathtub(Sketch& s) {
    s.rectangle(kOutline, {0, 0}, 170, 75, 8);
    s.rectangle(kDetail, {8, 8}, 154, 59, 22);
    s.fillCircle(kDark, {24, 37.5}, 3);
    s.rectangle(kDetail, {2, 31}, 6, 13, 2);
}

// ---- 3 Cozinhas ----------------------------------------------------------------

void kitchenSink(Sketch& s) {
    s.rectangle(kOutline, {0, 0}, 180, 60);
    s.rectangle(kOutline, {22, 8}, 58, 42, 6);
    s.rectangle(kOutline, {88, 8}, 42, 42, 6);
    s.fillCircle(kDark, {51, 29}, 3);
    s.fillCircle(kDark, {109, 29}, 3);
    s.circle(kDetail, {84, 55}, 2.5);
    s.line(kDetail, {84, 55}, {84, 38});
    s.text(kText, "Pia", {155, 25}, 6, 1);
}

void stove(Sketch& s) {
    s.defineBlock("Queimador", {0, 0}, [&] {
        s.circle(kOutline, {0, 0}, 9);
        s.fillCircle(kDark, {0, 0}, 4);
        for (int a = 0; a < 360; a += 90)
            s.line(kDetail, polar({0, 0}, 5, a), polar({0, 0}, 10, a));
    });
    s.rectangle(kOutline, {0, 0}, 60, 62, 2);
    s.rectangle(kDetail, {3, 12}, 54, 47, 2);
    for (const Point2 at : {Point2{17, 24}, {43, 24}, {17, 47}, {43, 47}})
        s.insert("Queimador", at);
    for (double x : {12.0, 24.0, 36.0, 48.0}) s.fillCircle(kDark, {x, 6}, 2.5);
}

void refrigerator(Sketch& s) {
    s.rectangle(kOutline, {0, 0}, 70, 72, 2);
    s.line(kOutline, {0, 6}, {70, 6});
    s.arc(kHidden, {0, 0}, 70, 270, 360);
    s.line(kHidden, {0, 0}, {0, -70});
    s.text(kText, "GELADEIRA", {35, 36}, 7, 1);
}

void roundTableWithChairs(Sketch& s) {
    diningChair(s);
    s.fillCircle(kShade, {0, 0}, 60);
    s.circle(kOutline, {0, 0}, 60);
    for (int a = 0; a < 360; a += 90) s.insert("Cadeira", polar({0, 0}, 70, a), a - 90);
}

// ---- 4 Diversos ----------------------------------------------------------------

void northArrow(Sketch& s) {
    s.circle(kOutline, {0, 0}, 40);
    s.fill(kDark, {{0, 36}, {0, -8}, {-12, -22}});
    s.polyline(kOutline, {{0, 36}, {12, -22}, {0, -8}, {-12, -22}}, true);
    s.text(kText, "N", {0, 46}, 12, 1);
}

void titleBlock(Sketch& s) {
    s.rectangle(kOutline, {0, 0}, 180, 60);
    s.line(kOutline, {0, 40}, {180, 40});
    s.line(kOutline, {110, 0}, {110, 40});
    s.line(kDetail, {110, 20}, {180, 20});
    s.text(kText, "PROJETO: RESIDÊNCIA UNIFAMILIAR", {5, 47}, 5);
    s.text(kText, "Escala 1:50", {115, 27}, 4);
    s.text(kText, "Março de 2024 – revisão nº 1", {115, 7}, 3.5);
    s.paragraph(kText, "Observações:\\PCotas em centímetros.\\PNão meça no desenho.", {5, 35}, 4,
                100);
}

void graphicScale(Sketch& s) {
    for (int i = 0; i < 5; ++i) {
        if (i % 2 == 0) s.fillRectangle(kDark, {i * 100.0, 0}, 100, 10);
        s.rectangle(kOutline, {i * 100.0, 0}, 100, 10);
        s.text(kText, std::to_string(i), {i * 100.0, 16}, 8, 1);
    }
    s.text(kText, "5 m", {500, 16}, 8, 1);
}

void sectionMark(Sketch& s) {
    s.line(kHidden, {0, 0}, {400, 0});
    for (const double x : {0.0, 400.0}) {
        s.fill(kDark, {{x - 6, 0}, {x + 6, 0}, {x, 18}});
        s.circle(kOutline, {x, -16}, 12);
        s.text(kText, "A", {x, -20}, 10, 1);
    }
}

// ---- 5 Elétrica ----------------------------------------------------------------

void outlet(Sketch& s) {
    s.line(kElectric, {0, 0}, {0, 10});
    s.circle(kElectric, {0, 18}, 8);
    s.fill(kElectric, {{-8, 18}, {8, 18}}, {1, 0});
    s.text(kText, "300 VA", {12, 14}, 5);
}

void lightSwitch(Sketch& s) {
    s.line(kElectric, {0, 0}, {0, 8});
    s.circle(kElectric, {0, 15}, 7);
    s.text(kElectric, "S", {0, 12}, 6, 1);
    s.text(kText, "a", {10, 20}, 5);
}

void ceilingLight(Sketch& s) {
    s.circle(kElectric, {0, 0}, 15);
    s.line(kElectric, polar({0, 0}, 15, 45), polar({0, 0}, 15, 225));
    s.line(kElectric, polar({0, 0}, 15, 135), polar({0, 0}, 15, 315));
    s.text(kText, "a · 100 W", {20, -3}, 6);
}

void distributionBoard(Sketch& s) {
    s.rectangle(kElectric, {0, 0}, 40, 20);
    s.fill(kElectric, {{0, 0}, {40, 0}, {40, 20}});
    s.text(kText, "QD-1", {20, 24}, 6, 1);
}

// ---- 6 Esquadrias --------------------------------------------------------------

void door(Sketch& s) {
    wallStubs(s, 80, 15);
    s.rectangle(kOutline, {0, 15}, 4, 80);
    s.arc(kDetail, {0, 15}, 80, 0, 90);
    s.line(kHidden, {0, 0}, {80, 0});
}

void window(Sketch& s) {
    wallStubs(s, 120, 15);
    s.rectangle(kOutline, {0, 0}, 120, 15);
    s.line(kWater, {0, 6.5}, {120, 6.5});
    s.line(kWater, {0, 8.5}, {120, 8.5});
    s.rectangle(kDetail, {-5, -4}, 130, 4);
}

void slidingDoor(Sketch& s) {
    wallStubs(s, 160, 15);
    s.rectangle(kOutline, {0, 4}, 85, 3.5);
    s.rectangle(kOutline, {75, 7.5}, 85, 3.5);
    s.line(kDetail, {20, 30}, {60, 30});
    s.fill(kDark, {{60, 26}, {70, 30}, {60, 34}});
    s.line(kDetail, {140, 30}, {100, 30});
    s.fill(kDark, {{100, 26}, {90, 30}, {100, 34}});
}

// ---- 7 Fabricantes -------------------------------------------------------------

void armchairIpanema(Sketch& s) {
    s.rectangle(kOutline, {12, 8}, 56, 54, 8);
    s.fillRectangle(kWood, {0, 0}, 12, 78, 6);
    s.fillRectangle(kWood, {68, 0}, 12, 78, 6);
    s.fill(kShade, {{0, 62}, {80, 62}, {80, 78}, {0, 78}}, {0, 0, 0.2, 0});
    s.polyline(kOutline, {{0, 62}, {80, 62}, {80, 78}, {0, 78}}, true, {0, 0, 0.2, 0});
    s.text(kText, "Ipanema · Móveis Exemplo", {40, -10}, 4, 1);
}

void sinkTokyo(Sketch& s) {
    s.rectangle(kOutline, {0, 0}, 56, 40, 12);
    s.ellipse(kOutline, {28, 20}, {23, 0}, 0.65);
    s.fillEllipse(kWater, {28, 19}, {19, 0}, 0.6);
    s.fillCircle(kDark, {28, 19}, 2);
    s.ellipse(kDetail, {28, 34}, {4, 0}, 0.4);
    s.text(kText, "Cuba Tóquio – aço inox", {28, -8}, 4, 1);
}

void arcLamp(Sketch& s) {
    s.fillRectangle(kDark, {-15, 0}, 30, 5, 2);
    s.arc(kOutline, {90, 5}, 90, 90, 180);
    s.fill(kAccent, {{80, 95}, {100, 95}, {108, 78}, {72, 78}});
    s.polyline(kOutline, {{80, 95}, {100, 95}, {108, 78}, {72, 78}}, true);
    s.text(kText, "Luminária Arco", {0, -10}, 5, 1);
}

// ---- 8 Hidrossanitários --------------------------------------------------------

void floorDrain(Sketch& s) {
    s.rectangle(kOutline, {-7.5, -7.5}, 15, 15);
    s.fillRings(kDark, {{{-6, 0}, {6, 0}}, {{-5, 0}, {5, 0}}}, {{1, 1}, {1, 1}});
    for (double v : {-2.5, 0.0, 2.5}) {
        s.line(kDetail, {v, -4.3}, {v, 4.3});
        s.line(kDetail, {-4.3, v}, {4.3, v});
    }
}

void gateValve(Sketch& s) {
    s.line(kWater, {-30, 0}, {-10, 0});
    s.line(kWater, {10, 0}, {30, 0});
    s.fill(kDark, {{-10, -7}, {0, 0}, {-10, 7}});
    s.fill(kDark, {{10, -7}, {0, 0}, {10, 7}});
    s.line(kOutline, {0, 0}, {0, 15});
    s.circle(kOutline, {0, 19}, 4);
}

void inspectionBox(Sketch& s) {
    s.fillRings(kDark, {{{0, 0}, {60, 0}, {60, 60}, {0, 60}}, {{5, 5}, {55, 5}, {55, 55}, {5, 55}}},
                {});
    s.line(kDetail, {5, 5}, {55, 55});
    s.line(kDetail, {55, 5}, {5, 55});
    s.text(kText, "CI 60×60", {30, 66}, 6, 1);
}

void greaseTrap(Sketch& s) {
    s.fillRings(kDark, {{{-30, 0}, {30, 0}}, {{-25, 0}, {25, 0}}}, {{1, 1}, {1, 1}});
    s.line(kWater, {-45, 0}, {-30, 0});
    s.line(kWater, {30, -10}, {45, -10});
    s.text(kText, "CG", {0, -4}, 10, 1);
}

// ---- 9 Mobília -----------------------------------------------------------------

void sofa(Sketch& s) {
    s.fillRectangle(kShade, {0, 70}, 210, 20, 5);
    s.rectangle(kOutline, {0, 70}, 210, 20, 5);
    s.rectangle(kOutline, {0, 0}, 20, 90, 5);
    s.rectangle(kOutline, {190, 0}, 20, 90, 5);
    const double seat = 170.0 / 3;
    for (int i = 0; i < 3; ++i) s.rectangle(kOutline, {20 + i * seat, 2}, seat, 68, 6);
}

void doubleBed(Sketch& s) {
    s.fillRectangle(kWood, {-5, 188}, 148, 6);
    s.rectangle(kOutline, {0, 0}, 138, 188, 4);
    s.rectangle(kOutline, {10, 152}, 55, 28, 9);
    s.rectangle(kOutline, {73, 152}, 55, 28, 9);
    s.spline(kDetail, {{0, 125}, {40, 132}, {95, 118}, {138, 128}});
    for (const double x : {-50.0, 143.0}) {
        s.rectangle(kOutline, {x, 148}, 45, 40);
        s.circle(kDetail, {x + 22.5, 168}, 10);
    }
}

void diningTable(Sketch& s) {
    diningChair(s);
    s.fillRectangle(kShade, {0, 0}, 180, 90, 3);
    s.rectangle(kOutline, {0, 0}, 180, 90, 3);
    for (const double x : {30.0, 90.0, 150.0}) {
        s.insert("Cadeira", {x, 110});
        s.insert("Cadeira", {x, -20}, 180);
    }
}

void armchair(Sketch& s) {
    s.fillRectangle(kShade, {0, 0}, 14, 80, 7);
    s.fillRectangle(kShade, {66, 0}, 14, 80, 7);
    s.fill(kShade, {{0, 62}, {80, 62}, {80, 80}, {0, 80}}, {0, 0, 0.25, 0});
    s.polyline(kOutline, {{0, 62}, {80, 62}, {80, 80}, {0, 80}}, true, {0, 0, 0.25, 0});
    s.rectangle(kOutline, {0, 0}, 14, 80, 7);
    s.rectangle(kOutline, {66, 0}, 14, 80, 7);
    s.rectangle(kOutline, {14, 4}, 52, 58, 8);
    s.arc(kDetail, {40, 40}, 18, 200, 340);
}

void wardrobe(Sketch& s) {
    s.rectangle(kOutline, {0, 0}, 180, 60);
    for (const double x : {60.0, 120.0}) s.line(kOutline, {x, 0}, {x, 60});
    s.line(kHidden, {5, 32}, {175, 32});
    for (double x = 15; x < 180; x += 12) s.line(kDetail, {x, 22}, {x + 4, 42});
}

// ---- 10 Pessoas ----------------------------------------------------------------

void personPlan(Sketch& s) {
    s.fillEllipse(kShade, {0, 0}, {26, 0}, 0.45);
    s.ellipse(kOutline, {0, 0}, {26, 0}, 0.45);
    s.fillCircle(kDark, {0, 1}, 8.5);
    s.arc(kOutline, {0, 9.5}, 2, 0, 180);
}

void standingPerson(Sketch& s) {
    s.fillCircle(kDark, {0, 159}, 11);
    const std::vector<Point2> body = {{-6, 146}, {-22, 140}, {-26, 92}, {-20, 92}, {-16, 128},
                                      {-14, 92}, {-12, 0},   {-2, 0},   {0, 84},   {2, 0},
                                      {12, 0},   {14, 92},   {16, 128}, {20, 92},  {26, 92},
                                      {22, 140}, {6, 146}};
    std::vector<double> bulges(body.size(), 0);
    bulges[0] = 0.2;
    bulges[15] = 0.2;
    s.fill(kShade, body, bulges);
    s.polyline(kOutline, body, true, bulges);
}

void couple(Sketch& s) {
    s.defineBlock("Pessoa", {0, 0}, [&] { standingPerson(s); });
    s.insert("Pessoa", {0, 0});
    s.insert("Pessoa", {60, 0}, 0, 0.94);
}

// ---- 11 Urbano -----------------------------------------------------------------

void parkBench(Sketch& s) {
    for (int i = 0; i < 5; ++i) s.fillRectangle(kWood, {0, i * 10.0}, 180, 7, 1);
    for (const double x : {15.0, 155.0}) s.fillRectangle(kDark, {x, -4}, 10, 52);
}

void streetLight(Sketch& s) {
    s.fillCircle(kDark, {0, 0}, 12);
    s.line(kOutline, {0, 0}, {120, 0});
    s.fillEllipse(kAccent, {130, 0}, {18, 0}, 0.5);
    s.ellipse(kOutline, {130, 0}, {18, 0}, 0.5);
    s.circle(kHidden, {130, 0}, 150);
}

void litterBin(Sketch& s) {
    s.fillRings(kDark, {{{-25, 0}, {25, 0}}, {{-21, 0}, {21, 0}}}, {{1, 1}, {1, 1}});
    s.line(kDetail, {-21, 0}, {21, 0});
    s.line(kDetail, {0, -21}, {0, 21});
    s.fillCircle(kAccent, {0, 0}, 5);
}

// ---- 12 Vegetação --------------------------------------------------------------

void tree(Sketch& s) {
    scallops(s, kLeaf, kGreen, {0, 0}, 240, 14, 0.35);
    for (int a = 15; a < 360; a += 60) s.line(kGreen, polar({0, 0}, 25, a), polar({0, 0}, 150, a));
    s.fillCircle(kWood, {0, 0}, 22);
}

void shrub(Sketch& s) {
    scallops(s, kGreen, kGreen, {0, 0}, 80, 9, 0.45);
    scallops(s, kLeaf, kGreen, {10, 8}, 40, 7, 0.45);
}

void palmTree(Sketch& s) {
    for (int i = 0; i < 8; ++i) {
        const double a = i * 45.0 + 10;
        leaf(s, kLeaf, polar({0, 0}, 15, a), polar({0, 0}, 200, a), 0.12);
        s.spline(kGreen, {polar({0, 0}, 20, a), polar({0, 0}, 110, a + 4), polar({0, 0}, 195, a)});
    }
    s.fillCircle(kWood, {0, 0}, 18);
}

// ---- 13 Veículos ---------------------------------------------------------------

void car(Sketch& s) {
    s.defineBlock("Roda", {0, 0}, [&] { s.fillRectangle(kDark, {-30, -11}, 60, 22, 5); });
    for (const Point2 at : {Point2{95, 2}, {355, 2}, {95, 178}, {355, 178}}) s.insert("Roda", at);
    s.fillRectangle(kShade, {0, 0}, 450, 180, 35);
    s.rectangle(kOutline, {0, 0}, 450, 180, 35);
    s.rectangle(kOutline, {150, 22}, 140, 136, 12);
    s.polyline(kOutline, {{290, 22}, {335, 12}, {335, 168}, {290, 158}}, false, {0, 0.15, 0, 0});
    s.polyline(kOutline, {{150, 22}, {120, 16}, {120, 164}, {150, 158}}, false, {0, -0.1, 0, 0});
    s.line(kDetail, {345, 30}, {430, 40});
    s.line(kDetail, {345, 150}, {430, 140});
    for (const double y : {-14.0, 180.0}) s.fillRectangle(kDark, {300, y}, 14, 14, 3);
}

void motorcycle(Sketch& s) {
    s.fillRectangle(kDark, {0, 31}, 62, 13, 6);    // rear tyre
    s.fillRectangle(kDark, {150, 32}, 58, 11, 5);  // front tyre
    s.fill(kShade, {{35, 37.5}, {172, 37.5}}, {0.2, 0.2});
    s.polyline(kOutline, {{35, 37.5}, {172, 37.5}}, true, {0.2, 0.2});
    s.fillRectangle(kWood, {62, 27}, 55, 21, 9);  // seat
    s.line(kOutline, {152, 8}, {152, 67});        // handlebar
    for (const double y : {2.0, 63.0}) s.fillRectangle(kDark, {148, y}, 8, 10, 3);
    s.arc(kAccent, {176, 37.5}, 7, 270, 90);  // headlight
}

void bicycle(Sketch& s) {
    s.defineBlock("Roda de bicicleta", {0, 0}, [&] {
        s.circle(kOutline, {0, 0}, 33);
        s.circle(kDetail, {0, 0}, 30);
        s.fillCircle(kDark, {0, 0}, 3);
        for (int a = 0; a < 180; a += 30)
            s.line(kDetail, polar({0, 0}, 30, a), polar({0, 0}, 30, a + 180));
    });
    s.insert("Roda de bicicleta", {0, 33});
    s.insert("Roda de bicicleta", {105, 33});
    s.polyline(kOutline, {{0, 33}, {40, 33}, {30, 78}, {85, 78}, {40, 33}}, false);
    s.line(kOutline, {85, 78}, {105, 33});
    s.line(kOutline, {30, 78}, {26, 88});
    s.fillRectangle(kDark, {16, 88}, 22, 5, 2);
    s.polyline(kOutline, {{85, 78}, {82, 96}, {94, 100}}, false);
}

}  // namespace

const std::vector<DemoCategory>& catalogue() {
    static const std::vector<DemoCategory> categories = {
        {0,
         {{"Cubo isométrico", cube},
          {"Cilindro isométrico", cylinder},
          {"Mesa isométrica", isoTable}}},
        {1,
         {{"Vaso com planta", plantPot},
          {"Luminária de piso", floorLamp},
          {"Tapete", rug},
          {"Quadro decorativo (vista)", picture}}},
        {2,
         {{"Bacia sanitária", toilet},
          {"Lavatório", washbasin},
          {"Box de chuveiro", shower},
          {"Banheira", bathtub}}},
        {3,
         {{"Pia de cozinha", kitchenSink},
          {"Fogão quatro bocas", stove},
          {"Geladeira", refrigerator},
          {"Mesa redonda com cadeiras", roundTableWithChairs}}},
        {4,
         {{"Rosa dos ventos", northArrow},
          {"Carimbo", titleBlock},
          {"Escala gráfica", graphicScale},
          {"Indicação de corte", sectionMark}}},
        {5,
         {{"Tomada baixa", outlet},
          {"Interruptor simples", lightSwitch},
          {"Ponto de luz no teto", ceilingLight},
          {"Quadro de distribuição", distributionBoard}}},
        {6,
         {{"Porta 80 cm", door},
          {"Janela 120 cm", window},
          {"Porta de correr 160 cm", slidingDoor}}},
        {7,
         {{"Poltrona Ipanema", armchairIpanema},
          {"Cuba Tóquio", sinkTokyo},
          {"Luminária Arco (vista)", arcLamp}}},
        {8,
         {{"Ralo sifonado", floorDrain},
          {"Registro de gaveta", gateValve},
          {"Caixa de inspeção", inspectionBox},
          {"Caixa de gordura", greaseTrap}}},
        {9,
         {{"Sofá três lugares", sofa},
          {"Cama de casal", doubleBed},
          {"Mesa de jantar seis lugares", diningTable},
          {"Poltrona", armchair},
          {"Guarda-roupa", wardrobe}}},
        {10,
         {{"Pessoa em planta", personPlan},
          {"Pessoa em pé (vista)", standingPerson},
          {"Casal em pé (vista)", couple}}},
        {11,
         {{"Banco de praça", parkBench},
          {"Poste de iluminação", streetLight},
          {"Lixeira", litterBin}}},
        {12, {{"Árvore", tree}, {"Arbusto", shrub}, {"Palmeira", palmTree}}},
        {13,
         {{"Carro de passeio", car}, {"Motocicleta", motorcycle}, {"Bicicleta (vista)", bicycle}}},
    };
    return categories;
}

}  // namespace demo
