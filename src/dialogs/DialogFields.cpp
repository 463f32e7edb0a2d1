#include "dialogs/DialogFields.h"

#include "dialogs/FormDialog.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTreeWidget>

#include <algorithm>
#include <vector>

namespace quav {

namespace {

constexpr int kObjectRole = Qt::UserRole;
constexpr int kTargetRole = Qt::UserRole + 1;

QTreeWidgetItem* makeItem(const ObjectTreeItem& node) {
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(node.text)});
    item->setData(0, kObjectRole, node.objectId);
    item->setData(0, kTargetRole, node.target);
    for (const auto& child : node.children)
        item->addChild(makeItem(child));
    return item;
}

} // namespace

std::optional<double> readNumber(QWidget* dialog, const MessageBoxes& messages, QLineEdit* field) {
    double value = 0.0;
    if (parseNumber(field->text(), value))
        return value;
    messages.inform(dialog, QStringLiteral("数値を入力してください。"));
    field->setFocus();
    field->selectAll();
    return std::nullopt;
}

void showAsReadOnly(QWidget* field) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
}

void fillObjectTree(QTreeWidget* tree, const ObjectTreeItem& root) {
    tree->clear();
    tree->setHeaderHidden(true);
    QTreeWidgetItem* item = makeItem(root);
    tree->addTopLevelItem(item);
    item->setExpanded(true);
}

ObjectTreeItem objectTreeItem(const QTreeWidgetItem* item) {
    if (!item)
        return {};
    return {item->text(0).toStdString(),
            item->data(0, kObjectRole).toInt(),
            item->data(0, kTargetRole).toInt(),
            {}};
}

void removeSelectedRows(QTableWidget* table) {
    std::vector<int> rows;
    for (const QModelIndex& index : table->selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    if (rows.empty() && table->currentRow() >= 0)
        rows.push_back(table->currentRow());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const QSignalBlocker quiet(table);
    for (auto r = rows.rbegin(); r != rows.rend(); ++r)
        table->removeRow(*r);
}

} // namespace quav
