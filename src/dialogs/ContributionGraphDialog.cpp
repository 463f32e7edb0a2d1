#include "dialogs/ContributionGraphDialog.h"

#include "dialogs/DialogUnits.h"
#include "dialogs/ScreenCopy.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QVBoxLayout>
#include <QValueAxis>

namespace quav {

namespace {

QByteArray bytesOf(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

/// Chart texts are rich text: "<各振動...>" would read as a tag.
QString richText(const std::string& s) {
    return QString::fromStdString(s).toHtmlEscaped().replace(QLatin1Char('\n'),
                                                             QStringLiteral("<br>"));
}

} // namespace

ContributionGraphDialog::ContributionGraphDialog(ContributionData data, QWidget* parent)
    : QDialog(parent), data_(std::move(data)) {
    setWindowTitle(QStringLiteral("グラフ"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("1049"));
    for (const char* entry : kContributionChartEntries)
        list_->addItem(QString::fromUtf8(entry));
    list_->setCurrentIndex(0);
    list_->setFixedWidth(dialogUnits(70));

    auto* copy = new QPushButton(QStringLiteral("画面ｺﾋﾟｰ"), this);
    copy->setObjectName(QStringLiteral("1050"));
    auto* save = new QPushButton(QStringLiteral("保存(&S)..."), this);
    save->setObjectName(QStringLiteral("save"));
    auto* close = new QPushButton(QStringLiteral("終了"), this);
    close->setObjectName(QStringLiteral("1"));
    close->setDefault(true);

    view_ = new QChartView(this);
    view_->setObjectName(QStringLiteral("1048"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumSize(480, 320);

    auto* top = new QHBoxLayout;
    top->addWidget(list_);
    top->addStretch();
    top->addWidget(copy);
    top->addWidget(save);
    top->addSpacing(dialogUnits(7));
    top->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    resize(840, 600);

    connect(list_, &QComboBox::currentIndexChanged, this, &ContributionGraphDialog::entryChanged);
    connect(copy, &QPushButton::clicked, this, &ContributionGraphDialog::copyToClipboard);
    connect(save, &QPushButton::clicked, this, &ContributionGraphDialog::save);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    entryChanged();
}

void ContributionGraphDialog::entryChanged() {
    bars_ = contributionBars(data_, list_->currentIndex());
    auto* chart = new QChart;
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setTitle(richText(bars_.title));
    QAbstractBarSeries* series = bars_.stacked
                                     ? static_cast<QAbstractBarSeries*>(new QStackedBarSeries)
                                     : static_cast<QAbstractBarSeries*>(new QBarSeries);
    for (const auto& s : bars_.series) {
        auto* set = new QBarSet(QString::fromStdString(s.name));
        set->setColor(QColor(s.colour.r, s.colour.g, s.colour.b));
        set->setBorderColor(QColor(80, 80, 80));
        set->setLabelColor(Qt::black);
        for (double v : s.values)
            set->append(v);
        series->append(set);
    }
    if (!bars_.stacked) { // one series: its shares over the bars
        series->setLabelsVisible(true);
        series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
        series->setLabelsFormat(QStringLiteral("@value"));
        series->setLabelsPrecision(4);
        chart->legend()->hide();
    } else {
        chart->legend()->setAlignment(Qt::AlignRight);
    }
    chart->addSeries(series);
    auto* categories = new QBarCategoryAxis;
    for (const auto& c : bars_.categories)
        categories->append(richText(c));
    categories->setTitleText(QString::fromStdString(bars_.categoryTitle));
    auto* shares = new QValueAxis;
    // Room above 100 % for the share printed over a full bar.
    shares->setRange(0, bars_.stacked ? 100 : 110);
    shares->setTickType(QValueAxis::TicksDynamic);
    shares->setTickAnchor(0);
    shares->setTickInterval(10);
    shares->setLabelFormat(QStringLiteral("%g"));
    shares->setTitleText(QStringLiteral("寄与率 [%]"));
    chart->addAxis(categories, Qt::AlignBottom);
    chart->addAxis(shares, Qt::AlignLeft);
    series->attachAxis(categories);
    series->attachAxis(shares);

    QChart* old = view_->chart();
    view_->setChart(chart);
    delete old;
}

QImage ContributionGraphDialog::chartImage() const {
    return view_->grab().toImage();
}

void ContributionGraphDialog::copyToClipboard() {
    copyScreenToClipboard(this, chartImage(), messages);
}

void ContributionGraphDialog::save() {
    saver.save(this, messages, QStringLiteral("寄与率"),
               {SaveFormat::Csv, SaveFormat::Tsv, SaveFormat::Png, SaveFormat::Svg},
               [this](SaveFormat format) {
                   switch (format) {
                   case SaveFormat::Csv:
                       return bytesOf(textFileBytes(contributionTable(data_, ','), format));
                   case SaveFormat::Tsv:
                       return bytesOf(textFileBytes(contributionTable(data_, '\t'), format));
                   case SaveFormat::Svg:
                       return svgBytes(view_, windowTitle());
                   default:
                       return pngBytes(chartImage());
                   }
               });
}

} // namespace quav
