#include "dialogs/InfoDialogs.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

namespace quav {

namespace {

QDialogButtonBox* closeButtons(QDialog* dialog, bool withCancel) {
    auto* buttons = new QDialogButtonBox(dialog);
    auto* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    if (withCancel) {
        auto* cancel = buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
        cancel->setObjectName(QStringLiteral("2"));
        QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    }
    return buttons;
}

} // namespace

InfoTextDialog::InfoTextDialog(const std::string& text, QWidget* parent)
    : QDialog(parent), text_(text) {
    setObjectName(QStringLiteral("135"));
    setWindowTitle(QStringLiteral("情報"));
    auto* edit = new QPlainTextEdit(this);
    edit->setObjectName(QStringLiteral("1023"));
    edit->setReadOnly(true);
    edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Columns are tab-separated for a spreadsheet; wide tabs keep them apart on screen.
    edit->setTabStopDistance(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12);
    edit->setPlainText(
        QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QDialogButtonBox* buttons = closeButtons(this, true);
    auto* save = buttons->addButton(QStringLiteral("保存(&S)..."), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("save"));
    connect(save, &QPushButton::clicked, this, &InfoTextDialog::save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit);
    layout->addWidget(buttons);
    resize(760, 560);
}

void InfoTextDialog::save() {
    saver.save(this, messages, windowTitle(), {SaveFormat::Text, SaveFormat::Tsv},
               [this](SaveFormat format) {
                   const std::string bytes = textFileBytes(text_, format);
                   return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
               });
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("100"));
    setWindowTitle(QStringLiteral("QUAVのﾊﾞｰｼﾞｮﾝ情報"));
    auto* icon = new QLabel(this);
    icon->setPixmap(programIcon().pixmap(48, 48));
    auto* name = new QLabel(QStringLiteral("QUAV Version"), this);
    auto* version = new QLabel(versionText(), this);
    version->setObjectName(QStringLiteral("1073"));
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(name);
    row->addWidget(version);
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(closeButtons(this, false));
}

QString versionText() {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%2.2lf", 3.03);
    return QString::fromLatin1(buffer);
}

QIcon programIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Ground, two mounts, the body.
    p.setPen(QPen(QColor(90, 90, 90), 3));
    p.drawLine(6, 58, 58, 58);
    p.setPen(QPen(QColor(200, 40, 40), 3));
    for (int x : {16, 48}) {
        QPolygon zigzag;
        for (int i = 0; i <= 6; ++i)
            zigzag << QPoint(x + (i % 2 ? 5 : -5) * (i > 0 && i < 6), 56 - i * 3);
        p.drawPolyline(zigzag);
    }
    p.setPen(QPen(QColor(20, 50, 120), 2));
    p.setBrush(QColor(60, 120, 220));
    p.drawRoundedRect(QRect(6, 8, 52, 30), 4, 4);
    return QIcon(pixmap);
}

} // namespace quav
