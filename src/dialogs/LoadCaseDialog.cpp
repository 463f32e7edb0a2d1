#include "dialogs/LoadCaseDialog.h"

#include "model/TextFormat.h"
#include "reports/LoadCaseReport.h"

#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quav {

LoadCaseDialog::LoadCaseDialog(const AnalysisModel& model, std::vector<LoadCaseResult> results,
                               QWidget* parent)
    : QDialog(parent), model_(model), results_(std::move(results)) {
    setWindowTitle(QStringLiteral("荷重ケース"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    table_ = new QTableWidget(static_cast<int>(results_.size()), 5, this);
    table_->setObjectName(QStringLiteral("table"));
    table_->setHorizontalHeaderLabels({QStringLiteral("ケース"), QStringLiteral("判定"),
                                       QStringLiteral("反復回数"), QStringLiteral("最小余裕率[%]"),
                                       QStringLiteral("場所")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    order_ = worstFirst(results_);
    for (int row = 0; row < static_cast<int>(order_.size()); ++row) {
        const LoadCaseResult& r = resultOfRow(row);
        const bool margin = r.converged && r.worst.spring >= 0;
        const std::string cells[5] = {r.name, caseVerdict(r), std::to_string(r.iterations),
                                      margin ? format("%.1lf", r.worst.ratio * 100.0)
                                             : std::string("-"),
                                      r.converged ? worstMarginPlace(model_, r) : r.reason};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(cells[c]));
            if (!r.pass)
                item->setForeground(QBrush(Qt::red));
            if (c == 2 || c == 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(row, c, item);
        }
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setStretchLastSection(true);

    auto* report = new QPushButton(QStringLiteral("ﾚﾎﾟｰﾄ"), this);
    report->setObjectName(QStringLiteral("report"));
    view_ = new QPushButton(QStringLiteral("3Dﾋﾞｭｰに表示"), this);
    view_->setObjectName(QStringLiteral("view"));
    view_->setToolTip(QStringLiteral("選んだケースの重心の変位で本体を 3D ビューに表示します"
                                     "(倍率は 静解析 の 設定)"));
    view_->setEnabled(false);
    connect(view_, &QPushButton::clicked, this, &LoadCaseDialog::showSelectedInView);
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        const int row = table_->currentRow();
        view_->setEnabled(row >= 0 && resultOfRow(row).converged);
    });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { showSelectedInView(); });
    auto* close = new QPushButton(QStringLiteral("終了"), this);
    close->setObjectName(QStringLiteral("1"));
    close->setDefault(true);
    connect(report, &QPushButton::clicked, this, [this] {
        if (showText)
            showText(this, loadCaseReport(model_, results_));
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(view_);
    buttons->addWidget(report);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    resize(720, 420);
}

const LoadCaseResult& LoadCaseDialog::resultOfRow(int row) const {
    return results_[order_[static_cast<std::size_t>(row)]];
}

bool LoadCaseDialog::showSelectedInView() {
    const int row = table_->currentRow();
    if (!showInView || row < 0 || !resultOfRow(row).converged)
        return false;
    showInView(resultOfRow(row));
    return true;
}

void LoadCaseDialog::showEvent(QShowEvent* event) {
    view_->setVisible(static_cast<bool>(showInView));
    QDialog::showEvent(event);
}

} // namespace quav
