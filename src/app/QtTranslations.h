#pragma once

class QCoreApplication;

namespace quav {

/// Gives Qt's own dialogs and buttons (file dialogs, Yes/No/Cancel) their
/// Japanese texts, from the translations the distribution installs with Qt
/// (qtbase_ja). The interface is Japanese whatever the user's locale. False
/// when they are not installed: Qt's English texts stay.
bool installQtTranslations(QCoreApplication& app);

} // namespace quav
