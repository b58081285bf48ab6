#include "DataItem.h"

#include <sstream>

namespace {

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

DataItem::DataItem(long value) : value(toText(value)) {}

DataItem::DataItem(double value) : value(toText(value)) {}

std::string DataItem::operator=(std::string newValue) {
    value = std::move(newValue);
    return value;
}

long DataItem::operator=(long newValue) {
    value = toText(newValue);
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
    return fromText<long>(value);
}

double DataItem::getDoubleVal() const {
    return fromText<double>(value);
}
