// quav: the desktop application.

#include "app/DocumentFiles.h"
#include "app/MainFrame.h"
#include "app/OperationTree.h"
#include "document/Document.h"

#include <QApplication>
#include <QFont>
#include <QStringList>

int main(int argc, char* argv[]) {
    // The 3-D view's context must survive moving between docked and floating windows.
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QUAV"));
    QApplication::setApplicationName(QStringLiteral("QUAV"));
    QApplication::setApplicationVersion(QStringLiteral("3.03"));
    // One family for Latin and Japanese text.
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSize(10);
    QApplication::setFont(font);

    quav::CQUAVDoc doc;
    quav::CMainFrame frame(doc);
    frame.operationTree()->selectRoot();

    const QStringList args = QApplication::arguments();
    if (args.size() > 1 && !frame.files().openPath(args[1], false))
        return 1;
    frame.show();
    return QApplication::exec();
}
