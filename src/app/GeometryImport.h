#pragma once

#include "dialogs/MessageBoxes.h"
#include "exchange/DxfReader.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace quav {

class AnalysisModel;
class CQUAVView;

/// The import of a DXF drawing as the mass element's outline (menu 32816): asks
/// for the file and its placement, reads it and hands it to the 3-D view, which
/// only draws it.
class GeometryImport {
public:
    /// How the import asks the user; tests replace these with scripted answers.
    MessageBoxes messages;
    /// The file to import; empty when cancelled.
    std::function<QString(QWidget* parent)> chooseFile = askFile;
    /// The placement of the drawing, shown with its defaults; false when cancelled.
    std::function<bool(QWidget* parent, DxfPlacement& placement)> choosePlacement = askPlacement;

    static QString askFile(QWidget* parent);
    static bool askPlacement(QWidget* parent, DxfPlacement& placement);

    /// Imports over `view` for `model` (null: none, which is said). Cancelling
    /// the placement removes any outline shown before.
    void run(CQUAVView& view, const AnalysisModel* model);

private:
    /// The scale, angles and placement of the last imported drawing, offered again.
    std::optional<DxfPlacement> lastPlacement_;
};

} // namespace quav
