#include "dialogs/FormDialog.h"

#include "model/TextEncoding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>

namespace quav {

namespace {

const QString kNotANumber = QStringLiteral("数値を入力してください。");

} // namespace

bool parseNumber(const QString& text, double& value) {
    const std::string s = text.trimmed().toStdString();
    if (s.empty())
        return false;
    const char* first = s.data();
    // A leading plus is allowed, as people write it; a sign after it is not.
    if (*first == '+' && *++first == '-')
        return false;
    double v = 0.0;
    const auto r = std::from_chars(first, s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

FormDialog::FormDialog(int id, const QString& caption, QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(id));
    setWindowTitle(caption);
}

void FormDialog::refuse(QWidget* field, const QString& text) {
    messages.warn(field->window(), text);
    field->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
}

QString FormDialog::numberText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return QString::fromLatin1(buffer);
}

QString FormDialog::numberText(float value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", static_cast<double>(value));
    return QString::fromLatin1(buffer);
}

template <typename T> QLineEdit* FormDialog::bindNumberField(int id, T* value) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::number(id));
    // What the field showed: a field left as it was (or typed back to it after a
    // refused OK) gives its value back exactly, not the value of the rounded text.
    struct Shown {
        QString text;
        T value{};
    };
    auto shown = std::make_shared<Shown>();
    bindings_.push_back({edit,
                         [edit, value, shown] {
                             *shown = {numberText(*value), *value};
                             edit->setText(shown->text);
                         },
                         [this, edit, value, shown] {
                             if (edit->text() == shown->text) {
                                 *value = shown->value;
                                 return true;
                             }
                             double v = 0.0;
                             if (!parseNumber(edit->text(), v) ||
                                 !std::isfinite(static_cast<T>(v))) {
                                 refuse(edit, kNotANumber);
                                 return false;
                             }
                             *value = static_cast<T>(v);
                             return true;
                         }});
    return edit;
}

QLineEdit* FormDialog::bindNumber(int id, double* value) {
    return bindNumberField(id, value);
}

QLineEdit* FormDialog::bindNumber(int id, float* value) {
    return bindNumberField(id, value);
}

QLineEdit* FormDialog::bindName(int id, std::string* value) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::number(id));
    bindings_.push_back({edit, [edit, value] { edit->setText(QString::fromStdString(*value)); },
                         [this, edit, value] {
                             const std::string text = edit->text().toStdString();
                             if (!isCp932Encodable(text)) {
                                 refuse(edit, unencodableText());
                                 return false;
                             }
                             *value = text;
                             return true;
                         }});
    return edit;
}

QCheckBox* FormDialog::bindCheck(int id, const QString& text, bool* value) {
    auto* box = new QCheckBox(text, this);
    box->setObjectName(QString::number(id));
    bindings_.push_back({box, [box, value] { box->setChecked(*value); },
                         [box, value] {
                             *value = box->isChecked();
                             return true;
                         }});
    return box;
}

QComboBox* FormDialog::bindFrameCount(int id, int* frames) {
    auto* box = new QComboBox(this);
    box->setObjectName(QString::number(id));
    for (int c = 4; c <= 24; c += 4)
        box->addItem(QString::number(c));
    bindings_.push_back({box,
                         [box, frames] {
                             const int index = *frames / 4 - 1;
                             box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
                         },
                         [box, frames] {
                             const int index = box->currentIndex();
                             *frames = index < 0 ? 0 : (index + 1) * 4;
                             return true;
                         }});
    return box;
}

const QString& FormDialog::unencodableText() {
    static const QString text = QStringLiteral("使用できない文字が含まれています。\n"
                                               "ファイルに保存できる文字で入力してください。");
    return text;
}

QDialogButtonBox* FormDialog::okCancel(const QString& okText) {
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(okText, QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    return buttons;
}

void FormDialog::addVectorRow(QGridLayout* grid, int row, const QString& label,
                              QLineEdit* const (&fields)[3]) {
    grid->addWidget(new QLabel(label), row, 0);
    for (int i = 0; i < 3; ++i)
        grid->addWidget(fields[i], row, i + 1);
}

void FormDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    for (const Binding& b : bindings_) {
        if (auto* edit = qobject_cast<QLineEdit*>(b.widget)) {
            edit->setFocus();
            edit->selectAll();
            break;
        }
    }
}

void FormDialog::showValues() {
    for (const Binding& b : bindings_)
        b.show();
}

bool FormDialog::takeValues() {
    for (const Binding& b : bindings_)
        if (!b.take())
            return false;
    return true;
}

bool FormDialog::passesRule() {
    const std::optional<FieldProblem> problem = rule_ ? rule_() : std::nullopt;
    if (!problem)
        return true;
    QWidget* field = findChild<QWidget*>(QString::number(problem->field));
    refuse(field ? field : this, QString::fromStdString(problem->message));
    return false;
}

void FormDialog::accept() {
    if (takeValues() && passesRule())
        QDialog::accept();
}

} // namespace quav
