#include "dialogs/DialogFields.h"

#include "dialogs/FormDialog.h"

#include <QLineEdit>
#include <QTreeWidget>

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

} // namespace quav
