#include "Button.h"

#include "Event.h"
#include "EventManager.h"
#include "GraphicsSystem.h"

namespace {

constexpr int stateNormal = 0;
constexpr int stateHover = 1;
constexpr int statePressed = 2;
constexpr int framesPerStrip = 3;

} // namespace

Button::Button(GraphicsSystem* graphics, int id, const std::string& imageName, int x, int y)
    : Displayable(graphics), imageName(imageName), id(id), x(x), y(y) {
    const Image* strip = graphics->getImage(imageName);
    width = strip->width / framesPerStrip;
    height = strip->height;
}

Button::~Button() {
    graphics->freeImage(imageName, true);
}

void Button::paint() {
    const Rect frame{width * state, 0, width, height};
    const Rect destination{x, y, 0, 0};
    graphics->drawImage(imageName, frame, destination);
}

// Strict on all four sides: the outermost pixel rows and columns of a frame are its border
// and do not count as a hit.
bool Button::inside(long px, long py) const {
    return px > x && px < static_cast<long>(x) + width && py > y &&
           py < static_cast<long>(y) + height;
}

void Button::onEvent(Event& event) {
    const auto& data = event.data;
    switch (event.type) {
    case EVENT_MOUSE_DOWN:
        if (data.size() >= 3 && data[0].getLongVal() == MOUSE_LEFT &&
            inside(data[1].getLongVal(), data[2].getLongVal())) {
            state = statePressed;
        }
        break;
    case EVENT_MOUSE_MOTION:
        if (data.size() < 2) {
            break;
        }
        if (!inside(data[0].getLongVal(), data[1].getLongVal())) {
            // Leaving the button also abandons a press: releasing elsewhere must not fire.
            state = stateNormal;
        } else if (state != statePressed) {
            state = stateHover;
        }
        break;
    case EVENT_MOUSE_CLICKED:
        // The released button and the position go unchecked: only a left press enters the
        // pressed state, and dragging off has already cancelled it.
        if (state == statePressed) {
            state = stateHover;
            Event clicked(EVENT_BUTTON_CLICKED);
            clicked.data.emplace_back(static_cast<long>(id));
            EventManager::getInstance()->postEvent(clicked);
        }
        break;
    default:
        break;
    }
}
