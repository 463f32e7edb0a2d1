#pragma once

#include "app/GeometryImport.h"
#include "app/MainMenu.h"
#include "app/OperationDispatcher.h"
#include "dialogs/DialogUi.h"
#include "view/DisplayState.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>

class QDockWidget;
class QLabel;
class QToolBar;

namespace quav {

class CQUAVDoc;
class CQUAVView;
class DocumentFiles;
class ModelBrowser;
class OperationTree;

/// The main window: menus, toolbar, status bar, the operation tree docked on
/// the right and the 3-D view in the middle. It owns the display state and the
/// pick mode every display reads.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CQUAVDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CQUAVDoc& document() { return doc_; }
    DisplayState& displayState() { return display_; }
    SelectionMode& selectionMode() { return selectionMode_; }
    OperationTree* operationTree() const { return tree_; }
    OperationDispatcher& dispatcher() { return *dispatcher_; }
    DocumentFiles& files() { return *files_; }
    const MainMenu& menu() const { return menu_; }
    DocumentUi& ui() { return ui_; }
    CQUAVView* view() const { return view_; }
    GeometryImport& geometryImport() { return geometryImport_; }
    ModelBrowser* browser() const { return browser_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildToolBar();
    void buildStatusBar();
    void connectCommands();
    void onDocumentEvent(int event);
    void updateTitle();
    void updateChecks();
    void updateUndoActions();
    void updateResultState();
    void setUpChoice(int choice);
    /// The browser shows the table of what the tree's pick mode selects.
    void followPickMode();
    void showGroundSettings();
    void editMemo();
    void openManual();

    CQUAVDoc& doc_;
    DisplayState display_;
    SelectionMode selectionMode_ = SelectionMode::None;
    DialogUi ui_;
    /// The document's edit count when a load case was put in the view.
    std::uint64_t caseShownAt_ = 0;
    MainMenu menu_;
    QToolBar* toolBar_ = nullptr;
    QDockWidget* dock_ = nullptr;
    OperationTree* tree_ = nullptr;
    QDockWidget* browserDock_ = nullptr;
    ModelBrowser* browser_ = nullptr;
    QLabel* resultState_ = nullptr;
    std::unique_ptr<OperationDispatcher> dispatcher_;
    DocumentFiles* files_ = nullptr;
    CQUAVView* view_ = nullptr;
    GeometryImport geometryImport_;
};

} // namespace quav
