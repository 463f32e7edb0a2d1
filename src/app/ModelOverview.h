#pragma once

#include "view/DisplayState.h"

#include <QWidget>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace quav {

class CQUAVDoc;

/// The central area until the 3-D view takes its place: the model's elements
/// as a list with their selection marks, what the display would show, and a
/// click on an element of the kind being picked toggles its selection.
class ModelOverview : public QWidget {
    Q_OBJECT
public:
    ModelOverview(CQUAVDoc& doc, const DisplayState& display, const SelectionMode& selectionMode,
                  QWidget* parent = nullptr);
    /// Rebuilds the list from the model and the display state.
    void refresh();

private:
    void toggle(QTreeWidgetItem* item);

    CQUAVDoc& doc_;
    const DisplayState& display_;
    const SelectionMode& selectionMode_;
    QLabel* status_;
    QTreeWidget* list_;
};

} // namespace quav
