#include "app/OperationTree.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace quav {

namespace {

struct Node {
    const char* text;
    std::vector<Node> children;
};

const Node& treeLayout() {
    static const Node root{"QUAV操作ﾒﾆｭｰ",
                           {{"ﾓﾃﾞﾙ作成",
                             {{"質量要素", {}},
                              {"ばね要素", {}},
                              {"ばね特性", {{"決定", {}}}},
                              {"静荷重", {}},
                              {"動荷重", {}},
                              {"観測点", {}},
                              {"荷重ケース", {}}}},
                            {"ﾓﾃﾞﾙ編集",
                             {{"質量要素", {}},
                              {"ばね要素", {{"編集", {}}, {"削除", {}}}},
                              {"ばね特性", {}},
                              {"荷重", {{"編集", {}}, {"削除", {}}}},
                              {"観測点", {{"編集", {}}, {"削除", {}}}},
                              {"荷重ケース", {{"編集", {}}, {"削除", {}}}}}},
                            {"計算実行", {}},
                            {"結果表示",
                             {{"振動ﾓｰﾄﾞ",
                               {{"Mode1", {}},
                                {"Mode2", {}},
                                {"Mode3", {}},
                                {"Mode4", {}},
                                {"Mode5", {}},
                                {"Mode6", {}},
                                {"設定", {}},
                                {"ｸﾞﾗﾌ表示", {}},
                                {"連成度", {}}}},
                              {"静解析", {}},
                              {"動解析", {}},
                              {"周波数ｽﾃｯﾌﾟ", {{"決定", {}}}},
                              {"ﾃｷｽﾄ表示", {}}}},
                            {"最適化",
                             {{"ﾊﾟﾗﾒｰﾀ設定", {}},
                              {"最適化条件", {}},
                              {"目的関数", {}},
                              {"最適化実行", {}},
                              {"ﾊﾟﾚｰﾄ解", {}}}}}};
    return root;
}

void addChildren(QTreeWidgetItem* item, const Node& node) {
    for (const Node& child : node.children) {
        auto* childItem = new QTreeWidgetItem(item, {QString::fromUtf8(child.text)});
        addChildren(childItem, child);
    }
}

QTreeWidgetItem* item(OperationTreeAccess::Item handle) {
    return const_cast<QTreeWidgetItem*>(static_cast<const QTreeWidgetItem*>(handle));
}

} // namespace

OperationTree::OperationTree(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("1056"));
    setColumnCount(1);
    header()->hide();
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMouseTracking(true);
    auto* root = new QTreeWidgetItem(this, {QString::fromUtf8(treeLayout().text)});
    addChildren(root, treeLayout());
    root->setExpanded(true);
    // The first click of a double-click has run the item; the second must not
    // fold the branch it opened.
    setExpandsOnDoubleClick(false);
    // A click on the branch's arrow only opens or closes it: no click is reported.
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { run(item); });
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current && movingByKeys_)
            emit hint(QStringLiteral("「%1」: Enter またはクリックで実行").arg(current->text(0)));
    });
    // A command that moved the selection while a click was being handled:
    // the click's own selection must not stay highlighted beside it.
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        QTreeWidgetItem* current = currentItem();
        if (current && !current->isSelected())
            selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect);
    });
}

void OperationTree::run(QTreeWidgetItem* item) {
    if (!item)
        return;
    setCurrentItem(item);
    if (item->childCount() > 0 && !item->isExpanded())
        item->setExpanded(true);
    const bool outer = !running_;
    running_ = true;
    if (dispatcher_)
        dispatcher_->selectionChanged(item);
    if (outer) {
        running_ = false;
        emit itemRan();
    }
}

void OperationTree::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        run(currentItem());
        return;
    }
    movingByKeys_ = true;
    QTreeWidget::keyPressEvent(event);
    movingByKeys_ = false;
}

void OperationTree::selectRoot() {
    run(topLevelItem(0));
}

QTreeWidgetItem* OperationTree::find(const QStringList& path) const {
    QTreeWidgetItem* current = nullptr;
    for (const QString& text : path) {
        QTreeWidgetItem* next = nullptr;
        const int n = current ? current->childCount() : topLevelItemCount();
        for (int i = 0; i < n && !next; ++i) {
            QTreeWidgetItem* candidate = current ? current->child(i) : topLevelItem(i);
            if (candidate->text(0) == text)
                next = candidate;
        }
        if (!next)
            return nullptr;
        current = next;
    }
    return current;
}

std::string OperationTree::text(Item handle) const {
    return item(handle)->text(0).toStdString();
}

OperationTreeAccess::Item OperationTree::parent(Item handle) const {
    return item(handle)->parent();
}

void OperationTree::select(Item handle) {
    run(item(handle));
}

void OperationTree::setChildren(Item handle, const std::vector<std::string>& texts) {
    QTreeWidgetItem* branch = item(handle);
    qDeleteAll(branch->takeChildren());
    for (const std::string& t : texts)
        new QTreeWidgetItem(branch, {QString::fromStdString(t)});
    branch->setExpanded(true);
}

} // namespace quav
