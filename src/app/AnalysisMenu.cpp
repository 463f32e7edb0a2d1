#include "app/AnalysisMenu.h"

#include "document/AnalysisCommands.h"
#include "document/LoadCaseCommands.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <functional>

namespace quav {

AnalysisMenu::AnalysisMenu(QMainWindow* window, CQUAVDoc& doc, DocumentUi& ui)
    : QObject(window), menu_(new QMenu(QStringLiteral("解析(&A)"), window)) {
    // Before "ﾍﾙﾌﾟ(&H)", which stays last.
    QMenuBar* bar = window->menuBar();
    QAction* before = nullptr;
    for (QAction* a : bar->actions())
        if (a->text() == QStringLiteral("ﾍﾙﾌﾟ(&H)"))
            before = a;
    bar->insertMenu(before, menu_);

    const struct {
        int id;
        const char* text;
        const char* statusTip;
        std::function<void()> run;
    } items[] = {
        {cmd::EnergyDistribution, "エネルギー分布",
         "各モードの運動エネルギー分布とデカップリング率を表示します",
         [&doc, &ui] { showEnergyDistribution(doc, ui); }},
        {cmd::TorqueRollAxisReport, "トルクロール軸...",
         "トルクロール軸と各モードの回転軸とのなす角を表示します",
         [this, &doc, &ui] { showTorqueRollAxis(doc, ui, torqueAxis_); }},
        {cmd::MountForcesReport, "マウント力", "静荷重・動荷重による各ばね要素の力を表示します",
         [&doc, &ui] { showMountForces(doc, ui); }},
        {cmd::Transmissibility, "伝達率", "動荷重の力の伝達率を周波数ｽﾃｯﾌﾟの範囲で表示します",
         [&doc, &ui] { showTransmissibility(doc, ui); }},
        {0, nullptr, nullptr, {}},
        {cmd::Robustness, "ロバスト性...",
         "ばね定数と位置のばらつきに対する固有振動数とデカップリング率の分布を計算します",
         [this, &doc, &ui] { runRobustness(doc, ui, robustness_); }},
        {cmd::Sensitivity, "感度...",
         "ばね定数・位置・角度に対する固有振動数、デカップリング率、静的変位の感度を表示します",
         [&doc, &ui] { showSensitivity(doc, ui); }},
        {0, nullptr, nullptr, {}},
        {cmd::LoadCases, "荷重ケース",
         "荷重ケースごとの静的なつり合い、ばねの変位と力、ストロークと荷重の余裕を表示します",
         [&doc, &ui] { showLoadCases(doc, ui); }},
    };
    for (const auto& item : items) {
        if (item.id == 0) {
            menu_->addSeparator();
            continue;
        }
        QAction* a = menu_->addAction(QString::fromUtf8(item.text));
        a->setObjectName(QString::number(item.id));
        a->setStatusTip(QString::fromUtf8(item.statusTip));
        connect(a, &QAction::triggered, this, item.run);
    }
}

} // namespace quav
