#pragma once

// How the 3-D view answers the mouse, the keys and its timers, and how a pick
// selects: plain functions on the camera, the display state and the model, so
// the rules are tested without a window.

#include "view/DisplayState.h"
#include "view/Scene.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

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

/// How much of the view's width or height Fit fills: a margin of 10 % on each
/// side, room for a mode's animation.
inline constexpr double kFitFill = 0.8;

/// Fit: the mass element, the springs, the loads' arrows and the observation
/// points fill kFitFill of the w x h view's width or height, centred, seen as
/// the camera turns now, at zoom 1. Nothing happens without a model; a model
/// without extent keeps the current scale.
void fitView(ViewCamera& camera, DisplayState& state, const AnalysisModel* model, int width,
             int height);

/// The mouse wheel: `steps` notches (positive: nearer) zoom by 1.2 each, about
/// the point under the pointer at (x, y) of a w x h view.
void wheelZoom(ViewCamera& camera, DisplayState& state, double steps, int x, int y, int width,
               int height);

/// The standard views of the 表示 menu and the toolbar: the camera turns to
/// look at the model from the front (along -z with y up, along +y with z up),
/// the right side (from +x), above, or obliquely from the front, right and
/// above (isometric).
enum class StandardView { Front, Side, Top, Isometric };
void setStandardView(ViewCamera& camera, StandardView view);

/// The user's choice of up axis; Auto follows the model's weight.
enum class UpChoice { Auto, Y, Z };
/// The axis the model's weight acts along: of the first static force applied
/// at the centre of gravity (the "重心荷重" button puts it there), else of the
/// first static force pointing down along y or z; none without either.
std::optional<UpAxis> weightUpAxis(const AnalysisModel* model);
/// The up axis to draw with: the choice, or for Auto the weight's axis (y without one).
UpAxis resolveUpAxis(UpChoice choice, const AnalysisModel* model);

/// One tick of the presentation turn: 1 degree about the vertical axis.
void presentationTick(ViewCamera& camera);

/// One step of the mode or response animation; other displays do not change.
void animationStep(DisplayState& state);

/// The animation keys S (stop), P (play) and D (one frame); `key` is the upper-case
/// letter. Returns true when the key was one of them (the view is then redrawn).
bool animationKey(DisplayState& state, char key);

/// One object a pick region hit: its pick name and its nearest depth there.
struct PickHit {
    int name = 0;
    std::uint32_t depth = 0;
    bool operator==(const PickHit&) const = default;
};

/// The hits in a selection buffer holding `hits` records (number of names,
/// minimum depth, maximum depth, names), each with its innermost name; the axes
/// and the ground (name 0) are left out. An overflowed buffer (hits < 0) or a
/// record past its end ends the list.
std::vector<PickHit> selectionHits(std::span<const std::uint32_t> buffer, int hits);

/// Pick regions tried one after the other, in pixels square, until one hits
/// what is wanted: under the pointer, then 2 and 5 pixels around it.
inline constexpr int kPickRegions[] = {1, 5, 11};
/// How far from an object a click still picks it [pixels].
inline constexpr int kPickRadius = 5;

/// The object a click picks among `hits`: the nearest of the kinds `mode`
/// selects (with no pick mode, the springs, loads and observation points whose
/// result texts a display shows), so that a spring behind an edge of the body
/// is still picked; `wanted` false when only the mass element was hit (with
/// no pick mode it is still picked: its texts).
struct PickChoice {
    int name = kNothingPicked;
    bool wanted = false;
};
PickChoice choosePick(std::span<const PickHit> hits, const AnalysisModel* model,
                      SelectionMode mode);

/// The status line after a click that picked `name` (kNothingPicked: a miss)
/// and applied it in `mode` on `display`: "ばね要素 front left を選択", "... の選択を
/// 解除", "... の変位を表示", or what a miss or a view without a pick mode means.
std::string pickStatus(const AnalysisModel& model, SelectionMode mode, DisplayKind display,
                       int name);

/// Toggles the selection of the object named `name` among the kinds `mode`
/// selects. The mass element, the axes and the ground are never selected.
/// Returns true when a selection flag changed.
bool applyPick(AnalysisModel& model, SelectionMode mode, int name);

} // namespace quav
