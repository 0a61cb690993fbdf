#pragma once

#include <QLabel>
#include <QRect>

// A label that reports every mouse press, of any button, as clicked() and keeps the press to
// itself. setupIcon() composes an icon button from three children: a highlight behind, the
// centred image, a dimming overlay on top.
class CLabel : public QLabel
{
    Q_OBJECT

public:
    explicit CLabel(QWidget *parent = nullptr);
    ~CLabel() override;

    // `rect` is in the parent's coordinates. An empty `rect` only sets the label's own
    // picture. Otherwise the three children are made anew; the image is centred, truncating,
    // so a larger image is clipped evenly.
    void setupIcon(const QString &path, const QRect &rect, bool highlighted, bool dimmed);
    // Shows or hides the highlight; does nothing on a label that has none.
    void setHighlighted(bool on);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QLabel *iconLabel = nullptr;
    QLabel *highlightLabel = nullptr;
    QLabel *dimLabel = nullptr;
};
