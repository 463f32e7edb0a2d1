#include "dialogs/FrequencyTableDialog.h"

#include "dialogs/CurveChart.h"
#include "dialogs/DialogFields.h"
#include "model/FileIo.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <variant>

namespace quav {

namespace {

// A table file is a few kilobytes; anything much larger is not one.
constexpr std::size_t kMaxTableFileBytes = 1 << 20;

QPushButton* button(const QString& text, const char* id, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(id));
    b->setAutoDefault(false);
    return b;
}

} // namespace

FrequencyTableDialog::FrequencyTableDialog(const FrequencyTable& table, QWidget* parent)
    : QDialog(parent), grid_(new QTableWidget(0, kTableColumns, this)),
      ratios_(new CurveChart(this)), losses_(new CurveChart(this)), table_(table) {
    setObjectName(QStringLiteral("FrequencyTable"));
    setWindowTitle(QStringLiteral("周波数特性"));
    grid_->setObjectName(QStringLiteral("1122"));
    QStringList titles;
    for (const char* title : kTableColumnTitles)
        titles << QString::fromUtf8(title);
    grid_->setHorizontalHeaderLabels(titles);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->setMinimumWidth(560);
    ratios_->setObjectName(QStringLiteral("1128"));
    losses_->setObjectName(QStringLiteral("1129"));
    for (CurveChart* chart : {ratios_, losses_}) {
        chart->setScales(AxisScale::Logarithmic, AxisScale::Linear);
        chart->setMinimumSize(420, 220);
        chart->cursorPicked = [this](std::size_t step) { selectRow(step); };
    }

    auto* add = button(QStringLiteral("行追加"), "1123", this);
    auto* remove = button(QStringLiteral("行削除"), "1124", this);
    auto* pasteButton = button(QStringLiteral("貼り付け"), "1125", this);
    auto* import = button(QStringLiteral("CSV読込..."), "1126", this);
    auto* exportButton = button(QStringLiteral("CSV保存..."), "1127", this);
    connect(add, &QPushButton::clicked, this, &FrequencyTableDialog::addRow);
    connect(remove, &QPushButton::clicked, this, &FrequencyTableDialog::removeRows);
    connect(pasteButton, &QPushButton::clicked, this, &FrequencyTableDialog::paste);
    connect(import, &QPushButton::clicked, this, &FrequencyTableDialog::importCsv);
    connect(exportButton, &QPushButton::clicked, this, &FrequencyTableDialog::exportCsv);
    connect(grid_, &QTableWidget::itemChanged, this, &FrequencyTableDialog::replot);
    // The charts' cursor stands on the row being edited.
    connect(grid_, &QTableWidget::currentCellChanged, this, [this](int row) {
        const auto at = std::find(plottedRows_.begin(), plottedRows_.end(), row);
        if (at == plottedRows_.end())
            return;
        const auto step = static_cast<std::size_t>(at - plottedRows_.begin());
        ratios_->setCursorStep(step);
        losses_->setCursorStep(step);
    });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add, remove, pasteButton, import, exportButton})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(grid_);
    left->addLayout(buttons);
    auto* note = new QLabel(
        QStringLiteral("f: 周波数[Hz](0 より大きく、上の行より大きく)、動倍率: 静的ばね定数に対する"
                       "動的ばね定数の比(0 より大)、損失係数: 0 以上。ばねのローカル座標 x, y, z "
                       "ごとに %1～%2 行。行の間は log f について直線で補間し、表の外は最初または"
                       "最後の行の値です。行をすべて削除すると周波数特性なし(動的係数を使用)。")
            .arg(kMinTableRows)
            .arg(kMaxTableRows),
        this);
    note->setWordWrap(true);
    left->addWidget(note);
    auto* charts = new QVBoxLayout;
    charts->addWidget(ratios_);
    charts->addWidget(losses_);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(charts, 1);

    auto* box = new QDialogButtonBox(this);
    QPushButton* ok = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    QPushButton* cancel = box->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    connect(box, &QDialogButtonBox::accepted, this, &FrequencyTableDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(box);

    setCells(cellsOf(table));
}

QString FrequencyTableDialog::askOpenCsv(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("周波数特性の読込"), QString(),
                                        QStringLiteral("CSV (*.csv);;すべてのファイル (*)"));
}

TableCells FrequencyTableDialog::cells() const {
    TableCells out(static_cast<std::size_t>(grid_->rowCount()));
    for (int r = 0; r < grid_->rowCount(); ++r)
        for (int c = 0; c < kTableColumns; ++c)
            if (const QTableWidgetItem* item = grid_->item(r, c))
                out[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                    item->text().toStdString();
    return out;
}

void FrequencyTableDialog::setCells(const TableCells& cells) {
    const QSignalBlocker quiet(grid_);
    grid_->setRowCount(static_cast<int>(cells.size()));
    for (int r = 0; r < grid_->rowCount(); ++r)
        for (int c = 0; c < kTableColumns; ++c)
            grid_->setItem(r, c,
                           new QTableWidgetItem(QString::fromStdString(
                               cells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)])));
    replot();
}

void FrequencyTableDialog::putRows(int first, const std::vector<FrequencyTableRow>& rows) {
    TableCells all = cells();
    const TableCells added = cellsOf(rows);
    const std::size_t end = static_cast<std::size_t>(first) + added.size();
    if (all.size() < end)
        all.resize(end);
    std::copy(added.begin(), added.end(), all.begin() + first);
    setCells(all);
}

void FrequencyTableDialog::addRow() {
    if (grid_->rowCount() >= kMaxTableRows) {
        messages.inform(this,
                        QString::fromStdString(tableRuleText(FrequencyTableProblem::TooManyRows)));
        return;
    }
    // After the current row, or at the end; empty cells until typed.
    const int at = grid_->currentRow() >= 0 ? grid_->currentRow() + 1 : grid_->rowCount();
    const QSignalBlocker quiet(grid_);
    grid_->insertRow(at);
    for (int c = 0; c < kTableColumns; ++c)
        grid_->setItem(at, c, new QTableWidgetItem);
    grid_->setCurrentCell(at, 0);
    replot();
}

void FrequencyTableDialog::removeRows() {
    removeSelectedRows(grid_);
    replot();
}

void FrequencyTableDialog::paste() {
    const std::string text = QApplication::clipboard()->text().toStdString();
    const TableText read = readTableRows(text, TableHeading::Optional);
    if (!read.ok()) {
        messages.inform(
            this, QStringLiteral("貼り付けできません\n%1").arg(QString::fromStdString(read.error)));
        return;
    }
    const int first = std::max(0, grid_->currentRow());
    if (first + static_cast<int>(read.rows.size()) > kMaxTableRows) {
        messages.inform(this,
                        QString::fromStdString(tableRuleText(FrequencyTableProblem::TooManyRows)));
        return;
    }
    putRows(first, read.rows);
}

void FrequencyTableDialog::importCsv() {
    const QString path = askOpen(this);
    if (path.isEmpty())
        return;
    const FileContent file = readWholeFile(path.toStdString(), kMaxTableFileBytes);
    const TableText read = file.ok() ? readFrequencyTable(file.bytes, TableHeading::Required)
                                     : TableText{{}, {}, file.error};
    if (!read.ok()) {
        messages.inform(this, QStringLiteral("%1 を読み込めません\n%2")
                                  .arg(path, QString::fromStdString(read.error)));
        return;
    }
    setCells(cellsOf(read.rows));
}

void FrequencyTableDialog::exportCsv() {
    const auto read = tableFromCells(cells());
    if (const auto* problem = std::get_if<TableCellProblem>(&read)) {
        messages.inform(this, QString::fromStdString(problem->message));
        return;
    }
    const std::string csv = frequencyTableCsv(std::get<FrequencyTable>(read));
    saver.save(this, messages, QStringLiteral("周波数特性"), {SaveFormat::Csv},
               [&](SaveFormat f) { return QByteArray::fromStdString(textFileBytes(csv, f)); });
}

void FrequencyTableDialog::replot() {
    // Every row whose cells are all numbers, as the table lists them.
    std::vector<PlotCurve> ratios(3), losses(3);
    const char* axes[3] = {"x", "y", "z"};
    for (int d = 0; d < 3; ++d) {
        ratios[static_cast<std::size_t>(d)] = {axes[d], "-", {}};
        losses[static_cast<std::size_t>(d)] = {axes[d], "-", {}};
    }
    plottedRows_.clear();
    const TableCells all = cells();
    for (std::size_t r = 0; r < all.size(); ++r) {
        FrequencyTableRow row;
        bool numbers = true;
        for (int c = 0; c < kTableColumns && numbers; ++c) {
            bool ok = false;
            const double v =
                QString::fromStdString(all[r][static_cast<std::size_t>(c)]).trimmed().toDouble(&ok);
            numbers = ok;
            setTableCell(row, c, v);
        }
        if (!numbers)
            continue;
        plottedRows_.push_back(static_cast<int>(r));
        for (std::size_t d = 0; d < 3; ++d) {
            ratios[d].points.push_back({row.f, row.ratio[d]});
            losses[d].points.push_back({row.f, row.loss[d]});
        }
    }
    ratios_->setCurves(ratios, QStringLiteral("動倍率 [-]"));
    losses_->setCurves(losses, QStringLiteral("損失係数 [-]"));
}

void FrequencyTableDialog::selectRow(std::size_t plotted) {
    if (plotted < plottedRows_.size())
        grid_->setCurrentCell(plottedRows_[plotted], 0);
    ratios_->setCursorStep(plotted);
    losses_->setCursorStep(plotted);
}

void FrequencyTableDialog::accept() {
    const auto read = tableFromCells(cells());
    if (const auto* problem = std::get_if<TableCellProblem>(&read)) {
        messages.inform(this, QString::fromStdString(problem->message));
        if (problem->row >= 0)
            grid_->setCurrentCell(problem->row, problem->column);
        grid_->setFocus();
        return;
    }
    table_ = std::get<FrequencyTable>(read);
    QDialog::accept();
}

} // namespace quav
