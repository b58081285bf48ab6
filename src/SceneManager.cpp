#include "SceneManager.h"

#include "Displayable.h"

#include <algorithm>

void SceneManager::addWidget(Displayable* widget) {
    widgets.push_back(widget);
}

void SceneManager::removeWidget(Displayable* widget) {
    auto found = std::find(widgets.begin(), widgets.end(), widget);
    if (found != widgets.end()) {
        widgets.erase(found);
    }
}

// Z-orders are read anew every frame. Insertion sort is stable (equal z-orders keep the order
// of adding), needs no scratch memory of its own, and the scene holds about a dozen widgets.
void SceneManager::paint() {
    if (widgets.empty()) {
        return;
    }
    paintOrder.assign(widgets.begin(), widgets.end());
    for (std::size_t i = 1; i < paintOrder.size(); ++i) {
        Displayable* widget = paintOrder[i];
        const int z = widget->getZOrder();
        std::size_t j = i;
        while (j > 0 && paintOrder[j - 1]->getZOrder() > z) {
            paintOrder[j] = paintOrder[j - 1];
            --j;
        }
        paintOrder[j] = widget;
    }
    for (Displayable* widget : paintOrder) {
        widget->paint();
    }
}
