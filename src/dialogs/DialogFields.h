#pragma once

#include "dialogs/MessageBoxes.h"
#include "dialogs/ObjectTree.h"

#include <QString>

#include <optional>
#include <utility>
#include <vector>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace quav {

/// A number as an edit field shows it: up to 15 significant digits.
QString numberText(double value);
/// The finite number a field holds (blanks around it allowed), or none.
std::optional<double> numberFromText(const QString& text);

/// Reads every field into its number. On the first field that does not hold
/// a number: says so, puts the focus there and returns false (the dialog
/// stays open and nothing is read).
bool readNumbers(QWidget* dialog, const MessageBoxes& messages,
                 const std::vector<std::pair<QLineEdit*, double*>>& fields);

/// Shows a read-only field on the window's colour, so it does not look editable.
void showAsReadOnly(QWidget* field);

/// Fills `tree` with `root` (expanded); each item keeps its object and variable.
void fillObjectTree(QTreeWidget* tree, const ObjectTreeItem& root);
/// The object and variable of a tree item (text, objectId, target; no children).
ObjectTreeItem objectTreeItem(const QTreeWidgetItem* item);

} // namespace quav
