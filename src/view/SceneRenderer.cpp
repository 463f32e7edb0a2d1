#include "view/SceneRenderer.h"

#include "view/ViewControl.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <vector>

namespace quav {

// --- ShapeCache --------------------------------------------------------------

template <class Draw> void ShapeCache::call(std::map<Key, unsigned>& lists, Key key, Draw draw) {
    const auto found = lists.find(key);
    if (found != lists.end()) {
        glCallList(found->second);
        return;
    }
    const GLuint list = glGenLists(1);
    if (list == 0) { // out of list names: draw without caching
        draw();
        return;
    }
    glNewList(list, GL_COMPILE_AND_EXECUTE);
    draw();
    glEndList();
    lists.emplace(key, list);
}

GLUquadric* ShapeCache::quadric() {
    if (!quadric_) {
        quadric_ = gluNewQuadric();
        if (quadric_)
            gluQuadricDrawStyle(quadric_, GLU_LINE);
    }
    return quadric_;
}

void ShapeCache::sphere(double radius) {
    call(spheres_, {radius, 0.0}, [&] {
        if (GLUquadric* q = quadric())
            gluSphere(q, radius, 16, 16);
    });
}

void ShapeCache::cone(double baseRadius, double height) {
    call(cones_, {baseRadius, height}, [&] {
        if (GLUquadric* q = quadric())
            gluCylinder(q, baseRadius, 0.0, height, 15, 10);
    });
}

void ShapeCache::box(double edge) {
    call(boxes_, {edge, 0.0}, [&] {
        const double h = edge / 2.0;
        // Each face a closed loop, counter-clockwise seen from outside.
        static const int faces[6][4][3] = {
            {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}},     // +x
            {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}}, // -x
            {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}},     // +y
            {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}, // -y
            {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},     // +z
            {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}}, // -z
        };
        static const float normals[6][3] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                            {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
        // Each face closed by returning to its first corner: Mesa's llvmpipe
        // crashes on GL_LINE_LOOP in selection mode.
        for (int f = 0; f < 6; ++f) {
            glBegin(GL_LINE_STRIP);
            glNormal3fv(normals[f]);
            for (int corner = 0; corner <= 4; ++corner) {
                const auto& v = faces[f][corner % 4];
                glVertex3d(v[0] * h, v[1] * h, v[2] * h);
            }
            glEnd();
        }
    });
}

void ShapeCache::grid() {
    call(grids_, {0.0, 0.0}, [] {
        glBegin(GL_LINES);
        for (int i = 0; i <= 50; ++i) {
            const double at = -10.0 + 0.4 * i;
            glVertex3d(10.0, 0.0, at);
            glVertex3d(-10.0, 0.0, at);
        }
        for (int i = 0; i <= 50; ++i) {
            const double at = -10.0 + 0.4 * i;
            glVertex3d(at, 0.0, -10.0);
            glVertex3d(at, 0.0, 10.0);
        }
        glEnd();
    });
}

int ShapeCache::listCount() const {
    return static_cast<int>(spheres_.size() + boxes_.size() + cones_.size() + grids_.size());
}

void ShapeCache::release() {
    for (auto* lists : {&spheres_, &boxes_, &cones_, &grids_}) {
        for (const auto& entry : *lists)
            glDeleteLists(entry.second, 1);
        lists->clear();
    }
    if (quadric_) {
        gluDeleteQuadric(quadric_);
        quadric_ = nullptr;
    }
}

// --- SceneRenderer -------------------------------------------------------------

void SceneRenderer::initialise() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glCullFace(GL_BACK);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
}

void SceneRenderer::resize(int width, int height) {
    if (height <= 0)
        return;
    width_ = width;
    height_ = height;
}

void SceneRenderer::setProjection() {
    glViewport(0, 0, width_, height_);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFieldOfView, static_cast<double>(width_) / height_, kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
}

void SceneRenderer::render(const Scene& scene, const ViewCamera& camera) {
    // The host may have painted with other state in between (its text overlay).
    initialise();
    setProjection();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawItems(scene, camera, false);
    // The host paints its texts next in the same context, with the state a
    // painter expects: no depth test against the picture, filled polygons.
    glDisable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glFlush();
}

int SceneRenderer::pick(const Scene& scene, const ViewCamera& camera, int x, int y) {
    initialise();
    setProjection();
    // Room for every hit a dense model can give in a 5 x 5 region: an overflow
    // would select nothing.
    static constexpr int kBufferSize = 16384;
    std::vector<GLuint> buffer(kBufferSize);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glSelectBuffer(kBufferSize, buffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPickMatrix(x, viewport[3] - y, 5.0, 5.0, viewport);
    gluPerspective(kFieldOfView, static_cast<double>(viewport[2]) / viewport[3], kNearPlane,
                   kFarPlane);
    glMatrixMode(GL_MODELVIEW);
    drawItems(scene, camera, true);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const GLint hits = glRenderMode(GL_RENDER);
    return chooseHit(std::span<const std::uint32_t>(buffer.data(), buffer.size()), hits);
}

void SceneRenderer::drawItems(const Scene& scene, const ViewCamera& camera, bool selecting) {
    glLoadIdentity();
    gluLookAt(kEye.x, kEye.y, kEye.z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glTranslatef(camera.panX, camera.panY, 0.0f);
    glRotatef(camera.rotX, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.rotY, 0.0f, 1.0f, 0.0f);
    for (const DrawItem& item : scene.items) {
        if (selecting && item.loadsName)
            glLoadName(static_cast<GLuint>(item.name));
        glPushMatrix();
        glMultMatrixd(item.transform.m);
        drawItem(item);
        glPopMatrix();
    }
}

void SceneRenderer::drawItem(const DrawItem& item) {
    if (item.shape != Shape::Axes)
        glColor3f(item.colour.r, item.colour.g, item.colour.b);
    switch (item.shape) {
    case Shape::Axes: {
        const double l = item.size;
        glBegin(GL_LINES);
        glColor3f(1, 0, 0);
        glVertex3d(0, 0, 0);
        glVertex3d(l, 0, 0);
        glColor3f(0, 1, 0);
        glVertex3d(0, 0, 0);
        glVertex3d(0, l, 0);
        glColor3f(0, 0, 1);
        glVertex3d(0, 0, 0);
        glVertex3d(0, 0, l);
        glEnd();
        break;
    }
    case Shape::Grid:
        shapes_.grid();
        break;
    case Shape::Line:
        glBegin(GL_LINES);
        glVertex3d(item.from.x, item.from.y, item.from.z);
        glVertex3d(item.to.x, item.to.y, item.to.z);
        glEnd();
        break;
    case Shape::Box:
        shapes_.box(item.size);
        break;
    case Shape::Sphere:
        shapes_.sphere(item.size);
        break;
    case Shape::Cone:
        shapes_.cone(item.size, item.height);
        break;
    case Shape::Geometry:
        drawGeometry();
        break;
    }
}

void SceneRenderer::setGeometry(std::shared_ptr<const DxfGeometry> geometry,
                                const DxfPlacement& placement) {
    releaseGeometryLists();
    geometry_ = std::move(geometry);
    placement_ = geometryPlacement(placement);
}

void SceneRenderer::drawGeometry() {
    if (!geometry_)
        return;
    if (placedList_ == 0) {
        geometryList_ = glGenLists(2);
        if (geometryList_ == 0)
            return;
        placedList_ = geometryList_ + 1;
        glNewList(geometryList_, GL_COMPILE);
        // Faces are outlines like every solid: a closed line strip draws what a
        // polygon in line mode draws, and Mesa's selection mode crashes on the
        // latter. Like a polygon, a "face" of fewer than three corners draws nothing.
        for (const DxfPrimitive& p : geometry_->primitives) {
            const bool face = p.kind == DxfPrimitive::Polygon;
            if (face && p.count < 3)
                continue;
            glBegin(face ? GL_LINE_STRIP : GL_LINES);
            for (unsigned i = 0; i <= p.count; ++i) {
                if (i == p.count && !face)
                    break;
                const DxfVertex& v = geometry_->vertices[p.first + i % p.count];
                glVertex3f(v.x, v.y, v.z);
            }
            glEnd();
        }
        glEndList();
        glNewList(placedList_, GL_COMPILE);
        glPushMatrix();
        glMultMatrixd(placement_.m);
        glCallList(geometryList_);
        glPopMatrix();
        glEndList();
    }
    glCallList(placedList_);
}

void SceneRenderer::releaseGeometryLists() {
    if (geometryList_ != 0)
        glDeleteLists(geometryList_, 2);
    geometryList_ = placedList_ = 0;
}

void SceneRenderer::release() {
    shapes_.release();
    releaseGeometryLists();
}

} // namespace quav
