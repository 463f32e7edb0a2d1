#pragma once

#include "dialogs/MessageBoxes.h"
#include "dialogs/ObjectTree.h"

#include <QString>

#include <optional>

class QLineEdit;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace quav {

/// The number in `field`; when it holds none, says so, puts the focus there
/// and returns none.
std::optional<double> readNumber(QWidget* dialog, const MessageBoxes& messages, QLineEdit* field);

/// Removes the rows that have a selected cell, or the current row when none is
/// selected, without a signal per row (the caller redraws once).
void removeSelectedRows(QTableWidget* table);

/// Shows a read-only field on the window's colour, so it does not look editable.
void showAsReadOnly(QWidget* field);

/// Fills `tree` with `root` (expanded); each item keeps its object and variable.
void fillObjectTree(QTreeWidget* tree, const ObjectTreeItem& root);
/// The object and variable of a tree item (text, objectId, target; no children).
ObjectTreeItem objectTreeItem(const QTreeWidgetItem* item);

} // namespace quav
