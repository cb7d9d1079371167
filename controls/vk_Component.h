#pragma once
// Labels that paint their own text: a drop shadow, rotation, a forced font weight and a border
// (TvkLabel), and a label that opens its caption as a link (TvkLabelLink). TvkCustomLabel holds all
// the behaviour. They are QLabels underneath, so a label given a FocusControl is that control's
// buddy: its "&" accelerator moves the focus there and screen readers name the control after it.
// Screen readers see a TvkLabel as static text named by its caption, a TvkLabelLink as a link.
// GUI thread only.

#include "controls/StyledMenu.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QPainter;

class TvkCustomLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Rotation READ Rotation WRITE SetRotation)
    Q_PROPERTY(int Weight READ Weight WRITE SetWeight)
    Q_PROPERTY(int ShadowX READ ShadowX WRITE SetShadowX)
    Q_PROPERTY(int ShadowY READ ShadowY WRITE SetShadowY)

public:
    enum TAlignment
    {
        taLeftJustify,
        taRightJustify,
        taCenter
    };
    enum TTextLayout
    {
        tlTop,
        tlCenter,
        tlBottom
    };
    enum TvkBorderStyle
    {
        lbsNone,
        lbsSingle,
        lbsSunken,
        lbsRaise
    };
    // Options: a set of these flags.
    enum TvkLabelOption
    {
        loShadow = 1
    };
    using TvkLabelOptions = int;

    // Creation defaults: 65 by 17 pixels, opaque, AutoSize on.
    explicit TvkCustomLabel(QWidget* parent = nullptr);
    explicit TvkCustomLabel(const QString& caption, QWidget* parent = nullptr);

    // The text; "&" marks the accelerator letter while ShowAccelChar is set ("&&" shows one "&").
    QString Caption() const { return text(); }
    void SetCaption(const QString& value);

    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment value);
    TTextLayout Layout() const { return m_layout; }
    void SetLayout(TTextLayout value);
    // The label takes the size of its text (a right-aligned label keeps its right edge).
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool value);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool value);
    bool ShowAccelChar() const { return m_showAccelChar; }
    void SetShowAccelChar(bool value);
    // The control that gets the focus when the accelerator is typed (cleared when it is destroyed).
    QWidget* FocusControl() const { return buddy(); }
    void SetFocusControl(QWidget* control);
    // Leaves the background unpainted.
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool value);
    // Background colour; invalid (the default) means the palette's window colour.
    QColor Color() const { return m_color; }
    void SetColor(const QColor& value);
    // Text colour (the palette's window-text colour).
    QColor FontColor() const;
    void SetFontColor(const QColor& value);

    TvkLabelOptions Options() const { return m_options; }
    void SetOptions(TvkLabelOptions value);
    // Shadow offsets in pixels, always right and down: negative values are stored as their
    // absolute value.
    int ShadowX() const { return m_shadowX; }
    void SetShadowX(int value);
    int ShadowY() const { return m_shadowY; }
    void SetShadowY(int value);

    TvkBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TvkBorderStyle value);
    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int value);

    // Text angle in degrees, counter-clockwise; values outside -180..180 are ignored.
    int Rotation() const { return m_rotation / 10; }
    void SetRotation(int degrees);
    // Font weight in hundreds (1 thin ... 4 normal, 7 bold ... 10); 0 keeps the font's own weight;
    // other values are ignored.
    int Weight() const { return m_weight; }
    void SetWeight(int value);

    // The font the text is painted in (the widget's font with Weight applied).
    QFont PaintFont() const;
    // The size AutoSize gives the label.
    QSize MeasuredSize() const;

    // With AutoSize the measured size; in a layout this is how the label gets its size.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int w) const override;

signals:
    // A left-button click on the label (press and release inside it).
    void clicked();

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

    // Called after a click; the link label opens its address here.
    virtual void Click();
    // The font used for painting and measuring before Weight is applied.
    virtual QFont BaseFont() const { return font(); }
    void AdjustBounds();

private:
    void init();
    int textFlags(bool rotated) const;
    QString measuredText() const;
    // Paints the border and returns the text area inside it.
    QRect paintBorder(QPainter& p) const;
    // Where a box of the given size sits in the text area by Alignment and Layout.
    QPointF placeBox(const QRect& area, QSizeF box) const;

    TAlignment m_alignment = taLeftJustify;
    TTextLayout m_layout = tlTop;
    bool m_autoSize = true;
    bool m_wordWrap = false;
    bool m_showAccelChar = true;
    bool m_transparent = false;
    bool m_pressed = false;
    bool m_adjusting = false;
    QColor m_color;
    TvkLabelOptions m_options = 0;
    int m_shadowX = 5;
    int m_shadowY = 5;
    TvkBorderStyle m_borderStyle = lbsNone;
    int m_borderWidth = 0;
    int m_rotation = 0; // tenths of a degree
    int m_weight = 0;
};

// The plain label.
class TvkLabel : public TvkCustomLabel
{
    Q_OBJECT
public:
    using TvkCustomLabel::TvkCustomLabel;
};

// A label that opens its caption, behind a prefix chosen by LinkKind, with the desktop's handler
// for that kind of address. Hand cursor, blue text, FontOver (underlined) under the mouse. It can
// take the keyboard focus (Tab); Enter or Space opens it.
class TvkLabelLink : public TvkCustomLabel
{
    Q_OBJECT
public:
    enum TLinkKind
    {
        lkNone,
        lkHttp,
        lkFile,
        lkMailTo,
        lkFtp,
        lkHttps,
        lkGopher,
        lkNntp,
        lkProspero,
        lkTelNet,
        lkNews,
        lkWais
    };
    // May change the prefix and the link before they are joined and opened.
    using TExecuteLinkEvent = std::function<void(TvkLabelLink& Sender, QString& Prefix, QString& Link)>;
    // What opens a joined address; returns false on failure (which is not reported).
    using TOpenHandler = std::function<bool(const QString& Target)>;

    explicit TvkLabelLink(QWidget* parent = nullptr);
    explicit TvkLabelLink(const QString& caption, QWidget* parent = nullptr);

    TLinkKind LinkKind() const { return m_linkKind; }
    void SetLinkKind(TLinkKind value) { m_linkKind = value; }
    // The font shown while the mouse is over the link.
    QFont FontOver() const { return m_fontOver; }
    void SetFontOver(const QFont& value);
    bool MouseOver() const { return m_over; }
    // Shows FontOver (true) or the font (false); the mouse does this on entering and leaving.
    void SetMouseOver(bool value);

    TExecuteLinkEvent OnExecute;

    // The prefix of a link kind ("mailto:" for lkMailTo, "" for lkNone, ...).
    static QString Prefix(TLinkKind kind);
    // The joined prefix and caption this link opens (before OnExecute).
    QString Target() const { return Prefix(m_linkKind) + Caption(); }
    // The address a joined target is opened as: "http:\\x" becomes "http://x", a bare host name or
    // path is read as the desktop would (QUrl::fromUserInput).
    static QUrl UrlOf(const QString& target);

    // Opens the link as a click does: OnExecute, then the open handler.
    void Execute();

    // Replaces what opens the joined addresses (QDesktopServices by default) for the whole program;
    // an empty handler restores the default. For tests and embedding.
    static void SetOpenHandler(TOpenHandler handler);

protected:
    void Click() override;
    QFont BaseFont() const override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void initLink();

    TLinkKind m_linkKind = lkNone;
    QFont m_fontOver;
    bool m_fontOverSet = false;
    bool m_over = false;
};
