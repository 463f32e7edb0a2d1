#pragma once

// How the 3-D view answers the mouse, the keys and its timers, and how a pick
// selects: plain functions on the camera, the display state and the model, so
// the rules are tested without a window.

#include "view/DisplayState.h"
#include "view/Scene.h"

#include <cstdint>
#include <span>

namespace quav {

class AnalysisModel;

/// The pick result of a click that hit nothing: no object has this id, and it is
/// neither 0 (the axes and the ground) nor a selection code (-1, -2), so it
/// selects nothing and the result texts show their header without object blocks.
inline constexpr int kNothingPicked = -3;

/// Mouse move to (x, y) with the Ctrl and Shift states: Ctrl-left-drag turns,
/// Shift-left-drag zooms (never below 0), Ctrl-right-drag pans. Returns true when
/// the view changed (and must be redrawn); the last position then moves to (x, y).
bool dragCamera(ViewCamera& camera, DisplayState& state, int x, int y, bool ctrl, bool shift);

/// Fit: the mass element fills the view, straight on, at zoom 1. Nothing happens
/// without a model. A mass element of size 0 in x and y keeps the current scale.
void fitView(ViewCamera& camera, DisplayState& state, const AnalysisModel* model);

/// One tick of the presentation turn: 1 degree about the vertical axis.
void presentationTick(ViewCamera& camera);

/// One step of the mode or response animation; other displays do not change.
void animationStep(DisplayState& state);

/// The animation keys S (stop), P (play) and D (one frame); `key` is the upper-case
/// letter. Returns true when the key was one of them (the view is then redrawn).
bool animationKey(DisplayState& state, char key);

/// The picked name from a selection buffer holding `hits` records (number of
/// names, minimum depth, maximum depth, names): the last record at least as near
/// as the first. No hit, or an overflowed buffer (hits < 0), gives kNothingPicked.
int chooseHit(std::span<const std::uint32_t> buffer, int hits);

/// Toggles the selection of the object named `name` among the kinds `mode`
/// selects. The mass element, the axes and the ground are never selected.
/// Returns true when a selection flag changed.
bool applyPick(AnalysisModel& model, SelectionMode mode, int name);

} // namespace quav
