// The view on a real GL context under Xvfb: frames read back, picks, the clipboard.
#include "view/CQUAVView.h"
#include "app/GeometryImport.h"
#include "view/ViewControl.h"

#include "ViewTestModels.h"

#include <QApplication>
#include <QClipboard>
#include <QtTest>

using namespace quav;

namespace {

/// Whether some pixel within `radius` of `at` has exactly the colour `rgb`.
bool colourNear(const QImage& image, QPointF at, QRgb rgb, int radius = 2) {
    const QPoint c = at.toPoint();
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint p = c + QPoint(dx, dy);
            if (image.rect().contains(p) && (image.pixel(p) & 0xffffff) == (rgb & 0xffffff))
                return true;
        }
    return false;
}

/// Pixels of text: near white in every channel (text is anti-aliased).
int brightPixels(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200;
        }
    return n;
}

} // namespace

class CQUAVViewTest : public QObject {
    Q_OBJECT

    AnalysisModel model_ = testing::viewModel();
    bool haveModel_ = true; ///< the document has a model
    DisplayState state_;
    SelectionMode mode_ = SelectionMode::None;
    std::unique_ptr<CQUAVView> view_;
    int selectionSignals_ = 0;
    /// Window position of a point given in an item's own frame.
    QPointF at(Shape shape, int name, Point3 local = {}) {
        Scene scene;
        buildScene(scene, &model_, state_, view_->camera(), view_->hasGeometry());
        for (const DrawItem& i : scene.items)
            if (i.shape == shape && i.name == name) {
                const WindowPoint w = projectToWindow(i.transform.apply(local), view_->camera(),
                                                      view_->width(), view_->height());
                return {w.x, w.y};
            }
        return {-1, -1};
    }

    void click(QPointF p) { QTest::mouseClick(view_.get(), Qt::LeftButton, {}, p.toPoint()); }

private slots:
    void init() {
        model_ = testing::viewModel();
        haveModel_ = true;
        state_ = DisplayState{};
        view_ = std::make_unique<CQUAVView>(
            [this]() -> AnalysisModel* { return haveModel_ ? &model_ : nullptr; }, state_,
            [this] { return mode_; });
        connect(view_.get(), &CQUAVView::selectionChanged, [this] { ++selectionSignals_; });
        view_->resize(960, 480);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
        view_->fit();
    }

    void cleanup() { view_.reset(); }

    void frameShowsTheModelInItsColours() {
        model_.springs[1].selected = 1;
        const QImage image = view_->grabView();
        QCOMPARE(image.size(), view_->size());
        QCOMPARE(image.pixel(5, 5) & 0xffffff, 0u); // black background
        // White body: the middle of the top front edge of its box.
        QVERIFY(colourNear(image, at(Shape::Box, 1, {0, 0.5, 0.5}), qRgb(255, 255, 255)));
        // The selected spring red, the bound one yellow: the middles of box edges.
        QVERIFY(colourNear(image, at(Shape::Box, 3, {0.05, 0.05, 0}), qRgb(255, 0, 0)));
        QVERIFY(colourNear(image, at(Shape::Box, 2, {0.05, 0, 0.05}), qRgb(255, 255, 0)));
        // The legend: its three lines and white text.
        const int h = view_->height();
        QCOMPARE((QList{image.pixel(40, h - 20) & 0xffffff, image.pixel(90, h - 20) & 0xffffff,
                        image.pixel(140, h - 20) & 0xffffff}),
                 (QList{0xff0000u, 0x00ff00u, 0x0000ffu}));
        QVERIFY(brightPixels(image, QRect(20, h - 30, 10, 16)) > 3);
    }

    void clicksToggleWhatTheSelectionModeAllows() {
        // A click picks only what the mode asks for (none: what a result display describes).
        struct Case {
            SelectionMode mode;
            bool spring, load, point;
        };
        const Case cases[] = {{SelectionMode::Springs, true, false, false},
                              {SelectionMode::Loads, false, true, false},
                              {SelectionMode::ObservationPoints, false, false, true},
                              {SelectionMode::All, true, true, true},
                              {SelectionMode::None, false, false, false}};
        for (const Case& c : cases) {
            mode_ = c.mode;
            // The spring's own origin, the middle of the load's arrow, the point.
            const QPointF spring = at(Shape::Axes, 2);
            const QPointF load = at(Shape::Line, 4, {0, -0.1, 0});
            const QPointF point = at(Shape::Sphere, 6);
            QList<int> picked;
            for (QPointF p : {spring, load, point}) {
                click(p);
                picked << view_->camera().pickResult;
            }
            const int none = kNothingPicked;
            const bool any = c.mode == SelectionMode::None;
            QCOMPARE(picked, (QList{c.spring || any ? 2 : none, c.load || any ? 4 : none,
                                    c.point || any ? 6 : none}));
            QCOMPARE((QList{model_.springs[0].selected, model_.staticLoads[0].selected,
                            model_.observationPoints[0].selected}),
                     (QList{int(c.spring), int(c.load), int(c.point)}));
            for (QPointF p : {spring, load, point})
                click(p); // a second click deselects
            QCOMPARE(model_.selectedSpringCount() + model_.selectedLoadCount() +
                         model_.selectedObservationPointCount(),
                     0);
        }
        QCOMPARE(selectionSignals_, 2 * (1 + 1 + 1 + 3));
        // The body is picked without a mode but never selected; empty space hits nothing.
        const QPointF bodyEdge = at(Shape::Box, 1, {-0.5, 0, 0.5});
        mode_ = SelectionMode::None;
        click(bodyEdge);
        QCOMPARE(view_->camera().pickResult, model_.massElementId);
        mode_ = SelectionMode::All;
        click(bodyEdge);
        QCOMPARE(view_->camera().pickResult, kNothingPicked);
        click(QPointF(3, 3));
        QCOMPARE(view_->camera().pickResult, kNothingPicked);
        QCOMPARE(model_.selectedSpringCount(), 0);
    }

    void pickHitsInsideBoxesAndWithinFivePixels() {
        // A spring half inside the body is picked by a click on its middle.
        model_.springs[1].position = Matrix::vector({0.1, 0.4, 0.47});
        model_.springs[1].size = 0.2f;
        view_->fit();
        mode_ = SelectionMode::Springs;
        QStringList said;
        connect(view_.get(), &CQUAVView::statusMessage, [&](const QString& t) { said << t; });
        // Off its own axes, which start at its middle.
        click(at(Shape::Box, 3, {0.05, -0.06, 0.07}));
        QCOMPARE(view_->camera().pickResult, 3);
        QCOMPARE(model_.springs[1].selected, 1);
        QCOMPARE(said.last(), QStringLiteral("ばね要素 rear を選択"));
        // An observation point 4 pixels beside its sphere is picked, 9 pixels off is not.
        mode_ = SelectionMode::ObservationPoints;
        const QPointF centre = at(Shape::Sphere, 6);
        const double radius = at(Shape::Sphere, 6, {0.02, 0, 0}).x() - centre.x();
        click(centre + QPointF(std::abs(radius) + 4, 0));
        QCOMPARE(view_->camera().pickResult, 6);
        click(centre + QPointF(std::abs(radius) + 9, 0));
        QCOMPARE(view_->camera().pickResult, kNothingPicked);
        QCOMPARE(said.last(), QStringLiteral("クリック位置の 5 ピクセル以内に観測点がありません"));
    }

    void resultDisplayAnimatesAndPrintsPickedObject() {
        state_.showMode(1);
        view_->update();
        QTRY_VERIFY(state_.phase > 0.0); // timer 1 runs while animating
        QTest::keyClick(view_.get(), Qt::Key_S);
        const double stopped = state_.phase;
        QTest::qWait(150);
        QCOMPARE(state_.phase, stopped);
        QTest::keyClick(view_.get(), Qt::Key_D);
        QVERIFY(state_.phase != stopped);
        state_.presentationMode = true; // timer 2 turns the model
        view_->update();
        QTRY_VERIFY(view_->camera().rotY >= 2.0f);
        state_.presentationMode = false;
        state_.showStaticLoad(0);
        mode_ = SelectionMode::Springs;
        click(at(Shape::Axes, 3));
        QCOMPARE(view_->camera().pickResult, 3);
        const QImage image = view_->grabView();
        // The texts go down to the spring block's last line, the seventh.
        QVERIFY(brightPixels(image, QRect(0, 4 + 6 * 22, 120, 20)) > 20);
    }

    void animatedFramesEqualFramesDrawnWhole() {
        // At amplitude 0 the moving body lies on the grey one: the first drawn wins.
        state_.showMode(1);
        state_.animating = false;
        const DisplayState rest = state_;
        const QImage whole = view_->grabView();
        for (int step = 0; step < 3; ++step) {
            animationStep(state_); // the springs and the grey body are kept as a layer
            view_->grabView();
        }
        state_ = rest;
        QCOMPARE(view_->grabView(), whole);
    }

    void importedOutlineStandsInForTheBox() {
        QStringList said;
        GeometryImport import;
        import.messages.inform = [&](QWidget*, const QString& text) { said << text;
    };
    QString file = QStringLiteral("/nonexistent/outline.dxf");
    import.chooseFile = [&](QWidget*) { return file;
};
DxfPlacement offered;
bool accept = true;
import.choosePlacement = [&](QWidget*, DxfPlacement& p) { offered = p;
return accept;
}
;
import.run(*view_, &model_);
file = QStringLiteral(QUAV_EXAMPLES); // a folder
import.run(*view_, &model_);
QCOMPARE(said, QStringList(2, QStringLiteral("ﾌｧｲﾙが開けません")));
file = QStringLiteral(QUAV_EXAMPLES "/power_unit_outline.dxf");
import.run(*view_, &model_);
QVERIFY(view_->hasGeometry());
// The centre of gravity, no turn, scale 1.
QCOMPARE(std::tuple(offered.x, offered.z, offered.angleY, offered.scale),
         std::tuple(0.1, 0.3, 0.0, 1.0));
const QImage image = view_->grabView();
// The crankshaft line of the drawing, placed as in the file.
const QPointF crank = at(Shape::Geometry, 1, geometryPlacement(offered).apply({0.3, 0, 0.1}));
QVERIFY(colourNear(image, crank, qRgb(255, 255, 255)));
// Faces are picked as the mass element.
mode_ = SelectionMode::None;
click(crank);
QCOMPARE(view_->camera().pickResult, model_.massElementId);
accept = false; // cancelling the placement removes the outline
import.run(*view_, &model_);
QVERIFY(!view_->hasGeometry());
accept = true;
import.run(*view_, &model_);
view_->dropGeometry();
QVERIFY(!view_->hasGeometry());
import.run(*view_, &model_);
import.run(*view_, nullptr);
QCOMPARE(said.last(), QStringLiteral("質量要素がありません"));
QCOMPARE(said.size(), 3);
// The outline goes with the model.
QVERIFY(view_->hasGeometry());
haveModel_ = false;
view_->grabView();
QVERIFY(!view_->hasGeometry());
}

void copiesThePictureAsShown() {
    QStringList said;
    state_.showMode(1);
    state_.presentationMode = true;
    bool pausedDuringCopy = false;
    view_->messages.inform = [&](QWidget*, const QString& text) {
        said << text;
        pausedDuringCopy = !state_.animating && !state_.presentationMode;
    };
    view_->copyScreen();
    QVERIFY(pausedDuringCopy);
    QVERIFY(state_.animating && state_.presentationMode); // restored
    const QImage copied = QApplication::clipboard()->image();
    QCOMPARE(copied.size(), view_->size());
    QCOMPARE(said, QStringList{QStringLiteral("画面を画像としてｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰしました。\r\n"
                                              "画像編集ｿﾌﾄ等へ貼り付けてください。")});
    // The mode texts are part of the copy.
    QVERIFY(brightPixels(copied, QRect(0, 0, 60, 18)) > 10);
}

void drawsAgainInANewWindow() {
    // Moving the view to another top-level window may give it a new context.
    QWidget other;
    other.resize(960, 480);
    view_->setParent(&other);
    view_->move(0, 0);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    const QImage image = view_->grabView();
    QVERIFY(colourNear(image, at(Shape::Box, 1, {0, 0.5, 0.5}), qRgb(255, 255, 255)));
    view_->setParent(nullptr);
}
}
;

int main(int argc, char** argv) {
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Noto Sans CJK JP")));
    CQUAVViewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CQUAVViewTest.moc"
