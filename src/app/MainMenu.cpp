#include "app/MainMenu.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>

namespace quav {

namespace {

/// One command item of a menu.
struct Entry {
    int id;
    const char* text;
    const char* statusTip;
    bool checkable = false;
};

} // namespace

MainMenu MainMenu::build(QMainWindow* window) {
    MainMenu menu;
    QMenuBar* bar = window->menuBar();
    auto item = [&](QMenu* m, const Entry& e) {
        QAction* a = m->addAction(QString::fromUtf8(e.text));
        a->setObjectName(QString::number(e.id));
        a->setStatusTip(QString::fromUtf8(e.statusTip));
        a->setCheckable(e.checkable);
        a->setEnabled(false); // enabled when a handler is connected
        menu.actions.insert(e.id, a);
        return a;
    };
    auto submenu = [&](QMenu* m, const char* title, std::initializer_list<Entry> entries) {
        QMenu* sub = m->addMenu(QString::fromUtf8(title));
        for (const Entry& e : entries)
            item(sub, e);
    };

    QMenu* file = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    menu.fileMenu = file;
    item(file, {cmd::FileNew, "新規作成(&N)\tCtrl+N", "新しいモデルを作成します"})
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    item(file, {cmd::FileOpen, "開く(&O)...\tCtrl+O", "既存のモデルファイルを開きます"})
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    item(file, {cmd::FileSave, "上書き保存(&S)\tCtrl+S", "モデルを上書きして保存します"})
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    item(file, {cmd::FileSaveAs, "名前を付けて保存(&A)...", "モデルを名前を付けて保存します"});
    file->addSeparator();
    submenu(file, "ｲﾝﾎﾟｰﾄ(&I)",
            {{cmd::ImportGeometry, "質量要素ｼﾞｵﾒﾄﾘ(&G)",
              "DXF ファイルを質量要素の形状として読み込みます"},
             {cmd::ImportBulkData, "Nastranﾊﾞﾙｸﾃﾞｰﾀ...",
              "Nastran 形式のバルクデータから剛体とばねを新しいモデルとして読み込みます"}});
    submenu(file, "ｴｸｽﾎﾟｰﾄ(&E)",
            {{cmd::ExportBulkData, "Nastranﾊﾞﾙｸﾃﾞｰﾀ...",
              "モデルを Nastran 形式のバルクデータに書き出します"},
             {cmd::ExportUniversalFile, "UFF(周波数応答)...",
              "動荷重の周波数応答関数をユニバーサルファイルに書き出します"}});
    file->addSeparator();
    menu.recentPlaceholder =
        item(file, {cmd::RecentFiles, "最近使ったﾌｧｲﾙ", "最近使ったファイルを開きます"});
    file->addSeparator();
    item(file, {cmd::AppExit, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", "QUAV を終了します"});

    QMenu* edit = bar->addMenu(QStringLiteral("編集(&E)"));
    menu.editMenu = edit;
    item(edit, {cmd::EditUndo, "元に戻す(&U)\tCtrl+Z", "直前のモデルの変更を取り消します"})
        ->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Z")),
                        QKeySequence(QStringLiteral("Alt+Backspace"))});
    item(edit, {cmd::EditRedo, "やり直し(&R)\tCtrl+Y", "取り消した変更をもう一度行います"})
        ->setShortcuts(
            {QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
    edit->addSeparator();
    item(edit, {cmd::ScreenCopy, "画面ｺﾋﾟｰ(&C)", "画面を画像としてクリップボードへコピーします"});
    submenu(
        edit, "外部ｼﾞｵﾒﾄﾘ(&G)",
        {{cmd::DropGeometry, "質量要素ｼﾞｵﾒﾄﾘ削除(&D)", "読み込んだ質量要素の形状を削除します"}});

    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    menu.viewMenu = view;
    item(view, {cmd::Fit, "ﾌｨｯﾄ(&F)", "モデル全体が見えるように表示します"});
    item(view, {cmd::ViewFront, "正面(&1)", "モデルを正面から見ます"});
    item(view, {cmd::ViewSide, "側面(&2)", "モデルを右側面 (+x) から見ます"});
    item(view, {cmd::ViewTop, "上面(&3)", "モデルを上から見ます"});
    item(view, {cmd::ViewIsometric, "等角(&4)", "モデルを斜め上から等角に見ます"});
    QMenu* up = view->addMenu(QStringLiteral("上方向(&U)"));
    item(up, {cmd::UpAuto, "自動 (重量荷重の向き)(&A)",
              "重心の静荷重 (重量) の向きを下にします。なければ y 軸が上です", true});
    item(up, {cmd::UpY, "y 軸(&Y)", "y 軸を上にして表示します", true});
    item(up, {cmd::UpZ, "z 軸(&Z)", "z 軸を上にして表示します", true});
    view->addSeparator();
    item(view, {cmd::ToolBar, "ﾂｰﾙ ﾊﾞｰ(&T)", "ツール バーの表示/非表示を切り替えます", true});
    item(view,
         {cmd::StatusBar, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)", "ステータス バーの表示/非表示を切り替えます", true});
    item(view, {cmd::PresentationMode, "ﾌﾟﾚｾﾞﾝﾓｰﾄﾞ(&P)", "モデルを回転させて表示します", true});
    view->addSeparator();
    item(view, {cmd::GroundSettings, "ｸﾞﾗｳﾝﾄﾞ設定(&G)", "グラウンドの表示と高さを設定します"});
    item(view,
         {cmd::InertiaAxes, "慣性主軸を表示(&I)", "慣性主軸の表示/非表示を切り替えます", true});
    item(view,
         {cmd::ElasticAxes, "弾性主軸を表示(&E)", "弾性主軸の表示/非表示を切り替えます", true});

    QMenu* info = bar->addMenu(QStringLiteral("情報(&I)"));
    item(info, {cmd::InputListing, "解析ﾓﾃﾞﾙ(&M)", "保存したモデルの入力データを表示します"});
    item(info, {cmd::ElasticCentre, "弾性中心(&E)", "弾性主軸を計算して表示します"});
    info->addSeparator();
    item(info, {cmd::Memo, "メモ(&T)", "モデルのメモを編集します"});

    QMenu* help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    item(help,
         {cmd::OnlineManual, "オンラインマニュアル(&M)", "操作マニュアルをブラウザで開きます"});
    item(help, {cmd::About, "QUAV のﾊﾞｰｼﾞｮﾝ情報(&A)...", "プログラムのバージョンを表示します"});

    // Accelerators that are no menu item of their own. Cut and paste have no
    // command here, so they stay disabled.
    const struct {
        int id;
        const char* keys[2];
    } accelerators[] = {
        {cmd::EditCut, {"Ctrl+X", "Shift+Del"}},    {cmd::EditCopy, {"Ctrl+C", "Ctrl+Ins"}},
        {cmd::EditPaste, {"Ctrl+V", "Shift+Ins"}},  {cmd::NextPane, {"F6", nullptr}},
        {cmd::PreviousPane, {"Shift+F6", nullptr}},
    };
    for (const auto& a : accelerators) {
        auto* action = new QAction(window);
        action->setObjectName(QString::number(a.id));
        QList<QKeySequence> keys;
        for (const char* k : a.keys)
            if (k)
                keys << QKeySequence(QString::fromLatin1(k));
        action->setShortcuts(keys);
        action->setEnabled(false);
        window->addAction(action);
        menu.actions.insert(a.id, action);
    }
    menu[cmd::EditCopy]->setStatusTip(
        QStringLiteral("画面の状態を画像としてｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰします。"));
    return menu;
}

} // namespace quav
