// What each record kind holds, as far as SAT's words need telling apart when
// they go to SAB: which numbers are integers, doubles, positions or vectors,
// and which words are flags. Seen in the save files of AutoCAD's releases
// (versions 106 to 22300) and the format's public description.
//
// A pattern is a list of fields: '$' pointer, 'L' integer, 'D' double, 'P'
// position, 'V' vector, 'T' text, 'f' flag (its words in the kind's list,
// in order), 'i' interval end ("I" unbounded, or "F" and a double); '?' after
// a field makes it optional, '*' repeats it while the values fit; after '|'
// fields may be missing at the end of the record; 'g' takes the rest by its
// look: whole numbers as integers, others as doubles, words as texts; 'B' is
// a sub-record ({ ... }, spline data) taken by its look as SAT is written
// here: whole numbers as integers, others as doubles, "I" as a flag unset,
// "F" and "T" as a flag set, other words as class names.
#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "WriteTokens.h"

namespace acis::detail {
namespace {

struct Schema {
    std::string_view name;
    int fromVersion;  // the first version it holds for
    std::string_view pattern;
    std::array<FlagWords, 3> flags;  // the 'f' fields' words, in order
};

constexpr FlagWords kSense{"forward", "reversed"};
constexpr FlagWords kSides{"single", "double"};
constexpr FlagWords kContainment{"out", "in"};
constexpr FlagWords kSurfaceSense{"forward_v", "reverse_v"};
constexpr FlagWords kInterval{"I", "F"};
constexpr FlagWords kRotate{"no_rotate", "rotate"};
constexpr FlagWords kReflect{"no_reflect", "reflect"};
constexpr FlagWords kShear{"no_shear", "shear"};

// Later versions first: the first schema whose version the file reaches and
// whose fields the record fits holds.
const Schema kSchemas[] = {
    {"asmheader", 700, "$LT", {}},
    {"body", 700, "$L$*", {}},
    {"lump", 700, "$L$*", {}},
    {"shell", 700, "$L$*", {}},
    {"subshell", 700, "$L$*", {}},
    {"wire", 700, "$L$*", {}},
    {"loop", 700, "$L$*", {}},
    {"face", 700, "$L$$$$$$ff|f", {kSense, kSides, kContainment}},
    {"coedge", 700, "$L$$$$$f$L?$", {kSense}},
    {"tcoedge-coedge", 700, "$L$$$$$f$L?$DD$", {kSense}},
    // Newer writers add a number and the curve's kind (null_curve).
    {"tcoedge-coedge", 700, "$L$$$$$f$L?$DD$g", {kSense}},
    {"edge", 700, "$L$$D$D$$fT", {kSense}},
    {"tedge-edge", 700, "$L$$D$D$$fTDL", {kSense}},
    {"vertex", 700, "$L$$L?$", {}},
    {"tvertex-vertex", 700, "$L$$L?$g", {}},
    {"point", 700, "$L$P", {}},
    {"transform", 700, "$LVVVVDfff", {kRotate, kReflect, kShear}},
    {"straight-curve", 700, "$L$PVii", {}},
    {"ellipse-curve", 700, "$L$PVVDii", {}},
    {"plane-surface", 700, "$L$PVVfiiii", {kSurfaceSense}},
    {"cone-surface", 700, "$L$PVVDiiDDDfiiii", {kSense}},
    {"sphere-surface", 700, "$L$PDVVfiiii", {kSurfaceSense}},
    {"torus-surface", 700, "$L$PVDDVfiiii", {kSurfaceSense}},
    {"persubent-acadSolidHistory-attrib", 700, "$L$$$L*", {}},
    {"fmesh-eye-attrib", 700, "$L$*", {}},
    {"ptlist-eye-attrib", 700, "$L$*", {}},
    {"ref_vt-eye-attrib", 700, "$L$*", {}},
    {"vertex_template", 700, "$LL*", {}},
    {"eye_refinement", 700, "$Lg", {}},
    {"intcurve-curve", 700, "$L$fBii", {kSense}},
    {"pcurve", 700, "$L$LfBDD", {kSense}},
    // A curve in a surface's parameters taken from another curve: that
    // curve's pointer instead of its data.
    {"pcurve", 700, "$L$L$DD", {}},
    {"spline-surface", 700, "$L$fBiiii", {kSense}},

    {"body", 0, "$*", {}},
    {"lump", 0, "$*", {}},
    {"shell", 0, "$*", {}},
    {"subshell", 0, "$*", {}},
    {"wire", 0, "$*", {}},
    {"loop", 0, "$*", {}},
    {"face", 0, "$$$$$$ff|f", {kSense, kSides, kContainment}},
    {"coedge", 0, "$$$$$f$|$", {kSense}},
    {"edge", 0, "$$$$$f", {kSense}},
    {"vertex", 0, "$*", {}},
    {"point", 0, "$P", {}},
    {"transform", 0, "$VVVVDfff", {kRotate, kReflect, kShear}},
    {"straight-curve", 0, "$PV|ii", {}},
    {"ellipse-curve", 0, "$PVVD|ii", {}},
    {"plane-surface", 0, "$PVVf|iiii", {kSurfaceSense}},
    {"cone-surface", 0, "$PVVDiiDDD?f|iiii", {kSense}},
    {"sphere-surface", 0, "$PDVVf|iiii", {kSurfaceSense}},
    {"torus-surface", 0, "$PVDDVf|iiii", {kSurfaceSense}},
    {"persubent-acadSolidHistory-attrib", 0, "$$$$L*", {}},
};

// Kinds not described here (attributes of other programs...) are taken by
// their values' look.
constexpr Schema kByLook{"", 0, "g", {}};


// A number written without a point or exponent.
bool isWhole(const Token& t) {
    return t.text.find_first_of(".eE") == std::string::npos &&
           static_cast<double>(t.integer) == t.real[0];
}

class Typer {
  public:
    Typer(const TokenRecord& record, const Schema& schema)
        : name_(record.name), in_(record.values), schema_(schema) {}

    std::vector<Token> run() {
        const std::string_view p = schema_.pattern;
        bool optionalTail = false;
        for (std::size_t i = 0; i < p.size(); ++i) {
            const char code = p[i];
            if (code == '|') {
                optionalTail = true;
                continue;
            }
            if (code == 'g') {
                while (at_ < in_.size()) generic();
                break;
            }
            if (code == 'B') {
                subRecord();
                continue;
            }
            const bool optional = i + 1 < p.size() && p[i + 1] == '?';
            const bool repeated = i + 1 < p.size() && p[i + 1] == '*';
            if (optional || repeated) ++i;
            if (repeated) {
                while (at_ < in_.size() && field(code)) {
                }
                continue;
            }
            if (at_ >= in_.size() && optionalTail) break;
            if (!field(code) && !optional) fail();
        }
        if (at_ != in_.size()) fail();
        return std::move(out_);
    }

  private:
    [[noreturn]] void fail() const {
        throw Error("dados ACIS: registro " + name_ + " fora do formato conhecido");
    }
    const Token* next(std::size_t ahead = 0) const {
        return at_ + ahead < in_.size() ? &in_[at_ + ahead] : nullptr;
    }
    bool isNumber(std::size_t ahead = 0) const {
        const Token* t = next(ahead);
        return t && t->kind == Token::Kind::Number;
    }
    bool isWord(std::string_view word) const {
        const Token* t = next();
        return t && t->kind == Token::Kind::Word && t->text == word;
    }

    // Types one field; false, taking nothing, when the values there do not fit.
    bool field(char code) {
        const Token* t = next();
        if (!t) return false;
        switch (code) {
            case '$':
                if (t->kind != Token::Kind::Pointer) return false;
                out_.push_back(*t);
                ++at_;
                return true;
            case 'L':
                if (!isNumber() || !isWhole(*t)) return false;
                out_.push_back(integer(*t));
                ++at_;
                return true;
            case 'D':
                if (!isNumber()) return false;
                out_.push_back(Token::number(Token::Kind::Double, t->real[0]));
                ++at_;
                return true;
            case 'P':
            case 'V':
                if (!isNumber() || !isNumber(1) || !isNumber(2)) return false;
                out_.push_back(
                    Token::triple(code == 'P' ? Token::Kind::Position : Token::Kind::Vector,
                                  t->real[0], next(1)->real[0], next(2)->real[0]));
                at_ += 3;
                return true;
            case 'T': {
                if (t->kind != Token::Kind::Text && t->kind != Token::Kind::Word) return false;
                Token text = *t;
                text.kind = Token::Kind::Text;
                out_.push_back(std::move(text));
                ++at_;
                return true;
            }
            case 'f':
                return flag();
            case 'i':
                if (isWord("I")) {
                    out_.push_back(Token::flag(false));
                    ++at_;
                    return true;
                }
                if (isWord("F") && isNumber(1)) {
                    out_.push_back(Token::flag(true));
                    out_.push_back(Token::number(Token::Kind::Double, next(1)->real[0]));
                    at_ += 2;
                    return true;
                }
                return false;
        }
        return false;
    }

    bool flag() {
        const Token* t = next();
        const std::size_t ordinal = flagsSeen_;
        if (ordinal >= schema_.flags.size() || schema_.flags[ordinal].no.empty()) return false;
        const FlagWords& words = schema_.flags[ordinal];
        bool yes = false;
        if (t->kind == Token::Kind::Word && (t->text == words.no || t->text == words.yes)) {
            yes = t->text == words.yes;
        } else if (t->kind == Token::Kind::Number && (t->real[0] == 0 || t->real[0] == 1)) {
            // The first versions write flags as 0 and 1.
            yes = t->real[0] == 1;
        } else {
            return false;
        }
        out_.push_back(Token::flag(yes));
        ++flagsSeen_;
        ++at_;
        return true;
    }

    void generic() {
        const Token& t = in_[at_];
        if (t.kind == Token::Kind::Open) {
            subRecord();
            return;
        }
        ++at_;
        if (t.kind == Token::Kind::Number) {
            out_.push_back(isWhole(t) ? integer(t) : Token::number(Token::Kind::Double, t.real[0]));
        } else if (t.kind == Token::Kind::Word &&
                   (t.text == "I" || t.text == "F" || t.text == "T")) {
            out_.push_back(Token::flag(t.text != "I"));
        } else if (t.kind == Token::Kind::Word) {
            Token text = t;
            text.kind = Token::Kind::Text;
            out_.push_back(std::move(text));
        } else if (t.kind == Token::Kind::Close) {
            fail();
        } else {
            out_.push_back(t);
        }
    }

    void subRecord() {
        const Token* open = next();
        if (!open || open->kind != Token::Kind::Open) fail();
        int depth = 0;
        do {
            if (at_ >= in_.size()) fail();
            const Token& t = in_[at_++];
            switch (t.kind) {
                case Token::Kind::Open:
                    ++depth;
                    out_.push_back(t);
                    break;
                case Token::Kind::Close:
                    --depth;
                    out_.push_back(t);
                    break;
                case Token::Kind::Number:
                    out_.push_back(isWhole(t) ? integer(t)
                                              : Token::number(Token::Kind::Double, t.real[0]));
                    break;
                case Token::Kind::Word:
                    if (t.text == "I" || t.text == "F" || t.text == "T") {
                        out_.push_back(Token::flag(t.text != "I"));
                    } else {
                        Token ident = t;
                        ident.kind = Token::Kind::Ident;
                        out_.push_back(std::move(ident));
                    }
                    break;
                default:
                    out_.push_back(t);
            }
        } while (depth > 0);
    }

    static Token integer(const Token& t) {
        Token out;
        out.integer = t.integer;
        out.kind = out.integer >= INT32_MIN && out.integer <= INT32_MAX ? Token::Kind::Long
                                                                        : Token::Kind::LongLong;
        return out;
    }

    const std::string& name_;
    const std::vector<Token>& in_;
    const Schema& schema_;
    std::vector<Token> out_;
    std::size_t at_ = 0;
    std::size_t flagsSeen_ = 0;
};

std::vector<Token> typed(const TokenRecord& record, int version) {
    const Schema* tried = nullptr;
    for (const Schema& schema : kSchemas) {
        if (schema.name != record.name || version < schema.fromVersion) continue;
        if (tried && tried->fromVersion != schema.fromVersion) break;
        tried = &schema;
        try {
            return Typer(record, schema).run();
        } catch (const Error&) {
            // Another form of the same kind may follow.
        }
    }
    return Typer(record, tried ? *tried : kByLook).run();
}

}  // namespace

void typeTextRecords(TokenFile& file) {
    for (TokenRecord& record : file.records) record.values = typed(record, file.version);
}

const FlagWords* flagWords(std::string_view recordName, std::size_t ordinal) {
    const auto schema = std::find_if(std::begin(kSchemas), std::end(kSchemas),
                                     [&](const Schema& s) { return s.name == recordName; });
    if (schema == std::end(kSchemas)) return nullptr;
    std::size_t seen = 0, named = 0;
    for (char code : schema->pattern) {
        if (code != 'f' && code != 'i') continue;
        if (seen++ == ordinal) {
            if (code == 'i') return &kInterval;
            return named < schema->flags.size() && !schema->flags[named].no.empty()
                       ? &schema->flags[named]
                       : nullptr;
        }
        if (code == 'f') ++named;
    }
    return nullptr;
}

}  // namespace acis::detail
