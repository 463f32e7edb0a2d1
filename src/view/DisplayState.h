#pragma once

// What every display shows and how: owned by the main window, read and changed
// by the operation tree, the 3-D view, the result overlays and the settings
// dialogs. Never saved with the model. Standard C++ only, so the view's scene
// and the tree's dispatcher can be tested without a window.

#include <array>
#include <string>

namespace quav {

/// The kind of model object a left click in the 3-D view selects.
enum class SelectionMode : int {
    None = 0,
    Springs = 2,
    Loads = 3, ///< static and dynamic loads together
    ObservationPoints = 4,
    All = 10, ///< springs, loads and observation points
};

/// What the 3-D view draws.
enum class DisplayKind : int {
    Model = 0,
    ModeShape = 1,
    StaticResult = 2,
    DynamicResult = 3,
    LoadCaseResult = 4, ///< a solved load case, on the model as it is
};

/// Display and animation settings, in the order and with the initial values
/// the main window creates them with.
struct DisplayState {
    bool showElasticAxes = false;
    bool showInertiaAxes = false;
    bool showUndeformedShape = true; ///< result displays also draw the undeformed body in grey
    bool showGround = true;
    bool showDisplacementData = true; ///< static and dynamic displays print their texts
    bool presentationMode = false;    ///< the model turns about the vertical axis
    bool animating = false;           ///< the result animation's phase advances
    double phase = 0.0;               ///< animation phase [rad]
    double amplitude = 0.0;           ///< sin(phase) times the active scale
    double resultScale = 30.0;        ///< magnification of static and dynamic displacements
    double modeScale = 0.1;           ///< magnification of mode shapes
    double frameCount = 16.0;         ///< frames per animation cycle (edited as an integer)
    int modeNumber = 0;               ///< displayed mode, 1 to 6 (1 = lowest frequency)
    int loadIndex = -1;               ///< index of the displayed static or dynamic load
    DisplayKind displayKind = DisplayKind::Model;
    std::string caseName; ///< the load case shown
    /// Its motion at the centre of gravity: u [m], theta [rad] (small rotations).
    std::array<double, 6> caseDisplacement{};
    float zoom = 1.0f;         ///< uniform scene scale (Shift-drag)
    float groundLevel = -0.3f; ///< height y of the ground grid [m]

    void showMode(int n) {
        modeNumber = n;
        displayKind = DisplayKind::ModeShape;
        animating = true;
    }
    void clearResultDisplay() {
        animating = false;
        displayKind = DisplayKind::Model;
    }
    void setModeAnimation(double scale, int frames) {
        modeScale = scale;
        frameCount = static_cast<double>(frames);
    }
    void showStaticLoad(int index) {
        animating = false;
        loadIndex = index;
        displayKind = DisplayKind::StaticResult;
    }
    /// A solved load case's body, static like a static load's (scaled by `resultScale`).
    void showLoadCase(const std::string& name, const std::array<double, 6>& displacement) {
        animating = false;
        caseName = name;
        caseDisplacement = displacement;
        displayKind = DisplayKind::LoadCaseResult;
    }
    void showDynamicLoad(int index) {
        animating = true;
        loadIndex = index;
        displayKind = DisplayKind::DynamicResult;
    }
    /// A new or opened model returns to the plain model display; scales, flags,
    /// frame count, zoom and ground level stay.
    void resetResultDisplay() {
        displayKind = DisplayKind::Model;
        animating = false;
        modeNumber = 0;
        loadIndex = -1;
    }
};

} // namespace quav
