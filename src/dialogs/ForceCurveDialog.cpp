#include "dialogs/ForceCurveDialog.h"

#include "dialogs/CurveChart.h"
#include "dialogs/DialogFields.h"
#include "dialogs/FormDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace quav {

namespace {

const char* const kAxes[3] = {"x", "y", "z"};
const char* const kColumns[2] = {"変位[m]", "力[N]"};

QPushButton* button(const QString& text, const char* id, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(id));
    b->setAutoDefault(false);
    return b;
}

void setRow(QTableWidget* table, int row, const QString& deflection, const QString& force) {
    table->setItem(row, 0, new QTableWidgetItem(deflection));
    table->setItem(row, 1, new QTableWidgetItem(force));
}

QString cellText(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

ForceCurveDialog::ForceCurveDialog(const std::array<ForceCurve, 3>& curves,
                                   const std::optional<Vec3>& ratedLoad, QWidget* parent)
    : QDialog(parent), tabs_(new QTabWidget(this)), chart_(new CurveChart(this)), curves_(curves),
      ratedLoad_(ratedLoad) {
    setObjectName(QStringLiteral("164"));
    setWindowTitle(QStringLiteral("非線形特性"));
    for (std::size_t d = 0; d < 3; ++d) {
        auto* table = new QTableWidget(static_cast<int>(curves[d].size()), 2, this);
        table->setObjectName(QString::number(1131 + d));
        table->setHorizontalHeaderLabels(
            {QString::fromUtf8(kColumns[0]), QString::fromUtf8(kColumns[1])});
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        for (std::size_t p = 0; p < curves[d].size(); ++p)
            setRow(table, static_cast<int>(p), FormDialog::numberText(curves[d][p].deflection),
                   FormDialog::numberText(curves[d][p].force));
        connect(table, &QTableWidget::itemChanged, this, &ForceCurveDialog::replot);
        tables_[d] = table;
        tabs_->addTab(table, QStringLiteral("%1 方向").arg(QString::fromLatin1(kAxes[d])));
    }

    auto* add = button(QStringLiteral("行追加"), "1137", this);
    auto* remove = button(QStringLiteral("行削除"), "1138", this);
    auto* pasteButton = button(QStringLiteral("貼り付け"), "1139", this);
    connect(add, &QPushButton::clicked, this, &ForceCurveDialog::addRow);
    connect(remove, &QPushButton::clicked, this, &ForceCurveDialog::removeRows);
    connect(pasteButton, &QPushButton::clicked, this, &ForceCurveDialog::paste);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {add, remove, pasteButton})
        buttons->addWidget(b);
    buttons->addStretch();

    auto* ratedGrid = new QGridLayout;
    ratedGrid->addWidget(new QLabel(QStringLiteral("定格荷重[N]")), 1, 0);
    for (int d = 0; d < 3; ++d) {
        auto* heading = new QLabel(QString::fromLatin1(kAxes[d]));
        heading->setAlignment(Qt::AlignCenter);
        ratedGrid->addWidget(heading, 0, d + 1);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::number(1134 + d));
        if (ratedLoad)
            edit->setText(FormDialog::numberText((*ratedLoad)[static_cast<std::size_t>(d)]));
        connect(edit, &QLineEdit::textChanged, this, &ForceCurveDialog::replot);
        rated_[static_cast<std::size_t>(d)] = edit;
        ratedGrid->addWidget(edit, 1, d + 1);
    }

    auto* left = new QVBoxLayout;
    left->addWidget(tabs_);
    left->addLayout(buttons);
    left->addLayout(ratedGrid);
    auto* note = new QLabel(
        QStringLiteral("ばねのローカル座標の方向ごとに %1～%2 点。変位も力も上の行より大きく、"
                       "点 (0, 0) を含むこと。点の間は直線、両端の外は端の傾きのまま延長します。"
                       "行のない方向は静的ばね定数の線形ばねです。定格荷重は 3 方向とも空欄で"
                       "なし。貼り付けは表計算ソフトの 2 列(変位, 力)です。")
            .arg(kMinForcePoints)
            .arg(kMaxForcePoints),
        this);
    note->setWordWrap(true);
    left->addWidget(note);

    chart_->setObjectName(QStringLiteral("1140"));
    chart_->setCursorShown(false);
    chart_->setHorizontalTitle(QStringLiteral("変位 [m]"));
    chart_->setMinimumSize(440, 320);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addWidget(chart_, 1);

    auto* box = new QDialogButtonBox(this);
    QPushButton* ok = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    QPushButton* cancel = box->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    connect(box, &QDialogButtonBox::accepted, this, &ForceCurveDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(box);
    replot();
}

QTableWidget* ForceCurveDialog::current() const {
    return tables_[static_cast<std::size_t>(std::max(0, tabs_->currentIndex()))];
}

void ForceCurveDialog::addRow() {
    QTableWidget* table = current();
    const int at = table->currentRow() >= 0 ? table->currentRow() + 1 : table->rowCount();
    const QSignalBlocker quiet(table);
    table->insertRow(at);
    setRow(table, at, {}, {});
    table->setCurrentCell(at, 0);
}

void ForceCurveDialog::removeRows() {
    removeSelectedRows(current());
    replot();
}

void ForceCurveDialog::paste() {
    // Cells as a spreadsheet copies them: tabs between cells (commas in CSV),
    // CR LF between lines. A first line that is not numbers is a heading.
    const QStringList lines =
        QApplication::clipboard()->text().split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    std::vector<std::pair<QString, QString>> rows;
    bool firstLine = true;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const QStringList cells =
            line.split(line.contains(u'\t') ? QStringLiteral("\t") : QStringLiteral(","));
        double number = 0.0;
        const bool heading = firstLine && !parseNumber(cells[0], number);
        firstLine = false;
        if (heading)
            continue;
        double other = 0.0;
        if (cells.size() != 2 || !parseNumber(cells[0], number) || !parseNumber(cells[1], other)) {
            messages.inform(this, QStringLiteral("貼り付けできません\n%1 行目: 変位と力の 2 つの"
                                                 "数値が必要です")
                                      .arg(i + 1));
            return;
        }
        rows.emplace_back(cells[0].trimmed(), cells[1].trimmed());
    }
    QTableWidget* table = current();
    const int first = std::max(0, table->currentRow());
    if (first + static_cast<int>(rows.size()) > kMaxForcePoints) {
        messages.inform(this, QString::fromStdString(forceCurveProblemText(
                                  {ForceCurveProblem::TooManyPoints, -1, -1})));
        return;
    }
    {
        const QSignalBlocker quiet(table);
        table->setRowCount(std::max(table->rowCount(), first + static_cast<int>(rows.size())));
        for (std::size_t r = 0; r < rows.size(); ++r)
            setRow(table, first + static_cast<int>(r), rows[r].first, rows[r].second);
    }
    replot();
}

void ForceCurveDialog::replot() {
    // The rows that are numbers, each direction a curve; rated loads at +-.
    std::vector<PlotCurve> plotted;
    double lo = INFINITY, hi = -INFINITY;
    for (std::size_t d = 0; d < 3; ++d) {
        PlotCurve c{kAxes[d], "N", {}};
        for (int r = 0; r < tables_[d]->rowCount(); ++r) {
            double x = 0.0, f = 0.0;
            if (parseNumber(cellText(tables_[d], r, 0), x) &&
                parseNumber(cellText(tables_[d], r, 1), f)) {
                c.points.push_back({x, f});
                lo = std::min(lo, x);
                hi = std::max(hi, x);
            }
        }
        plotted.push_back(std::move(c));
    }
    if (!(lo < hi)) {
        lo = std::isfinite(lo) ? lo - 0.001 : -0.001;
        hi = lo + 0.002;
    }
    for (std::size_t d = 0; d < 3; ++d) {
        double rated = 0.0;
        if (!parseNumber(rated_[d]->text(), rated))
            continue;
        for (const double sign : {1.0, -1.0})
            plotted.push_back({std::string("定格 ") + kAxes[d] + (sign > 0 ? " +" : " -"),
                               "N",
                               {{lo, sign * rated}, {hi, sign * rated}}});
    }
    chart_->setCurves(plotted, QStringLiteral("力 [N]"));
}

void ForceCurveDialog::refuse(int direction, int row, int column, const QString& text) {
    tabs_->setCurrentIndex(direction);
    messages.inform(this, QStringLiteral("入力エラー\n\n") + text);
    QTableWidget* table = tables_[static_cast<std::size_t>(direction)];
    if (row >= 0)
        table->setCurrentCell(row, std::max(0, column));
    table->setFocus();
}

bool ForceCurveDialog::readPoints(int direction, ForceCurve& curve) {
    QTableWidget* table = tables_[static_cast<std::size_t>(direction)];
    curve.clear();
    for (int r = 0; r < table->rowCount(); ++r) {
        ForcePoint p;
        double* const values[2] = {&p.deflection, &p.force};
        for (int c = 0; c < 2; ++c)
            if (!parseNumber(cellText(table, r, c), *values[c])) {
                refuse(direction, r, c,
                       QStringLiteral("非線形特性 %1 方向 点 %2: %3が数値ではありません")
                           .arg(QString::fromLatin1(kAxes[direction]))
                           .arg(r + 1)
                           .arg(QString::fromUtf8(kColumns[c])));
                return false;
            }
        curve.push_back(p);
    }
    return true;
}

void ForceCurveDialog::accept() {
    std::array<ForceCurve, 3> curves;
    for (int d = 0; d < 3; ++d) {
        if (!readPoints(d, curves[static_cast<std::size_t>(d)]))
            return;
        if (const auto p = checkForceCurve(curves[static_cast<std::size_t>(d)])) {
            refuse(d, p->point, p->column,
                   QString::fromStdString(curvesProblem(curves, std::nullopt)->message));
            return;
        }
    }
    std::optional<Vec3> rated;
    const bool anyRated = std::any_of(rated_.begin(), rated_.end(), [](const QLineEdit* e) {
        return !e->text().trimmed().isEmpty();
    });
    if (anyRated) {
        rated.emplace();
        for (std::size_t d = 0; d < 3; ++d)
            if (!parseNumber(rated_[d]->text(), (*rated)[d])) {
                messages.inform(this,
                                QStringLiteral("入力エラー\n\n定格荷重[N] %1 方向: 数値を入力して"
                                               "下さい(定格荷重なしは 3 方向とも空欄)")
                                    .arg(QString::fromLatin1(kAxes[d])));
                rated_[d]->setFocus();
                return;
            }
    }
    if (const auto problem = curvesProblem(curves, rated)) {
        messages.inform(this, QStringLiteral("入力エラー\n\n") +
                                  QString::fromStdString(problem->message));
        return;
    }
    curves_ = curves;
    ratedLoad_ = rated;
    QDialog::accept();
}

} // namespace quav
