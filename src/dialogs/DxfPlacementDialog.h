#pragma once

#include "dialogs/FormDialog.h"
#include "exchange/DxfReader.h"

namespace quav {

/// Dialog 155: where an imported drawing sits on the mass element: the drawing's
/// point at the centre of gravity, its turns about x, y and z and its scale.
class DxfPlacementDialog : public FormDialog {
    Q_OBJECT
public:
    DxfPlacementDialog(const DxfPlacement& placement, QWidget* parent = nullptr);

    DxfPlacement values; ///< after OK: the values entered
};

} // namespace quav
