#include "dialogs/ParetoDialog.h"

#include "dialogs/SaveFormat.h"
#include "model/TextFormat.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScatterSeries>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quav {

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

std::string fileName(std::int64_t number) {
    return format("No%lld.quav", static_cast<long long>(number));
}

bool plottable(const ParetoMember& m, int x, int y) {
    return std::isfinite(m.objectives[static_cast<std::size_t>(x)]) &&
           std::isfinite(m.objectives[static_cast<std::size_t>(y)]);
}

/// An axis over `values` with a little room on both sides.
QValueAxis* axis(const std::vector<double>& values, const QString& title) {
    auto* a = new QValueAxis;
    a->setTitleText(title);
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (double v : values)
        low = std::min(low, v), high = std::max(high, v);
    if (!(low <= high))
        low = 0.0, high = 1.0;
    const double margin = high > low ? 0.05 * (high - low) : std::max(1e-12, 0.05 * std::abs(low));
    a->setRange(low - margin, high + margin);
    a->setLabelFormat(QStringLiteral("%.4g"));
    return a;
}

} // namespace

ParetoDialog::ParetoDialog(ParetoFolder folder, QWidget* parent)
    : QDialog(parent), folder_(std::move(folder)) {
    setWindowTitle(QStringLiteral("ﾊﾟﾚｰﾄ解 - ") + text(folder_.directory));
    xBox_ = new QComboBox(this);
    xBox_->setObjectName(QStringLiteral("xObjective"));
    yBox_ = new QComboBox(this);
    yBox_->setObjectName(QStringLiteral("yObjective"));
    for (const Objective& o : folder_.objectives) {
        xBox_->addItem(text(objectiveLabel(o)));
        yBox_->addItem(text(objectiveLabel(o)));
    }
    auto* copy = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    copy->setObjectName(QStringLiteral("copy"));
    auto* saveButton = new QPushButton(QStringLiteral("保存..."), this);
    saveButton->setObjectName(QStringLiteral("save"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("1"));
    close->setAutoDefault(false);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("横軸"), this));
    top->addWidget(xBox_);
    top->addWidget(new QLabel(QStringLiteral("縦軸"), this));
    top->addWidget(yBox_);
    top->addStretch();
    top->addWidget(copy);
    top->addWidget(saveButton);
    top->addWidget(close);

    auto* note = new QLabel(this);
    note->setObjectName(QStringLiteral("note"));
    note->setWordWrap(true);
    QString counts = QStringLiteral("条件一致 %1 件 (灰色)、ﾊﾟﾚｰﾄ解 %2 件。")
                         .arg(folder_.accepted.size())
                         .arg(folder_.front.size());
    if (folder_.acceptedTruncated)
        counts += QStringLiteral("条件一致のﾌｧｲﾙは最初の %1 件だけを表示しています。")
                      .arg(folder_.accepted.size());
    note->setText(counts + QStringLiteral("点か行をｸﾘｯｸするとﾊﾟﾗﾒｰﾀ値を、"
                                          "ﾀﾞﾌﾞﾙｸﾘｯｸするとそのﾓﾃﾞﾙを開きます。"));

    chart_ = new QChartView(this);
    chart_->setObjectName(QStringLiteral("chart"));
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumSize(480, 320);

    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("front"));
    QStringList headings{QStringLiteral("ﾌｧｲﾙ")};
    for (const std::string& name : folder_.parameterNames)
        headings << text(name);
    for (const Objective& o : folder_.objectives)
        headings << text(objectiveLabel(o));
    table_->setColumnCount(static_cast<int>(headings.size()));
    table_->setHorizontalHeaderLabels(headings);
    table_->setRowCount(static_cast<int>(folder_.front.size()));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    for (std::size_t r = 0; r < folder_.front.size(); ++r) {
        const ParetoMember& m = folder_.front[r];
        int c = 0;
        const int row = static_cast<int>(r);
        table_->setItem(row, c++, new QTableWidgetItem(text(fileName(m.number))));
        for (double v : m.parameters)
            table_->setItem(row, c++, new QTableWidgetItem(text(format("%.10g", v))));
        for (double v : m.objectives)
            table_->setItem(row, c++, new QTableWidgetItem(text(format("%.10g", v))));
    }
    table_->resizeColumnsToContents();

    variant_ = new QPlainTextEdit(this);
    variant_->setObjectName(QStringLiteral("variant"));
    variant_->setReadOnly(true);
    variant_->setMaximumHeight(120);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(chart_);
    split->addWidget(table_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(note);
    layout->addWidget(split, 1);
    layout->addWidget(variant_);
    resize(900, 760);

    // The table would copy only its current cell.
    table_->installEventFilter(this);
    connect(copy, &QPushButton::clicked, this, &ParetoDialog::copyTable);
    connect(saveButton, &QPushButton::clicked, this, &ParetoDialog::save);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(table_, &QTableWidget::cellClicked, this, [this](int row, int) { chooseRow(row); });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        openVariant(folder_.front[static_cast<std::size_t>(row)].number);
    });
    connect(xBox_, &QComboBox::currentIndexChanged, this,
            [this](int x) { setAxes(x, yBox_->currentIndex()); });
    connect(yBox_, &QComboBox::currentIndexChanged, this,
            [this](int y) { setAxes(xBox_->currentIndex(), y); });
    // The first two objectives, or the only one against itself.
    setAxes(0, folder_.objectives.size() > 1 ? 1 : 0);
}

void ParetoDialog::setAxes(int x, int y) {
    const int count = static_cast<int>(folder_.objectives.size());
    if (x < 0 || y < 0 || x >= count || y >= count)
        return;
    x_ = x;
    y_ = y;
    {
        const QSignalBlocker bx(xBox_), by(yBox_);
        xBox_->setCurrentIndex(x);
        yBox_->setCurrentIndex(y);
    }
    plot();
}

void ParetoDialog::plot() {
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    accepted_ = new QScatterSeries(chart);
    accepted_->setName(QStringLiteral("条件一致"));
    accepted_->setColor(QColor(170, 170, 170));
    accepted_->setBorderColor(QColor(150, 150, 150));
    accepted_->setMarkerSize(7.0);
    front_ = new QScatterSeries(chart);
    front_->setName(QStringLiteral("ﾊﾟﾚｰﾄ解"));
    front_->setColor(QColor(220, 40, 40));
    front_->setBorderColor(QColor(120, 0, 0));
    front_->setMarkerSize(11.0);
    std::vector<double> xs, ys;
    const auto add = [&](QScatterSeries* series, const std::vector<ParetoMember>& members,
                         std::vector<const ParetoMember*>& shown) {
        shown.clear();
        for (const ParetoMember& m : members) {
            if (!plottable(m, x_, y_))
                continue;
            const double x = m.objectives[static_cast<std::size_t>(x_)];
            const double y = m.objectives[static_cast<std::size_t>(y_)];
            series->append(x, y);
            xs.push_back(x);
            ys.push_back(y);
            shown.push_back(&m);
        }
    };
    add(accepted_, folder_.accepted, acceptedShown_);
    add(front_, folder_.front, frontShown_);
    mark_ = new QScatterSeries(chart);
    mark_->setColor(Qt::transparent);
    mark_->setBorderColor(QColor(0, 90, 220));
    mark_->setMarkerSize(18.0);
    chart->addSeries(accepted_);
    chart->addSeries(front_); // drawn over the grey points
    chart->addSeries(mark_);
    for (QLegendMarker* marker : chart->legend()->markers(mark_))
        marker->setVisible(false);
    const std::vector<Objective>& o = folder_.objectives;
    QValueAxis* xAxis = axis(xs, text(objectiveLabel(o[static_cast<std::size_t>(x_)])));
    QValueAxis* yAxis = axis(ys, text(objectiveLabel(o[static_cast<std::size_t>(y_)])));
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    for (QScatterSeries* s : {accepted_, front_, mark_}) {
        s->attachAxis(xAxis);
        s->attachAxis(yAxis);
    }
    connect(accepted_, &QScatterSeries::clicked, this,
            [this](const QPointF& p) { choosePoint(false, p); });
    connect(front_, &QScatterSeries::clicked, this,
            [this](const QPointF& p) { choosePoint(true, p); });
    const auto open = [this](bool front, const QPointF& p) {
        choosePoint(front, p);
        const auto& shown = front ? frontShown_ : acceptedShown_;
        const int index = (front ? front_ : accepted_)->property("chosen").toInt();
        if (index >= 0 && index < static_cast<int>(shown.size()))
            openVariant(shown[static_cast<std::size_t>(index)]->number);
    };
    connect(accepted_, &QScatterSeries::doubleClicked, this,
            [open](const QPointF& p) { open(false, p); });
    connect(front_, &QScatterSeries::doubleClicked, this,
            [open](const QPointF& p) { open(true, p); });
    QChart* old = chart_->chart();
    chart_->setChart(chart);
    delete old;
    markChosen();
}

void ParetoDialog::markChosen() {
    mark_->clear();
    if (chosen_ && plottable(*chosen_, x_, y_))
        mark_->append(chosen_->objectives[static_cast<std::size_t>(x_)],
                      chosen_->objectives[static_cast<std::size_t>(y_)]);
}

void ParetoDialog::choosePoint(bool front, const QPointF& value) {
    const auto& shown = front ? frontShown_ : acceptedShown_;
    QScatterSeries* series = front ? front_ : accepted_;
    // The nearest point on the plot's scales, which differ by orders of magnitude.
    const auto* xAxis = qobject_cast<QValueAxis*>(chart_->chart()->axes(Qt::Horizontal).value(0));
    const auto* yAxis = qobject_cast<QValueAxis*>(chart_->chart()->axes(Qt::Vertical).value(0));
    const double xSpan = xAxis ? xAxis->max() - xAxis->min() : 1.0;
    const double ySpan = yAxis ? yAxis->max() - yAxis->min() : 1.0;
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const double dx = (shown[i]->objectives[static_cast<std::size_t>(x_)] - value.x()) / xSpan;
        const double dy = (shown[i]->objectives[static_cast<std::size_t>(y_)] - value.y()) / ySpan;
        const double d = dx * dx + dy * dy;
        if (d < bestDistance)
            bestDistance = d, best = static_cast<int>(i);
    }
    series->setProperty("chosen", best);
    if (best < 0)
        return;
    const ParetoMember& m = *shown[static_cast<std::size_t>(best)];
    const bool onFront = std::any_of(folder_.front.begin(), folder_.front.end(),
                                     [&](const ParetoMember& f) { return f.number == m.number; });
    showVariant(m, onFront);
    table_->clearSelection();
    for (std::size_t r = 0; r < folder_.front.size(); ++r)
        if (folder_.front[r].number == m.number)
            table_->selectRow(static_cast<int>(r));
}

void ParetoDialog::chooseRow(int row) {
    if (row < 0 || row >= static_cast<int>(folder_.front.size()))
        return;
    table_->selectRow(row);
    showVariant(folder_.front[static_cast<std::size_t>(row)], true);
}

void ParetoDialog::showVariant(const ParetoMember& m, bool onFront) {
    std::string shown = fileName(m.number) + (onFront ? "  (ﾊﾟﾚｰﾄ解)" : "") + "\n";
    for (std::size_t i = 0; i < m.parameters.size() && i < folder_.parameterNames.size(); ++i)
        shown += folder_.parameterNames[i] + " = " + format("%.10g", m.parameters[i]) + "\n";
    for (std::size_t i = 0; i < m.objectives.size(); ++i)
        shown +=
            objectiveLabel(folder_.objectives[i]) + " = " + format("%.10g", m.objectives[i]) + "\n";
    variant_->setPlainText(text(shown));
    chosen_ = &m;
    markChosen();
}

void ParetoDialog::openVariant(std::int64_t number) {
    if (!openModel)
        return;
    if (openModel(variantFilePath(folder_.directory, number)))
        accept();
}

int ParetoDialog::acceptedPoints() const {
    return static_cast<int>(accepted_ ? accepted_->count() : 0);
}

int ParetoDialog::frontPoints() const {
    return static_cast<int>(front_ ? front_->count() : 0);
}

QString ParetoDialog::shownVariant() const {
    return variant_->toPlainText();
}

std::string ParetoDialog::tableText() const {
    std::string out = "file";
    for (const std::string& name : folder_.parameterNames)
        out += "\t" + name;
    for (const Objective& o : folder_.objectives)
        out += "\t" + objectiveName(o);
    out += "\r\n";
    for (const ParetoMember& m : folder_.front) {
        out += fileName(m.number);
        for (double v : m.parameters)
            out += format("\t%.17g", v);
        for (double v : m.objectives)
            out += format("\t%.17g", v);
        out += "\r\n";
    }
    return out;
}

void ParetoDialog::copyTable() {
    QApplication::clipboard()->setText(text(tableText()));
    messages.inform(this, QStringLiteral("表をﾀﾌﾞ区切りのﾃｷｽﾄとしてｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰしました。\r\n"
                                         "表計算ｿﾌﾄ等へ貼り付けてください。"));
}

bool ParetoDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copyTable();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ParetoDialog::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copyTable();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ParetoDialog::save() {
    saver.save(this, messages, QStringLiteral("pareto"),
               {SaveFormat::Csv, SaveFormat::Tsv, SaveFormat::Png, SaveFormat::Svg},
               [this](SaveFormat format) {
                   if (format == SaveFormat::Svg)
                       return svgBytes(chart_, windowTitle());
                   if (format == SaveFormat::Png)
                       return pngBytes(chart_->grab().toImage());
                   // CSV as the run writes pareto.csv; TSV as "ｺﾋﾟｰ" copies.
                   const std::string table = format == SaveFormat::Csv
                                                 ? paretoCsv(folder_.front, folder_.parameterNames,
                                                             objectiveNames(folder_.objectives))
                                                 : tableText();
                   const std::string bytes = textFileBytes(table, format);
                   return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
               });
}

} // namespace quav
