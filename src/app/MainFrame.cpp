#include "app/MainFrame.h"

#include "app/AnalysisMenu.h"
#include "app/DocumentFiles.h"
#include "app/FileNames.h"
#include "app/LockIndicators.h"
#include "app/OperationTree.h"
#include "dialogs/InfoDialogs.h"
#include "document/Document.h"
#include "document/EditingCommands.h"
#include "document/ResultCommands.h"
#include "view/CQUAVView.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include <cctype>

namespace quav {

namespace {

const QString kReady = QStringLiteral("ﾚﾃﾞｨ");

/// The local .quav file among dropped URLs, if any, as the bytes of its path.
std::string droppedModel(const QMimeData* data) {
    for (const QUrl& url : data->urls()) {
        std::string path = localFileBytes(url);
        std::string ending = path.size() >= 5 ? path.substr(path.size() - 5) : std::string();
        for (char& c : ending)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ending == ".quav")
            return path;
    }
    return {};
}

} // namespace

CMainFrame::CMainFrame(CQUAVDoc& doc, QWidget* parent) : QMainWindow(parent), doc_(doc), ui_(this) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(programIcon());
    setAcceptDrops(true);
    menu_ = MainMenu::build(this);
    buildToolBar();
    buildStatusBar();

    dock_ = new QDockWidget(QStringLiteral("QUAV操作ﾒﾆｭｰ"), this);
    dock_->setObjectName(QStringLiteral("103"));
    // The tree is the main way in: it moves and floats but has no close button
    // (表示 still hides and shows it).
    dock_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    tree_ = new OperationTree(dock_);
    dock_->setWidget(tree_);
    addDockWidget(Qt::RightDockWidgetArea, dock_);
    // Not the dock's own toggle action, which a dock without a close button disables.
    auto* toggleTree = new QAction(this);
    toggleTree->setCheckable(true);
    toggleTree->setChecked(true);
    connect(toggleTree, &QAction::toggled, dock_, &QDockWidget::setVisible);
    connect(dock_, &QDockWidget::visibilityChanged, toggleTree, [this, toggleTree] {
        // Visible but covered by another tab is still shown: only hiding unchecks.
        toggleTree->setChecked(!dock_->isHidden());
    });
    toggleTree->setObjectName(QString::number(cmd::OperationBar));
    toggleTree->setText(QStringLiteral("操作ﾒﾆｭｰ(&O)"));
    toggleTree->setStatusTip(QStringLiteral("MenuDialogBar の表示または非表示"));
    menu_.actions.insert(cmd::OperationBar, toggleTree);
    menu_.viewMenu->insertAction(menu_[cmd::PresentationMode], toggleTree);
    resizeDocks({dock_}, {220}, Qt::Horizontal);

    dispatcher_ = std::make_unique<OperationDispatcher>(
        *tree_, DispatchTarget{doc_, ui_, display_, selectionMode_});
    tree_->setDispatcher(dispatcher_.get());
    files_ = new DocumentFiles(doc_, this);
    files_->attachRecentMenu(menu_.fileMenu, menu_.recentPlaceholder);

    view_ = new CQUAVView([this] { return doc_.model(); }, display_,
                          [this] { return selectionMode_; }, this);
    setCentralWidget(view_);
    // A pick changes the selection flags that the editing commands act on.
    connect(view_, &CQUAVView::selectionChanged, this, [this] { doc_.updateAllViews(); });

    doc_.addListener([this](DocumentEvent e) { onDocumentEvent(static_cast<int>(e)); });
    connectCommands();
    new AnalysisMenu(this, doc_, ui_);
    updateTitle();
    resize(1000, 700);
    tree_->setFocus(); // the tree is the way in
}

CMainFrame::~CMainFrame() {
    tree_->setDispatcher(nullptr);
}

void CMainFrame::buildToolBar() {
    toolBar_ = addToolBar(QStringLiteral("ツール バー"));
    toolBar_->setObjectName(QStringLiteral("59392bar"));
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    const struct {
        int id;
        QStyle::StandardPixmap icon;
        const char* tip;
    } buttons[] = {{cmd::FileNew, QStyle::SP_FileIcon, "新規作成"},
                   {cmd::FileOpen, QStyle::SP_DialogOpenButton, "開く"},
                   {cmd::FileSave, QStyle::SP_DialogSaveButton, "上書き保存"},
                   {0, {}, nullptr},
                   {cmd::EditCopy, QStyle::SP_DesktopIcon, "画面ｺﾋﾟｰ"},
                   {0, {}, nullptr},
                   {cmd::About, QStyle::SP_MessageBoxInformation, "ﾊﾞｰｼﾞｮﾝ情報"}};
    for (const auto& b : buttons) {
        if (b.id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = menu_[b.id];
        action->setIcon(style()->standardIcon(b.icon));
        action->setToolTip(QString::fromUtf8(b.tip));
        toolBar_->addAction(action);
    }
}

void CMainFrame::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->showMessage(kReady);
    // Fly-by help leaves the bar empty when the pointer moves on: idle again.
    connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& text) {
        if (text.isEmpty())
            bar->showMessage(kReady);
    });
    new LockIndicators(bar);
}

void CMainFrame::connectCommands() {
    auto on = [this](int id, auto handler) {
        QAction* action = menu_[id];
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, handler);
    };
    on(cmd::FileNew, [this] { files_->newDocument(); });
    on(cmd::FileOpen, [this] { files_->open(); });
    on(cmd::FileSave, [this] { files_->save(); });
    on(cmd::FileSaveAs, [this] { files_->saveAs(); });
    on(cmd::AppExit, [this] { close(); });
    on(cmd::ToolBar, [this](bool checked) { toolBar_->setVisible(checked); });
    on(cmd::StatusBar, [this](bool checked) { statusBar()->setVisible(checked); });
    on(cmd::PresentationMode, [this] {
        display_.presentationMode = !display_.presentationMode;
        doc_.updateAllViews();
    });
    on(cmd::GroundSettings, [this] { showGroundSettings(); });
    on(cmd::ImportGeometry, [this] { view_->importGeometry(); });
    on(cmd::DropGeometry, [this] { view_->dropGeometry(); });
    on(cmd::ScreenCopy, [this] { view_->copyScreen(); });
    on(cmd::EditCopy, [this] { view_->copyScreen(); });
    on(cmd::Fit, [this] { view_->fit(); });
    on(cmd::InertiaAxes, [this] {
        display_.showInertiaAxes = !display_.showInertiaAxes;
        doc_.updateAllViews();
    });
    on(cmd::ElasticAxes, [this] {
        display_.showElasticAxes = !display_.showElasticAxes;
        doc_.updateAllViews();
    });
    on(cmd::InputListing, [this] { showInputListing(doc_, ui_); });
    on(cmd::ElasticCentre, [this] { showElasticCentre(doc_, ui_); });
    on(cmd::Memo, [this] { editMemo(); });
    on(cmd::OnlineManual, [this] { openManual(); });
    on(cmd::About, [this] {
        AboutDialog about(this);
        about.exec();
    });
    // Check marks follow the flags whenever the menu opens.
    connect(menu_.viewMenu, &QMenu::aboutToShow, this, &CMainFrame::updateChecks);
    updateChecks();
}

void CMainFrame::updateChecks() {
    menu_[cmd::ToolBar]->setChecked(toolBar_->isVisible() || !isVisible());
    menu_[cmd::StatusBar]->setChecked(statusBar()->isVisible() || !isVisible());
    menu_[cmd::PresentationMode]->setChecked(display_.presentationMode);
    menu_[cmd::InertiaAxes]->setChecked(display_.showInertiaAxes);
    menu_[cmd::ElasticAxes]->setChecked(display_.showElasticAxes);
}

void CMainFrame::onDocumentEvent(int event) {
    switch (static_cast<DocumentEvent>(event)) {
    case DocumentEvent::Reset:
        display_.resetResultDisplay();
        tree_->selectRoot();
        break;
    case DocumentEvent::StateChanged:
        updateTitle();
        break;
    case DocumentEvent::ModelChanged:
        break;
    }
    view_->update();
}

void CMainFrame::updateTitle() {
    setWindowTitle(displayPath(doc_.title()) + QStringLiteral("[*] - QUAV"));
    setWindowModified(doc_.isModified());
}

void CMainFrame::showGroundSettings() {
    const bool animating = display_.animating;
    const bool presentation = display_.presentationMode;
    display_.animating = false;
    display_.presentationMode = false;
    GroundValues v{display_.showGround, display_.groundLevel};
    if (ui_.runGround(v)) {
        display_.showGround = v.show;
        display_.groundLevel = v.level;
    }
    display_.animating = animating;
    display_.presentationMode = presentation;
    doc_.updateAllViews();
}

void CMainFrame::editMemo() {
    const bool presentation = display_.presentationMode;
    display_.presentationMode = false;
    quav::editMemo(doc_, ui_);
    display_.presentationMode = presentation;
}

void CMainFrame::openManual() {
    const QString app = QCoreApplication::applicationDirPath();
    const QString candidates[] = {QStringLiteral(QUAV_SOURCE_DOCS "/manual.html"),
                                  app + QStringLiteral("/../share/doc/quav/manual.html"),
                                  app + QStringLiteral("/docs/manual.html")};
    for (const QString& path : candidates) {
        if (QFileInfo::exists(path)) {
            if (!QDesktopServices::openUrl(
                    QUrl::fromLocalFile(QFileInfo(path).canonicalFilePath())))
                ui_.message("ブラウザを起動できませんでした。\n" +
                            QFileInfo(path).canonicalFilePath().toStdString());
            return;
        }
    }
    ui_.message("マニュアル (manual.html) が見つかりません。");
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // A calculation in progress finishes first; the question comes after. An
    // optimiser run is stopped, with the user's consent, and has written its
    // files before the window goes.
    if (ui_.busy() || !ui_.confirmStopOptimizer() || !files_->maybeSave()) {
        event->ignore();
        return;
    }
    ui_.stopOptimizer();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedModel(event->mimeData()).empty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const std::string path = droppedModel(event->mimeData());
    if (path.empty())
        return;
    event->acceptProposedAction();
    activateWindow();
    files_->openPath(path);
}

} // namespace quav
