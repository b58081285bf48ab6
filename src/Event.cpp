#include "Event.h"

#include <utility>

Event::Event(int type) : type(type) {}

Event::Event(int type, std::vector<DataItem> data) : type(type), data(std::move(data)) {}
