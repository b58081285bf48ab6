// The one interface through which the event manager reaches every receiver.
#ifndef ZANDOREL_IEVENTLISTENER_H
#define ZANDOREL_IEVENTLISTENER_H

class Event;

// Deliberately no virtual destructor: listeners are always deleted through their own class,
// never through this interface.
class IEventListener {
public:
    virtual void onEvent(Event& event) = 0;

protected:
    IEventListener() = default;
    ~IEventListener() = default;
};

#endif
