#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWindow> // complete for the focus slot's signature in the meta-object

#include <array>

#include "state.h"

class CAboutDlg;
class Desktop;
class CHelpDlg;
class CLabel;
class ColorSwatch;
class COptionsDlg;
class PictureLabel;
class QImage;
class QLabel;
class QRegion;
class QTimer;
class StraightPainted;
class TextLabel;
enum class DesktopProblem;

// The magnifier's main window. Every 30 ms, while it has the focus and the pointer is
// elsewhere, it shows the square of the desktop around the pointer enlarged, with a sight on
// the pixel under the pointer, that pixel's colour as text and swatches, and the pointer's
// position. Run modally by the start-up loop; ending it with a non-zero result rebuilds it.
class Vikaro : public QDialog
{
    Q_OBJECT

public:
    // Milliseconds from the end of one sampling tick to the start of the next.
    static constexpr int tickInterval = 30;

    // Shows `desktop`, which outlives the window.
    explicit Vikaro(Desktop &desktop, QWidget *parent = nullptr);
    ~Vikaro() override;

    // Applies the zoom level, the title and the display mode, and stores "Zoom factor" and
    // "Show FX".
    void refreshLayout();
    // Rewrites the twelve rows of the colour memory panel from storedColors.
    void refreshStoredColors();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private slots:
    void manageTimouts();
    void onMenuAbout();
    void onMenuHelp();
    void onMenuMore();
    void onMenuNormal();
    void onMenuOptions();
    void onFocusChanged(QWindow *focusWindow);
    void onSaveColors();

private:
    friend class VikaroProbe; // tests look inside

    // construction and layout
    void UpdateSetup();
    void buildUi();
    void nameForScreenReaders();
    void buildSideMenu();
    void buildColorMemory();
    void restoreEstimatedPosition();

    void resumeSampling();
    void showDesktopProblem(DesktopProblem problem, bool met);

    // one sampling tick, in order
    void placeExactly();
    void followMonitors();
    void showNothing();
    void showPicture(const QImage &grabbed);
    void readCentreColor();
    void showColorTexts(const QPoint &pointer, int monitor);
    void showSwatches();

    // a tick's repaint
    std::array<StraightPainted *, 6> tickParts() const;
    void holdTickRepaints();
    void paintTickChanges();
    QImage *straightTarget(const QRegion &region);

    // monitors and placement
    int screenIndexAt(QPoint p);
    QRect monitorRect(int index) const;

    // keys
    bool applyKey(int key);
    void placeAnchor(bool set);
    void storeColor(int slot);
    void stepZoom(int delta);
    void onClipRgbDec();
    void onClipRgbHex();
    // True while the picture shown is one the desktop gave: only then is currentColor a sample.
    bool hasSample() const { return !zoomSource.isNull(); }

    Desktop &desk;
    CAboutDlg *aboutDlg = nullptr;
    CHelpDlg *helpDlg = nullptr;
    COptionsDlg *optionsDlg = nullptr;

    QLabel *swatchPanel = nullptr;
    QLabel *zoomPanel = nullptr;
    CLabel *aboutIcon = nullptr;
    CLabel *helpIcon = nullptr;
    CLabel *moreIcon = nullptr;
    CLabel *normalIcon = nullptr;
    CLabel *optionsIcon = nullptr;
    CLabel *saveColorsButton = nullptr;
    ColorSwatch *swatch8 = nullptr;
    ColorSwatch *swatch4 = nullptr;
    std::array<QLabel *, storedColorCount> memFrames = {};
    std::array<QLabel *, storedColorCount> memSwatches = {};
    std::array<QLabel *, storedColorCount> memKeys = {};
    std::array<QLabel *, storedColorCount> memValues = {};
    QLabel *memPanel = nullptr;
    TextLabel *positionLabel = nullptr;
    TextLabel *decLabel = nullptr;
    TextLabel *hexLabel = nullptr;
    PictureLabel *zoomLabel = nullptr;
    QImage zoomSource;        // the grabbed square the picture shown was made from
    int zoomSourceSight = -1; // and the sight type painted on it
    QPoint anchor;
    quint32 currentColor = 0; // 0x00RRGGBB; black until the first sample
    QSize zoomSize;
    QTimer *timer = nullptr;
    QElapsedTimer lastTick; // since the last tick began, paused or not
    QWindow *ownFocusWindow = nullptr;
    bool anchorSet = false;
    bool placed = false;
    int unframedTicks = 0;    // ticks that found the window shown without a frame
    int zoomFactor = 9;
    int zoomSpan = 19;
    int screenCount = 0;
    QList<QRect> screenRects;   // monitor rectangles, in monitor-number order, the desktop's
    int screenRectsVersion = 0; // the desktop's layoutVersion() they were read at
};
