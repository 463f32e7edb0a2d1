#pragma once

#include "dialogs/MessageBoxes.h"
#include "dialogs/ResultSaving.h"
#include "document/ParetoFolder.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QChartView;
class QComboBox;
class QPlainTextEdit;
class QPointF;
class QScatterSeries;
class QTableWidget;

namespace quav {

/// ﾊﾟﾚｰﾄ解: the front of a finished run with objectives. A scatter plot of two
/// objectives chosen in the lists (every accepted variant of the folder in grey,
/// the front highlighted, axes named by the objectives with their units), the
/// front as a table ("ｺﾋﾟｰ" and Ctrl+C put it on the clipboard as tab-separated
/// text, "保存..." writes it as pareto.csv is written, or the chart). Choosing a
/// point or a row shows that variant's parameter values; double-clicking one
/// opens its file through `openModel`, and the window closes when it opened.
class ParetoDialog : public QDialog {
    Q_OBJECT
public:
    explicit ParetoDialog(ParetoFolder folder, QWidget* parent = nullptr);

    /// Plots objective `x` across and objective `y` up (indices of the study's).
    void setAxes(int x, int y);
    /// As a click on the plot at `value` (the objectives' values) on the front
    /// (`front`) or on the grey points: the nearest point of that series.
    void choosePoint(bool front, const QPointF& value);
    /// As a click on row `row` of the table.
    void chooseRow(int row);
    /// As a double-click on variant `number`: opens No<number>.quav.
    void openVariant(std::int64_t number);

    /// The points plotted: the accepted variants, the front (variants whose
    /// objectives cannot be plotted, not numbers or infinite, are left out).
    int acceptedPoints() const;
    int frontPoints() const;
    /// What the window shows of the chosen variant.
    QString shownVariant() const;
    /// The table as "ｺﾋﾟｰ" puts it on the clipboard.
    std::string tableText() const;
    void copyTable();
    void save();

    /// Opens a model file in the application (asking about unsaved changes
    /// first); true when it did.
    std::function<bool(const std::string& path)> openModel;
    MessageBoxes messages;
    ResultSaver saver;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void plot();
    void showVariant(const ParetoMember& member, bool onFront);
    /// Rings the chosen variant's point, where it can be plotted.
    void markChosen();

    ParetoFolder folder_;
    int x_ = 0, y_ = 0;
    /// The members behind each series' points, in the series' order.
    std::vector<const ParetoMember*> acceptedShown_, frontShown_;
    QComboBox* xBox_;
    QComboBox* yBox_;
    QChartView* chart_;
    QScatterSeries* accepted_ = nullptr;
    QScatterSeries* front_ = nullptr;
    QScatterSeries* mark_ = nullptr;
    const ParetoMember* chosen_ = nullptr;
    QTableWidget* table_;
    QPlainTextEdit* variant_;
};

} // namespace quav
