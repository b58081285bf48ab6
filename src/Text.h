// What the game's readers take for white space, for a whole number and for the mark some
// editors save ahead of a text file: one rule for the level, time and table files and for the
// numbers that events carry, so that no file reads one way here and another way there.
#ifndef ZANDOREL_TEXT_H
#define ZANDOREL_TEXT_H

namespace text {

// The white space a standard stream skips before a number, in the "C" locale the game runs in.
constexpr bool isSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

// The UTF-8 byte-order mark.
constexpr char byteOrderMark[] = "\xEF\xBB\xBF";

// The whole number at the start of [first, last), as a standard stream extracts one once past
// the white space: an optional sign, then decimal digits up to the first other character,
// which is not looked at. False, and value untouched, without a digit right after the sign or
// for a number beyond [lowest, highest].
// REQUIRES: lowest <= 0 <= highest.
bool wholeNumber(const char* first, const char* last, long long lowest, long long highest,
                 long long& value);

} // namespace text

#endif
