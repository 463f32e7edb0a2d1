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

namespace {

/// Corners of the axis-aligned box centred on c with half extents h.
void addBox(std::vector<Point3>& points, const Matrix& c, double hx, double hy, double hz) {
    for (int k = 0; k < 8; ++k)
        points.push_back(
            {c[0] + (k & 1 ? hx : -hx), c[1] + (k & 2 ? hy : -hy), c[2] + (k & 4 ? hz : -hz)});
}

/// What Fit frames, in model coordinates: the body's box, each spring's box
/// (as large as its symbol), each load's point and arrow, each observation
/// point's sphere. Points that are not finite are left out.
std::vector<Point3> framedPoints(const AnalysisModel& m) {
    std::vector<Point3> points;
    addBox(points, m.centreOfGravity, std::fabs(m.size[0]) / 2, std::fabs(m.size[1]) / 2,
           std::fabs(m.size[2]) / 2);
    for (const SpringElement& s : m.springs) {
        const double h = std::fabs(s.size) / 2;
        addBox(points, s.position, h, h, h);
    }
    auto load = [&](const StaticLoad& l) {
        points.push_back({l.position[0], l.position[1], l.position[2]});
        // The arrow is a fifth of the direction long, its cone 0.05 beyond.
        const double reach = 0.2 + 0.05;
        points.push_back({l.position[0] + l.direction[0] * reach,
                          l.position[1] + l.direction[1] * reach,
                          l.position[2] + l.direction[2] * reach});
    };
    for (const StaticLoad& l : m.staticLoads)
        load(l);
    for (const DynamicLoad& l : m.dynamicLoads)
        load(l);
    for (const ObservationPoint& p : m.observationPoints)
        addBox(points, p.position, 0.02, 0.02, 0.02);
    std::erase_if(points, [](const Point3& p) { return !std::isfinite(p.x + p.y + p.z); });
    return points;
}

/// Half the height of the view at the depth of the scene's origin [scene units].
double halfViewHeight() {
    return kEye.z * std::tan(kFieldOfView / 2 * kRadiansPerDegree);
}

} // namespace

void fitView(ViewCamera& camera, DisplayState& state, const AnalysisModel* model, int width,
             int height) {
    if (!model || width <= 0 || height <= 0)
        return;
    const std::vector<Point3> points = framedPoints(*model);
    if (points.empty())
        return;
    Point3 low = points[0], high = points[0];
    for (const Point3& p : points) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    const Point3 centre{(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
    const double extent = std::max({high.x - low.x, high.y - low.y, high.z - low.z});
    state.zoom = 1.0f;
    const Mat4 turn = cameraRotation(camera);
    double scale =
        extent > 0.0 && std::isfinite(extent) ? 2.0 * halfViewHeight() / extent : camera.viewScale;
    const Point3 c = turn.apply({centre.x * scale, centre.y * scale, centre.z * scale});
    double panX = -c.x, panY = -c.y;
    auto apply = [&] {
        camera.viewScale = static_cast<float>(scale);
        camera.panX = static_cast<float>(panX);
        camera.panY = static_cast<float>(panY);
    };
    apply();
    if (!(extent > 0.0) || !std::isfinite(extent))
        return;
    // Perspective makes the picture's extent and centre depend on the scale:
    // scale and recentre on the projected bounds until they settle.
    const double unitsPerPixel = 2.0 * halfViewHeight() / height;
    for (int round = 0; round < 20; ++round) {
        double x0 = width, x1 = 0, y0 = height, y1 = 0;
        for (const Point3& p : points) {
            const WindowPoint w =
                projectToWindow({p.x * scale, p.y * scale, p.z * scale}, camera, width, height);
            x0 = std::min(x0, w.x);
            x1 = std::max(x1, w.x);
            y0 = std::min(y0, w.y);
            y1 = std::max(y1, w.y);
        }
        const double ratio = std::min(x1 > x0 ? kFitFill * width / (x1 - x0) : 1e9,
                                      y1 > y0 ? kFitFill * height / (y1 - y0) : 1e9);
        if (!std::isfinite(ratio) || ratio <= 0.0 || ratio >= 1e9)
            return;
        const double offX = ((x0 + x1) / 2 - width / 2.0) * unitsPerPixel;
        const double offY = (height / 2.0 - (y0 + y1) / 2) * unitsPerPixel;
        panX = (panX - offX) * ratio;
        panY = (panY - offY) * ratio;
        scale *= ratio;
        apply();
        if (std::fabs(ratio - 1.0) < 1e-4 && std::fabs(offX) + std::fabs(offY) < unitsPerPixel)
            break;
    }
}

void wheelZoom(ViewCamera& camera, DisplayState& state, double steps, int x, int y, int width,
               int height) {
    if (height <= 0 || !std::isfinite(steps))
        return;
    const double before = state.zoom;
    const double after = std::clamp(before * std::pow(1.2, steps), 1e-3, 1e3);
    if (!(before > 0.0)) {
        state.zoom = static_cast<float>(after);
        return;
    }
    const double f = after / before;
    // The point under the pointer, on the plane through the origin, stays put.
    const double unitsPerPixel = 2.0 * halfViewHeight() / height;
    const double ux = (x - width / 2.0) * unitsPerPixel;
    const double uy = (height / 2.0 - y) * unitsPerPixel;
    camera.panX = static_cast<float>(f * camera.panX + (1.0 - f) * ux);
    camera.panY = static_cast<float>(f * camera.panY + (1.0 - f) * uy);
    state.zoom = static_cast<float>(after);
}

void setStandardView(ViewCamera& camera, StandardView view) {
    switch (view) {
    case StandardView::Front:
        camera.rotX = 0.0f;
        camera.rotY = 0.0f;
        break;
    case StandardView::Side:
        camera.rotX = 0.0f;
        camera.rotY = -90.0f;
        break;
    case StandardView::Top:
        camera.rotX = 90.0f;
        camera.rotY = 0.0f;
        break;
    case StandardView::Isometric:
        camera.rotX = 35.264f; // atan(1 / sqrt 2): the three axes equally foreshortened
        camera.rotY = -45.0f;
        break;
    }
}

std::optional<UpAxis> weightUpAxis(const AnalysisModel* model) {
    if (!model)
        return std::nullopt;
    // The larger of the y and z components, when it outweighs x.
    auto axisOf = [](const Matrix& d) -> std::optional<UpAxis> {
        const double x = std::fabs(d[0]), y = std::fabs(d[1]), z = std::fabs(d[2]);
        if (!(std::max(y, z) > x))
            return std::nullopt;
        return z > y ? UpAxis::Z : UpAxis::Y;
    };
    const Matrix& cog = model->centreOfGravity;
    for (const StaticLoad& l : model->staticLoads) {
        const bool atCentre = (l.position - cog).norm() <= 1e-9 * (1.0 + cog.norm());
        if (l.type == Translational && atCentre)
            if (const auto axis = axisOf(l.direction))
                return axis;
    }
    for (const StaticLoad& l : model->staticLoads) {
        const auto axis = l.type == Translational ? axisOf(l.direction) : std::nullopt;
        if (axis && l.direction[*axis == UpAxis::Z ? 2 : 1] < 0)
            return axis;
    }
    return std::nullopt;
}

UpAxis resolveUpAxis(UpChoice choice, const AnalysisModel* model) {
    switch (choice) {
    case UpChoice::Y:
        return UpAxis::Y;
    case UpChoice::Z:
        return UpAxis::Z;
    case UpChoice::Auto:
        break;
    }
    return weightUpAxis(model).value_or(UpAxis::Y);
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

std::vector<PickHit> selectionHits(std::span<const std::uint32_t> buffer, int hits) {
    std::vector<PickHit> out;
    std::size_t at = 0;
    for (int h = 0; h < hits; ++h) {
        if (at + 3 > buffer.size())
            break;
        const std::uint32_t names = buffer[at];
        if (names == 0 || names > buffer.size() - at - 3)
            break;
        const int name = static_cast<int>(buffer[at + 2 + names]);
        if (name != 0)
            out.push_back({name, buffer[at + 1]});
        at += 3 + names;
    }
    return out;
}

namespace {

template <class Element> bool hasId(const std::vector<Element>& elements, int id) {
    return std::any_of(elements.begin(), elements.end(),
                       [id](const Element& e) { return e.id == id; });
}

enum class PickKind { Other, Body, Spring, Load, Point };

PickKind kindOf(const AnalysisModel& m, int name) {
    if (hasId(m.springs, name))
        return PickKind::Spring;
    if (hasId(m.staticLoads, name) || hasId(m.dynamicLoads, name))
        return PickKind::Load;
    if (hasId(m.observationPoints, name))
        return PickKind::Point;
    return name == m.massElementId ? PickKind::Body : PickKind::Other;
}

bool wanted(PickKind kind, SelectionMode mode) {
    switch (mode) {
    case SelectionMode::Springs:
        return kind == PickKind::Spring;
    case SelectionMode::Loads:
        return kind == PickKind::Load;
    case SelectionMode::ObservationPoints:
        return kind == PickKind::Point;
    case SelectionMode::All:
    case SelectionMode::None:
        break;
    }
    return kind == PickKind::Spring || kind == PickKind::Load || kind == PickKind::Point;
}

/// "ばね要素 front left", or empty for a name no element has.
std::string describe(const AnalysisModel& m, int name) {
    auto find = [name](const auto& elements) -> const std::string* {
        for (const auto& e : elements)
            if (e.id == name)
                return &e.name;
        return nullptr;
    };
    if (const std::string* n = find(m.springs))
        return "ばね要素 " + *n;
    if (const std::string* n = find(m.staticLoads))
        return "荷重 " + *n;
    if (const std::string* n = find(m.dynamicLoads))
        return "荷重 " + *n;
    if (const std::string* n = find(m.observationPoints))
        return "観測点 " + *n;
    return name == m.massElementId ? "質量要素" : "";
}

bool isSelected(const AnalysisModel& m, int name) {
    auto selected = [name](const auto& elements) {
        return std::any_of(elements.begin(), elements.end(),
                           [name](const auto& e) { return e.id == name && e.selected; });
    };
    return selected(m.springs) || selected(m.staticLoads) || selected(m.dynamicLoads) ||
           selected(m.observationPoints);
}

} // namespace

PickChoice choosePick(std::span<const PickHit> hits, const AnalysisModel* model,
                      SelectionMode mode) {
    PickChoice choice;
    if (!model)
        return choice;
    std::uint32_t nearestWanted = 0, nearestBody = 0;
    bool body = false;
    for (const PickHit& h : hits) {
        const PickKind kind = kindOf(*model, h.name);
        // Ties go to the later record: drawn later, in front on screen.
        if (wanted(kind, mode) && (!choice.wanted || h.depth <= nearestWanted)) {
            choice = {h.name, true};
            nearestWanted = h.depth;
        } else if (!choice.wanted && kind == PickKind::Body && mode == SelectionMode::None &&
                   (!body || h.depth <= nearestBody)) {
            choice.name = h.name;
            nearestBody = h.depth;
            body = true;
        }
    }
    return choice;
}

std::string pickStatus(const AnalysisModel& model, SelectionMode mode, DisplayKind display,
                       int name) {
    const std::string what = name > 0 ? describe(model, name) : std::string();
    if (mode == SelectionMode::None) {
        if (display == DisplayKind::Model)
            return "クリックで選ぶには、ツリーで選ぶものを選んでください"
                   "（ﾓﾃﾞﾙ編集 の ばね要素・荷重・観測点、ﾓﾃﾞﾙ作成 の ばね特性 など）";
        if (display == DisplayKind::ModeShape)
            return what.empty() ? std::string() : what;
        if (what.empty())
            return "クリック位置の " + std::to_string(kPickRadius) +
                   " ピクセル以内に要素がありません";
        return what + " の変位を表示";
    }
    if (what.empty() || !wanted(kindOf(model, name), mode)) {
        const char* kinds = mode == SelectionMode::Springs             ? "ばね要素"
                            : mode == SelectionMode::Loads             ? "荷重"
                            : mode == SelectionMode::ObservationPoints ? "観測点"
                                                                       : "ばね要素・荷重・観測点";
        return "クリック位置の " + std::to_string(kPickRadius) + " ピクセル以内に" + kinds +
               "がありません";
    }
    return what + (isSelected(model, name) ? " を選択" : " の選択を解除");
}

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
