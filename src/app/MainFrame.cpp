#include "app/MainFrame.h"

#include "app/AnalysisMenu.h"
#include "app/DocumentFiles.h"
#include "app/FileNames.h"
#include "app/LockIndicators.h"
#include "app/ModelBrowser.h"
#include "app/OperationTree.h"
#include "dialogs/InfoDialogs.h"
#include "document/Document.h"
#include "document/EditingCommands.h"
#include "document/ResultCommands.h"
#include "view/CQUAVView.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include <cctype>

namespace quav {

namespace {

const QString kReady = QStringLiteral("ﾚﾃﾞｨ");
/// The user's up axis: "auto" (from the weight load), "y" or "z".
const QString kUpAxisKey = QStringLiteral("view/upAxis");

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
    connect(tree_, &OperationTree::itemRan, this, &CMainFrame::followPickMode);
    connect(tree_, &OperationTree::hint, this,
            [this](const QString& text) { statusBar()->showMessage(text); });

    browserDock_ = new QDockWidget(QStringLiteral("ﾓﾃﾞﾙﾌﾞﾗｳｻﾞ"), this);
    browserDock_->setObjectName(QStringLiteral("ModelBrowserDock"));
    browser_ = new ModelBrowser(doc_, ui_, browserDock_);
    browserDock_->setWidget(browser_);
    addDockWidget(Qt::BottomDockWidgetArea, browserDock_);
    QAction* toggleBrowser = browserDock_->toggleViewAction();
    toggleBrowser->setObjectName(QString::number(cmd::ModelBrowser));
    toggleBrowser->setText(QStringLiteral("ﾓﾃﾞﾙﾌﾞﾗｳｻﾞ(&B)"));
    toggleBrowser->setStatusTip(QStringLiteral("ﾓﾃﾞﾙﾌﾞﾗｳｻﾞの表示または非表示"));
    menu_.actions.insert(cmd::ModelBrowser, toggleBrowser);
    menu_.viewMenu->insertAction(menu_[cmd::PresentationMode], toggleBrowser);
    resizeDocks({browserDock_}, {200}, Qt::Vertical);
    files_ = new DocumentFiles(doc_, ui_, this);
    files_->attachRecentMenu(menu_.fileMenu, menu_.recentPlaceholder);
    // The Pareto window opens a variant as 開く does, asking about changes first.
    ui_.openModelFile = [this](const std::string& path) { return files_->openPath(path); };

    view_ = new CQUAVView([this] { return doc_.model(); }, display_,
                          [this] { return selectionMode_; }, this);
    view_->setResultsSource([this] { return doc_.resultsModel(); },
                            [this] { return doc_.resultState() == ResultState::Stale; });
    setCentralWidget(view_);
    // A pick changes the selection flags that the editing commands act on.
    connect(view_, &CQUAVView::selectionChanged, this, [this] { doc_.updateAllViews(); });
    connect(view_, &CQUAVView::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text); });
    // The load case window shows a case's body as the static result display does.
    ui_.showCaseInView = [this](const std::string& name, const std::array<double, 6>& u) {
        display_.showLoadCase(name, u);
        caseShownAt_ = doc_.editCount();
        doc_.updateAllViews();
        statusBar()->showMessage(QStringLiteral("荷重ケース「%1」の変位を表示しています")
                                     .arg(QString::fromStdString(name)));
    };

    doc_.addListener([this](DocumentEvent e) { onDocumentEvent(static_cast<int>(e)); });
    connectCommands();
    new AnalysisMenu(this, doc_, ui_);
    updateTitle();
    updateUndoActions();
    updateResultState();
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
                   {cmd::EditUndo, QStyle::SP_ArrowBack, "元に戻す (Ctrl+Z)"},
                   {cmd::EditRedo, QStyle::SP_ArrowForward, "やり直し (Ctrl+Y)"},
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
    // The standard views, as words: no stock icon says "from above".
    toolBar_->addSeparator();
    for (int id : {cmd::Fit, cmd::ViewFront, cmd::ViewSide, cmd::ViewTop, cmd::ViewIsometric}) {
        QAction* action = menu_[id];
        const QString text = action->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
        action->setIconText(text);
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
    // Whether the results shown are the model's own or stale, at a glance.
    resultState_ = new QLabel(bar);
    resultState_->setObjectName(QStringLiteral("resultState"));
    bar->addPermanentWidget(resultState_);
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
    on(cmd::ImportGeometry, [this] { geometryImport_.run(*view_, doc_.model()); });
    on(cmd::ImportBulkData, [this] { files_->importBulkData(); });
    on(cmd::ExportBulkData, [this] { files_->exportBulkData(); });
    on(cmd::ExportUniversalFile, [this] { files_->exportUniversalFile(); });
    on(cmd::DropGeometry, [this] { view_->dropGeometry(); });
    on(cmd::ScreenCopy, [this] { view_->copyScreen(); });
    on(cmd::EditCopy, [this] { view_->copyScreen(); });
    on(cmd::Fit, [this] { view_->fit(); });
    on(cmd::ViewFront, [this] { view_->showStandardView(StandardView::Front); });
    on(cmd::ViewSide, [this] { view_->showStandardView(StandardView::Side); });
    on(cmd::ViewTop, [this] { view_->showStandardView(StandardView::Top); });
    on(cmd::ViewIsometric, [this] { view_->showStandardView(StandardView::Isometric); });
    auto* upGroup = new QActionGroup(this);
    const struct {
        int id;
        UpChoice choice;
    } ups[] = {{cmd::UpAuto, UpChoice::Auto}, {cmd::UpY, UpChoice::Y}, {cmd::UpZ, UpChoice::Z}};
    for (const auto& u : ups) {
        upGroup->addAction(menu_[u.id]);
        on(u.id, [this, choice = u.choice] { setUpChoice(static_cast<int>(choice)); });
    }
    const QString stored = QSettings().value(kUpAxisKey, QStringLiteral("auto")).toString();
    setUpChoice(static_cast<int>(stored == QStringLiteral("y")   ? UpChoice::Y
                                 : stored == QStringLiteral("z") ? UpChoice::Z
                                                                 : UpChoice::Auto));
    // F6 and Shift+F6 move the keyboard between the panes: the view, the tree
    // and the browser's table.
    auto nextPane = [this](int step) {
        QList<QWidget*> panes;
        for (QWidget* w : {static_cast<QWidget*>(view_), static_cast<QWidget*>(tree_),
                           browser_->currentWidget()})
            if (w && w->isVisible())
                panes << w;
        if (panes.isEmpty())
            return;
        const int at = static_cast<int>(panes.indexOf(focusWidget()));
        const int n = static_cast<int>(panes.size());
        panes[((at < 0 ? 0 : at + step) % n + n) % n]->setFocus(Qt::ShortcutFocusReason);
    };
    on(cmd::NextPane, [nextPane] { nextPane(1); });
    on(cmd::PreviousPane, [nextPane] { nextPane(-1); });
    on(cmd::EditUndo, [this] {
        const std::string label = doc_.history().undoLabel();
        if (doc_.undo())
            statusBar()->showMessage(QStringLiteral("元に戻しました: ") +
                                     QString::fromStdString(label));
    });
    on(cmd::EditRedo, [this] {
        const std::string label = doc_.history().redoLabel();
        if (doc_.redo())
            statusBar()->showMessage(QStringLiteral("やり直しました: ") +
                                     QString::fromStdString(label));
    });
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
        updateUndoActions();
        // A case's body was solved on the model before this edit.
        if (display_.displayKind == DisplayKind::LoadCaseResult && doc_.editCount() != caseShownAt_)
            display_.clearResultDisplay();
        break;
    case DocumentEvent::ModelChanged:
        break;
    }
    browser_->refresh();
    updateResultState();
    view_->update();
}

void CMainFrame::updateUndoActions() {
    const struct {
        int id;
        const char* text;
        const char* keys;
        std::string label;
        bool can;
    } actions[] = {{cmd::EditUndo, "元に戻す(&U)", "Ctrl+Z", doc_.history().undoLabel(),
                    doc_.history().canUndo()},
                   {cmd::EditRedo, "やり直し(&R)", "Ctrl+Y", doc_.history().redoLabel(),
                    doc_.history().canRedo()}};
    for (const auto& a : actions) {
        QAction* action = menu_[a.id];
        QString text = QString::fromUtf8(a.text);
        if (!a.label.empty())
            text += QStringLiteral(" ") + QString::fromStdString(a.label);
        action->setText(text + QStringLiteral("\t") + QString::fromLatin1(a.keys));
        action->setEnabled(a.can);
    }
}

void CMainFrame::updateResultState() {
    switch (doc_.resultState()) {
    case ResultState::None:
        resultState_->setText(QStringLiteral("結果なし"));
        resultState_->setStyleSheet(QString());
        break;
    case ResultState::Current:
        resultState_->setText(QStringLiteral("計算結果: 最新"));
        resultState_->setStyleSheet(QString());
        break;
    case ResultState::Stale:
        resultState_->setText(QStringLiteral("古い結果"));
        resultState_->setStyleSheet(
            QStringLiteral("color: white; background: #808080; padding: 0 4px"));
        break;
    }
}

void CMainFrame::setUpChoice(int value) {
    const auto choice = static_cast<UpChoice>(value);
    const char* stored = choice == UpChoice::Y ? "y" : choice == UpChoice::Z ? "z" : "auto";
    QSettings().setValue(kUpAxisKey, QString::fromLatin1(stored));
    menu_[cmd::UpAuto]->setChecked(choice == UpChoice::Auto);
    menu_[cmd::UpY]->setChecked(choice == UpChoice::Y);
    menu_[cmd::UpZ]->setChecked(choice == UpChoice::Z);
    view_->setUpChoice(choice);
}

void CMainFrame::followPickMode() {
    switch (selectionMode_) {
    case SelectionMode::Springs:
        browser_->showKind(ModelTableKind::Springs);
        break;
    case SelectionMode::Loads:
        browser_->showKind(ModelTableKind::StaticLoads);
        break;
    case SelectionMode::ObservationPoints:
        browser_->showKind(ModelTableKind::ObservationPoints);
        break;
    case SelectionMode::None:
    case SelectionMode::All:
        break;
    }
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
