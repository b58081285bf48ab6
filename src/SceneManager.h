// The widgets on screen, painted every frame lowest z-order first.
#ifndef ZANDOREL_SCENEMANAGER_H
#define ZANDOREL_SCENEMANAGER_H

#include <vector>

class Displayable;

class SceneManager final {
public:
    SceneManager() = default;
    ~SceneManager() = default; // widgets are borrowed and left alive

    // No duplicate check: a widget added twice is painted twice.
    void addWidget(Displayable* widget);
    // Removes the first entry only. REQUIRES: owners remove a widget before deleting it.
    void removeWidget(Displayable* widget);
    void paint();

    SceneManager(const SceneManager&) = delete;
    SceneManager& operator=(const SceneManager&) = delete;

private:
    std::vector<Displayable*> widgets;    // borrowed, in order of adding
    std::vector<Displayable*> paintOrder; // scratch kept between frames so painting never allocates
};

#endif
