#pragma once

#include "dialogs/MessageBoxes.h"
#include "document/InputRules.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QGridLayout;
class QLineEdit;
class QWidget;

namespace quav {

/// A modal form that exchanges its fields with plain members: `showValues`
/// writes the members into the widgets, OK takes them back. A number field
/// whose text is not a number, a name that the model file's code page cannot
/// hold, or values that break the dialog's rule keep the dialog open with a
/// message and the field focused, so nothing typed is lost. Every control
/// carries its resource id as its object name.
class FormDialog : public QDialog {
    Q_OBJECT
public:
    FormDialog(int id, const QString& caption, QWidget* parent);

    /// Members to widgets.
    void showValues();
    /// Widgets to members; false (with the message shown) when a field is refused.
    bool takeValues();

    void accept() override;

    /// Numbers as the fields show them: 15 significant digits (6 for the
    /// single-precision spring size).
    static QString numberText(double value);
    static QString numberText(float value);
    /// Why a name or a memo is refused.
    static const QString& unencodableText();

    /// Where a refused field is told (`warn`, over the dialog).
    MessageBoxes messages;

protected:
    using Rule = std::function<std::optional<FieldProblem>()>;
    /// The rule the taken values must meet before OK closes the dialog.
    void setRule(Rule rule) { rule_ = std::move(rule); }
    /// False (with the message shown and the field focused) when the rule refuses.
    bool passesRule();
    /// The first field is ready to be typed over, as after a Tab.
    void showEvent(QShowEvent* event) override;
    QLineEdit* bindNumber(int id, double* value);
    QLineEdit* bindNumber(int id, float* value);
    QLineEdit* bindName(int id, std::string* value);
    QCheckBox* bindCheck(int id, const QString& text, bool* value);
    /// The frame-count list "4" ... "24": a count c selects entry c / 4 - 1
    /// (none for 0 or a count off the list); the count read back is
    /// (entry + 1) x 4, or 0 with no entry selected.
    QComboBox* bindFrameCount(int id, int* frames);
    /// OK (id 1) and "ｷｬﾝｾﾙ" (id 2).
    QDialogButtonBox* okCancel(const QString& okText = QStringLiteral("OK"));
    /// A grid of "label  x  y  z" rows under one column heading each.
    static void addVectorRow(QGridLayout* grid, int row, const QString& label,
                             QLineEdit* const (&fields)[3]);

private:
    template <typename T> QLineEdit* bindNumberField(int id, T* value);
    /// Tells why `field` is refused and puts the cursor in it.
    void refuse(QWidget* field, const QString& text);
    struct Binding {
        QWidget* widget;
        std::function<void()> show;
        std::function<bool()> take; // false: refused, message shown
    };
    std::vector<Binding> bindings_;
    Rule rule_;
};

/// Reads a finite number written in the C locale ("1e3", " -0.5 "); false for
/// anything else, the value then unchanged.
bool parseNumber(const QString& text, double& value);

} // namespace quav
