#pragma once

#include "model/FileIo.h"

#include <QObject>

#include <string>
#include <vector>

class QMenu;
class QAction;
class QWidget;

namespace quav {

class CQUAVDoc;
class UserQuestions;

/// The file side of the document in the desktop: New, Open, Save, Save As,
/// the four recent files kept in the user's settings (a ".json" name opens and
/// saves the model as JSON), and the question
/// whether to save unsaved changes first. Paths are the bytes the file system
/// knows a file by (app/FileNames.h), so a name that is not UTF-8 opens, saves
/// and stays in the recent list as it is.
class DocumentFiles : public QObject {
    Q_OBJECT
public:
    /// `questions` asks whether to save and tells what failed; `window` owns
    /// the file dialogs.
    DocumentFiles(CQUAVDoc& doc, UserQuestions& questions, QWidget* window);

    /// Yes saves (false if saving failed or was cancelled), No goes on,
    /// Cancel keeps everything: true when the caller may drop the document.
    bool maybeSave();

    void newDocument();
    void open();
    /// Opens `path` after asking about unsaved changes; false with the reason
    /// shown when the file cannot be read (the document then stays as it was).
    bool openPath(const std::string& path, bool askFirst = true);
    bool save();
    bool saveAs();

    /// ｲﾝﾎﾟｰﾄ → Nastranﾊﾞﾙｸﾃﾞｰﾀ: asks about unsaved changes and for a deck.
    void importBulkData();
    /// Reads the deck at `path` as a new, unsaved document and shows the card
    /// types it skipped; a refused deck leaves the document as it was and says
    /// why (with the line). False when nothing was imported.
    bool importBulkDataPath(const std::string& path);
    /// ｴｸｽﾎﾟｰﾄ → Nastranﾊﾞﾙｸﾃﾞｰﾀ: asks for the deck's name.
    void exportBulkData();
    /// Writes the model as a bulk-data deck at `path`; false with the reason
    /// shown when there is no model or it cannot be written.
    bool exportBulkDataPath(const std::string& path);

    /// ｴｸｽﾎﾟｰﾄ → UFF(周波数応答): asks for the dynamic load and the file's name.
    void exportUniversalFile();
    /// Writes the frequency responses of dynamic load `loadIndex` (0-based) as a
    /// universal file at `path`; false with the reason shown when they cannot be.
    bool exportUniversalFilePath(const std::string& path, int loadIndex);

    std::vector<std::string> recentFiles() const;
    /// Lists the recent files in `menu` in place of `placeholder`.
    void attachRecentMenu(QMenu* menu, QAction* placeholder);

private:
    /// Saves in the form the name asks for: JSON for ".json", else the model file.
    FileResult saveTo(const std::string& path);
    /// A failure, told with a warning sign.
    void warn(const QString& text);
    void remember(const std::string& path);
    void forget(const std::string& path);
    void storeRecent(const std::vector<std::string>& files);
    void refreshRecentMenu();

    CQUAVDoc& doc_;
    UserQuestions& questions_;
    QWidget* window_;
    QMenu* recentMenu_ = nullptr;
    QAction* placeholder_ = nullptr;
    QList<QAction*> recentActions_;
};

} // namespace quav
