#include "DataItem.h"

#include "Text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Whole numbers travel in every event, several times a frame, so they are converted without
// building a stream each time; the results are exactly the stream's: the text a stream with
// default settings writes, and the number a stream extracts.
std::string longToText(long number) {
    char digits[24]; // a sign and the 19 digits of the widest long
    char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    return std::string(digits, end);
}

// A stream's extraction, which reads as 0 where it fails.
long textToLong(const std::string& value) {
    const char* first = value.data();
    const char* const last = first + value.size();
    while (first != last && text::isSpace(*first)) {
        ++first;
    }
    long long number = 0;
    return text::wholeNumber(first, last, LONG_MIN, LONG_MAX, number) ? static_cast<long>(number)
                                                                      : 0;
}

// What a stream with default settings writes: six significant digits, %g's form.
std::string doubleToText(double number) {
    char digits[32];
    const int length = std::snprintf(digits, sizeof digits, "%g", number);
    return std::string(digits, static_cast<std::size_t>(length > 0 ? length : 0));
}

// What a stream extracts: the longest run of a sign, digits, a point and an exponent that
// reads as a number; "inf", "nan" and hexadecimal are not numbers to it, nor is an exponent
// without digits, and a number too large for a double fails. Failing reads as 0.
double textToDouble(const std::string& text) {
    const char* at = text.c_str();
    while (text::isSpace(*at)) {
        ++at;
    }
    const char* const first = at;
    if (*at == '+' || *at == '-') {
        ++at;
    }
    const char* const mantissa = at;
    while (*at >= '0' && *at <= '9') {
        ++at;
    }
    bool digits = at != mantissa;
    if (*at == '.') {
        for (++at; *at >= '0' && *at <= '9'; ++at) {
            digits = true;
        }
    }
    if (!digits) {
        return 0;
    }
    if (*at == 'e' || *at == 'E') {
        ++at;
        if (*at == '+' || *at == '-') {
            ++at;
        }
        if (!(*at >= '0' && *at <= '9')) {
            return 0;
        }
        while (*at >= '0' && *at <= '9') {
            ++at;
        }
    }
    const std::string number(first, at);
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isinf(value) ? 0 : value;
}

} // namespace

DataItem::DataItem(std::string value) : value(std::move(value)) {}

DataItem::DataItem(long value) : value(longToText(value)) {}

DataItem::DataItem(double value) : value(doubleToText(value)) {}

std::string DataItem::operator=(std::string newValue) {
    value = std::move(newValue);
    return value;
}

long DataItem::operator=(long newValue) {
    value = longToText(newValue);
    return newValue;
}

double DataItem::operator=(double newValue) {
    value = doubleToText(newValue);
    return newValue;
}

std::string DataItem::getStringVal() const {
    return value;
}

long DataItem::getLongVal() const {
    return textToLong(value);
}

double DataItem::getDoubleVal() const {
    return textToDouble(value);
}
