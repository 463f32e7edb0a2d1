#pragma once

// The 3-D view's window: forwards paint, size, mouse, keys and timers to the
// scene, the renderer and the view's rules, and paints the result texts and the
// axis legend over the GL picture.
//
// The picture is rendered into a framebuffer of the view's own GL context and
// read back into the widget's paint: with Mesa's software renderer, composing a
// GL widget into its window costs several times more per frame than drawing
// the whole scene, and everything else in the window stays plain raster.

#include "dialogs/MessageBoxes.h"
#include "view/DisplayState.h"
#include "view/FrameReuse.h"
#include "view/Scene.h"
#include "view/SceneRenderer.h"
#include "view/ViewControl.h"

#include <QBasicTimer>
#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;

namespace quav {

class AnalysisModel;

class CQUAVView : public QWidget {
    Q_OBJECT
public:
    /// The view draws the model `model()` returns (nullptr: no model) with the
    /// display settings `state`; a click selects the kind `selectionMode()` names.
    /// Both are the owner's and outlive the view.
    CQUAVView(std::function<AnalysisModel*()> model, DisplayState& state,
              std::function<SelectionMode()> selectionMode, QWidget* parent = nullptr);
    ~CQUAVView() override;

    /// Where result displays take their results: `results` gives the model
    /// whose results are shown (null: none), `stale` whether they are those of
    /// the model as last calculated (drawn with their model, texts in grey).
    /// Without a source the model's own results are shown while it is calculated.
    void setResultsSource(std::function<const AnalysisModel*()> results,
                          std::function<bool()> stale);
    /// Which axis points up; Auto follows the model's weight load.
    void setUpChoice(UpChoice choice);
    UpChoice upChoice() const { return upChoice_; }

    /// How the view tells the user; tests replace these with scripted answers.
    MessageBoxes messages;

    /// Draws `geometry` (null: none) placed as `placement` in place of the mass
    /// element's box. The application imports it (app/GeometryImport.h).
    void setOutline(std::shared_ptr<const DxfGeometry> geometry, const DxfPlacement& placement);
    /// Whether an imported outline stands in for the mass element's box.
    bool hasGeometry() const { return renderer_.hasGeometry(); }
    const ViewCamera& camera() const { return camera_; }
    ViewCamera& camera() { return camera_; }
    /// The picture as shown, texts and legend included.
    QImage grabView();

public slots:
    /// Fit (menu 32819): the whole model framed with a margin, as turned now.
    void fit();
    /// A standard view, then Fit.
    void showStandardView(StandardView view);
    /// Removes the outline; the box is drawn again (menu 32818).
    void dropGeometry();
    /// Copies the picture as shown, texts and legend included, to the clipboard
    /// (menu 32789, the copy command 57634); the animation and the presentation
    /// turn pause meanwhile.
    void copyScreen();

signals:
    /// A click changed the selection flags of the model.
    void selectionChanged();
    /// What a click picked or missed, for the status bar.
    void statusMessage(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void syncTimers();
    /// The scene of the current state, the display reset first where needed;
    /// returns the model drawn (the model as calculated for stale results).
    const AnalysisModel* prepareScene();
    /// The model whose results are shown, or null.
    const AnalysisModel* resultsModel() const;
    bool staleResults() const { return stale_ && stale_(); }
    /// The object under window position (x, y), as kPickRegions widen.
    int pickAt(int x, int y, const AnalysisModel* model);
    /// Makes the view's context current with a framebuffer of the view's size
    /// bound, creating them on first use; false when there is no GL.
    bool beginGl();
    void endGl();
    /// Renders the scene into frame_, from the kept pictures where they serve.
    void renderFrame();
    /// Copies the colours and depths of one framebuffer into another of its size.
    static void copyPicture(QOpenGLFramebufferObject* from, QOpenGLFramebufferObject* to);
    void paintOverlay(QPainter& painter, const AnalysisModel* model, const AnalysisModel* live);

    std::function<AnalysisModel*()> model_;
    DisplayState& state_;
    std::function<SelectionMode()> selectionMode_;
    std::function<const AnalysisModel*()> results_;
    std::function<bool()> stale_;
    UpChoice upChoice_ = UpChoice::Auto;
    ViewCamera camera_;
    Scene scene_;
    SceneRenderer renderer_;
    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<QOffscreenSurface> surface_;
    std::unique_ptr<QOpenGLFramebufferObject> framebuffer_;
    std::unique_ptr<QOpenGLFramebufferObject> layer_; ///< the scene's unchanging first items
    FrameReuse reuse_;
    bool glFailed_ = false;
    QImage frame_;                  ///< the last picture read back
    QBasicTimer animationTimer_;    ///< timer 1
    QBasicTimer presentationTimer_; ///< timer 2
};

} // namespace quav
