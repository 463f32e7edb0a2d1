#include "app/FileNames.h"

#include "model/TextEncoding.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>
#include <QUrl>

namespace quav {

std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString displayPath(const std::string& path) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(QByteArrayView(path.data(), static_cast<qsizetype>(path.size())));
    if (!utf8.hasError())
        return text;
    if (const std::optional<std::string> decoded = cp932ToUtf8(path))
        return QString::fromStdString(*decoded);
    return text;
}

std::string localFileBytes(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
    // The path component still percent-encoded, decoded here byte for byte.
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

} // namespace quav
