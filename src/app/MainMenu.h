#pragma once

#include <QHash>

class QAction;
class QMainWindow;
class QMenu;

namespace quav {

/// Command ids of the menus, the toolbar and the accelerators.
namespace cmd {
enum : int {
    FileNew = 57600,
    FileOpen = 57601,
    FileSave = 57603,
    FileSaveAs = 57604,
    RecentFiles = 57616,
    AppExit = 57665,
    ImportGeometry = 32816,
    ImportBulkData = 32860,
    ExportBulkData = 32861,
    ExportUniversalFile = 32862,
    ScreenCopy = 32789,
    DropGeometry = 32818,
    Fit = 32819,
    ToolBar = 59392,
    StatusBar = 59393,
    PresentationMode = 32776,
    GroundSettings = 32777,
    InertiaAxes = 32814,
    ElasticAxes = 32815,
    InputListing = 32787,
    ElasticCentre = 32782,
    Memo = 32812,
    OnlineManual = 32820,
    About = 57664,
    EditUndo = 57643,
    EditRedo = 57644,
    ViewFront = 32850,
    ViewSide = 32851,
    ViewTop = 32852,
    ViewIsometric = 32853,
    UpAuto = 32854,
    UpY = 32855,
    UpZ = 32856,
    ModelBrowser = 32857,
    EditCut = 57635,
    EditCopy = 57634,
    EditPaste = 57637,
    NextPane = 57680,
    PreviousPane = 57681,
    OperationBar = 103,
};
}

/// The menu bar of the main window, exactly as the user knows it, and the
/// accelerators that are not menu items. Each action carries its command id
/// as its object name; commands nobody handles stay disabled.
struct MainMenu {
    QHash<int, QAction*> actions;
    QMenu* fileMenu = nullptr;
    /// The "最近使ったﾌｧｲﾙ" entry, in whose place the recent files are listed.
    QAction* recentPlaceholder = nullptr;
    QMenu* viewMenu = nullptr;
    QMenu* editMenu = nullptr;

    static MainMenu build(QMainWindow* window);
    QAction* operator[](int id) const { return actions.value(id); }
};

} // namespace quav
