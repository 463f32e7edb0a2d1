#include "dialogs/SettingsDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quav {

// ---------------------------------------------------------- 156 calculation --

CalculationConditionsDialog::CalculationConditionsDialog(const CalculationRequest& r,
                                                         QWidget* parent)
    : FormDialog(156, QStringLiteral("計算条件設定"), parent), values(r) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bindCheck(1082, QStringLiteral("振動ﾓｰﾄﾞ解析"), &values.eigen));
    layout->addWidget(bindCheck(1083, QStringLiteral("静解析"), &values.staticAnalysis));
    layout->addWidget(bindCheck(1084, QStringLiteral("動解析(単一周波数)"), &values.dynamic));
    layout->addWidget(bindCheck(1085, QStringLiteral("周波数ｽﾃｯﾌﾟ解析"), &values.frequencyStep));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("周波数設定")), 0, 0);
    grid->addWidget(bindNumber(1079, &values.start), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("～")), 0, 2);
    grid->addWidget(bindNumber(1080, &values.end), 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("[Hz]")), 0, 4);
    // The field is the increment between sweep frequencies, not a count of steps.
    grid->addWidget(new QLabel(QStringLiteral("ｽﾃｯﾌﾟ幅")), 1, 0);
    grid->addWidget(bindNumber(1081, &values.step), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("[Hz]")), 1, 2);
    layout->addLayout(grid);
    auto* note = new QLabel(QStringLiteral("開始・終了とも0のときは周波数ｽﾃｯﾌﾟ解析を行いません"));
    note->setStyleSheet(QStringLiteral("color: #404040"));
    layout->addWidget(note);
    layout->addWidget(okCancel(QStringLiteral("計算実行")));
    showValues();
    setRule([this] { return inputProblem(values); });
}

// ------------------------------------------------ 152 / 153 animation settings --

ModeAnimationDialog::ModeAnimationDialog(const ModeAnimationValues& v, QWidget* parent)
    : FormDialog(152, QStringLiteral("ﾓｰﾄﾞｱﾆﾒｰｼｮﾝ設定"), parent), values(v) {
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("倍率")), 0, 0);
    grid->addWidget(bindNumber(1038, &values.scale), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("ﾌﾚｰﾑ数")), 1, 0);
    grid->addWidget(bindFrameCount(1054, &values.frames), 1, 1);
    grid->addWidget(bindCheck(1063, QStringLiteral("ｵﾘｼﾞﾅﾙ形状を表示"), &values.showUndeformed), 2,
                    0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(okCancel());
    showValues();
}

DisplaySettingsDialog::DisplaySettingsDialog(const DisplaySettingsValues& v, QWidget* parent)
    : FormDialog(153, QStringLiteral("表示設定"), parent), values(v) {
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("倍率")), 0, 0);
    grid->addWidget(bindNumber(1038, &values.scale), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("ﾌﾚｰﾑ数")), 1, 0);
    QComboBox* frames = bindFrameCount(1054, &values.frames);
    frames->setEnabled(values.frames != 0);
    grid->addWidget(frames, 1, 1);
    grid->addWidget(
        bindCheck(1060, QStringLiteral("変位ﾃﾞｰﾀを画面に表示"), &values.showDisplacementData), 2, 0,
        1, 2);
    grid->addWidget(bindCheck(1063, QStringLiteral("ｵﾘｼﾞﾅﾙ形状を表示"), &values.showUndeformed), 3,
                    0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(okCancel());
    showValues();
}

// ------------------------------------------------------------------ 137 ground --

GroundDialog::GroundDialog(const GroundValues& v, QWidget* parent)
    : FormDialog(137, QStringLiteral("グラウンド設定"), parent), values(v) {
    auto* grid = new QGridLayout;
    grid->addWidget(bindCheck(1061, QStringLiteral("ｸﾞﾗﾝﾄﾞを表示"), &values.show), 0, 0, 1, 2);
    // Along the view's up axis: y, or z for a model drawn with z up.
    grid->addWidget(new QLabel(QStringLiteral("高さ[m]")), 1, 0);
    grid->addWidget(bindNumber(1027, &values.level), 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(okCancel());
    showValues();
}

} // namespace quav
