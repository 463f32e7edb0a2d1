#include "view/SceneRenderer.h"

#include "view/ViewControl.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <vector>

namespace quav {

void SceneRenderer::initialise() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
}

void SceneRenderer::resize(int width, int height) {
    if (height <= 0)
        return;
    width_ = width;
    height_ = height;
}

void SceneRenderer::setProjection(bool topRowFirst) {
    glViewport(0, 0, width_, height_);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (topRowFirst)
        glScalef(1.0f, -1.0f, 1.0f);
    gluPerspective(kFieldOfView, static_cast<double>(width_) / height_, kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
}

void SceneRenderer::render(std::span<const DrawItem> items, const ViewCamera& camera,
                           bool topRowFirst, bool clear) {
    setProjection(topRowFirst);
    if (clear)
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawBatch(items, camera, false);
}

std::vector<PickHit> SceneRenderer::pick(const Scene& scene, const ViewCamera& camera, int x, int y,
                                         int size) {
    setProjection(false);
    // Room for every hit a dense model can give in the pick region: an overflow
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
    gluPickMatrix(x, viewport[3] - y, size, size, viewport);
    gluPerspective(kFieldOfView, static_cast<double>(viewport[2]) / viewport[3], kNearPlane,
                   kFarPlane);
    glMatrixMode(GL_MODELVIEW);
    drawBatch(scene.items, camera, true);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const GLint hits = glRenderMode(GL_RENDER);
    return selectionHits(std::span<const std::uint32_t>(buffer.data(), buffer.size()), hits);
}

void SceneRenderer::drawBatch(std::span<const DrawItem> items, const ViewCamera& camera,
                              bool selecting) {
    batch_.build(items, shapes_, geometry_ ? &placedGeometry_ : nullptr, selecting);
    glLoadIdentity();
    gluLookAt(kEye.x, kEye.y, kEye.z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glTranslatef(camera.panX, camera.panY, 0.0f);
    glRotatef(camera.rotX, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.rotY, 0.0f, 1.0f, 0.0f);
    if (camera.up == UpAxis::Z) {
        // z up the screen: the quarter turn about x, exactly.
        static const GLdouble zToY[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
        glMultMatrixd(zToY);
    }
    if (batch_.lines.empty())
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, batch_.positions.data());
    glColorPointer(3, GL_FLOAT, 0, batch_.colours.data());
    if (!selecting) {
        glDrawElements(GL_LINES, static_cast<GLsizei>(batch_.lines.size()), GL_UNSIGNED_INT,
                       batch_.lines.data());
    } else {
        // One draw per object, each under its own name, in the scene's order.
        for (const LineBatch::Range& r : batch_.ranges) {
            if (r.loadsName)
                glLoadName(static_cast<GLuint>(r.name));
            if (r.count > 0)
                glDrawElements(GL_LINES, static_cast<GLsizei>(r.count), GL_UNSIGNED_INT,
                               batch_.lines.data() + r.first);
            if (r.triangleCount > 0)
                glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(r.triangleCount), GL_UNSIGNED_INT,
                               batch_.triangles.data() + r.firstTriangle);
        }
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void SceneRenderer::setGeometry(std::shared_ptr<const DxfGeometry> geometry,
                                const DxfPlacement& placement) {
    if (!geometry && !geometry_)
        return; // nothing to drop, and the pictures kept stay valid
    geometry_ = std::move(geometry);
    ++geometryVersion_;
    placedGeometry_ = geometry_ ? geometryShape(*geometry_, placement) : LineShape{};
}

} // namespace quav
