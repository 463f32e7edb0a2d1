#pragma once

#include "app/OperationDispatcher.h"

#include <QTreeWidget>

namespace quav {

/// The operation tree (control 1056): the program's main menu, docked on the
/// right. Expanding a branch collapses its siblings; selecting a branch
/// expands it. Every change of the current item goes to the dispatcher set
/// with `setDispatcher`.
class OperationTree : public QTreeWidget, public OperationTreeAccess {
    Q_OBJECT
public:
    explicit OperationTree(QWidget* parent = nullptr);

    void setDispatcher(OperationDispatcher* dispatcher) { dispatcher_ = dispatcher; }
    /// Selects the root and expands it (a new or opened document).
    void selectRoot();
    /// The item reached from the root by these texts, or nullptr.
    QTreeWidgetItem* find(const QStringList& path) const;

    std::string text(Item item) const override;
    Item parent(Item item) const override;
    void select(Item item) override;
    void setChildren(Item item, const std::vector<std::string>& texts) override;

private:
    void collapseSiblings(QTreeWidgetItem* item);
    OperationDispatcher* dispatcher_ = nullptr;
};

} // namespace quav
