#include "app/ModelBrowser.h"

#include "document/Document.h"
#include "document/EditingCommands.h"

#include <QHeaderView>
#include <QItemSelection>

#include <QKeyEvent>
#include <QTableWidget>
#include <algorithm>

namespace quav {

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kNumberRole = Qt::UserRole + 1;

/// Numbers sort by value, not by their text; texts as text.
class SortItem : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant a = data(kNumberRole), b = other.data(kNumberRole);
        if (a.isValid() && b.isValid())
            return a.toDouble() < b.toDouble();
        return QTableWidgetItem::operator<(other);
    }
};

constexpr ModelTableKind kKindsInOrder[] = {
    ModelTableKind::Springs, ModelTableKind::Characteristics, ModelTableKind::StaticLoads,
    ModelTableKind::DynamicLoads, ModelTableKind::ObservationPoints};

/// The same rows and texts, the selection aside.
bool sameContent(const ModelTable& a, const ModelTable& b) {
    if (a.headings != b.headings || a.rows.size() != b.rows.size())
        return false;
    for (std::size_t r = 0; r < a.rows.size(); ++r) {
        const auto& x = a.rows[r];
        const auto& y = b.rows[r];
        if (x.id != y.id || x.cells.size() != y.cells.size())
            return false;
        for (std::size_t c = 0; c < x.cells.size(); ++c)
            if (x.cells[c].text != y.cells[c].text)
                return false;
    }
    return true;
}

} // namespace

ModelBrowser::ModelBrowser(CQUAVDoc& doc, DocumentUi& ui, QWidget* parent)
    : QTabWidget(parent), doc_(doc), ui_(ui) {
    setObjectName(QStringLiteral("ModelBrowser"));
    for (ModelTableKind kind : kKindsInOrder) {
        auto* t = new QTableWidget(this);
        t->setObjectName(QString::fromStdString(modelTable(AnalysisModel(), kind).title));
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        t->setSelectionMode(kind == ModelTableKind::Characteristics
                                ? QAbstractItemView::SingleSelection
                                : QAbstractItemView::ExtendedSelection);
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->setAlternatingRowColors(true);
        t->verticalHeader()->hide();
        t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
        t->horizontalHeader()->setStretchLastSection(true);
        t->setSortingEnabled(true);
        t->sortByColumn(1, Qt::AscendingOrder); // by id: the order of creation
        connect(t, &QTableWidget::itemSelectionChanged, this, [this, kind] { rowsSelected(kind); });
        connect(t, &QTableWidget::cellDoubleClicked, this,
                [this, kind](int row, int) { rowActivated(kind, row); });
        t->installEventFilter(this);
        tables_[index(kind)] = t;
        addTab(t, QString());
    }
    refresh();
}

void ModelBrowser::refresh() {
    const AnalysisModel empty;
    const AnalysisModel& m = doc_.model() ? *doc_.model() : empty;
    for (ModelTableKind kind : kKindsInOrder)
        fill(kind, modelTable(m, kind));
}

void ModelBrowser::fill(ModelTableKind kind, ModelTable content) {
    QTableWidget* t = table(kind);
    ModelTable& shown = shown_[index(kind)];
    // A pick or a row selected elsewhere changes only the selection: the table
    // stays, with its scroll position, and a large model is not laid out again.
    if (t->columnCount() > 0 && sameContent(shown, content)) {
        showSelection(kind, content);
        shown = std::move(content);
        return;
    }
    setTabText(static_cast<int>(index(kind)), QStringLiteral("%1 (%2)")
                                                  .arg(QString::fromStdString(content.title))
                                                  .arg(content.rows.size()));
    filling_ = true;
    const int sortColumn = t->horizontalHeader()->sortIndicatorSection();
    const Qt::SortOrder order = t->horizontalHeader()->sortIndicatorOrder();
    t->setSortingEnabled(false);
    t->clearContents();
    t->setColumnCount(static_cast<int>(content.headings.size()));
    QStringList headings;
    for (const std::string& h : content.headings)
        headings << QString::fromStdString(h);
    t->setHorizontalHeaderLabels(headings);
    t->setRowCount(static_cast<int>(content.rows.size()));
    for (int r = 0; r < t->rowCount(); ++r) {
        const ModelTable::Row& row = content.rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < t->columnCount(); ++c) {
            const ModelTable::Cell& cell = row.cells[static_cast<std::size_t>(c)];
            auto* item = new SortItem(QString::fromStdString(cell.text));
            item->setData(kIdRole, row.id);
            if (cell.number) {
                item->setData(kNumberRole, *cell.number);
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            t->setItem(r, c, item);
        }
    }
    t->setSortingEnabled(true);
    t->sortByColumn(sortColumn, order);
    filling_ = false;
    showSelection(kind, content);
    shown = std::move(content);
}

void ModelBrowser::showSelection(ModelTableKind kind, const ModelTable& content) {
    QTableWidget* t = table(kind);
    std::vector<int> selected;
    for (const ModelTable::Row& row : content.rows)
        if (row.selected)
            selected.push_back(row.id);
    std::sort(selected.begin(), selected.end());
    QItemSelection rows;
    for (int r = 0; r < t->rowCount(); ++r) {
        const int id = t->item(r, 0)->data(kIdRole).toInt();
        if (std::binary_search(selected.begin(), selected.end(), id))
            rows.select(t->model()->index(r, 0), t->model()->index(r, t->columnCount() - 1));
    }
    filling_ = true;
    t->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    filling_ = false;
}

bool ModelBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete)
        for (ModelTableKind kind : kKindsInOrder)
            if (watched == table(kind)) {
                deleteSelected(kind);
                return true;
            }
    return QTabWidget::eventFilter(watched, event);
}

void ModelBrowser::showKind(ModelTableKind kind) {
    setCurrentIndex(static_cast<int>(index(kind)));
}

void ModelBrowser::rowsSelected(ModelTableKind kind) {
    AnalysisModel* m = doc_.model();
    if (filling_ || !m)
        return;
    std::vector<int> ids;
    QStringList names;
    QTableWidget* t = table(kind);
    for (const QModelIndex& row : t->selectionModel()->selectedRows()) {
        ids.push_back(row.data(kIdRole).toInt());
        names << row.data().toString();
    }
    if (!selectInTable(*m, kind, ids))
        return;
    const QString title = QString::fromStdString(shown_[index(kind)].title);
    ui_.status(names.isEmpty() ? title.toStdString() + " の選択を解除"
                               : QStringLiteral("%1 %2 を選択")
                                     .arg(title, names.join(QStringLiteral(", ")))
                                     .toStdString());
    doc_.updateAllViews();
}

void ModelBrowser::rowActivated(ModelTableKind kind, int row) {
    const QTableWidgetItem* item = table(kind)->item(row, 0);
    if (!item)
        return;
    const int id = item->data(kIdRole).toInt();
    if (kind == ModelTableKind::Characteristics)
        editCharacteristic(doc_, ui_, id);
    else
        editElement(doc_, ui_, id);
}

void ModelBrowser::deleteSelected(ModelTableKind kind) {
    AnalysisModel* m = doc_.model();
    if (!m)
        return;
    switch (kind) {
    case ModelTableKind::Springs:
        deleteSprings(doc_, ui_);
        break;
    case ModelTableKind::StaticLoads:
    case ModelTableKind::DynamicLoads:
        // Only the loads of this table: the other table's selection stays out of it.
        selectInTable(*m,
                      kind == ModelTableKind::StaticLoads ? ModelTableKind::DynamicLoads
                                                          : ModelTableKind::StaticLoads,
                      {});
        deleteLoads(doc_, ui_);
        break;
    case ModelTableKind::ObservationPoints:
        deleteObservationPoints(doc_, ui_);
        break;
    case ModelTableKind::Characteristics:
        break;
    }
}

} // namespace quav
