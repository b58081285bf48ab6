// One payload value of an event, kept as text so that any number travels the same way.
#ifndef ZANDOREL_DATAITEM_H
#define ZANDOREL_DATAITEM_H

#include <string>

class DataItem final {
public:
    DataItem() = default;
    explicit DataItem(std::string value);
    explicit DataItem(long value);
    explicit DataItem(double value);

    std::string operator=(std::string value);
    long operator=(long value);
    double operator=(double value);

    std::string getStringVal() const;
    // Text that does not begin with a number, or a number that does not fit a long, reads as 0.
    long getLongVal() const;
    double getDoubleVal() const;

private:
    std::string value;
};

#endif
