// The group-code stream of a DXF text file: a code line and a value line per
// group, each ended by CR LF as AutoCAD writes them.
#pragma once

#include <dwg/Drawing.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace dwg::detail {

class TextEncoder;

// A value cannot hold a line break: control characters are written as ^ and
// a letter (^J for a line feed), and a caret itself as "^ ".
std::string caretEscaped(std::string_view value);

class DxfOutput {
  public:
    // `codePage`: the encoding of a file before AC1021; null for the later
    // ones, which keep text in UTF-8.
    explicit DxfOutput(const TextEncoder* codePage) : codePage_(codePage) {}

    // Text given in UTF-8, written in the file's encoding, caret-escaped.
    void text(int code, std::string_view utf8);
    // Text known to be ASCII without control characters (names of the format).
    void ascii(int code, std::string_view value);
    // Throws WriteError for a value that is not finite.
    void real(int code, double value);
    void angle(int code, double radians) { real(code, radians * kDegreesPerRadian); }
    void integer(int code, std::int64_t value);
    void handle(int code, Handle value);
    // x, y, z under code, code + 10, code + 20.
    void point(int code, const Point3& p);
    void point(int code, const Point2& p);
    void point(int code, const Point2& p, double z) { point(code, Point3{p.x, p.y, z}); }
    // The extrusion (210) where it is not the default.
    void extrusion(const Point3& normal, int code = 210);
    // Bytes as hexadecimal, in lines of at most 127 bytes.
    void binary(int code, std::span<const std::uint8_t> bytes);
    // A long text split as MTEXT stores it: chunks of 250 characters under
    // `moreCode`, the last under `lastCode`.
    void longText(int lastCode, int moreCode, std::string_view utf8);

    // Starts an entity or object: "0 TYPE", its handle, the objects it
    // reports to (ACAD_REACTORS) and its owner.
    void begin(std::string_view type, Handle handle, Handle owner,
               std::initializer_list<Handle> reactors = {}, int handleCode = 5) {
        begin(type, handle, owner, std::span<const Handle>(reactors.begin(), reactors.size()),
              handleCode);
    }
    void begin(std::string_view type, Handle handle, Handle owner, std::span<const Handle> reactors,
               int handleCode = 5);

    // How many of each type begin() started.
    const std::map<std::string, int, std::less<>>& typeCounts() const { return counts_; }
    std::size_t size() const { return out_.size(); }
    std::string take() { return std::move(out_); }
    void append(const std::string& more) { out_ += more; }

    static constexpr double kDegreesPerRadian = 57.29577951308232;

  private:
    void codeLine(int code);
    std::string encoded(std::string_view utf8) const;

    const TextEncoder* codePage_;
    std::string out_;
    std::map<std::string, int, std::less<>> counts_;
};

}  // namespace dwg::detail
