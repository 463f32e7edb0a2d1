// quav: the desktop application.

#include "app/DocumentFiles.h"
#include "app/MainFrame.h"
#include "app/OperationTree.h"
#include "app/QtTranslations.h"
#include "document/Document.h"
#include "version/Version.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

constexpr char usage[] =
    "QUAV: the vibration design of a rigid body on elastic mounts\n"
    "Usage: quav [OPTIONS] [FILE]\n"
    "\n"
    "Opens the desktop application, with the model FILE (.quav) when one is given.\n"
    "\n"
    "Options:\n"
    "  -h,--help                   Print this help message and exit\n"
    "  --version                   Print the version and exit\n"
    "\n"
    "Exit codes: 0 closed normally; 1 FILE could not be opened.\n";

/// --help and --version are answered before the application object exists, so
/// they work without a display. Returns the exit code, or -1 to start the
/// application.
int answerInfoOption(int argc, char* argv[]) {
    std::string text;
    for (int i = 1; i < argc && text.empty(); ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help")
            text = usage;
        else if (arg == "--version")
            text = quav::versionText("quav") + "\n";
    }
    if (text.empty())
        return -1;
    // A failed write is an error, not a silent success.
    const bool written = std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
    return written ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const int code = answerInfoOption(argc, argv); code >= 0)
        return code;
    // A save beyond a file-size limit fails with a message (and the previous file
    // kept) instead of the signal ending the program with the work in it.
    std::signal(SIGXFSZ, SIG_IGN);
    // The 3-D view's context must survive moving between docked and floating windows.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QUAV"));
    QApplication::setApplicationName(QStringLiteral("QUAV"));
    QApplication::setApplicationVersion(QString::fromUtf8(quav::productVersion()));
    // The installed desktop entry and icon (quav.desktop, hicolor "quav") name the windows.
    QApplication::setDesktopFileName(QStringLiteral("quav"));
    quav::installQtTranslations(app);
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quav")));
    // One family for Latin and Japanese text.
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(10);
    QApplication::setFont(font);

    quav::CQUAVDoc doc;
    quav::CMainFrame frame(doc);
    frame.operationTree()->selectRoot();

    // The file's name as the system gave it: a name that is not UTF-8 (CP932 from
    // a Windows archive) would not survive a round trip through text. The
    // application object has taken its own options out of argv.
    if (argc > 1 && !frame.files().openPath(argv[1], false))
        return 1;
    frame.show();
    return QApplication::exec();
}
