#include "dialogs/DialogFields.h"

#include "model/TextFormat.h"

#include <QLineEdit>
#include <QTreeWidget>

#include <cmath>

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

QString numberText(double value) {
    return QString::fromStdString(format("%.15g", value));
}

std::optional<double> numberFromText(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

bool readNumbers(QWidget* dialog, const MessageBoxes& messages,
                 const std::vector<std::pair<QLineEdit*, double*>>& fields) {
    for (const auto& [edit, value] : fields)
        if (!numberFromText(edit->text())) {
            messages.inform(dialog, QStringLiteral("数値を入力してください。"));
            edit->setFocus();
            edit->selectAll();
            return false;
        }
    for (const auto& [edit, value] : fields)
        *value = *numberFromText(edit->text());
    return true;
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
