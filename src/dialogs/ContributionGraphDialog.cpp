#include "dialogs/ContributionGraphDialog.h"

#include "dialogs/ChartPainter.h"
#include "dialogs/DialogUnits.h"
#include "dialogs/ScreenCopy.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace quav {

ContributionGraphDialog::ContributionGraphDialog(ContributionData data, QWidget* parent)
    : QDialog(parent), data_(std::move(data)) {
    setWindowTitle(QStringLiteral("グラフ"));

    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("1049"));
    for (const char* entry : kContributionChartEntries)
        list_->addItem(QString::fromUtf8(entry));
    list_->setCurrentIndex(0);
    list_->setFixedWidth(dialogUnits(70));

    auto* copy = new QPushButton(QStringLiteral("画面ｺﾋﾟｰ"), this);
    copy->setObjectName(QStringLiteral("1050"));
    auto* close = new QPushButton(QStringLiteral("終了"), this);
    close->setObjectName(QStringLiteral("1"));
    close->setDefault(true);

    area_ = new ChartArea(
        [this](QSize size) {
            return contributionChart(data_, list_->currentIndex(), size.height());
        },
        this);
    area_->setObjectName(QStringLiteral("1048"));
    area_->setFixedSize(dialogUnits(413, 282));

    auto* top = new QHBoxLayout;
    top->addWidget(list_);
    top->addStretch();
    top->addWidget(copy);
    top->addSpacing(dialogUnits(7));
    top->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(area_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(list_, &QComboBox::currentIndexChanged, area_, qOverload<>(&QWidget::update));
    connect(copy, &QPushButton::clicked, this, &ContributionGraphDialog::copyToClipboard);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

QImage ContributionGraphDialog::chartImage() const {
    return area_->grab().toImage();
}

void ContributionGraphDialog::copyToClipboard() {
    copyScreenToClipboard(this, chartImage(), messages);
}

} // namespace quav
