#include "controls/vk_Component.h"

#include "controls/ControlsAccessible.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyleOptionFocusRect>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kDefaultWidth = 65;
constexpr int kDefaultHeight = 17;
// Accepted rotations in degrees and weights in hundreds.
constexpr int kMaxRotation = 180;
constexpr int kMaxWeight = 10;

TvkLabelLink::TOpenHandler& openHandler()
{
    static TvkLabelLink::TOpenHandler handler;
    return handler;
}

} // namespace

// ---- TvkCustomLabel --------------------------------------------------------------------------------

TvkCustomLabel::TvkCustomLabel(QWidget* parent) : QLabel(parent)
{
    init();
}

TvkCustomLabel::TvkCustomLabel(const QString& caption, QWidget* parent) : QLabel(parent)
{
    init();
    SetCaption(caption);
}

void TvkCustomLabel::init()
{
    VkInstallControlsAccessibility();
    setTextFormat(Qt::PlainText);
    resize(kDefaultWidth, kDefaultHeight);
    AdjustBounds();
}

void TvkCustomLabel::SetCaption(const QString& value)
{
    if (value == text())
        return;
    setText(value);
    AdjustBounds();
    update();
}

void TvkCustomLabel::SetAlignment(TAlignment value)
{
    m_alignment = value;
    update();
}

void TvkCustomLabel::SetLayout(TTextLayout value)
{
    m_layout = value;
    update();
}

void TvkCustomLabel::SetAutoSize(bool value)
{
    m_autoSize = value;
    AdjustBounds();
    updateGeometry();
}

void TvkCustomLabel::SetWordWrap(bool value)
{
    m_wordWrap = value;
    AdjustBounds();
    update();
}

void TvkCustomLabel::SetShowAccelChar(bool value)
{
    m_showAccelChar = value;
    AdjustBounds();
    update();
}

void TvkCustomLabel::SetFocusControl(QWidget* control)
{
    setBuddy(control);
}

void TvkCustomLabel::SetTransparent(bool value)
{
    m_transparent = value;
    update();
}

void TvkCustomLabel::SetColor(const QColor& value)
{
    m_color = value;
    update();
}

QColor TvkCustomLabel::FontColor() const
{
    return palette().color(QPalette::Active, QPalette::WindowText);
}

void TvkCustomLabel::SetFontColor(const QColor& value)
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, value);
    setPalette(pal);
}

void TvkCustomLabel::SetOptions(TvkLabelOptions value)
{
    m_options = value;
    AdjustBounds();
    update();
}

void TvkCustomLabel::SetShadowX(int value)
{
    m_shadowX = std::abs(value);
    AdjustBounds();
    update();
}

void TvkCustomLabel::SetShadowY(int value)
{
    m_shadowY = std::abs(value);
    AdjustBounds();
    update();
}

void TvkCustomLabel::SetBorderStyle(TvkBorderStyle value)
{
    m_borderStyle = value;
    AdjustBounds();
    update();
}

void TvkCustomLabel::SetBorderWidth(int value)
{
    m_borderWidth = std::max(0, value);
    AdjustBounds();
    update();
}

void TvkCustomLabel::SetRotation(int degrees)
{
    if (degrees < -kMaxRotation || degrees > kMaxRotation)
        return;
    m_rotation = degrees * 10;
    update();
}

void TvkCustomLabel::SetWeight(int value)
{
    if (value < 0 || value > kMaxWeight)
        return;
    m_weight = value;
    AdjustBounds();
    update();
}

QFont TvkCustomLabel::PaintFont() const
{
    QFont f = BaseFont();
    if (m_weight > 0)
        f.setWeight(static_cast<QFont::Weight>(m_weight * 100));
    return f;
}

int TvkCustomLabel::textFlags(bool rotated) const
{
    int flags = Qt::TextExpandTabs;
    if (rotated || !m_wordWrap)
        flags |= Qt::TextSingleLine;
    else
        flags |= Qt::TextWordWrap;
    if (m_showAccelChar)
        flags |= Qt::TextShowMnemonic;
    switch (m_alignment) {
    case taLeftJustify:
        flags |= Qt::AlignLeft;
        break;
    case taRightJustify:
        flags |= Qt::AlignRight;
        break;
    case taCenter:
        flags |= Qt::AlignHCenter;
        break;
    }
    return flags;
}

QString TvkCustomLabel::measuredText() const
{
    const QString caption = text();
    if (caption.isEmpty() || (m_showAccelChar && caption == QLatin1String("&")))
        return QStringLiteral(" ");
    return caption;
}

QSize TvkCustomLabel::MeasuredSize() const
{
    const QFontMetrics fm(PaintFont());
    const int frame = m_borderStyle != lbsNone ? 2 * m_borderWidth : 0;
    const int wrapWidth = m_wordWrap ? std::max(1, width() - frame) : QWIDGETSIZE_MAX;
    const QRect measured = fm.boundingRect(QRect(0, 0, wrapWidth, QWIDGETSIZE_MAX), textFlags(false), measuredText());
    QSize size(measured.width(), std::max(measured.height(), fm.height()));
    if (m_options & loShadow)
        size += QSize(m_shadowX, m_shadowY);
    if (!isEnabled())
        size += QSize(1, 1);
    return size + QSize(frame, frame);
}

void TvkCustomLabel::AdjustBounds()
{
    if (!m_autoSize || m_adjusting)
        return;
    m_adjusting = true;
    const QSize size = MeasuredSize();
    const QRect old = geometry();
    // In a layout the size hint carries the measure; the layout places the label.
    const QWidget* parent = parentWidget();
    const bool inLayout = parent != nullptr && parent->layout() != nullptr && parent->layout()->indexOf(this) >= 0;
    if (size != old.size() && !inLayout) {
        if (m_alignment == taRightJustify)
            setGeometry(old.right() + 1 - size.width(), old.top(), size.width(), size.height());
        else
            resize(size);
    }
    updateGeometry();
    m_adjusting = false;
}

QSize TvkCustomLabel::sizeHint() const
{
    return m_autoSize ? MeasuredSize() : size();
}

QSize TvkCustomLabel::minimumSizeHint() const
{
    if (!m_autoSize)
        return QSize(0, 0);
    // A wrapped text can get narrower: it only needs its longest word.
    if (m_wordWrap)
        return QSize(std::min(MeasuredSize().width(), 20), MeasuredSize().height());
    return MeasuredSize();
}

bool TvkCustomLabel::hasHeightForWidth() const
{
    return m_autoSize && m_wordWrap;
}

int TvkCustomLabel::heightForWidth(int w) const
{
    if (!hasHeightForWidth())
        return -1;
    const QFontMetrics fm(PaintFont());
    const int frame = m_borderStyle != lbsNone ? 2 * m_borderWidth : 0;
    int extra = frame;
    if (m_options & loShadow)
        extra += m_shadowY;
    if (!isEnabled())
        extra += 1;
    const int wrapWidth = std::max(1, w - frame - ((m_options & loShadow) ? m_shadowX : 0));
    const QRect measured = fm.boundingRect(QRect(0, 0, wrapWidth, QWIDGETSIZE_MAX), textFlags(false), measuredText());
    return std::max(measured.height(), fm.height()) + extra;
}

bool TvkCustomLabel::event(QEvent* e)
{
    // The accelerator moves the focus only while it is shown and the label is enabled.
    if (e->type() == QEvent::Shortcut && (!m_showAccelChar || !isEnabled()))
        return true;
    return QLabel::event(e);
}

void TvkCustomLabel::changeEvent(QEvent* e)
{
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::EnabledChange)
        AdjustBounds();
}

void TvkCustomLabel::resizeEvent(QResizeEvent* e)
{
    QLabel::resizeEvent(e);
    if (m_wordWrap)
        AdjustBounds();
}

void TvkCustomLabel::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton)
        m_pressed = true;
    QLabel::mousePressEvent(e);
}

void TvkCustomLabel::mouseReleaseEvent(QMouseEvent* e)
{
    const bool click = m_pressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    if (e->button() == Qt::LeftButton)
        m_pressed = false;
    QLabel::mouseReleaseEvent(e);
    if (click)
        Click();
}

void TvkCustomLabel::Click()
{
    emit clicked();
}

QRect TvkCustomLabel::paintBorder(QPainter& p) const
{
    QRect area = rect();
    if (m_borderStyle != lbsNone) {
        const int bw = m_borderWidth;
        if (bw > 0) {
            const QColor light = palette().color(QPalette::Active, QPalette::Light);
            const QColor dark = palette().color(QPalette::Active, QPalette::Dark);
            QColor topLeft = Qt::black;
            QColor bottomRight = Qt::black;
            if (m_borderStyle == lbsSunken) {
                topLeft = dark;
                bottomRight = light;
            } else if (m_borderStyle == lbsRaise) {
                topLeft = light;
                bottomRight = dark;
            }
            const QRect r = rect();
            p.fillRect(QRect(r.left(), r.top(), r.width(), bw), topLeft);
            p.fillRect(QRect(r.left(), r.top(), bw, r.height()), topLeft);
            p.fillRect(QRect(r.left(), r.bottom() + 1 - bw, r.width(), bw), bottomRight);
            p.fillRect(QRect(r.right() + 1 - bw, r.top(), bw, r.height()), bottomRight);
        }
        area.adjust(bw, bw, -bw, -bw);
    }
    return area;
}

QPointF TvkCustomLabel::placeBox(const QRect& area, QSizeF box) const
{
    qreal x = area.left();
    qreal y = area.top();
    const qreal spareX = std::max<qreal>(0, area.width() - box.width());
    const qreal spareY = std::max<qreal>(0, area.height() - box.height());
    if (m_alignment == taRightJustify)
        x += area.width() - box.width();
    else if (m_alignment == taCenter)
        x += std::floor(spareX / 2);
    if (m_layout == tlBottom)
        y += area.height() - box.height();
    else if (m_layout == tlCenter)
        y += std::floor(spareY / 2);
    return QPointF(x, y);
}

void TvkCustomLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!m_transparent)
        p.fillRect(rect(), m_color.isValid() ? m_color : palette().color(QPalette::Window));

    const QRect area = paintBorder(p);
    const QColor light = palette().color(QPalette::Active, QPalette::Light);
    const QColor dark = palette().color(QPalette::Active, QPalette::Dark);

    const QFont font = PaintFont();
    p.setFont(font);
    const QFontMetrics fm(font);
    const bool rotated = m_rotation != 0;
    const int flags = textFlags(rotated);
    const QString caption = text();
    const QRect measured =
        fm.boundingRect(QRect(0, 0, rotated || !m_wordWrap ? QWIDGETSIZE_MAX : area.width(), QWIDGETSIZE_MAX),
                        flags & ~(Qt::AlignRight | Qt::AlignHCenter), caption);
    const int textWidth = measured.width();
    const int textHeight = std::max(measured.height(), fm.height());

    auto drawAt = [&](QPoint offset, const QColor& colour) {
        p.save();
        p.setPen(colour);
        if (!rotated) {
            const QPointF at = placeBox(area, QSizeF(area.width(), textHeight));
            p.drawText(QRect(QPoint(static_cast<int>(at.x()), static_cast<int>(at.y())) + offset,
                             QSize(area.width(), textHeight)),
                       flags, caption);
        } else {
            // The turned text's bounding box is placed like unturned text, so no angle pushes the
            // text out of the label.
            QTransform turn;
            turn.rotate(-m_rotation / 10.0);
            const QRectF box = turn.mapRect(QRectF(0, 0, textWidth, textHeight));
            const QPointF at = placeBox(area, box.size());
            p.setRenderHint(QPainter::TextAntialiasing, true);
            p.translate(at - box.topLeft() + QPointF(offset));
            p.rotate(-m_rotation / 10.0);
            p.drawText(QRect(0, 0, textWidth, textHeight),
                       (flags & ~(Qt::AlignRight | Qt::AlignHCenter)) | Qt::AlignLeft, caption);
        }
        p.restore();
    };

    p.setClipRect(area);
    const QColor fontColour = palette().color(QPalette::Active, QPalette::WindowText);
    if (!isEnabled()) {
        drawAt(QPoint(1, 1), light);
        drawAt(QPoint(0, 0), dark);
    } else if (m_options & loShadow) {
        const QColor shadow = dark;
        switch (m_alignment) {
        case taLeftJustify:
            drawAt(QPoint(m_shadowX, m_shadowY), shadow);
            drawAt(QPoint(0, 0), fontColour);
            break;
        case taRightJustify:
            drawAt(QPoint(0, m_shadowY), shadow);
            drawAt(QPoint(-m_shadowX, 0), fontColour);
            break;
        case taCenter:
            drawAt(QPoint(m_shadowX / 2, m_shadowY), shadow);
            drawAt(QPoint(-(m_shadowX / 2), 0), fontColour);
            break;
        }
    } else {
        drawAt(QPoint(0, 0), fontColour);
    }
}

// ---- TvkLabelLink ----------------------------------------------------------------------------------

TvkLabelLink::TvkLabelLink(QWidget* parent) : TvkCustomLabel(parent)
{
    initLink();
}

TvkLabelLink::TvkLabelLink(const QString& caption, QWidget* parent) : TvkCustomLabel(caption, parent)
{
    initLink();
}

void TvkLabelLink::initLink()
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    SetFontColor(Qt::blue);
    setAttribute(Qt::WA_Hover, true);
}

void TvkLabelLink::SetFontOver(const QFont& value)
{
    m_fontOver = value;
    m_fontOverSet = true;
    AdjustBounds();
    update();
}

QFont TvkLabelLink::BaseFont() const
{
    if (!m_over)
        return font();
    if (m_fontOverSet)
        return m_fontOver;
    QFont f = font();
    f.setUnderline(true);
    return f;
}

void TvkLabelLink::SetMouseOver(bool value)
{
    if (m_over == value)
        return;
    m_over = value;
    update();
}

void TvkLabelLink::enterEvent(QEnterEvent* e)
{
    SetMouseOver(true);
    TvkCustomLabel::enterEvent(e);
}

void TvkLabelLink::leaveEvent(QEvent* e)
{
    SetMouseOver(false);
    TvkCustomLabel::leaveEvent(e);
}

void TvkLabelLink::keyPressEvent(QKeyEvent* e)
{
    if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space) {
            Click();
            e->accept();
            return;
        }
    }
    TvkCustomLabel::keyPressEvent(e);
}

void TvkLabelLink::focusInEvent(QFocusEvent* e)
{
    TvkCustomLabel::focusInEvent(e);
    update();
}

void TvkLabelLink::focusOutEvent(QFocusEvent* e)
{
    TvkCustomLabel::focusOutEvent(e);
    update();
}

void TvkLabelLink::paintEvent(QPaintEvent* e)
{
    TvkCustomLabel::paintEvent(e);
    if (hasFocus()) {
        QPainter p(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}

QString TvkLabelLink::Prefix(TLinkKind kind)
{
    switch (kind) {
    case lkNone:
        return QString();
    case lkHttp:
        return QStringLiteral("http:\\\\");
    case lkFile:
        return QStringLiteral("file:");
    case lkMailTo:
        return QStringLiteral("mailto:");
    case lkFtp:
        return QStringLiteral("ftp:");
    case lkHttps:
        return QStringLiteral("https:");
    case lkGopher:
        return QStringLiteral("gopher:");
    case lkNntp:
        return QStringLiteral("nntp:");
    case lkProspero:
        return QStringLiteral("prospero:");
    case lkTelNet:
        return QStringLiteral("telnet:");
    case lkNews:
        return QStringLiteral("news:");
    case lkWais:
        return QStringLiteral("wais:");
    }
    return QString();
}

QUrl TvkLabelLink::UrlOf(const QString& target)
{
    QString text = target.trimmed();
    // "scheme:\\host" and "scheme:host" as written for the web kinds become "scheme://host".
    static const QRegularExpression webScheme(QStringLiteral("^(https?|ftp|gopher|telnet|wais|prospero):[\\\\/]*"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = webScheme.match(text);
    if (m.hasMatch())
        text = m.captured(1).toLower() + QStringLiteral("://") + text.mid(m.capturedLength(0));
    return QUrl::fromUserInput(text);
}

void TvkLabelLink::SetOpenHandler(TOpenHandler handler)
{
    openHandler() = std::move(handler);
}

void TvkLabelLink::Click()
{
    TvkCustomLabel::Click();
    Execute();
}

void TvkLabelLink::Execute()
{
    QString prefix = Prefix(m_linkKind);
    QString link = Caption();
    if (OnExecute)
        OnExecute(*this, prefix, link);
    const QString target = prefix + link;
    if (openHandler())
        openHandler()(target);
    else
        QDesktopServices::openUrl(UrlOf(target));
}
