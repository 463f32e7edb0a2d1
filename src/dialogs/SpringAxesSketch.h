#pragma once

#include <QWidget>

namespace quav {

/// A small picture of a spring's local axes (x red, y green, z blue, the 3-D
/// view's colours) against the model's axes X, Y, Z, for the Y and Z angles in
/// hand: with both 0 the local x lies along Y and the local y along -X, which
/// surprises many a user.
class SpringAxesSketch : public QWidget {
    Q_OBJECT
public:
    explicit SpringAxesSketch(QWidget* parent = nullptr);
    /// The spring's Y and Z angles [deg]; values that are not finite keep the last.
    void setAngles(double yAngle, double zAngle);
    QSize sizeHint() const override { return {170, 170}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double yAngle_ = 0.0;
    double zAngle_ = 0.0;
};

} // namespace quav
