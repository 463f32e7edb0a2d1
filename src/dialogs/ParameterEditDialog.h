#pragma once

#include "dialogs/MessageBoxes.h"

#include <QDialog>

#include <string>

class QLineEdit;

namespace quav {

/// A design parameter's name and range as the edit dialog carries them.
struct ParameterFields {
    std::string name;
    double minValue = 0.0;
    double maxValue = 0.0;
    double increment = 0.0;
};

/// Name and range of one design parameter (ﾊﾟﾗﾒｰﾀ設定). Any numbers are
/// accepted; text that is not a number, or a name the model file cannot
/// hold, keeps the dialog open.
class ParameterEditDialog : public QDialog {
public:
    explicit ParameterEditDialog(const ParameterFields& fields, QWidget* parent = nullptr);

    /// The values entered (valid after the dialog ended with OK).
    const ParameterFields& fields() const { return fields_; }
    void accept() override;

    MessageBoxes messages;

private:
    ParameterFields fields_;
    QLineEdit* name_;
    QLineEdit* min_;
    QLineEdit* max_;
    QLineEdit* increment_;
};

} // namespace quav
