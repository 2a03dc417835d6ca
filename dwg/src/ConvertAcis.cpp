// The bodies' ACIS data in the form each release keeps it: AutoCAD 2000 and
// earlier store SAT text only; from 2004 AutoCAD writes SAB binary.
#include <acis/Write.h>
#include <dwg/Convert.h>

#include "ConvertParts.h"

namespace dwg::detail {

std::vector<std::uint8_t> acisForVersion(const std::vector<std::uint8_t>& bytes, Version target) {
    const acis::Form form = target <= Version::R2000 ? acis::Form::Text : acis::Form::Binary;
    try {
        if (acis::formOf(bytes) == form) return bytes;
        return acis::inForm(bytes, form);
    } catch (const acis::Error& error) {
        throw ConvertError(std::string("dados ACIS que não podem ser convertidos: ") +
                           error.what());
    }
}

}  // namespace dwg::detail
