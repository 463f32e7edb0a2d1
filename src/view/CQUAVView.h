#pragma once

// The 3-D view's window: forwards paint, size, mouse, keys and timers to the
// scene, the renderer and the view's rules, and paints the result texts and the
// axis legend over the GL picture.

#include "view/DisplayState.h"
#include "view/Scene.h"
#include "view/SceneRenderer.h"

#include <QBasicTimer>
#include <QOpenGLWidget>

#include <functional>

namespace quav {

class AnalysisModel;

class CQUAVView : public QOpenGLWidget {
    Q_OBJECT
public:
    /// The view draws the model `model()` returns (nullptr: no model) with the
    /// display settings `state`; a click selects the kind `selectionMode()` names.
    /// Both are the owner's and outlive the view.
    CQUAVView(std::function<AnalysisModel*()> model, DisplayState& state,
              std::function<SelectionMode()> selectionMode, QWidget* parent = nullptr);
    ~CQUAVView() override;

    const ViewCamera& camera() const { return camera_; }
    ViewCamera& camera() { return camera_; }
    /// The picture as shown, texts and legend included.
    QImage grabView();

public slots:
    /// Fit (menu 32819).
    void fit();
    /// Flips presentation mode (menu 32776) and redraws.
    void togglePresentation();

signals:
    /// A click changed the selection flags of the model.
    void selectionChanged();

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void syncTimers();
    void paintOverlay(AnalysisModel* model);
    void releaseGl();

    std::function<AnalysisModel*()> model_;
    DisplayState& state_;
    std::function<SelectionMode()> selectionMode_;
    ViewCamera camera_;
    Scene scene_;
    SceneRenderer renderer_;
    QBasicTimer animationTimer_;    ///< timer 1
    QBasicTimer presentationTimer_; ///< timer 2
};

} // namespace quav
