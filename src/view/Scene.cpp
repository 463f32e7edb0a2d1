#include "view/Scene.h"

#include "analysis/EigenAnalysis.h"
#include "analysis/ElasticAxes.h"
#include "model/AnalysisModel.h"

#include <cmath>

namespace quav {

namespace {

/// Radians to the degrees glRotate takes (180 / 3.141592).
constexpr double kDegreesPerRadian = 57.29579143313326;

/// Exact quarter turns about x (a turn by glRotate's rule would carry the
/// system's circle constant's error): z to y, for the z-up camera, and y to z,
/// for the ground of a z-up view.
constexpr Mat4 kZToY{{1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1}};
constexpr Mat4 kYToZ{{1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1}};

/// Appends items, keeping the pick name current as the GL name stack does: an
/// object loads its name once, and everything drawn until the next object
/// carries that name.
class SceneWriter {
public:
    explicit SceneWriter(std::vector<DrawItem>& items) : items_(items) {}

    /// The next item starts the object `name`.
    void beginObject(int name) {
        name_ = name;
        pendingLoad_ = true;
    }

    void add(DrawItem item) {
        if (!item.transform.finite() || !std::isfinite(item.size) || !std::isfinite(item.height))
            return;
        item.name = name_;
        item.loadsName = pendingLoad_;
        pendingLoad_ = false;
        items_.push_back(item);
    }

    void axes(const Mat4& t, double length) {
        DrawItem i;
        i.shape = Shape::Axes;
        i.transform = t;
        i.size = length;
        add(i);
    }

    void solid(Shape shape, const Mat4& t, Rgb colour, double size, double height = 0.0) {
        DrawItem i;
        i.shape = shape;
        i.transform = t;
        i.colour = colour;
        i.size = size;
        i.height = height;
        add(i);
    }

    void line(const Mat4& t, Rgb colour, Point3 from, Point3 to) {
        if (!std::isfinite(from.x + from.y + from.z + to.x + to.y + to.z))
            return;
        DrawItem i;
        i.shape = Shape::Line;
        i.transform = t;
        i.colour = colour;
        i.from = from;
        i.to = to;
        add(i);
    }

private:
    std::vector<DrawItem>& items_;
    int name_ = 0;
    bool pendingLoad_ = false;
};

/// A spring's own axes placed at its position in `frame`: the orientation the
/// engine gives its rates, Rx(-Y angle) Rz(Z angle + 90 deg), so that what is
/// drawn is what is calculated (local x along global y, local y along -x, local z
/// along z at angles 0/0).
Mat4 springFrame(const Mat4& frame, const SpringElement& s) {
    Mat4 t = frame;
    t.translate(s.position[0], s.position[1], s.position[2]);
    t.rotate(-s.angles[1], 1, 0, 0);
    t.rotate(s.angles[2] + 90.0, 0, 0, 1);
    return t;
}

/// The frame of the model in the scene: the zoom and the scale Fit set.
Mat4 modelFrame(const DisplayState& state, const ViewCamera& camera) {
    Mat4 frame;
    frame.scale(state.zoom, state.zoom, state.zoom);
    frame.scale(camera.viewScale, camera.viewScale, camera.viewScale);
    return frame;
}

/// A displacement of the mass element: translation [m] and rotations [deg]
/// about x, then y, then z.
struct BodyMotion {
    double t[3] = {0, 0, 0};
    double r[3] = {0, 0, 0};
};

class SceneBuilder {
public:
    SceneBuilder(SceneWriter& out, const AnalysisModel& model, const DisplayState& state,
                 const Mat4& modelFrame, bool hasGeometry)
        : out_(out), model_(model), state_(state), frame_(modelFrame), hasGeometry_(hasGeometry) {}

    void massElement(Rgb colour, const BodyMotion* motion = nullptr) {
        out_.beginObject(model_.massElementId);
        Mat4 t = frame_;
        t.translate(model_.centreOfGravity[0], model_.centreOfGravity[1],
                    model_.centreOfGravity[2]);
        if (motion) {
            t.translate(motion->t[0], motion->t[1], motion->t[2]);
            t.rotate(motion->r[0], 1, 0, 0);
            t.rotate(motion->r[1], 0, 1, 0);
            t.rotate(motion->r[2], 0, 0, 1);
        }
        out_.axes(t, model_.size[1] / 3.0);
        if (hasGeometry_) {
            out_.solid(Shape::Geometry, t, colour, 0.0);
        } else {
            t.scale(model_.size[0], model_.size[1], model_.size[2]);
            out_.solid(Shape::Box, t, colour, 1.0);
        }
    }

    void springs() {
        for (const SpringElement& s : model_.springs) {
            out_.beginObject(s.id);
            Mat4 t = springFrame(frame_, s);
            out_.axes(t, s.size * 0.5);
            t.scale(0.5, 1, 1);
            const Rgb colour = s.selected           ? colours::red
                               : s.characteristicId ? colours::springBound
                                                    : colours::white;
            out_.solid(Shape::Box, t, colour, s.size);
        }
    }

    void load(const StaticLoad& load) {
        out_.beginObject(load.id);
        const Rgb colour = load.selected         ? colours::red
                           : load.type == Moment ? colours::momentLoad
                                                 : colours::translationalLoad;
        const double dx = load.direction[0] / 5.0, dy = load.direction[1] / 5.0,
                     dz = load.direction[2] / 5.0;
        Mat4 t = frame_;
        t.translate(load.position[0], load.position[1], load.position[2]);
        out_.line(t, colour, {}, {dx, dy, dz});
        t.translate(dx, dy, dz);
        const double yaw = std::atan2(dx, dz) * kDegreesPerRadian;
        const double pitch = std::atan2(dy, std::sqrt(dx * dx + dz * dz)) * kDegreesPerRadian;
        t.rotate(yaw, 0, 1, 0);
        t.rotate(-pitch, 1, 0, 0);
        out_.solid(Shape::Cone, t, colour, 0.02, 0.05);
    }

    void observationPoints() {
        for (const ObservationPoint& p : model_.observationPoints) {
            out_.beginObject(p.id);
            Mat4 t = frame_;
            t.translate(p.position[0], p.position[1], p.position[2]);
            out_.solid(Shape::Sphere, t, p.selected ? colours::red : colours::observationPoint,
                       0.02);
        }
    }

    void inertiaAxes() {
        const PrincipalAxes principal = principalInertiaAxes(model_.inertia);
        if (!principal.valid)
            return;
        Mat4 t = frame_;
        t.translate(model_.centreOfGravity[0], model_.centreOfGravity[1],
                    model_.centreOfGravity[2]);
        for (int c = 0; c < 3; ++c) {
            const Point3 v{principal.axes(0, c), principal.axes(1, c), principal.axes(2, c)};
            out_.line(t, colours::inertiaAxes, {-v.x, -v.y, -v.z}, v);
        }
    }

    void elasticAxes() {
        const Matrix e = quav::elasticAxes(model_);
        // A direction without stiffness has no axis to draw.
        const std::array<bool, 3> defined = elasticAxesDefined(model_, e);
        if (defined[0])
            out_.line(frame_, colours::elasticAxes, {-1, e(1, 0), e(2, 0)}, {1, e(1, 0), e(2, 0)});
        if (defined[1])
            out_.line(frame_, colours::elasticAxes, {e(0, 1), -1, e(2, 1)}, {e(0, 1), 1, e(2, 1)});
        if (defined[2])
            out_.line(frame_, colours::elasticAxes, {e(0, 2), e(1, 2), -1}, {e(0, 2), e(1, 2), 1});
    }

    void plainModel() {
        springs();
        for (const StaticLoad& l : model_.staticLoads)
            load(l);
        for (const DynamicLoad& l : model_.dynamicLoads)
            load(l);
        observationPoints();
        massElement(colours::white);
        if (state_.showInertiaAxes)
            inertiaAxes();
        if (state_.showElasticAxes)
            elasticAxes();
    }

    void modeShape() {
        if (state_.showUndeformedShape)
            massElement(colours::grey);
        springs();
        const int column = 6 - state_.modeNumber;
        const Matrix& phi = model_.modeShapes;
        if (column < 0 || column > 5 || phi.rows() < 6 || phi.cols() < 6)
            return;
        BodyMotion m;
        for (int i = 0; i < 3; ++i) {
            m.t[i] = state_.amplitude * phi(i, column);
            m.r[i] = state_.amplitude * phi(i + 3, column) * kDegreesPerRadian;
        }
        massElement(colours::white, &m);
    }

    void staticResult() { loadResult(model_.staticLoads, model_.staticResults, 6); }

    void dynamicResult() { loadResult(model_.dynamicLoads, model_.dynamicResults, 12); }

    void loadCaseResult() {
        if (state_.showUndeformedShape)
            massElement(colours::grey);
        springs();
        observationPoints();
        BodyMotion m;
        const double s = state_.resultScale;
        for (int i = 0; i < 3; ++i) {
            m.t[i] = s * state_.caseDisplacement[static_cast<std::size_t>(i)];
            m.r[i] =
                s * state_.caseDisplacement[static_cast<std::size_t>(i) + 3] * kDegreesPerRadian;
        }
        massElement(colours::white, &m);
    }

private:
    template <class Load>
    void loadResult(const std::vector<Load>& loads, const Matrix& results, int columns) {
        if (state_.showUndeformedShape)
            massElement(colours::grey);
        springs();
        observationPoints();
        const int k = state_.loadIndex;
        if (k < 0 || k >= static_cast<int>(loads.size()))
            return;
        load(loads[k]);
        if (k >= results.rows() || results.cols() < columns)
            return;
        BodyMotion m;
        const double s = state_.resultScale;
        for (int i = 0; i < 3; ++i) {
            if (columns == 6) {
                m.t[i] = s * results(k, i);
                m.r[i] = s * results(k, i + 3) * kDegreesPerRadian;
            } else {
                m.t[i] = std::cos(state_.phase + results(k, 6 + i)) * results(k, i) * s;
                m.r[i] = std::cos(state_.phase + results(k, 9 + i)) * results(k, i + 3) * s *
                         kDegreesPerRadian;
            }
        }
        massElement(colours::white, &m);
    }

    SceneWriter& out_;
    const AnalysisModel& model_;
    const DisplayState& state_;
    Mat4 frame_;
    bool hasGeometry_;
};

} // namespace

void prepareDisplay(DisplayState& state, const AnalysisModel* model, const AnalysisModel* results) {
    // A load case is solved on the model as it is: it needs no calculation.
    if (model && !results && state.displayKind != DisplayKind::LoadCaseResult)
        state.displayKind = DisplayKind::Model;
}

void buildScene(Scene& scene, const AnalysisModel* model, const DisplayState& state,
                const ViewCamera& camera, bool hasGeometry) {
    scene.items.clear();
    scene.hasModel = model != nullptr;
    SceneWriter out(scene.items);
    out.axes(Mat4::identity(), 0.5);
    if (state.showGround) {
        DrawItem grid;
        grid.shape = Shape::Grid;
        grid.colour = colours::ground;
        // At the ground's height along the up axis, level on the screen.
        if (camera.up == UpAxis::Z) {
            grid.transform.translate(0, 0, state.groundLevel);
            grid.transform = grid.transform * kYToZ;
        } else {
            grid.transform.translate(0, state.groundLevel, 0);
        }
        out.add(grid);
    }
    if (!model)
        return;
    SceneBuilder build(out, *model, state, modelFrame(state, camera), hasGeometry);
    switch (state.displayKind) {
    case DisplayKind::ModeShape:
        build.modeShape();
        break;
    case DisplayKind::StaticResult:
        build.staticResult();
        break;
    case DisplayKind::DynamicResult:
        build.dynamicResult();
        break;
    case DisplayKind::LoadCaseResult:
        build.loadCaseResult();
        break;
    case DisplayKind::Model:
    default:
        build.plainModel();
        break;
    }
}

std::vector<AxisLabel> springAxisLabels(const AnalysisModel* model, const DisplayState& state,
                                        const ViewCamera& camera, int width, int height) {
    std::vector<AxisLabel> labels;
    if (!model || state.displayKind != DisplayKind::Model)
        return labels;
    const bool all = model->springs.size() <= kLabelledSprings;
    const Mat4 frame = modelFrame(state, camera);
    static constexpr Rgb kColours[3] = {colours::red, colours::green, colours::blue};
    for (const SpringElement& s : model->springs) {
        if (!all && !s.selected)
            continue;
        const Mat4 t = springFrame(frame, s);
        // Just beyond the end of the drawn axis (half the spring's size).
        const double reach = s.size * 0.5 * 1.2;
        for (int i = 0; i < 3; ++i) {
            const Point3 end =
                t.apply({i == 0 ? reach : 0.0, i == 1 ? reach : 0.0, i == 2 ? reach : 0.0});
            const WindowPoint at = projectToWindow(end, camera, width, height);
            if (std::isfinite(at.x) && std::isfinite(at.y))
                labels.push_back({at, static_cast<char>('x' + i), kColours[i]});
        }
    }
    return labels;
}

Mat4 geometryPlacement(const DxfPlacement& p) {
    Mat4 m;
    m.translate(-p.scale * p.x, -p.scale * p.y, -p.scale * p.z);
    m.scale(p.scale, p.scale, p.scale);
    m.rotate(p.angleX, 1, 0, 0);
    m.rotate(p.angleY, 0, 1, 0);
    m.rotate(p.angleZ, 0, 0, 1);
    return m;
}

Mat4 cameraRotation(const ViewCamera& camera) {
    Mat4 m;
    m.rotate(camera.rotX, 1, 0, 0);
    m.rotate(camera.rotY, 0, 1, 0);
    return camera.up == UpAxis::Z ? m * kZToY : m;
}

Mat4 cameraMatrix(const ViewCamera& camera) {
    Mat4 m = lookAt(kEye, {0, 0, 0}, {0, 1, 0});
    m.translate(camera.panX, camera.panY, 0);
    return m * cameraRotation(camera);
}

Mat4 projectionMatrix(int width, int height) {
    return perspective(kFieldOfView, static_cast<double>(width) / height, kNearPlane, kFarPlane);
}

WindowPoint projectToWindow(const Point3& p, const ViewCamera& camera, int width, int height) {
    const Point3 eye = cameraMatrix(camera).apply(p);
    const Mat4 proj = projectionMatrix(width, height);
    const double w = proj(3, 2) * eye.z; // -eye.z
    const double ndcX = (proj(0, 0) * eye.x) / w;
    const double ndcY = (proj(1, 1) * eye.y) / w;
    return {(ndcX + 1.0) * 0.5 * width, height - (ndcY + 1.0) * 0.5 * height};
}

} // namespace quav
