#include "DataItem.h"

#include <charconv>
#include <sstream>

namespace {

// Whole numbers travel in every event, several times a frame, so they are converted without
// building a stream each time; the results are exactly the stream's: the text a stream with
// default settings writes, and the number a stream extracts.
std::string longToText(long number) {
    char digits[24]; // a sign and the 19 digits of the widest long
    char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    return std::string(digits, end);
}

// The white space a stream skips before a number.
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(const char* at, const char* end) {
    return at != end && *at >= '0' && *at <= '9';
}

// White space, an optional sign, then digits up to the first other character. Without a digit
// right after the sign, or beyond the range of a long, the extraction fails and reads as 0.
long textToLong(const std::string& text) {
    const char* first = text.data();
    const char* const last = first + text.size();
    while (first != last && isSpace(*first)) {
        ++first;
    }
    const char* digits = first;
    if (first != last && (*first == '+' || *first == '-')) {
        ++digits;
    }
    if (!isDigit(digits, last)) {
        return 0;
    }
    if (*first == '+') {
        first = digits; // the conversion below takes a minus sign but not a plus
    }
    long number = 0;
    return std::from_chars(first, last, number).ec == std::errc() ? number : 0;
}

template <typename Number> std::string toText(Number number) {
    std::stringstream stream;
    stream << number;
    std::string text;
    stream >> text;
    return text;
}

template <typename Number> Number fromText(const std::string& text) {
    std::stringstream stream;
    stream << text;
    Number number = 0;
    if (!(stream >> number)) {
        return 0;
    }
    return number;
}

} // namespace

DataItem::DataItem(std::string value) : value(std::move(value)) {}

DataItem::DataItem(long value) : value(longToText(value)) {}

DataItem::DataItem(double value) : value(toText(value)) {}

std::string DataItem::operator=(std::string newValue) {
    value = std::move(newValue);
    return value;
}

long DataItem::operator=(long newValue) {
    value = longToText(newValue);
    return newValue;
}

double DataItem::operator=(double newValue) {
    value = toText(newValue);
    return newValue;
}

std::string DataItem::getStringVal() const {
    return value;
}

long DataItem::getLongVal() const {
    return textToLong(value);
}

double DataItem::getDoubleVal() const {
    return fromText<double>(value);
}
