#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora::settings {

bool isValidUTF8(std::string_view text);

// Number of characters in well-formed UTF-8 (each stray byte counts as one).
size_t countCharacters(std::string_view text);

// The last `count` characters of `text` (a stray byte counting as one).
std::string_view lastCharacters(std::string_view text, size_t count);

// The first `count` characters of `text` as a reader counts them, Unicode's extended grapheme
// clusters: a letter with its marks and vowel signs, a Hangul syllable written in jamo, an emoji
// sequence, a flag or a keycap is one character; a stray byte counts as one. The cut never
// splits a UTF-8 sequence.
std::string_view firstCharacters(std::string_view text, size_t count);

// `text` without the white space and line breaks (Unicode's White_Space characters: space
// separators, tab, line feed to carriage return, next line, line and paragraph separators) at
// either end.
std::string_view trimWhitespaceAndNewlines(std::string_view text);

// At most `maximumCharacters` characters of `text`, safe to show in a message: invalid bytes
// and control characters become U+FFFD, and "…" marks a cut.
std::string displayExcerpt(std::string_view text, size_t maximumCharacters);

// `text` as a settings key: each byte outside well-formed UTF-8 written as "\xHH" and each
// backslash as "\\", so distinct byte strings stay distinct keys and the file can always be saved.
std::string escapedKey(std::string_view text);

// `text` as a name to store and show: each byte outside well-formed UTF-8 becomes U+FFFD.
std::string replacingInvalidUTF8(std::string_view text);

}  // namespace velmora::settings
