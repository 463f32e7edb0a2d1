#include "dialogs/CurveDialog.h"

#include "dialogs/CurveChart.h"
#include "dialogs/ScreenCopy.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace quav {

namespace {

QByteArray bytesOf(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

CurveDialog::CurveDialog(const QString& title, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
}

void CurveDialog::buildWindow(QLayout* heading, std::initializer_list<QWidget*> choices,
                              std::initializer_list<QWidget*> focus, bool decibelOption,
                              std::vector<FrequencyMarker> markers) {
    chart_ = new CurveChart(this);
    chart_->setObjectName(QStringLiteral("1097"));
    chart_->setMarkers(std::move(markers));
    chart_->cursorPicked = [this](std::size_t step) { slider_->setValue(static_cast<int>(step)); };

    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("1098"));
    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("cursor"));
    readout_->setWordWrap(true);
    readout_->setTextFormat(Qt::PlainText); // a point named "<a>" is no tag
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    logFrequency_ = new QCheckBox(QStringLiteral("横軸 対数(&X)"), this);
    logValue_ = new QCheckBox(QStringLiteral("縦軸 対数(&Y)"), this);
    decibel_ = new QCheckBox(QStringLiteral("dB re 1 m/N(&D)"), this);
    decibel_->setVisible(decibelOption);
    auto* natural = new QCheckBox(QStringLiteral("固有振動数(&N)"), this);
    auto* load = new QCheckBox(QStringLiteral("加振周波数(&F)"), this);
    natural->setChecked(true);
    load->setChecked(true);
    auto* reset = new QPushButton(QStringLiteral("全体表示(&R)"), this);
    reset->setToolTip(
        QStringLiteral("ドラッグで拡大した範囲を元に戻します(右クリックでも戻ります)"));

    kept_ = new QListWidget(this);
    kept_->setObjectName(QStringLiteral("kept"));
    kept_->setFixedHeight(kept_->fontMetrics().height() * 6);
    kept_->setWordWrap(true);
    kept_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    keep_ = new QPushButton(QStringLiteral("追加(&A)"), this);
    keep_->setToolTip(QStringLiteral("今の曲線を残して、ほかの曲線と重ねて表示します"));
    drop_ = new QPushButton(QStringLiteral("削除(&E)"), this);
    data_ = new QPushButton(QStringLiteral("ﾃﾞｰﾀ表示"), this);
    data_->setObjectName(QStringLiteral("1062"));
    auto* save = new QPushButton(QStringLiteral("保存(&S)..."), this);
    save->setObjectName(QStringLiteral("save"));
    auto* copy = new QPushButton(QStringLiteral("画面ｺﾋﾟｰ"), this);
    copy->setObjectName(QStringLiteral("copy"));
    close_ = new QPushButton(QStringLiteral("閉じる"), this);
    close_->setObjectName(QStringLiteral("1"));

    auto* options = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(logFrequency_), static_cast<QWidget*>(logValue_),
                       static_cast<QWidget*>(decibel_), static_cast<QWidget*>(natural),
                       static_cast<QWidget*>(load)})
        options->addWidget(w);
    options->addStretch();
    options->addWidget(reset);
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("note"));
    note_->setStyleSheet(QStringLiteral("color: #707070; font-weight: bold"));
    note_->hide();
    auto* left = new QVBoxLayout;
    left->addWidget(note_);
    if (heading)
        left->addLayout(heading);
    left->addWidget(chart_, 1);
    left->addWidget(slider_);
    left->addWidget(readout_);
    left->addLayout(options);

    auto* keptBox = new QGroupBox(QStringLiteral("重ねて表示"), this);
    auto* keptLayout = new QVBoxLayout(keptBox);
    keptLayout->addWidget(kept_);
    auto* keptButtons = new QHBoxLayout;
    keptButtons->addWidget(keep_);
    keptButtons->addWidget(drop_);
    keptLayout->addLayout(keptButtons);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("荷重"), this));
    for (QWidget* c : choices)
        right->addWidget(c);
    right->addWidget(keptBox);
    right->addWidget(data_);
    right->addWidget(save);
    right->addWidget(copy);
    right->addStretch();
    right->addWidget(close_);
    auto* rightColumn = new QWidget(this);
    rightColumn->setLayout(right);
    rightColumn->setFixedWidth(220);
    right->setContentsMargins(0, 0, 0, 0);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(rightColumn);
    resize(900, 640);

    // The keyboard goes from the cursor to the window's choices, then the rest.
    std::vector<QWidget*> order{slider_};
    order.insert(order.end(), focus.begin(), focus.end());
    for (QWidget* w :
         {static_cast<QWidget*>(data_), static_cast<QWidget*>(save), static_cast<QWidget*>(copy),
          static_cast<QWidget*>(kept_), static_cast<QWidget*>(keep_), static_cast<QWidget*>(drop_),
          static_cast<QWidget*>(logFrequency_), static_cast<QWidget*>(logValue_),
          static_cast<QWidget*>(decibel_), static_cast<QWidget*>(natural),
          static_cast<QWidget*>(load), static_cast<QWidget*>(reset), static_cast<QWidget*>(close_)})
        order.push_back(w);
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    connect(slider_, &QSlider::valueChanged, this, &CurveDialog::cursorChanged);
    connect(logFrequency_, &QCheckBox::toggled, this, &CurveDialog::scalesChanged);
    connect(logValue_, &QCheckBox::toggled, this, &CurveDialog::scalesChanged);
    connect(decibel_, &QCheckBox::toggled, this, &CurveDialog::refresh);
    connect(natural, &QCheckBox::toggled, this,
            [this](bool on) { chart_->showMarkers(FrequencyMarker::NaturalFrequency, on); });
    connect(load, &QCheckBox::toggled, this,
            [this](bool on) { chart_->showMarkers(FrequencyMarker::LoadFrequency, on); });
    connect(reset, &QPushButton::clicked, this, [this] { chart_->resetZoom(); });
    connect(keep_, &QPushButton::clicked, this, [this] {
        keepCurrent();
        refresh();
    });
    connect(drop_, &QPushButton::clicked, this, [this] {
        const int row = kept_->currentRow() >= 0 ? kept_->currentRow() : kept_->count() - 1;
        if (row < 0)
            return;
        dropKept(static_cast<std::size_t>(row));
        refresh();
    });
    connect(data_, &QPushButton::clicked, this, [this] {
        if (showText)
            showText(this, listing());
    });
    connect(save, &QPushButton::clicked, this, &CurveDialog::save);
    connect(copy, &QPushButton::clicked, this, &CurveDialog::copyToClipboard);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    slider_->setFocus();
}

bool CurveDialog::decibels() const {
    return decibel_ && decibel_->isChecked() && decibel_->isEnabled();
}

void CurveDialog::refresh() {
    decibel_->setEnabled(decibelsAvailable());
    curves_ = keptCurves();
    if (!currentIsKept())
        curves_.push_back(currentCurve());
    chart_->setCurves(curves_, QString::fromStdString(valueAxisTitle(quantity(), curves_)));

    const std::vector<PlotCurve> kept = keptCurves();
    kept_->clear();
    for (const auto& c : kept) {
        kept_->addItem(QString::fromStdString(c.name));
        kept_->item(kept_->count() - 1)->setToolTip(kept_->item(kept_->count() - 1)->text());
    }
    // "削除" first: a focused "追加" that turns grey hands the focus on to it.
    drop_->setEnabled(!kept.empty());
    keep_->setEnabled(!currentIsKept() && kept.size() < kMaxKeptCurves);

    // One slider position per sweep step: the cursor cannot leave the data.
    const std::size_t steps = curves_.empty() ? 0 : curves_.front().points.size();
    const int last = steps > 0 ? static_cast<int>(steps - 1) : 0;
    const QSignalBlocker block(slider_);
    slider_->setRange(0, last);
    slider_->setPageStep(std::max(1, last / 20)); // 5 % of the sweep
    slider_->setEnabled(steps > 0);
    cursorChanged();
}

void CurveDialog::scalesChanged() {
    chart_->setScales(logFrequency_->isChecked() ? AxisScale::Logarithmic : AxisScale::Linear,
                      logValue_->isChecked() ? AxisScale::Logarithmic : AxisScale::Linear);
}

void CurveDialog::cursorChanged() {
    chart_->setCursorStep(static_cast<std::size_t>(slider_->value()));
    const auto step = chart_->cursorStep();
    readout_->setText(step ? QString::fromStdString(cursorReadout(curves_, *step)) : QString());
}

void CurveDialog::setNote(const QString& text) {
    note_->setText(text);
    note_->setVisible(!text.isEmpty());
}

QImage CurveDialog::chartImage() const {
    return chart_->image();
}

std::string CurveDialog::listing() const {
    return curveTable(tableCurves(), kListingStyle);
}

void CurveDialog::copyToClipboard() {
    copyScreenToClipboard(this, chartImage(), messages);
}

void CurveDialog::save() {
    saver.save(this, messages, windowTitle(),
               {SaveFormat::Csv, SaveFormat::Tsv, SaveFormat::Png, SaveFormat::Svg},
               [this](SaveFormat format) {
                   switch (format) {
                   case SaveFormat::Csv:
                       return bytesOf(textFileBytes(curveTable(tableCurves(), kCsvStyle), format));
                   case SaveFormat::Tsv:
                       return bytesOf(textFileBytes(curveTable(tableCurves(), kTsvStyle), format));
                   case SaveFormat::Svg:
                       return svgBytes(chart_, windowTitle());
                   default:
                       return pngBytes(chartImage());
                   }
               });
}

} // namespace quav
