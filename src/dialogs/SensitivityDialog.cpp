#include "dialogs/SensitivityDialog.h"

#include "analysis/KineticEnergy.h"
#include "analysis/OwnFrequencyModes.h"
#include "dialogs/DialogFields.h"
#include "document/DocumentUi.h"
#include "document/InputRules.h"
#include "model/TextFormat.h"
#include "reports/ReportPieces.h"
#include "reports/SensitivityReport.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace quav {

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

/// Chart texts are rich text: "<ﾓｰﾄﾞ1 ...>" would read as a tag.
QString richText(const std::string& s) {
    return text(s).toHtmlEscaped();
}

QString numberText(double x) {
    return std::isfinite(x) ? text(format("%.6g", x)) : QStringLiteral("-");
}

} // namespace

/// The table behind the view: the nominal values in the first row, then a row
/// per parameter with its derivatives or elasticities; drawn as it scrolls, so
/// a model of many springs costs no widgets.
class SensitivityTableModel : public QAbstractTableModel {
public:
    SensitivityTableModel(const AnalysisModel& model, const Sensitivities& s,
                          std::vector<std::string> names, QObject* parent)
        : QAbstractTableModel(parent), s_(s), names_(std::move(names)) {
        for (int o = 0; o < s_.outputs; ++o) {
            std::string heading = sensitivityOutputLabel(model, o);
            if (o >= kDecouplingColumn && o < kStaticColumn)
                heading +=
                    format(" (%s)",
                           kDofNames[s_.dominant[static_cast<std::size_t>(o - kDecouplingColumn)]]);
            headings_.push_back(text(heading));
            // The table's headings on two lines: what, then which and the unit.
            const qsizetype space = headings_.back().indexOf(QLatin1Char(' '));
            tableHeadings_.push_back(headings_.back());
            if (space > 0)
                tableHeadings_.back()[space] = QLatin1Char('\n');
        }
    }

    void setElasticity(bool elasticity) {
        elasticity_ = elasticity;
        if (!s_.parameters.empty())
            emit dataChanged(index(1, kParameterColumns), index(rowCount() - 1, columnCount() - 1));
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 1 + static_cast<int>(s_.parameters.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : kParameterColumns + s_.outputs;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        const int row = index.row(), column = index.column();
        if (role == Qt::TextAlignmentRole)
            return column >= kParameterColumns ? int(Qt::AlignRight | Qt::AlignVCenter)
                                               : int(Qt::AlignLeft | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return {};
        if (row == 0) {
            if (column >= kParameterColumns)
                return numberText(s_.values[static_cast<std::size_t>(column - kParameterColumns)]);
            return column == 0 ? QStringLiteral("公称値") : QString();
        }
        const std::size_t p = static_cast<std::size_t>(row - 1);
        if (column < kParameterColumns)
            return text(sensitivityParameterCell(s_.parameters[p], names_[p], column));
        const int o = column - kParameterColumns;
        return numberText(elasticity_ ? s_.elasticityOf(p, o) : s_.derivativeOf(p, o));
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return {};
        static const char* const parameterHeadings[kParameterColumns] = {"種類", "対象", "成分",
                                                                         "値"};
        if (section < kParameterColumns)
            return QString::fromUtf8(parameterHeadings[section]);
        return tableHeadings_[static_cast<std::size_t>(section - kParameterColumns)];
    }

    /// The heading of output `output` on one line.
    const QString& heading(int output) const { return headings_[static_cast<std::size_t>(output)]; }

private:
    const Sensitivities& s_;
    std::vector<std::string> names_;
    std::vector<QString> headings_, tableHeadings_;
    bool elasticity_ = false;
};

SensitivityDialog::SensitivityDialog(const AnalysisModel& model, Sensitivities result,
                                     std::function<void(const SensitivityParameter&)> select,
                                     QWidget* parent)
    : QDialog(parent), model_(model), result_(std::move(result)), select_(std::move(select)) {
    setWindowTitle(QStringLiteral("感度"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);

    const std::vector<std::string> names = parameterObjectNames(model_, result_.parameters);
    for (std::size_t p = 0; p < names.size(); ++p)
        labels_.push_back(sensitivityParameterLabel(result_.parameters[p], names[p]));

    form_ = new QComboBox(this);
    form_->setObjectName(QStringLiteral("form"));
    form_->addItem(QStringLiteral("微分係数 ∂y/∂p"));
    form_->addItem(QStringLiteral("弾性値 (p/y)·∂y/∂p"));
    auto* copy = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    copy->setObjectName(QStringLiteral("copy"));
    auto* save = new QPushButton(QStringLiteral("保存(&S)..."), this);
    save->setObjectName(QStringLiteral("save"));
    auto* close = new QPushButton(QStringLiteral("終了"), this);
    close->setObjectName(QStringLiteral("1"));
    close->setDefault(true);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("表示"), this));
    top->addWidget(form_);
    top->addStretch();
    top->addWidget(copy);
    top->addWidget(save);
    top->addWidget(close);

    table_ = new SensitivityTableModel(model_, result_, names, this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("table"));
    view_->setModel(table_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->verticalHeader()->hide();
    view_->setWordWrap(false);
    view_->horizontalHeader()->setDefaultSectionSize(120);
    view_->resizeColumnsToContents();

    tolerance_ = new QLineEdit(QStringLiteral("1"), this);
    tolerance_->setObjectName(QStringLiteral("1201"));
    positionTolerance_ = new QLineEdit(QStringLiteral("0"), this);
    positionTolerance_->setObjectName(QStringLiteral("1203"));
    auto* spread = new QPushButton(QStringLiteral("標準偏差"), this);
    spread->setObjectName(QStringLiteral("spread"));
    spreadLabel_ = new QLabel(this);
    spreadLabel_->setObjectName(QStringLiteral("spreadLabel"));
    spreadLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* tolerances = new QHBoxLayout;
    tolerances->addWidget(new QLabel(QStringLiteral("許容差  ばね定数 [±%]"), this));
    tolerances->addWidget(tolerance_);
    tolerances->addWidget(new QLabel(QStringLiteral("位置 [±m]"), this));
    tolerances->addWidget(positionTolerance_);
    tolerances->addWidget(spread);
    tolerances->addWidget(spreadLabel_, 1);

    auto* notes = new QLabel(this);
    notes->setObjectName(QStringLiteral("notes"));
    notes->setWordWrap(true);
    std::string noteText;
    for (const std::string& note : result_.notes)
        noteText += (noteText.empty() ? "" : "\n") + note;
    notes->setText(text(noteText));
    notes->setVisible(!noteText.empty());

    output_ = new QComboBox(this);
    output_->setObjectName(QStringLiteral("output"));
    for (int o = 0; o < result_.outputs; ++o)
        output_->addItem(table_->heading(o));
    chart_ = new QChartView(this);
    chart_->setObjectName(QStringLiteral("chart"));
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumSize(480, 300);
    auto* chartHeading = new QHBoxLayout;
    chartHeading->addWidget(new QLabel(QStringLiteral("グラフの出力"), this));
    chartHeading->addWidget(output_);
    chartHeading->addStretch();
    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addLayout(chartHeading);
    lowerLayout->addWidget(chart_, 1);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(view_);
    split->addWidget(lower);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(notes);
    layout->addLayout(tolerances);
    layout->addWidget(split, 1);
    resize(1000, 760);

    connect(form_, &QComboBox::currentIndexChanged, this, &SensitivityDialog::formChanged);
    connect(output_, &QComboBox::currentIndexChanged, this, &SensitivityDialog::chooseOutput);
    connect(copy, &QPushButton::clicked, this, &SensitivityDialog::copyTable);
    connect(save, &QPushButton::clicked, this, &SensitivityDialog::save);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(spread, &QPushButton::clicked, this, &SensitivityDialog::computeSpread);
    connect(view_, &QTableView::clicked, this,
            [this](const QModelIndex& index) { chooseRow(index.row()); });
    chooseOutput(0);
}

SensitivityDialog::~SensitivityDialog() = default;

void SensitivityDialog::formChanged() {
    table_->setElasticity(form_->currentIndex() == 1);
}

std::string SensitivityDialog::tableText() const {
    return wholeReport([this](const TextSink& sink) {
        return writeSensitivityTable(model_, result_, spread_ ? &*spread_ : nullptr, sink);
    });
}

void SensitivityDialog::copyTable() {
    QApplication::clipboard()->setText(text(tableText()));
    messages.inform(this, QStringLiteral("表をﾀﾌﾞ区切りのﾃｷｽﾄとしてｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰしました。\r\n"
                                         "表計算ｿﾌﾄ等へ貼り付けてください。"));
}

void SensitivityDialog::save() {
    saver.save(this, messages, QStringLiteral("感度"),
               {SaveFormat::Tsv, SaveFormat::Png, SaveFormat::Svg}, [this](SaveFormat format) {
                   if (format == SaveFormat::Svg)
                       return svgBytes(chart_, windowTitle());
                   if (format == SaveFormat::Png)
                       return pngBytes(chartImage());
                   const std::string bytes = textFileBytes(tableText(), format);
                   return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
               });
}

void SensitivityDialog::computeSpread() {
    const std::optional<double> tolerance = readNumber(this, messages, tolerance_);
    if (!tolerance)
        return;
    const std::optional<double> position = readNumber(this, messages, positionTolerance_);
    if (!position)
        return;
    RobustnessValues values;
    values.tolerancePct = *tolerance;
    values.positionTolerance = *position;
    if (const std::optional<FieldProblem> problem = inputProblem(values)) {
        messages.inform(this, text(inputErrorText(*problem)));
        (problem->field == 1201 ? tolerance_ : positionTolerance_)->setFocus();
        return;
    }
    spread_ =
        frequencySpread(model_, solveModesAtOwnFrequencies(model_).modes, *tolerance, *position);
    std::string line = "固有振動数の標準偏差(1次近似) [Hz]:";
    for (int q = 0; q < 6; ++q) {
        const double s = (*spread_)[static_cast<std::size_t>(q)];
        line += format("  ﾓｰﾄﾞ%d ", q + 1) + (std::isfinite(s) ? format("%.4g", s) : "-");
    }
    spreadLabel_->setText(text(line));
}

void SensitivityDialog::chooseOutput(int output) {
    if (output < 0 || output >= result_.outputs)
        return;
    if (output_->currentIndex() != output) {
        output_->setCurrentIndex(output); // comes back here
        return;
    }
    bars_ = sensitivityBars(result_, output, kMaxBars);
    auto* chart = new QChart;
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->hide();
    std::string title = "<" + output_->currentText().toStdString() + " の弾性値>";
    std::size_t defined = 0;
    for (std::size_t p = 0; p < result_.parameters.size(); ++p)
        defined += std::isfinite(result_.elasticityOf(p, output));
    if (defined > bars_.size())
        title += format("  大きい順に %zu / %zu", bars_.size(), defined);
    if (bars_.empty())
        title += "  弾性値がありません(出力が 0 か、感度が定義されません)";
    chart->setTitle(richText(title));

    // The category axis runs upwards: the largest bar goes last, to the top.
    auto* series = new QHorizontalBarSeries;
    auto* set = new QBarSet(QStringLiteral("弾性値"));
    set->setColor(QColor(0, 99, 255));
    set->setBorderColor(QColor(80, 80, 80));
    set->setLabelColor(Qt::black);
    auto* categories = new QBarCategoryAxis;
    double low = 0.0, high = 0.0;
    for (std::size_t i = bars_.size(); i-- > 0;) {
        set->append(bars_[i].elasticity);
        categories->append(richText(labels_[bars_[i].parameter]));
        low = std::min(low, bars_[i].elasticity);
        high = std::max(high, bars_[i].elasticity);
    }
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    series->setLabelsPrecision(3);
    chart->addSeries(series);
    categories->setTitleText(QStringLiteral("パラメータ"));
    // Small enough for the names of all the bars beside them.
    QFont small = categories->labelsFont();
    small.setPointSizeF(8.0);
    categories->setLabelsFont(small);
    categories->setTruncateLabels(false);
    auto* values = new QValueAxis;
    // Room beyond the longest bar for its label.
    const double margin = 0.15 * std::max(high - low, 1e-12);
    values->setRange(low < 0.0 ? low - margin : 0.0, high > 0.0 ? high + margin : 0.0);
    if (bars_.empty())
        values->setRange(-1.0, 1.0);
    values->applyNiceNumbers();
    values->setLabelFormat(QStringLiteral("%g"));
    values->setTitleText(QStringLiteral("弾性値 (p/y)·∂y/∂p [-]"));
    chart->addAxis(categories, Qt::AlignLeft);
    chart->addAxis(values, Qt::AlignBottom);
    series->attachAxis(categories);
    series->attachAxis(values);
    const int count = static_cast<int>(bars_.size());
    connect(set, &QBarSet::clicked, this,
            [this, count](int index) { chooseBar(count - 1 - index); });

    QChart* old = chart_->chart();
    chart_->setChart(chart);
    delete old;
}

void SensitivityDialog::chooseBar(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= bars_.size())
        return;
    const std::size_t p = bars_[static_cast<std::size_t>(index)].parameter;
    view_->selectRow(1 + static_cast<int>(p));
    view_->scrollTo(table_->index(1 + static_cast<int>(p), 0));
    if (select_)
        select_(result_.parameters[p]);
}

void SensitivityDialog::chooseRow(int row) {
    if (row >= 1 && select_)
        select_(result_.parameters[static_cast<std::size_t>(row - 1)]);
}

QImage SensitivityDialog::chartImage() const {
    return chart_->grab().toImage();
}

} // namespace quav
