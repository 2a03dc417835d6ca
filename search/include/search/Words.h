// The words of a text as the search compares them: split at everything that is
// neither letter nor digit, letters in lower case and without their accents, so
// that "Mobília" and "mobilia", "AÇÃO" and "acao" are the same word.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace search {

// The text folded: Latin letters lower case without accents ("ç" becomes "c",
// "æ" becomes "ae", "ß" "ss"), ordinal signs and superscript digits as their
// letter or digit, every other character that is not a letter or digit a blank.
// Letters of other scripts are kept as they are. Text that is not valid UTF-8
// loses only its invalid bytes.
std::string fold(std::string_view utf8);

// The folded words of a text, in order.
std::vector<std::string> words(std::string_view utf8);

// The words a text is found by: its folded words and, for words that join
// letters and digits or lower-case and capital letters ("Cuba01",
// "CadeiraEscritorio"), each of their parts too, so that "cuba" finds "Cuba01".
std::vector<std::string> indexWords(std::string_view utf8);

// MTEXT without its formatting codes (\P, \f…;, {…}, \S…^…; and the like) and
// TEXT without its %% codes: the words a reader of the drawing sees.
std::string plainText(std::string_view text);

}  // namespace search
