#include "dialogs/ObjectivesDialog.h"

#include "model/TextFormat.h"
#include "optimizer/Optimizer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace quav {

namespace {

// The kinds in the order ObjectiveKind numbers them, after "なし".
const char* const kKindTexts[] = {"最小非連成率 [%]", "平均連成度 [%]", "固有振動数 [Hz]",
                                  "動荷重の伝達率 [-]", "静荷重による絶対変位 [m]"};

QString entry(int number, const std::string& name) {
    return QString::fromStdString(format("%d: ", number) + name);
}

/// Selects the entry whose data is `value`, adding one marked unknown when the
/// list has none, so that OK refuses it with the core's reason.
void selectValue(QComboBox* box, int value) {
    int index = box->findData(value);
    if (index < 0 && value != 0) {
        box->addItem(QString::fromStdString(format("%d: (不明)", value)), value);
        index = box->count() - 1;
    }
    box->setCurrentIndex(std::max(0, index));
}

} // namespace

ObjectivesDialog::ObjectivesDialog(Optimizer& optimizer, const AnalysisModel& model,
                                   QWidget* parent)
    : QDialog(parent), optimizer_(optimizer), model_(model) {
    setWindowTitle(QStringLiteral("目的関数"));
    auto* grid = new QGridLayout(this);
    const char* const headings[] = {"", "種類", "ﾓｰﾄﾞ・荷重・ID", "静荷重", "方向"};
    for (int c = 0; c < 5; ++c)
        grid->addWidget(new QLabel(QString::fromUtf8(headings[c]), this), 0, c);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        const QString n = QString::number(i + 1);
        row.kind = new QComboBox(this);
        row.kind->setObjectName(QStringLiteral("kind") + n);
        row.kind->addItem(QStringLiteral("なし"));
        for (const char* text : kKindTexts)
            row.kind->addItem(QString::fromUtf8(text));
        row.number = new QComboBox(this);
        row.number->setObjectName(QStringLiteral("number") + n);
        row.number->setMinimumContentsLength(22);
        row.load = new QComboBox(this);
        row.load->setObjectName(QStringLiteral("load") + n);
        row.load->setMinimumContentsLength(16);
        row.sense = new QComboBox(this);
        row.sense->setObjectName(QStringLiteral("sense") + n);
        row.sense->addItems({QStringLiteral("最小化"), QStringLiteral("最大化")});
        const int r = static_cast<int>(i) + 1;
        grid->addWidget(new QLabel(QStringLiteral("目的関数") + n, this), r, 0);
        grid->addWidget(row.kind, r, 1);
        grid->addWidget(row.number, r, 2);
        grid->addWidget(row.load, r, 3);
        grid->addWidget(row.sense, r, 4);
        connect(row.kind, &QComboBox::currentIndexChanged, this,
                [this, i] { fillRow(rows_[i], 0, 0); });
    }
    auto* note = new QLabel(QStringLiteral("目的関数があると、最適化実行はﾊﾟﾚｰﾄ解(pareto.csv)も"
                                           "保存します。進化的探索には目的関数が必要です。"),
                            this);
    note->setWordWrap(true);
    grid->addWidget(note, static_cast<int>(rows_.size()) + 1, 0, 1, 5);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ObjectivesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    grid->addWidget(buttons, static_cast<int>(rows_.size()) + 2, 0, 1, 5);
    showObjectives(optimizer_.objectives);
}

void ObjectivesDialog::fillRow(Row& row, int number, int load) {
    row.number->clear();
    row.load->clear();
    const int kind = row.kind->currentIndex() - 1;
    switch (static_cast<ObjectiveKind>(kind)) {
    case ObjectiveKind::Frequency:
        for (int mode = 1; mode <= 6; ++mode)
            row.number->addItem(QString::fromStdString(format("%d次ﾓｰﾄﾞ", mode)), mode);
        break;
    case ObjectiveKind::Transmissibility:
        // Numbered from 1, as quav-cli numbers them.
        for (std::size_t l = 0; l < model_.dynamicLoads.size(); ++l)
            row.number->addItem(entry(static_cast<int>(l) + 1, model_.dynamicLoads[l].name),
                                static_cast<int>(l) + 1);
        break;
    case ObjectiveKind::StaticDisplacement:
        row.number->addItem(entry(1, "質量要素"), 1);
        for (const SpringElement& s : model_.springs)
            row.number->addItem(entry(s.id, s.name), s.id);
        for (const ObservationPoint& p : model_.observationPoints)
            row.number->addItem(entry(p.id, p.name), p.id);
        for (const StaticLoad& l : model_.staticLoads)
            row.load->addItem(entry(l.id, l.name), l.id);
        break;
    default:
        break;
    }
    if (row.number->count() > 0 || number != 0)
        selectValue(row.number, number);
    if (row.load->count() > 0 || load != 0)
        selectValue(row.load, load);
    row.number->setEnabled(row.number->count() > 0);
    row.load->setEnabled(row.load->count() > 0);
    row.sense->setEnabled(kind >= 0);
}

void ObjectivesDialog::showObjectives(const std::vector<Objective>& objectives) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        const QSignalBlocker block(row.kind);
        if (i >= objectives.size()) {
            row.kind->setCurrentIndex(0);
            row.sense->setCurrentIndex(0);
            fillRow(row, 0, 0);
            continue;
        }
        const Objective& o = objectives[i];
        row.kind->setCurrentIndex(static_cast<int>(o.kind) + 1);
        row.sense->setCurrentIndex(o.maximise ? 1 : 0);
        switch (o.kind) {
        case ObjectiveKind::Frequency:
            fillRow(row, o.mode, 0);
            break;
        case ObjectiveKind::Transmissibility:
            fillRow(row, o.load, 0);
            break;
        case ObjectiveKind::StaticDisplacement:
            fillRow(row, o.object, o.load);
            break;
        default:
            fillRow(row, 0, 0);
            break;
        }
    }
}

std::vector<Objective> ObjectivesDialog::objectives() const {
    std::vector<Objective> list;
    for (const Row& row : rows_) {
        if (row.kind->currentIndex() <= 0)
            continue;
        Objective o;
        o.kind = static_cast<ObjectiveKind>(row.kind->currentIndex() - 1);
        o.maximise = row.sense->currentIndex() == 1;
        const int number = row.number->currentData().toInt();
        if (o.kind == ObjectiveKind::Frequency)
            o.mode = number;
        else if (o.kind == ObjectiveKind::Transmissibility)
            o.load = number;
        else if (o.kind == ObjectiveKind::StaticDisplacement) {
            o.object = number;
            o.load = row.load->currentData().toInt();
        }
        list.push_back(o);
    }
    return list;
}

void ObjectivesDialog::accept() {
    const std::vector<Objective> list = objectives();
    const std::string problem = objectivesProblem(list, model_);
    if (!problem.empty()) {
        messages.inform(this, QStringLiteral("入力エラー\n") + QString::fromStdString(problem));
        return;
    }
    optimizer_.objectives = list;
    QDialog::accept();
}

} // namespace quav
