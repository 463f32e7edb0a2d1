#pragma once

#include "dialogs/MessageBoxes.h"
#include "document/DocumentUi.h"

#include <QDialog>

#include <array>
#include <optional>

class QLineEdit;
class QTabWidget;
class QTableWidget;

namespace quav {

class CurveChart;

/// 164 "非線形特性": a characteristic's force-deflection curves, a table of
/// points (deflection [m], force [N]) per local direction x, y, z, and the
/// rated load per direction. Rows are added, removed and pasted from a
/// spreadsheet (cells split by tabs or commas, lines by CR LF or LF; a heading
/// line is skipped); the chart shows force against deflection and the rated
/// loads as horizontal lines at plus and minus. OK refuses a cell that is no
/// number and what checkForceCurve refuses, naming the direction and point (the
/// cell selected), and stays open. A table without rows is no curve; rated
/// loads all empty are none.
class ForceCurveDialog : public QDialog {
    Q_OBJECT
public:
    ForceCurveDialog(const std::array<ForceCurve, 3>& curves, const std::optional<Vec3>& ratedLoad,
                     QWidget* parent = nullptr);

    /// As OK took them.
    const std::array<ForceCurve, 3>& curves() const { return curves_; }
    const std::optional<Vec3>& ratedLoad() const { return ratedLoad_; }

    void accept() override;
    /// The buttons' actions on the direction shown.
    void addRow();
    void removeRows();
    void paste();

    QTableWidget* table(int direction) const {
        return tables_[static_cast<std::size_t>(direction)];
    }
    QTabWidget* tabs() const { return tabs_; }
    CurveChart* chart() const { return chart_; }
    MessageBoxes messages;

private:
    QTableWidget* current() const;
    void replot();
    /// The cell texts as numbers; false with the message shown and the cell selected.
    bool readPoints(int direction, ForceCurve& curve);
    void refuse(int direction, int row, int column, const QString& text);

    std::array<QTableWidget*, 3> tables_{};
    std::array<QLineEdit*, 3> rated_{};
    QTabWidget* tabs_;
    CurveChart* chart_;
    std::array<ForceCurve, 3> curves_;
    std::optional<Vec3> ratedLoad_;
};

} // namespace quav
