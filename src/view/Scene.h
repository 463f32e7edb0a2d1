#pragma once

// What the 3-D view draws, decided without Qt or GL: the model, the display
// state and the results become a list of draw items with their colours,
// placements and pick names. The GL renderer draws such a list; picking renders
// the same list, so what is hit is always what is shown.

#include "exchange/DxfReader.h"
#include "view/DisplayState.h"
#include "view/SceneMath.h"

#include <cstdint>
#include <vector>

namespace quav {

class AnalysisModel;

/// Which model axis points up on the screen. Models of vehicles and machines
/// are often drawn with z up; the view turns them so that they stand upright.
enum class UpAxis : std::uint8_t { Y, Z };

/// The camera of the view and the state of the mouse, in the view's own units.
struct ViewCamera {
    float viewScale = 1.0f; ///< uniform model scale set by Fit
    int pickResult = 0;     ///< name of the last picked object, 0 = none yet
    bool leftDragging = false;
    bool rightDragging = false;
    int lastX = 0; ///< last mouse position [client pixels]
    int lastY = 0;
    float rotX = 0.0f; ///< scene rotation about x [deg]
    float rotY = 0.0f; ///< scene rotation about y [deg]
    float panX = 0.0f; ///< translation in eye coordinates, before rotation and scaling
    float panY = 0.0f;
    /// Z: the scene is first turned -90 degrees about x, so that z points up and
    /// the rotations above turn about the screen's axes as before.
    UpAxis up = UpAxis::Y;
};

/// Fixed projection and camera of the view.
inline constexpr double kFieldOfView = 20.0; ///< vertical [deg]
inline constexpr double kNearPlane = 1.0;
inline constexpr double kFarPlane = 5000.0;
inline constexpr Point3 kEye{0.0, 0.0, 10.0};

/// Primitive solids and line sets of the scene.
enum class Shape : std::uint8_t {
    Axes,     ///< three lines from the origin along x (red), y (green), z (blue), length `size`
    Grid,     ///< the ground grid in the plane y = 0 of the item's frame (z = level with z up)
    Line,     ///< from `from` to `to`
    Box,      ///< wireframe cube of edge `size` centred on the origin
    Sphere,   ///< wireframe sphere of radius `size`
    Cone,     ///< wireframe cone along +z, base radius `size` at z = 0, apex at z = `height`
    Geometry, ///< the imported outline of the mass element, in place of its box
};

/// One thing to draw.
struct DrawItem {
    Shape shape = Shape::Line;
    Rgb colour;            ///< not used by Axes
    int name = 0;          ///< pick name: an object's id, 0 for the world axes and the ground
    bool loadsName = true; ///< the name is loaded before this item, starting a new hit record
    Mat4 transform;        ///< item frame to scene frame (the camera not included)
    double size = 0.0;
    double height = 0.0;
    Point3 from;
    Point3 to;
    bool operator==(const DrawItem&) const = default;
};

/// A frame of the view.
struct Scene {
    std::vector<DrawItem> items;
    bool hasModel = false; ///< false: only the world axes and the ground; drop the geometry
};

/// Colours of the scene.
namespace colours {
inline constexpr Rgb red{1, 0, 0};
inline constexpr Rgb green{0, 1, 0};
inline constexpr Rgb blue{0, 0, 1};
inline constexpr Rgb ground{0.2f, 0.2f, 0.2f};
inline constexpr Rgb white{1, 1, 1};
inline constexpr Rgb grey{125 / 255.0f, 125 / 255.0f, 125 / 255.0f};
inline constexpr Rgb springBound{1, 1, 0};
inline constexpr Rgb translationalLoad{0, 1, 0.5f};
inline constexpr Rgb momentLoad{0.5f, 1, 0};
inline constexpr Rgb observationPoint{0, 1, 1};
inline constexpr Rgb inertiaAxes{125 / 255.0f, 0, 125 / 255.0f};
inline constexpr Rgb elasticAxes{125 / 255.0f, 0, 0};
} // namespace colours

/// Before each frame and each pick: a display of results falls back to the plain
/// model while there are no results to show (`results`: the model whose results
/// are shown, the model itself or the model as last calculated; null: none).
void prepareDisplay(DisplayState& state, const AnalysisModel* model, const AnalysisModel* results);

/// The draw items of one frame. `hasGeometry`: an imported outline replaces the
/// mass element's box. Items whose placement is not finite (results holding NaN)
/// are left out.
void buildScene(Scene& scene, const AnalysisModel* model, const DisplayState& state,
                const ViewCamera& camera, bool hasGeometry);

/// Window position (x from the left, y from the top, pixels) of scene point p.
struct WindowPoint {
    double x = 0.0;
    double y = 0.0;
};

/// The name of one of a spring's local axes at its end, in the axis' colour.
struct AxisLabel {
    WindowPoint at;
    char axis = 'x'; ///< 'x', 'y' or 'z'
    Rgb colour;
};

/// Models with more springs than this label only the selected springs' axes.
inline constexpr std::size_t kLabelledSprings = 32;

/// Where the plain model display names the local axes of each spring (x red,
/// y green, z blue, the axes the rates act along) in a w x h view. No labels
/// while a result is shown.
std::vector<AxisLabel> springAxisLabels(const AnalysisModel* model, const DisplayState& state,
                                        const ViewCamera& camera, int width, int height);

/// The transform from the imported drawing's file units to the mass element's
/// frame: the drawing's centre-of-gravity point to the origin, scaled, then
/// turned about x, y and z.
Mat4 geometryPlacement(const DxfPlacement& placement);

/// The model-view matrix of the camera (look-at, pan, rotations, up axis) and
/// the projection of a w x h viewport; with these a scene point's window
/// position is known without GL.
Mat4 cameraMatrix(const ViewCamera& camera);
/// The camera's turn alone: the rotations and the up axis, without look-at and pan.
Mat4 cameraRotation(const ViewCamera& camera);
Mat4 projectionMatrix(int width, int height);

WindowPoint projectToWindow(const Point3& p, const ViewCamera& camera, int width, int height);

} // namespace quav
