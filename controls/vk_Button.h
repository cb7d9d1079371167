#pragma once
// TvkButton: a push button that paints itself: a caption, an optional glyph strip, a frame that can
// stay flat until the mouse passes over it, and an embossed caption while the mouse is over it. It
// closes its dialog with ModalResult, and answers Enter as the dialog's Default button and Escape as
// its Cancel button. It takes the keyboard focus; Space, Enter and the caption's "&" accelerator
// click it. Screen readers see a push button named by its caption, or by its hint (tool tip) when it
// shows only a glyph. GUI thread only.

#include <QAbstractButton>
#include <QPixmap>
#include <QPointer>

class QDialog;
class QPainter;

class TvkButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QPixmap Glyph READ Glyph WRITE SetGlyph)
    Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE SetNumGlyphs)
    Q_PROPERTY(int GlyphSpace READ GlyphSpace WRITE SetGlyphSpace)
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)

public:
    enum TBmpLayout
    {
        lyLeft,
        lyTop,
        lyRight,
        lyBottom,
        lyCenter
    };
    enum TBorderMode
    {
        bmSingle,
        bmFlat,
        bmRaised
    };
    enum TTextStyle
    {
        txNone,
        txLowered,
        txRaised,
        txShadowed
    };
    // Modal results given to the dialog on click (QDialog::done); mrNone leaves it open.
    enum TModalResult
    {
        mrNone = 0,
        mrOk = 1,
        mrCancel = 2,
        mrAbort = 3,
        mrRetry = 4,
        mrIgnore = 5,
        mrYes = 6,
        mrNo = 7,
        mrAll = 8,
        mrNoToAll = 9,
        mrYesToAll = 10
    };
    // Which cell of the glyph strip is painted.
    enum TGlyphCell
    {
        gcUp = 0,
        gcDisabled = 1,
        gcDown = 2,
        gcExclusive = 3
    };
    static constexpr int kMaxGlyphs = 4;

    // Creation defaults: 80 by 25 pixels, bmSingle, txRaised, one glyph cell.
    explicit TvkButton(QWidget* parent = nullptr);
    explicit TvkButton(const QString& caption, QWidget* parent = nullptr);

    // Single-line text; "&" marks the accelerator letter.
    QString Caption() const { return text(); }
    void SetCaption(const QString& value);
    // The hint: the tool tip, and the accessible name of a button without caption.
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& value);

    // A strip of NumGlyphs cells side by side: up, disabled, down, and exclusive (shown while
    // checked). Without alpha channel the colour of its bottom-left pixel is transparent. A pixmap
    // with a device pixel ratio above 1 is drawn at its device-independent size.
    QPixmap Glyph() const { return m_glyph; }
    void SetGlyph(const QPixmap& value);
    // 1 to 4; 0 becomes 1, larger values 4.
    int NumGlyphs() const { return m_numGlyphs; }
    void SetNumGlyphs(int value);
    // Spelled as in the form files: the same as NumGlyphs.
    int GlyphsNum() const { return m_numGlyphs; }
    void SetGlyphsNum(int value) { SetNumGlyphs(value); }
    TBmpLayout GlyphLayout() const { return m_layout; }
    void SetGlyphLayout(TBmpLayout value);
    // Also known as GlyphLayout.
    TBmpLayout Layout() const { return m_layout; }
    void SetLayout(TBmpLayout value) { SetGlyphLayout(value); }
    // Gap between glyph and caption; negative becomes 0.
    int GlyphSpace() const { return m_space; }
    void SetGlyphSpace(int value);

    TBorderMode BorderMode() const { return m_borderMode; }
    void SetBorderMode(TBorderMode value);
    // The flat look: bmFlat when true, bmSingle when false.
    bool Flat() const { return m_borderMode == bmFlat; }
    void SetFlat(bool value) { SetBorderMode(value ? bmFlat : bmSingle); }
    // Width of the 3D frame; 0 or less becomes 1.
    int BevelWidth() const { return m_bevelWidth; }
    void SetBevelWidth(int value);
    // Caption effect while the mouse is over the button.
    TTextStyle TextStyle() const { return m_textStyle; }
    void SetTextStyle(TTextStyle value);

    bool Default() const { return m_default; }
    void SetDefault(bool value);
    bool Cancel() const { return m_cancel; }
    void SetCancel(bool value);
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int value) { m_modalResult = value; }

    // The mouse is over the button (set by entering and leaving; settable for tests and pictures).
    bool Hot() const { return m_hot; }
    void SetHot(bool value);
    // Held down (QAbstractButton::isDown).
    bool Pressed() const { return isDown(); }

    // The glyph cell the button shows in its present state.
    TGlyphCell CurrentCell() const;
    // Where the glyph cell and the caption go in the present size (for tests and layouts).
    QRect GlyphRect() const;
    QRect CaptionRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void init();
    void watchWindow();
    void layoutParts(QRect* glyph, QRect* caption) const;
    // Paints the frame for the current state (none for a flat button at rest).
    void paintFrame(QPainter& p, bool hot) const;
    QSize cellSize() const;
    QSize captionSize() const;
    void onClicked();
    void finishModalResult();

    QPixmap m_glyph;
    int m_numGlyphs = 1;
    TBmpLayout m_layout = lyLeft;
    int m_space = 0;
    TBorderMode m_borderMode = bmSingle;
    int m_bevelWidth = 1;
    TTextStyle m_textStyle = txRaised;
    bool m_default = false;
    bool m_cancel = false;
    int m_modalResult = mrNone;
    bool m_hot = false;
    QPointer<QWidget> m_watchedWindow;
};
