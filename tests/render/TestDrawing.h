// Drawings made in code for the builder tests: layer "0", model space, and
// helpers to add layers, blocks and entities.
#pragma once

#include <dwg/Drawing.h>

#include <string>

namespace testsupport {

class TestDrawing {
  public:
    static constexpr dwg::Handle kLayerZero = 0x10;
    static constexpr dwg::Handle kModel = 0x1F;

    TestDrawing() {
        layer("0", kLayerZero, 7);
        dwg::Block model;
        model.handle = kModel;
        model.name = "*Model_Space";
        model.modelSpace = true;
        drawing.blocks.push_back(model);
        drawing.header.modelSpaceBlock = kModel;
    }

    dwg::Layer& layer(const std::string& name, dwg::Handle handle, int colourIndex) {
        dwg::Layer l;
        l.name = name;
        l.handle = handle;
        l.color = dwg::Color::fromIndex(colourIndex);
        drawing.layers.push_back(l);
        return drawing.layers.back();
    }

    dwg::Block& block(const std::string& name, dwg::Handle handle) {
        dwg::Block b;
        b.name = name;
        b.handle = handle;
        drawing.blocks.push_back(b);
        return drawing.blocks.back();
    }

    dwg::Block& model() { return *find(kModel); }
    dwg::Block* find(dwg::Handle handle) {
        for (dwg::Block& b : drawing.blocks)
            if (b.handle == handle) return &b;
        return nullptr;
    }

    // Adds to the block with `owner`; returns the entity for further settings.
    dwg::Entity& add(dwg::Handle owner, const std::string& type, dwg::EntityData data,
                     dwg::Handle layerHandle = kLayerZero, dwg::Color colour = dwg::Color{}) {
        dwg::Entity e;
        e.typeName = type;
        e.header.handle = nextHandle_++;
        e.header.owner = owner;
        e.header.layer = layerHandle;
        e.header.color = colour;
        e.data = std::move(data);
        find(owner)->entities.push_back(std::move(e));
        return find(owner)->entities.back();
    }

    static dwg::Line line(double x0, double y0, double x1, double y1) {
        dwg::Line l;
        l.start = {x0, y0, 0};
        l.end = {x1, y1, 0};
        return l;
    }
    static dwg::Insert insert(dwg::Handle block, dwg::Point3 at, double rotation = 0,
                              dwg::Point3 scale = {1, 1, 1}) {
        dwg::Insert i;
        i.block = block;
        i.insertion = at;
        i.rotation = rotation;
        i.scale = scale;
        return i;
    }

    dwg::Drawing drawing;

  private:
    dwg::Handle nextHandle_ = 0x1000;
};

}  // namespace testsupport
