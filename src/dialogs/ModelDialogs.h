#pragma once

#include "dialogs/FormDialog.h"
#include "document/DocumentUi.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;

namespace quav {

/// 130 "質量要素設定".
class MassElementDialog : public FormDialog {
    Q_OBJECT
public:
    MassElementDialog(const MassElementValues& values, QWidget* parent = nullptr);
    MassElementValues values;
};

/// 131 "ばね設定".
class SpringDialog : public FormDialog {
    Q_OBJECT
public:
    SpringDialog(const SpringValues& values, QWidget* parent = nullptr);
    SpringValues values;
};

/// 132 "ばね特性設定" (with the list of defined characteristics) and 134
/// "ばね特性編集" (without it).
class CharacteristicDialog : public FormDialog {
    Q_OBJECT
public:
    /// `defined` null: dialog 134.
    CharacteristicDialog(const CharacteristicValues& values,
                         const std::vector<CharacteristicValues>* defined,
                         QWidget* parent = nullptr);
    CharacteristicValues values;

    /// "周波数特性...": the table editor on `values.frequencyTable`.
    void editFrequencyTable();
    /// "非線形特性...": the curve editor on `values.curves` and `values.ratedLoad`.
    void editCurves();

private:
    void showTableState();
    std::vector<CharacteristicValues> defined_;
    QLabel* tableState_ = nullptr;
    QLabel* curveState_ = nullptr;
};

/// 133 "ばね特性編集": the list whose buttons edit and delete entries of the
/// working copy held by the editor.
class CharacteristicListDialog : public QDialog {
    Q_OBJECT
public:
    CharacteristicListDialog(CharacteristicListEditor& editor, QWidget* parent = nullptr);

private:
    void refill();
    CharacteristicListEditor& editor_;
    QListWidget* list_;
};

/// 138 "荷重設定" and 154 "動的荷重設定".
class LoadDialog : public FormDialog {
    Q_OBJECT
public:
    LoadDialog(const LoadValues& values, const LoadDialogContext& context,
               QWidget* parent = nullptr);
    void accept() override;
    LoadValues values;

private:
    void loadAtCentreOfGravity();
    LoadDialogContext context_;
    QComboBox* type_ = nullptr;
};

/// 140 "観測点の設定".
class ObservationPointDialog : public FormDialog {
    Q_OBJECT
public:
    ObservationPointDialog(const ObservationPointValues& values, QWidget* parent = nullptr);
    ObservationPointValues values;
};

/// 151 "メモ": Enter starts a new line; "保存・終了" keeps the text.
class MemoDialog : public QDialog {
    Q_OBJECT
public:
    MemoDialog(const std::string& memo, QWidget* parent = nullptr);
    /// The text with CR LF line ends, as the model keeps it.
    std::string memo() const;
    void accept() override;

    /// Where a memo the model file cannot hold is refused.
    MessageBoxes messages;

private:
    QPlainTextEdit* edit_;
};

} // namespace quav
