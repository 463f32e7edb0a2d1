#include "view/ViewControl.h"

#include "analysis/Constants.h"
#include "model/AnalysisModel.h"

#include <algorithm>
#include <cmath>

namespace quav {

bool dragCamera(ViewCamera& camera, DisplayState& state, int x, int y, bool ctrl, bool shift) {
    const int dx = x - camera.lastX, dy = y - camera.lastY;
    bool changed = false;
    if (camera.leftDragging && ctrl) {
        camera.rotX += dy * 0.5f;
        camera.rotY += dx * 0.5f;
        changed = true;
    }
    if (camera.leftDragging && shift) {
        state.zoom = std::max(0.0f, state.zoom + dy * 0.005f);
        changed = true;
    }
    if (camera.rightDragging && ctrl) {
        camera.panX += dx * 0.005f;
        camera.panY -= dy * 0.005f;
        changed = true;
    }
    if (changed) {
        camera.lastX = x;
        camera.lastY = y;
    }
    return changed;
}

void fitView(ViewCamera& camera, DisplayState& state, const AnalysisModel* model) {
    if (!model)
        return;
    const double sx = std::fabs(model->size[0]), sy = std::fabs(model->size[1]);
    const double larger = sx > sy ? sx : sy;
    // A body without extent would make the scale infinite and the picture empty.
    if (larger > 0.0 && std::isfinite(larger))
        camera.viewScale = static_cast<float>(3.0 / larger);
    camera.rotX = camera.rotY = 0.0f;
    camera.panX = static_cast<float>(-camera.viewScale * model->centreOfGravity[0]);
    camera.panY = static_cast<float>(-camera.viewScale * model->centreOfGravity[1]);
    state.zoom = 1.0f;
}

void presentationTick(ViewCamera& camera) {
    camera.rotY += 1.0f;
}

void animationStep(DisplayState& state) {
    if (state.displayKind != DisplayKind::ModeShape &&
        state.displayKind != DisplayKind::DynamicResult)
        return;
    // A frame count of 0 would make the phase infinite for good.
    if (!(state.frameCount > 0.0) || !std::isfinite(state.frameCount))
        return;
    state.phase += kTwoPi / state.frameCount;
    const double cycles = state.phase * kHertzPerRadian;
    if (cycles >= 0.99 && cycles <= 1.01)
        state.phase = 0.0;
    const double scale =
        state.displayKind == DisplayKind::ModeShape ? state.modeScale : state.resultScale;
    state.amplitude = std::sin(state.phase) * scale;
}

bool animationKey(DisplayState& state, char key) {
    switch (key) {
    case 'S':
        state.animating = false;
        return true;
    case 'P':
        state.animating = true;
        return true;
    case 'D':
        state.animating = false;
        animationStep(state);
        return true;
    default:
        return false;
    }
}

int chooseHit(std::span<const std::uint32_t> buffer, int hits) {
    int result = kNothingPicked;
    std::uint32_t nearest = 0;
    std::size_t at = 0;
    for (int h = 0; h < hits; ++h) {
        if (at + 3 > buffer.size())
            break;
        const std::uint32_t names = buffer[at];
        const std::uint32_t minDepth = buffer[at + 1];
        if (names == 0 || names > buffer.size() - at - 3)
            break;
        const int name = static_cast<int>(buffer[at + 2 + names]);
        if (h == 0)
            nearest = minDepth;
        if (minDepth <= nearest)
            result = name;
        at += 3 + names;
    }
    return result;
}

namespace {

template <class Element> bool hasId(const std::vector<Element>& elements, int id) {
    return std::any_of(elements.begin(), elements.end(),
                       [id](const Element& e) { return e.id == id; });
}

} // namespace

bool applyPick(AnalysisModel& model, SelectionMode mode, int name) {
    // Only ids toggle: the selection codes -1 and -2 must never come from a click.
    if (name <= 0)
        return false;
    const bool all = mode == SelectionMode::All;
    bool changed = false;
    if ((mode == SelectionMode::Springs || all) && hasId(model.springs, name)) {
        model.setSpringSelection(name);
        changed = true;
    }
    if ((mode == SelectionMode::Loads || all) &&
        (hasId(model.staticLoads, name) || hasId(model.dynamicLoads, name))) {
        model.setLoadSelection(name);
        changed = true;
    }
    if ((mode == SelectionMode::ObservationPoints || all) && hasId(model.observationPoints, name)) {
        model.setObservationPointSelection(name);
        changed = true;
    }
    return changed;
}

} // namespace quav
