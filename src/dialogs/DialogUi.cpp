#include "dialogs/DialogUi.h"

#include "analysis/Matrix.h"
#include "dialogs/InfoDialogs.h"
#include "dialogs/ModelDialogs.h"
#include "dialogs/SettingsDialogs.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

namespace quav {

namespace {

/// Runs a dialog and copies its values back on OK.
template <typename Dialog, typename Values, typename... Args>
bool runForm(Values& values, QWidget* parent, Args&&... args) {
    Dialog dialog(values, std::forward<Args>(args)..., parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.values;
    return true;
}

} // namespace

void DialogUi::message(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("QUAV"), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

void DialogUi::showText(const std::string& text) {
    InfoTextDialog dialog(text, parent_);
    dialog.exec();
}

void DialogUi::runBusy(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    busy_ = true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done.load())
            loop.quit();
    });
    // A calculation of a moment passes without a cursor flicker.
    QTimer cursor;
    cursor.setSingleShot(true);
    bool cursorShown = false;
    QObject::connect(&cursor, &QTimer::timeout, &loop, [&] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        cursorShown = true;
    });
    std::thread worker([&] {
        work();
        done.store(true);
    });
    poll.start(10);
    cursor.start(200);
    // Painting goes on; clicks and keys wait until the work is done.
    while (!done.load())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (cursorShown)
        QApplication::restoreOverrideCursor();
    busy_ = false;
}

bool DialogUi::runMassElement(MassElementValues& values) {
    return runForm<MassElementDialog>(values, parent_);
}

bool DialogUi::runSpring(SpringValues& values) {
    return runForm<SpringDialog>(values, parent_);
}

bool DialogUi::runAssignCharacteristic(CharacteristicValues& values,
                                       const std::vector<CharacteristicValues>& defined) {
    return runForm<CharacteristicDialog>(values, parent_, &defined);
}

bool DialogUi::runCharacteristicList(CharacteristicListEditor& editor) {
    CharacteristicListDialog dialog(editor, parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool DialogUi::runCharacteristicValues(CharacteristicValues& values) {
    return runForm<CharacteristicDialog>(
        values, parent_, static_cast<const std::vector<CharacteristicValues>*>(nullptr));
}

bool DialogUi::runLoad(LoadValues& values, const LoadDialogContext& context) {
    return runForm<LoadDialog>(values, parent_, context);
}

bool DialogUi::runObservationPoint(ObservationPointValues& values) {
    return runForm<ObservationPointDialog>(values, parent_);
}

bool DialogUi::runMemo(std::string& memo) {
    MemoDialog dialog(memo, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    memo = dialog.memo();
    return true;
}

bool DialogUi::runCalculationConditions(CalculationRequest& request) {
    return runForm<CalculationConditionsDialog>(request, parent_);
}

bool DialogUi::runModeAnimation(ModeAnimationValues& values) {
    return runForm<ModeAnimationDialog>(values, parent_);
}

bool DialogUi::runDisplaySettings(DisplaySettingsValues& values) {
    return runForm<DisplaySettingsDialog>(values, parent_);
}

bool DialogUi::runGround(GroundValues& values) {
    return runForm<GroundDialog>(values, parent_);
}

// The result graphs and the optimiser's dialogs come with their own windows;
// until then the contribution ratios are shown as a table and the optimiser
// points to the command-line run.

void DialogUi::showContributionGraph(const Matrix& frequencies, const Matrix& modeShapes,
                                     const std::string&) {
    std::string text = "No\t[Hz]\tx\ty\tz\tRx\tRy\tRz\r\n";
    char cell[64];
    for (int k = 1; k <= 6; ++k) {
        const int n = 6 - k;
        std::snprintf(cell, sizeof cell, "Mode%d\t%.2lf", k, frequencies(n, 0));
        text += cell;
        for (int i = 0; i < 6; ++i) {
            std::snprintf(cell, sizeof cell, "\t%.2lf", modeShapes(i, n) * modeShapes(i, n) * 100);
            text += cell;
        }
        text += "\r\n";
    }
    showText(text);
}

void DialogUi::showFrequencyStepResults(CQUAVDoc&) {
    message("周波数ｽﾃｯﾌﾟ解析結果の表示はこの版にはありません。\n"
            "quav-cli sweep で同じ曲線を出力できます。");
}

void DialogUi::editDesignParameters(CQUAVDoc&) {
    message("最適化の設定はこの版にはありません。");
}

void DialogUi::editOptimizationConditions(CQUAVDoc&) {
    message("最適化の設定はこの版にはありません。");
}

void DialogUi::runOptimizer(CQUAVDoc&) {
    message("最適化はこの版では quav-cli optimize で実行してください。");
}

} // namespace quav
