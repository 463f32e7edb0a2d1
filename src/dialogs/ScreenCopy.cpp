#include "dialogs/ScreenCopy.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>

namespace quav {

void copyScreenToClipboard(QWidget* owner, const QImage& picture, const MessageBoxes& messages) {
    QApplication::clipboard()->setImage(picture);
    messages.inform(owner, QStringLiteral("画面を画像としてｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰしました。\r\n"
                                          "画像編集ｿﾌﾄ等へ貼り付けてください。"));
}

} // namespace quav
