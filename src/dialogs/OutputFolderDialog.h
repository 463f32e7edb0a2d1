#pragma once

#include "dialogs/FormDialog.h"
#include "optimizer/EvolutionarySearch.h"

#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace quav {

/// 161, where a run writes its files (解析結果保存先設定): a folder path,
/// chosen with the folder browser, and the name of the folder made in it.
/// Opens on `path` (empty: the working directory) and `folder` (empty: "Optimize").
/// Below them, how the run searches: every combination of the grid (全組合せ)
/// or the evolutionary search (進化的探索) with its population, generations,
/// seed and value grid; OK refuses a search the optimiser cannot run
/// (searchSettingsProblem), as quav-cli does.
class OutputFolderDialog : public FormDialog {
    Q_OBJECT
public:
    explicit OutputFolderDialog(QWidget* parent = nullptr, const QString& path = {},
                                const QString& folder = {});

    QString path() const;
    QString folderName() const;
    /// Shows the search choice: none is the grid; `settings` fill the search's
    /// fields either way. `optimizer` is what OK checks a search against.
    void setSearch(bool evolutionary, const SearchSettings& settings, const Optimizer* optimizer);
    /// The evolutionary search's settings when it is chosen, none for the grid
    /// (read after OK).
    std::optional<SearchSettings> search() const;
    /// The search's fields as they are, chosen or not (read after OK).
    SearchSettings searchSettings() const;
    void accept() override;

    /// The folder browser: the chosen folder, or empty when cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& start)> browse =
        browseFolder;

    static QString browseFolder(QWidget* parent, const QString& title, const QString& start);

private:
    void browsePath();

    void showSearchChoice();

    QPlainTextEdit* path_;
    QLineEdit* folder_;
    QRadioButton* grid_;
    QRadioButton* evolutionary_;
    QSpinBox* population_;
    QSpinBox* generations_;
    QLineEdit* seed_;
    QCheckBox* discrete_;
    const Optimizer* optimizer_ = nullptr;
};

} // namespace quav
