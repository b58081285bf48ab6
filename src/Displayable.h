// Base of everything drawn on screen: a stacking number and the graphics system to draw with.
#ifndef ZANDOREL_DISPLAYABLE_H
#define ZANDOREL_DISPLAYABLE_H

class GraphicsSystem;

// Deliberately no virtual destructor: owners delete each widget through its own class.
class Displayable {
public:
    explicit Displayable(GraphicsSystem* graphics) : graphics(graphics) {}

    virtual void paint() {}

    void setZOrder(int z) { zOrder = z; }
    int getZOrder() const { return zOrder; }

    Displayable(const Displayable&) = delete;
    Displayable& operator=(const Displayable&) = delete;

protected:
    ~Displayable() = default;

    int zOrder = 0;
    GraphicsSystem* graphics; // borrowed: must outlive the widget
};

#endif
