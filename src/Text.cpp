#include "Text.h"

namespace text {

// The magnitude is held unsigned, so that the smallest long long fits it, and stops growing
// once past the limit, so that no run of digits can overflow it.
bool wholeNumber(const char* first, const char* last, long long lowest, long long highest,
                 long long& value) {
    const bool negative = first != last && *first == '-';
    if (first != last && (*first == '+' || *first == '-')) {
        ++first;
    }
    if (first == last || !isDigit(*first)) {
        return false;
    }
    const unsigned long long limit = negative ? 0ULL - static_cast<unsigned long long>(lowest)
                                              : static_cast<unsigned long long>(highest);
    unsigned long long magnitude = 0;
    for (; first != last && isDigit(*first); ++first) {
        const auto digit = static_cast<unsigned long long>(*first - '0');
        if (digit > limit || magnitude > (limit - digit) / 10) {
            return false;
        }
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? static_cast<long long>(0ULL - magnitude) : static_cast<long long>(magnitude);
    return true;
}

} // namespace text
