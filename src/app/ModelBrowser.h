#pragma once

#include "document/ModelTables.h"

#include <QTabWidget>

#include <array>

class QTableWidget;

namespace quav {

class CQUAVDoc;
class DocumentUi;

/// The model browser (ﾓﾃﾞﾙﾌﾞﾗｳｻﾞ): a tab per kind of model object with a
/// sortable table of each object's name, id and main values. Selecting rows
/// sets the objects' selection flags, as picks in the view do, so the tree's
/// 編集, 削除 and 決定 act on them; a double-click opens the object's dialog and
/// Delete removes the selected objects (one undo step). It reads the model
/// again whenever the document changes, so it follows picks, edits and undo.
class ModelBrowser : public QTabWidget {
    Q_OBJECT
public:
    ModelBrowser(CQUAVDoc& doc, DocumentUi& ui, QWidget* parent = nullptr);

    /// Reads the model again; the sort order stays.
    void refresh();
    /// Brings the table of the kind forward.
    void showKind(ModelTableKind kind);
    QTableWidget* table(ModelTableKind kind) const { return tables_[index(kind)]; }

protected:
    /// Delete in a table.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr std::size_t kKinds = 5;
    static std::size_t index(ModelTableKind kind) { return static_cast<std::size_t>(kind); }
    void fill(ModelTableKind kind, ModelTable content);
    /// Selects the rows of the selected objects.
    void showSelection(ModelTableKind kind, const ModelTable& content);
    void rowsSelected(ModelTableKind kind);
    void rowActivated(ModelTableKind kind, int row);
    void deleteSelected(ModelTableKind kind);

    CQUAVDoc& doc_;
    DocumentUi& ui_;
    std::array<QTableWidget*, kKinds> tables_{};
    std::array<ModelTable, kKinds> shown_; ///< what each table holds now
    bool filling_ = false;
};

} // namespace quav
