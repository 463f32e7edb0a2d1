#pragma once

#include <QString>

#include <string>

class QUrl;

namespace quav {

// File names are bytes on Linux, not always UTF-8: a model unpacked from a
// Windows archive may carry a CP932 name. The application keeps paths as the
// bytes the system gave it, and turns them into text only to show them.

/// A path chosen in a Qt dialog, as the bytes the file system knows it by.
std::string pathBytes(const QString& path);

/// A path as the user reads it: UTF-8 as it is, a name in CP932 decoded, any
/// other byte shown as a replacement character.
QString displayPath(const std::string& path);

/// A dropped local file's path as bytes (from the URL's own percent-encoding,
/// which keeps bytes that are not UTF-8); empty for anything else.
std::string localFileBytes(const QUrl& url);

} // namespace quav
