#include "app/ModelOverview.h"

#include "document/Document.h"

#include <QHeaderView>
#include <QLabel>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdio>

namespace quav {

namespace {

enum Kind { KindNone, KindSpring, KindStatic, KindDynamic, KindPoint };
constexpr int kKindRole = Qt::UserRole;
constexpr int kIdRole = Qt::UserRole + 1;

QString number(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return QString::fromLatin1(buffer);
}

QString xyz(const Matrix& v) {
    return QStringLiteral("(%1, %2, %3)").arg(number(v[0]), number(v[1]), number(v[2]));
}

bool pickable(SelectionMode mode, int kind) {
    switch (mode) {
    case SelectionMode::Springs:
        return kind == KindSpring;
    case SelectionMode::Loads:
        return kind == KindStatic || kind == KindDynamic;
    case SelectionMode::ObservationPoints:
        return kind == KindPoint;
    case SelectionMode::All:
        return kind != KindNone;
    default:
        return false;
    }
}

QString pickHint(SelectionMode mode) {
    switch (mode) {
    case SelectionMode::Springs:
        return QStringLiteral("ばね要素をクリックして選択してください");
    case SelectionMode::Loads:
        return QStringLiteral("荷重をクリックして選択してください");
    case SelectionMode::ObservationPoints:
        return QStringLiteral("観測点をクリックして選択してください");
    case SelectionMode::All:
        return QStringLiteral("応答を見る要素をクリックして選択してください");
    default:
        return {};
    }
}

} // namespace

ModelOverview::ModelOverview(CQUAVDoc& doc, const DisplayState& display,
                             const SelectionMode& selectionMode, QWidget* parent)
    : QWidget(parent), doc_(doc), display_(display), selectionMode_(selectionMode),
      status_(new QLabel(this)), list_(new QTreeWidget(this)) {
    list_->setObjectName(QStringLiteral("modelOverview"));
    list_->setHeaderLabels(
        {QStringLiteral("要素"), QStringLiteral("名前"), QStringLiteral("内容")});
    list_->setRootIsDecorated(false);
    list_->setAlternatingRowColors(true);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    status_->setObjectName(QStringLiteral("displayStatus"));
    status_->setMargin(4);
    connect(list_, &QTreeWidget::itemClicked, this, &ModelOverview::toggle);
    // The keyboard picks too: Space toggles the current element.
    new QShortcut(
        QKeySequence(Qt::Key_Space), list_,
        [this] {
            if (QTreeWidgetItem* item = list_->currentItem())
                toggle(item);
        },
        Qt::WidgetShortcut);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(status_);
    layout->addWidget(list_);
    refresh();
}

void ModelOverview::toggle(QTreeWidgetItem* item) {
    AnalysisModel* m = doc_.model();
    const int kind = item->data(0, kKindRole).toInt();
    if (!m || !pickable(selectionMode_, kind))
        return;
    const int id = item->data(0, kIdRole).toInt();
    if (kind == KindSpring)
        m->setSpringSelection(id);
    else if (kind == KindPoint)
        m->setObservationPointSelection(id);
    else
        m->setLoadSelection(id);
    doc_.updateAllViews();
}

void ModelOverview::refresh() {
    const int currentRow = list_->indexOfTopLevelItem(list_->currentItem());
    list_->clear();
    const AnalysisModel* m = doc_.model();
    QString shown;
    switch (display_.displayKind) {
    case DisplayKind::ModeShape:
        shown = QStringLiteral("Mode%1").arg(display_.modeNumber);
        if (m && m->calculated && display_.modeNumber >= 1 && display_.modeNumber <= 6)
            shown += QStringLiteral("  %1 [Hz]")
                         .arg(number(m->eigenFrequencies[6 - display_.modeNumber]));
        break;
    case DisplayKind::StaticResult:
    case DisplayKind::DynamicResult: {
        const bool dynamic = display_.displayKind == DisplayKind::DynamicResult;
        shown = dynamic ? QStringLiteral("動解析") : QStringLiteral("静解析");
        const int i = display_.loadIndex;
        if (m && i >= 0) {
            if (!dynamic && i < int(m->staticLoads.size()))
                shown += QStringLiteral("  ") + QString::fromStdString(m->staticLoads[i].name);
            if (dynamic && i < int(m->dynamicLoads.size()))
                shown += QStringLiteral("  ") + QString::fromStdString(m->dynamicLoads[i].name);
        }
        break;
    }
    default:
        shown = QStringLiteral("モデル");
    }
    QString status = QStringLiteral("表示: ") + shown;
    if (m && (display_.displayKind != DisplayKind::Model) && !m->calculated)
        status += QStringLiteral("（計算結果なし）");
    const QString hint = pickHint(selectionMode_);
    if (!hint.isEmpty())
        status += QStringLiteral("    ") + hint;
    status_->setText(status);

    if (!m) {
        auto* row =
            new QTreeWidgetItem(list_, {QStringLiteral("モデルがありません"), QString(),
                                        QStringLiteral("操作メニューの「ﾓﾃﾞﾙ作成」→「質量要素」"
                                                       "で作成します")});
        row->setData(0, kKindRole, KindNone);
        return;
    }
    auto add = [&](int kind, int id, bool selected, const QString& what, const std::string& name,
                   const QString& detail) {
        auto* row = new QTreeWidgetItem(list_, {what, QString::fromStdString(name), detail});
        row->setData(0, kKindRole, kind);
        row->setData(0, kIdRole, id);
        row->setFlags(row->flags() & ~Qt::ItemIsUserCheckable); // picks go through the model
        if (kind != KindNone)
            row->setCheckState(0, selected ? Qt::Checked : Qt::Unchecked);
        if (kind != KindNone && !pickable(selectionMode_, kind))
            row->setForeground(0, palette().color(QPalette::Disabled, QPalette::Text));
    };
    add(KindNone, m->massElementId, false, QStringLiteral("質量要素"), "",
        QStringLiteral("質量 %1 [kg]  重心 %2 [m]").arg(number(m->mass), xyz(m->centreOfGravity)));
    for (const SpringElement& s : m->springs) {
        const SpringCharacteristic* c = m->findCharacteristic(s.characteristicId);
        add(KindSpring, s.id, s.selected, QStringLiteral("ばね要素"), s.name,
            QStringLiteral("座標 %1 [m]  Y角度 %2  Z角度 %3 [°]  ばね特性 %4")
                .arg(xyz(s.position), number(s.angles[1]), number(s.angles[2]),
                     c ? QString::fromStdString(c->name) : QStringLiteral("なし")));
    }
    auto loadDetail = [](const StaticLoad& l) {
        return QStringLiteral("値 %1  %2  方向 %3  位置 %4 [m]")
            .arg(number(l.value),
                 l.type == Translational ? QStringLiteral("並進荷重")
                 : l.type == Moment      ? QStringLiteral("ﾓｰﾒﾝﾄ荷重")
                                         : QStringLiteral("種類なし"),
                 xyz(l.direction), xyz(l.position));
    };
    for (const StaticLoad& l : m->staticLoads)
        add(KindStatic, l.id, l.selected, QStringLiteral("静荷重"), l.name, loadDetail(l));
    for (const DynamicLoad& l : m->dynamicLoads)
        add(KindDynamic, l.id, l.selected, QStringLiteral("動荷重"), l.name,
            loadDetail(l) + QStringLiteral("  周波数 %1 [Hz]").arg(number(l.frequency)));
    for (const ObservationPoint& p : m->observationPoints)
        add(KindPoint, p.id, p.selected, QStringLiteral("観測点"), p.name,
            QStringLiteral("座標 %1 [m]").arg(xyz(p.position)));
    if (m->calculated) {
        QStringList f;
        for (int k = 1; k <= 6; ++k)
            f << number(m->eigenFrequencies[6 - k]);
        add(KindNone, 0, false, QStringLiteral("固有振動数"), "",
            f.join(QStringLiteral(", ")) + QStringLiteral(" [Hz]"));
    }
    if (currentRow >= 0 && currentRow < list_->topLevelItemCount())
        list_->setCurrentItem(list_->topLevelItem(currentRow));
}

} // namespace quav
