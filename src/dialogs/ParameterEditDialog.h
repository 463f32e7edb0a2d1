#pragma once

#include "dialogs/FormDialog.h"

#include <string>

namespace quav {

/// A design parameter's name and range as the edit dialog carries them.
struct ParameterFields {
    std::string name;
    double minValue = 0.0;
    double maxValue = 0.0;
    double increment = 0.0;
};

/// 159 "ﾊﾟﾗﾒｰﾀ設定": name and range of one design parameter. A range that
/// gives no proper list of values (maximum below minimum, an increment that is
/// not positive) keeps the dialog open.
class ParameterEditDialog : public FormDialog {
    Q_OBJECT
public:
    explicit ParameterEditDialog(const ParameterFields& fields, QWidget* parent = nullptr);
    ParameterFields values;
};

} // namespace quav
