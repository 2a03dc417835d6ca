// libFuzzer target: a save file written in the other form, and scaled, from
// any bytes. The writer either refuses them with acis::Error or writes a file
// that reads again, in either form, with the same model where one decodes.
#include <acis/Model.h>
#include <acis/Write.h>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

std::size_t faces(std::span<const std::uint8_t> bytes, bool& decoded) {
    try {
        const acis::Model model = acis::decode(bytes);
        decoded = true;
        return model.faces.size();
    } catch (const acis::Error&) {
        decoded = false;
        return 0;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    bool decoded = false;
    const std::size_t before = faces(bytes, decoded);
    for (acis::Form form : {acis::Form::Text, acis::Form::Binary}) {
        // A file already in that form comes back as it is: only what we write is judged.
        if (size > 0 && acis::formOf(bytes) == form) continue;
        std::vector<std::uint8_t> written;
        try {
            written = acis::inForm(bytes, form);
        } catch (const acis::Error&) {
            continue;
        }
        if (acis::formOf(written) != form) finding("written in the wrong form");
        try {
            acis::inForm(written, form == acis::Form::Text ? acis::Form::Binary : acis::Form::Text);
        } catch (const acis::Error&) {
            // SAT that other writers typed loosely may not go to SAB; ours must read.
            if (form == acis::Form::Binary) finding("written SAB does not read again");
        }
        bool again = false;
        if (decoded && (faces(written, again) != before || !again))
            finding("written file decodes to another model");
    }
    try {
        const std::vector<std::uint8_t> grown = acis::scaled(bytes, 2.5);
        bool again = false;
        if (decoded && (faces(grown, again) != before || !again))
            finding("scaled file decodes otherwise");
    } catch (const acis::Error&) {
    }
    return 0;
}
