// A clickable picture with normal, hover and pressed frames side by side in one strip. It
// fires only for a left press that is released before the pointer leaves it.
#ifndef ZANDOREL_BUTTON_H
#define ZANDOREL_BUTTON_H

#include "Displayable.h"
#include "IEventListener.h"

#include <string>

class Button final : public Displayable, public IEventListener {
public:
    // The frame size is measured once here; a strip that fails to load gives a 0 x 0 button
    // that nothing can be inside of.
    Button(GraphicsSystem* graphics, int id, const std::string& imageName, int x, int y);
    ~Button();

    void paint() override;
    void onEvent(Event& event) override;

private:
    bool inside(long px, long py) const;

    std::string imageName;
    int state = 0; // 0 normal, 1 hover, 2 pressed
    int id;
    int x;
    int y;
    int width = 0;
    int height = 0;
};

#endif
