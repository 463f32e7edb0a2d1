#include "dialogs/ResultSaving.h"

#include "model/FileIo.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgGenerator>
#include <QWidget>

namespace quav {

namespace {

/// The folder of the last result saved in this session.
QString& lastFolder() {
    static QString folder = QDir::currentPath();
    return folder;
}

} // namespace

SaveRequest ResultSaver::askSaveFile(QWidget* parent, const QString& name,
                                     const std::vector<SaveFormat>& offered) {
    QStringList filters;
    for (SaveFormat f : offered)
        filters << QString::fromStdString(saveFilter(f));
    QString chosen = filters.value(0);
    const QString suggestion =
        QDir(lastFolder())
            .filePath(name + QString::fromStdString(
                                 saveSuffix(offered.empty() ? SaveFormat::Csv : offered[0])));
    const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("保存"), suggestion,
                                                      filters.join(QStringLiteral(";;")), &chosen);
    if (path.isEmpty())
        return {};
    lastFolder() = QFileInfo(path).absolutePath();
    const auto index = static_cast<std::size_t>(std::max<qsizetype>(0, filters.indexOf(chosen)));
    return resolveSavePath(path.toStdString(), offered.at(std::min(index, offered.size() - 1)),
                           offered);
}

bool ResultSaver::save(QWidget* owner, const MessageBoxes& messages, const QString& name,
                       const std::vector<SaveFormat>& offered,
                       const std::function<QByteArray(SaveFormat)>& bytes) const {
    const SaveRequest request = ask(owner, name, offered);
    if (request.path.empty())
        return false;
    const QByteArray content = bytes(request.format);
    const FileResult written = writeFileAtomically(
        request.path,
        std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
    if (!written.ok()) {
        messages.inform(owner, QStringLiteral("%1 に保存できませんでした。\n%2")
                                   .arg(QString::fromStdString(request.path),
                                        QString::fromStdString(written.error)));
        return false;
    }
    return true;
}

QByteArray pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray svgBytes(QWidget* widget, const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(widget->size());
    svg.setViewBox(widget->rect());
    svg.setTitle(title);
    QPainter painter(&svg);
    widget->render(&painter);
    painter.end();
    return bytes;
}

} // namespace quav
