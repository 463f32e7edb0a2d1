#include "view/CQUAVView.h"

#include "dialogs/ScreenCopy.h"
#include "model/AnalysisModel.h"
#include "view/Overlay.h"
#include "view/ViewControl.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QPainter>
#include <QWheelEvent>

#include <GL/gl.h>

namespace quav {

namespace {

constexpr int kTimerPeriodMs = 50;

QFont overlayFont() {
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(14);
    return font;
}

} // namespace

CQUAVView::CQUAVView(std::function<AnalysisModel*()> model, DisplayState& state,
                     std::function<SelectionMode()> selectionMode, QWidget* parent)
    : QWidget(parent), model_(std::move(model)), state_(state),
      selectionMode_(std::move(selectionMode)) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(64, 64);
    // Every pixel is painted each time; nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CQUAVView::~CQUAVView() {
    if (context_ && context_->makeCurrent(surface_.get())) {
        framebuffer_.reset();
        layer_.reset();
        context_->doneCurrent();
    }
}

bool CQUAVView::beginGl() {
    if (glFailed_)
        return false;
    if (!context_) {
        context_ = std::make_unique<QOpenGLContext>();
        // The default format: a compatibility context, with the fixed-function
        // pipeline and the selection mode.
        surface_ = std::make_unique<QOffscreenSurface>();
        if (!context_->create() ||
            (surface_->setFormat(context_->format()), surface_->create(), !surface_->isValid())) {
            glFailed_ = true;
            context_.reset();
            surface_.reset();
            // Reported once, without holding up the paint that found it.
            auto* box =
                new QMessageBox(QMessageBox::Critical, QStringLiteral("ERROR"),
                                QStringLiteral("Creating HGLRC Failed...."), QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
            return false;
        }
    }
    if (!context_->makeCurrent(surface_.get()))
        return false;
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(qMax(1, qRound(width() * dpr)), qMax(1, qRound(height() * dpr)));
    if (!framebuffer_ || framebuffer_->size() != pixels) {
        framebuffer_ = std::make_unique<QOpenGLFramebufferObject>(
            pixels, QOpenGLFramebufferObject::CombinedDepthStencil);
        layer_.reset();
        reuse_.clear();
        renderer_.initialise();
        renderer_.resize(pixels.width(), pixels.height());
    }
    framebuffer_->bind();
    return true;
}

void CQUAVView::endGl() {
    context_->doneCurrent();
}

void CQUAVView::syncTimers() {
    if (state_.presentationMode != presentationTimer_.isActive()) {
        if (state_.presentationMode)
            presentationTimer_.start(kTimerPeriodMs, this);
        else
            presentationTimer_.stop();
    }
    if (state_.animating != animationTimer_.isActive()) {
        if (state_.animating)
            animationTimer_.start(kTimerPeriodMs, this);
        else
            animationTimer_.stop();
    }
}

void CQUAVView::setResultsSource(std::function<const AnalysisModel*()> results,
                                 std::function<bool()> stale) {
    results_ = std::move(results);
    stale_ = std::move(stale);
    update();
}

void CQUAVView::setUpChoice(UpChoice choice) {
    upChoice_ = choice;
    update();
}

const AnalysisModel* CQUAVView::resultsModel() const {
    if (results_)
        return results_();
    const AnalysisModel* model = model_();
    return model && model->calculated ? model : nullptr;
}

const AnalysisModel* CQUAVView::prepareScene() {
    AnalysisModel* model = model_();
    const AnalysisModel* results = resultsModel();
    prepareDisplay(state_, model, results);
    camera_.up = resolveUpAxis(upChoice_, model);
    const bool live = state_.displayKind == DisplayKind::Model ||
                      state_.displayKind == DisplayKind::LoadCaseResult;
    const AnalysisModel* drawn = live ? model : results;
    buildScene(scene_, drawn, state_, camera_, renderer_.hasGeometry());
    return drawn;
}

void CQUAVView::renderFrame() {
    const QSize pixels = framebuffer_->size();
    const FrameKey key{camera_.panX,
                       camera_.panY,
                       camera_.rotX,
                       camera_.rotY,
                       pixels.width(),
                       pixels.height(),
                       renderer_.geometryVersion(),
                       camera_.up};
    FrameReuse::Plan plan = reuse_.plan(scene_.items, key);
    if (plan.reuseFrame && frame_.size() == pixels)
        return;
    if (plan.layerEnd > 0 && !QOpenGLFramebufferObject::hasOpenGLFramebufferBlit())
        plan = {};
    const std::span<const DrawItem> items(scene_.items);
    // Drawn upside down, so GL's first row (its bottom) is the image's top row.
    if (plan.storeLayer) {
        if (!layer_)
            layer_ = std::make_unique<QOpenGLFramebufferObject>(
                pixels, QOpenGLFramebufferObject::CombinedDepthStencil);
        layer_->bind();
        renderer_.render(items.first(plan.layerEnd), camera_, true);
    }
    if (plan.layerEnd > 0) {
        copyPicture(layer_.get(), framebuffer_.get());
        framebuffer_->bind();
        renderer_.render(items.subspan(plan.layerEnd), camera_, true, false);
    } else {
        framebuffer_->bind();
        renderer_.render(items, camera_, true);
    }
    if (frame_.size() != pixels)
        frame_ = QImage(pixels, QImage::Format_RGB32);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, pixels.width(), pixels.height(), GL_BGRA, GL_UNSIGNED_BYTE, frame_.bits());
    frame_.setDevicePixelRatio(devicePixelRatioF());
}

void CQUAVView::copyPicture(QOpenGLFramebufferObject* from, QOpenGLFramebufferObject* to) {
    // The stencil goes along: Mesa copies the depths of a combined depth and
    // stencil buffer only with it (without, they stay as they were, unreported).
    const QRect all(QPoint(0, 0), from->size());
    QOpenGLFramebufferObject::blitFramebuffer(
        to, all, from, all, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT,
        GL_NEAREST);
}

void CQUAVView::paintEvent(QPaintEvent*) {
    syncTimers();
    const AnalysisModel* model = prepareScene();
    QPainter painter(this);
    if (!scene_.hasModel)
        renderer_.setGeometry(nullptr, {});
    if (beginGl()) {
        renderFrame();
        endGl();
        painter.drawImage(0, 0, frame_);
    } else {
        painter.fillRect(rect(), Qt::black);
    }
    paintOverlay(painter, model, model_());
}

void CQUAVView::paintOverlay(QPainter& painter, const AnalysisModel* model,
                             const AnalysisModel* live) {
    const bool stale = state_.displayKind != DisplayKind::Model &&
                       state_.displayKind != DisplayKind::LoadCaseResult && staleResults();
    const Overlay overlay = buildOverlay(model, state_, camera_.pickResult, height(), stale);
    painter.setFont(overlayFont());
    const QFontMetrics metrics(painter.font());
    auto box = [&](const OverlayText& t, const QString& text) {
        const int w = metrics.horizontalAdvance(text);
        return QRect(t.alignRight ? t.x - w : t.x, t.y, w, metrics.height());
    };
    // One translucent panel behind the result texts, so the model shows through
    // but does not cross the numbers.
    QRect panel;
    for (const OverlayText& t : overlay.texts)
        if (t.onPanel)
            panel |= box(t, QString::fromStdString(t.text));
    if (!panel.isNull()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 185));
        painter.drawRoundedRect(panel.adjusted(-6, -4, 8, 4), 5, 5);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    for (const OverlayText& t : overlay.texts) {
        const QString text = QString::fromStdString(t.text);
        const QRect r = box(t, text);
        if (!t.onPanel)
            painter.fillRect(r, Qt::black);
        painter.setPen(QColor::fromRgbF(t.colour.r, t.colour.g, t.colour.b));
        painter.drawText(r.left(), t.y + metrics.ascent(), text);
    }
    for (const OverlayLine& l : overlay.lines) {
        painter.setPen(QPen(QColor::fromRgbF(l.colour.r, l.colour.g, l.colour.b), 1));
        painter.drawLine(l.x1, l.y1, l.x2, l.y2);
    }
    for (const AxisLabel& l : springAxisLabels(live, state_, camera_, width(), height())) {
        painter.setPen(QColor::fromRgbF(l.colour.r, l.colour.g, l.colour.b));
        painter.drawText(QPointF(l.at.x + 2, l.at.y + metrics.ascent() / 2.0),
                         QString(QChar(l.axis)));
    }
}

QImage CQUAVView::grabView() {
    return grab().toImage();
}

void CQUAVView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    camera_.lastX = at.x();
    camera_.lastY = at.y();
    if (event->button() == Qt::RightButton) {
        camera_.rightDragging = true;
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    camera_.leftDragging = true;
    // A drag that turns, zooms or pans picks nothing.
    if (event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))
        return;
    const AnalysisModel* drawn = prepareScene();
    AnalysisModel* model = model_();
    if (!beginGl())
        return;
    camera_.pickResult = pickAt(at.x(), at.y(), drawn);
    endGl();
    const SelectionMode mode = selectionMode_();
    if (model && applyPick(*model, mode, camera_.pickResult))
        emit selectionChanged();
    if (model) {
        const std::string text = pickStatus(*model, mode, state_.displayKind, camera_.pickResult);
        if (!text.empty())
            emit statusMessage(QString::fromStdString(text));
    }
    update();
}

int CQUAVView::pickAt(int x, int y, const AnalysisModel* model) {
    const qreal dpr = devicePixelRatioF();
    const SelectionMode mode = selectionMode_();
    // The smallest region that holds what the mode wants; failing that, the
    // first that held the body (whose texts a result display shows).
    int fallback = kNothingPicked;
    for (int size : kPickRegions) {
        const int pixels = qMax(1, qRound(size * dpr));
        const std::vector<PickHit> hits =
            renderer_.pick(scene_, camera_, qRound(x * dpr), qRound(y * dpr), pixels);
        const PickChoice choice = choosePick(hits, model, mode);
        if (choice.wanted)
            return choice.name;
        if (fallback == kNothingPicked)
            fallback = choice.name;
    }
    return fallback;
}

void CQUAVView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        camera_.leftDragging = false;
    else if (event->button() == Qt::RightButton)
        camera_.rightDragging = false;
}

void CQUAVView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const Qt::KeyboardModifiers keys = event->modifiers();
    if (dragCamera(camera_, state_, at.x(), at.y(), keys & Qt::ControlModifier,
                   keys & Qt::ShiftModifier))
        update();
}

void CQUAVView::wheelEvent(QWheelEvent* event) {
    const QPoint at = event->position().toPoint();
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0.0) {
        event->ignore();
        return;
    }
    wheelZoom(camera_, state_, steps, at.x(), at.y(), width(), height());
    event->accept();
    update();
}

void CQUAVView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z &&
        animationKey(state_, static_cast<char>('A' + (key - Qt::Key_A)))) {
        update();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CQUAVView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == animationTimer_.timerId()) {
        animationStep(state_);
        update();
    } else if (event->timerId() == presentationTimer_.timerId()) {
        presentationTick(camera_);
        update();
    } else {
        QWidget::timerEvent(event);
    }
}

void CQUAVView::fit() {
    AnalysisModel* model = model_();
    if (!model)
        return;
    camera_.up = resolveUpAxis(upChoice_, model);
    fitView(camera_, state_, model, width(), height());
    update();
}

void CQUAVView::showStandardView(StandardView view) {
    setStandardView(camera_, view);
    fit();
    update();
}

void CQUAVView::dropGeometry() {
    setOutline(nullptr, {});
}

void CQUAVView::setOutline(std::shared_ptr<const DxfGeometry> geometry,
                           const DxfPlacement& placement) {
    renderer_.setGeometry(std::move(geometry), placement);
    update();
}

void CQUAVView::copyScreen() {
    const bool animating = state_.animating, presentation = state_.presentationMode;
    state_.animating = state_.presentationMode = false;
    copyScreenToClipboard(this, grabView(), messages);
    state_.animating = animating;
    state_.presentationMode = presentation;
    update();
}

} // namespace quav
