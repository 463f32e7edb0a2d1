#include "app/GeometryImport.h"

#include "dialogs/DxfPlacementDialog.h"
#include "model/AnalysisModel.h"
#include "view/CQUAVView.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>

#include <filesystem>
#include <fstream>
#include <memory>

namespace quav {

QString GeometryImport::askFile(QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("開く"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // a name that cannot be opened is reported
    dialog.setDefaultSuffix(QStringLiteral("dxf"));
    dialog.setNameFilters({QStringLiteral("dxfﾌｧｲﾙ(*.dxf)"), QStringLiteral("すべてのﾌｧｲﾙ(*.*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

bool GeometryImport::askPlacement(QWidget* parent, DxfPlacement& placement) {
    DxfPlacementDialog dialog(placement, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    placement = dialog.values;
    return true;
}

void GeometryImport::run(CQUAVView& view, const AnalysisModel* model) {
    if (!model) {
        messages.inform(&view, QStringLiteral("質量要素がありません"));
        return;
    }
    const QString path = chooseFile(&view);
    if (path.isEmpty())
        return;
    // Only a regular file: a folder or a device (a stream without end) is no drawing.
    const std::filesystem::path name(QFile::encodeName(path).toStdString());
    std::error_code error;
    std::ifstream file;
    if (std::filesystem::is_regular_file(name, error))
        file.open(name);
    if (!file.is_open()) {
        messages.inform(&view, QStringLiteral("ﾌｧｲﾙが開けません"));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto geometry = std::make_shared<const DxfGeometry>(readDxf(file));
    QApplication::restoreOverrideCursor();
    // The values of the last drawing, else its centre-of-gravity point at the body's.
    DxfPlacement placement;
    placement.x = model->centreOfGravity[0];
    placement.y = model->centreOfGravity[1];
    placement.z = model->centreOfGravity[2];
    placement = lastPlacement_.value_or(placement);
    if (!choosePlacement(&view, placement))
        geometry.reset();
    else
        lastPlacement_ = placement;
    view.setOutline(std::move(geometry), placement);
}

} // namespace quav
