#pragma once

#include "app/OperationDispatcher.h"

#include <QTreeWidget>

namespace quav {

/// The operation tree (control 1056): the program's main menu, docked on the
/// right. An item runs its command when asked: a click, Enter, or a
/// double-click (whose first click runs it); the arrow keys only move. Running
/// a branch expands it; branches never collapse by themselves, so the row under
/// the pointer stays where it is. The dispatcher set with `setDispatcher` runs
/// the commands.
class OperationTree : public QTreeWidget, public OperationTreeAccess {
    Q_OBJECT
public:
    explicit OperationTree(QWidget* parent = nullptr);

    void setDispatcher(OperationDispatcher* dispatcher) { dispatcher_ = dispatcher; }
    /// Makes `item` current and runs its command, as a click does.
    void run(QTreeWidgetItem* item);
    /// Selects the root and expands it (a new or opened document).
    void selectRoot();
    /// The item reached from the root by these texts, or nullptr.
    QTreeWidgetItem* find(const QStringList& path) const;

    std::string text(Item item) const override;
    Item parent(Item item) const override;
    void select(Item item) override;
    void setChildren(Item item, const std::vector<std::string>& texts) override;

signals:
    /// An item's command has run (after its nested runs).
    void itemRan();
    /// The keyboard reached an item without running it: how to run it.
    void hint(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    OperationDispatcher* dispatcher_ = nullptr;
    bool running_ = false;      ///< inside run(), nested runs included
    bool movingByKeys_ = false; ///< the current item moves by a key, not to run
};

} // namespace quav
