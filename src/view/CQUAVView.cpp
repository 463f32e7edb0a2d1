#include "view/CQUAVView.h"

#include "dialogs/DxfPlacementDialog.h"
#include "model/AnalysisModel.h"
#include "view/Overlay.h"
#include "view/ViewControl.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLPaintDevice>
#include <QPainter>

#include <GL/gl.h>

#include <fstream>

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
    : QOpenGLWidget(parent), model_(std::move(model)), state_(state),
      selectionMode_(std::move(selectionMode)) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(64, 64);
}

CQUAVView::~CQUAVView() {
    releaseGl();
}

void CQUAVView::initializeGL() {
    // A new context (the view moved to another window): the lists of the old one
    // were released when it went away and are compiled again as they are drawn.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CQUAVView::releaseGl,
            Qt::UniqueConnection);
    renderer_.initialise();
}

void CQUAVView::releaseGl() {
    if (!context())
        return;
    makeCurrent();
    renderer_.release();
    doneCurrent();
}

void CQUAVView::resizeGL(int w, int h) {
    const qreal dpr = devicePixelRatioF();
    renderer_.resize(qRound(w * dpr), qRound(h * dpr));
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

void CQUAVView::paintGL() {
    syncTimers();
    AnalysisModel* model = model_();
    prepareDisplay(state_, model);
    buildScene(scene_, model, state_, camera_, renderer_.hasGeometry());
    if (!scene_.hasModel)
        renderer_.setGeometry(nullptr, {});

    const qreal dpr = devicePixelRatioF();
    QOpenGLPaintDevice device(size() * dpr);
    device.setDevicePixelRatio(dpr);
    QPainter painter(&device);
    // The picture is drawn with fixed-function GL inside the painter, so the
    // texts painted afterwards land on it and a grab of the view keeps them.
    painter.beginNativePainting();
    renderer_.render(scene_, camera_);
    painter.endNativePainting();

    const Overlay overlay = buildOverlay(model, state_, camera_.pickResult, height());
    painter.setFont(overlayFont());
    const QFontMetrics metrics(painter.font());
    for (const OverlayText& t : overlay.texts) {
        const QString text = QString::fromStdString(t.text);
        painter.fillRect(QRect(t.x, t.y, metrics.horizontalAdvance(text), metrics.height()),
                         Qt::black);
        painter.setPen(Qt::white);
        painter.drawText(t.x, t.y + metrics.ascent(), text);
    }
    for (const OverlayLine& l : overlay.lines) {
        painter.setPen(QPen(QColor::fromRgbF(l.colour.r, l.colour.g, l.colour.b), 1));
        painter.drawLine(l.x1, l.y1, l.x2, l.y2);
    }
}

QImage CQUAVView::grabView() {
    return grabFramebuffer();
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
    AnalysisModel* model = model_();
    prepareDisplay(state_, model);
    buildScene(scene_, model, state_, camera_, renderer_.hasGeometry());
    const qreal dpr = devicePixelRatioF();
    makeCurrent();
    camera_.pickResult =
        renderer_.pick(scene_, camera_, qRound(at.x() * dpr), qRound(at.y() * dpr));
    doneCurrent();
    if (model && applyPick(*model, selectionMode_(), camera_.pickResult))
        emit selectionChanged();
    update();
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

void CQUAVView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z &&
        animationKey(state_, static_cast<char>('A' + (key - Qt::Key_A)))) {
        update();
        return;
    }
    QOpenGLWidget::keyPressEvent(event);
}

void CQUAVView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == animationTimer_.timerId()) {
        animationStep(state_);
        update();
    } else if (event->timerId() == presentationTimer_.timerId()) {
        presentationTick(camera_);
        update();
    } else {
        QOpenGLWidget::timerEvent(event);
    }
}

void CQUAVView::fit() {
    AnalysisModel* model = model_();
    if (!model)
        return;
    fitView(camera_, state_, model);
    update();
}

QString CQUAVView::askGeometryFile(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // a name that cannot be opened is reported
    dialog.setDefaultSuffix(QStringLiteral("dxf"));
    dialog.setNameFilters({QStringLiteral("dxfﾌｧｲﾙ(*.dxf)"), QStringLiteral("すべてのﾌｧｲﾙ(*.*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

bool CQUAVView::askPlacement(QWidget* parent, DxfPlacement& placement) {
    DxfPlacementDialog dialog(placement, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    placement = dialog.values;
    return true;
}

void CQUAVView::importGeometry() {
    const AnalysisModel* model = model_();
    if (!model) {
        messages.inform(this, QStringLiteral("質量要素がありません"));
        return;
    }
    const QString path = chooseGeometryFile(this);
    if (path.isEmpty())
        return;
    std::ifstream file(QFile::encodeName(path).toStdString());
    if (!file) {
        messages.inform(this, QStringLiteral("ﾌｧｲﾙが開けません"));
        return;
    }
    auto geometry = std::make_shared<const DxfGeometry>(readDxf(file));
    DxfPlacement placement;
    placement.x = model->centreOfGravity[0];
    placement.y = model->centreOfGravity[1];
    placement.z = model->centreOfGravity[2];
    // Cancelling removes any outline shown before.
    if (!choosePlacement(this, placement))
        geometry.reset();
    setGeometry(std::move(geometry), placement);
}

void CQUAVView::dropGeometry() {
    setGeometry(nullptr, {});
}

void CQUAVView::setGeometry(std::shared_ptr<const DxfGeometry> geometry,
                            const DxfPlacement& placement) {
    makeCurrent();
    renderer_.setGeometry(std::move(geometry), placement);
    doneCurrent();
    update();
}

void CQUAVView::copyScreen() {
    const bool animating = state_.animating, presentation = state_.presentationMode;
    state_.animating = state_.presentationMode = false;
    QApplication::clipboard()->setImage(grabView());
    messages.inform(this, QStringLiteral("画面を画像としてｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰしました。\r\n"
                                         "画像編集ｿﾌﾄ等へ貼り付けてください。"));
    state_.animating = animating;
    state_.presentationMode = presentation;
    update();
}

void CQUAVView::togglePresentation() {
    state_.presentationMode = !state_.presentationMode;
    update();
}

} // namespace quav
