#include "controls/vk_Button.h"

#include "controls/ControlsAccessible.h"

#include <QAccessible>
#include <QDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kDefaultWidth = 80;
constexpr int kDefaultHeight = 25;
// Room kept around the contents by the size hint: frame, focus rectangle and a little air.
constexpr int kHintMarginX = 8;
constexpr int kHintMarginY = 6;

// Integer half of a spare amount, 0 when nothing is spare.
int half(int spare)
{
    return spare > 0 ? spare / 2 : 0;
}

bool isActivationKey(const QKeyEvent* e)
{
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    return mods == Qt::NoModifier;
}

} // namespace

TvkButton::TvkButton(QWidget* parent) : QAbstractButton(parent)
{
    init();
}

TvkButton::TvkButton(const QString& caption, QWidget* parent) : QAbstractButton(parent)
{
    init();
    SetCaption(caption);
}

void TvkButton::init()
{
    VkInstallControlsAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover, true);
    resize(kDefaultWidth, kDefaultHeight);
    // Connected first, so the dialog's result is set before any other click handler runs.
    connect(this, &QAbstractButton::clicked, this, &TvkButton::onClicked);
}

void TvkButton::SetCaption(const QString& value)
{
    if (value == text())
        return;
    setText(value);
    updateGeometry();
    update();
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void TvkButton::SetHint(const QString& value)
{
    setToolTip(value);
    if (text().isEmpty()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void TvkButton::SetGlyph(const QPixmap& value)
{
    m_glyph = value;
    if (!m_glyph.isNull() && !m_glyph.hasAlphaChannel()) {
        // The colour of the bottom-left pixel is transparent, as in the strips drawn for buttons.
        const QImage image = m_glyph.toImage();
        const QColor key = image.pixelColor(0, image.height() - 1);
        m_glyph.setMask(m_glyph.createMaskFromColor(key, Qt::MaskInColor));
    }
    updateGeometry();
    update();
}

void TvkButton::SetNumGlyphs(int value)
{
    m_numGlyphs = std::clamp(value, 1, kMaxGlyphs);
    updateGeometry();
    update();
}

void TvkButton::SetGlyphLayout(TBmpLayout value)
{
    m_layout = value;
    updateGeometry();
    update();
}

void TvkButton::SetGlyphSpace(int value)
{
    m_space = std::max(0, value);
    updateGeometry();
    update();
}

void TvkButton::SetBorderMode(TBorderMode value)
{
    m_borderMode = value;
    update();
}

void TvkButton::SetBevelWidth(int value)
{
    m_bevelWidth = std::max(1, value);
    update();
}

void TvkButton::SetTextStyle(TTextStyle value)
{
    m_textStyle = value;
    update();
}

void TvkButton::SetDefault(bool value)
{
    m_default = value;
    watchWindow();
    update();
}

void TvkButton::SetCancel(bool value)
{
    m_cancel = value;
    watchWindow();
}

void TvkButton::SetHot(bool value)
{
    if (m_hot == value)
        return;
    m_hot = value;
    update();
}

void TvkButton::watchWindow()
{
    QWidget* win = (m_default || m_cancel) ? window() : nullptr;
    if (win == this)
        win = nullptr;
    if (m_watchedWindow == win)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = win;
    if (m_watchedWindow)
        m_watchedWindow->installEventFilter(this);
}

bool TvkButton::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == m_watchedWindow && e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool escape = key->key() == Qt::Key_Escape;
        if (isActivationKey(key) && ((enter && m_default) || (escape && m_cancel)) && isEnabled() &&
            isVisibleTo(m_watchedWindow)) {
            click();
            return true;
        }
    }
    return QAbstractButton::eventFilter(watched, e);
}

bool TvkButton::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::Enter:
    case QEvent::HoverEnter:
        SetHot(true);
        break;
    case QEvent::Leave:
    case QEvent::HoverLeave:
        SetHot(false);
        break;
    case QEvent::ParentChange:
        watchWindow();
        break;
    case QEvent::ToolTipChange:
        if (text().isEmpty()) {
            QAccessibleEvent event(this, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&event);
        }
        break;
    default:
        break;
    }
    return QAbstractButton::event(e);
}

void TvkButton::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::EnabledChange) {
        // A disabled button misses the mouse leaving it.
        m_hot = m_hot && underMouse();
        update();
    } else if (e->type() == QEvent::FontChange) {
        updateGeometry();
        update();
    }
    QAbstractButton::changeEvent(e);
}

void TvkButton::keyPressEvent(QKeyEvent* e)
{
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && isActivationKey(e)) {
        click();
        e->accept();
        return;
    }
    QAbstractButton::keyPressEvent(e);
}

void TvkButton::mousePressEvent(QMouseEvent* e)
{
    // Only the left button presses the button; a right click leaves it as it is (context menus).
    QAbstractButton::mousePressEvent(e);
}

void TvkButton::onClicked()
{
    if (m_modalResult == mrNone)
        return;
    auto* dialog = qobject_cast<QDialog*>(window());
    if (dialog == nullptr)
        return;
    // The dialog closes once the click handlers have run, so a handler can still keep it open by
    // setting its result back to mrNone (QDialog::setResult(0)).
    dialog->setResult(m_modalResult);
    QMetaObject::invokeMethod(this, &TvkButton::finishModalResult, Qt::QueuedConnection);
}

void TvkButton::finishModalResult()
{
    auto* dialog = qobject_cast<QDialog*>(window());
    if (dialog != nullptr && dialog->isVisible() && m_modalResult != mrNone && dialog->result() == m_modalResult)
        dialog->done(m_modalResult);
}

TvkButton::TGlyphCell TvkButton::CurrentCell() const
{
    if (!isEnabled())
        return m_numGlyphs >= 2 ? gcDisabled : gcUp;
    if (isDown() && m_numGlyphs >= 3)
        return gcDown;
    if (isChecked() && m_numGlyphs >= 4)
        return gcExclusive;
    return gcUp;
}

QSize TvkButton::cellSize() const
{
    if (m_glyph.isNull())
        return QSize(0, 0);
    const QSizeF size = m_glyph.deviceIndependentSize();
    return QSize(static_cast<int>(std::lround(size.width() / m_numGlyphs)),
                 static_cast<int>(std::lround(size.height())));
}

QSize TvkButton::captionSize() const
{
    if (text().isEmpty())
        return QSize(0, 0);
    const QFontMetrics fm(font());
    const QRect r = fm.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, text());
    return QSize(r.width(), fm.height());
}

void TvkButton::layoutParts(QRect* glyph, QRect* caption) const
{
    const int w = width();
    const int h = height();
    const QSize cell = cellSize();
    const QSize text = captionSize();
    QPoint g;
    QPoint t;
    switch (m_layout) {
    case lyLeft: {
        const int m = half(w - cell.width() - m_space - text.width());
        g = QPoint(m, half(h - cell.height()));
        t = QPoint(m + cell.width() + m_space, half(h - text.height()));
        break;
    }
    case lyRight: {
        const int m = half(w - cell.width() - m_space - text.width());
        g = QPoint(w - m - cell.width(), half(h - cell.height()));
        t = QPoint(g.x() - m_space - text.width(), half(h - text.height()));
        break;
    }
    case lyTop: {
        const int m = half(h - cell.height() - m_space - text.height());
        g = QPoint(half(w - cell.width()), m);
        t = QPoint(half(w - text.width()), m + cell.height() + m_space);
        break;
    }
    case lyBottom: {
        const int m = half(h - cell.height() - m_space - text.height());
        g = QPoint(half(w - cell.width()), h - m - cell.height());
        t = QPoint(half(w - text.width()), g.y() - m_space - text.height());
        break;
    }
    case lyCenter:
        g = QPoint(half(w - cell.width()), half(h - cell.height()));
        t = QPoint(half(w - text.width()), half(h - text.height()));
        break;
    }
    if (glyph != nullptr)
        *glyph = QRect(g, cell);
    if (caption != nullptr)
        *caption = QRect(t, text);
}

QRect TvkButton::GlyphRect() const
{
    QRect r;
    layoutParts(&r, nullptr);
    return r;
}

QRect TvkButton::CaptionRect() const
{
    QRect r;
    layoutParts(nullptr, &r);
    return r;
}

QSize TvkButton::sizeHint() const
{
    const QSize cell = cellSize();
    const QSize text = captionSize();
    const int gap = (cell.width() > 0 && text.width() > 0) ? m_space : 0;
    QSize content;
    switch (m_layout) {
    case lyLeft:
    case lyRight:
        content = QSize(cell.width() + gap + text.width(), std::max(cell.height(), text.height()));
        break;
    case lyTop:
    case lyBottom:
        content = QSize(std::max(cell.width(), text.width()), cell.height() + gap + text.height());
        break;
    case lyCenter:
        content = QSize(std::max(cell.width(), text.width()), std::max(cell.height(), text.height()));
        break;
    }
    const int frame = 2 * m_bevelWidth;
    return QSize(std::max(kDefaultWidth, content.width() + frame + kHintMarginX),
                 std::max(kDefaultHeight, content.height() + frame + kHintMarginY));
}

QSize TvkButton::minimumSizeHint() const
{
    const QSize cell = cellSize();
    const QSize text = captionSize();
    const int frame = 2 * m_bevelWidth + 2;
    return QSize(std::max(cell.width(), text.width()) + frame, std::max(cell.height(), text.height()) + frame);
}

void TvkButton::paintFrame(QPainter& p, bool hot) const
{
    const bool noFrame = m_borderMode == bmFlat && !hot && !isChecked();
    if (noFrame)
        return;
    const QPalette& pal = palette();
    const QColor face = pal.color(QPalette::Active, QPalette::Button);
    const QColor highlight = pal.color(QPalette::Active, QPalette::Light);
    const QColor shadow = pal.color(QPalette::Active, QPalette::Dark);
    // A checked button (a toggle) keeps the pressed-in frame.
    const bool sunken = isDown() || isChecked();
    const QRect r = rect();
    if (m_borderMode == bmRaised || hot || isChecked()) {
        const QColor topLeft = sunken ? shadow : highlight;
        const QColor bottomRight = sunken ? highlight : shadow;
        for (int i = 0; i < m_bevelWidth; ++i) {
            const QRect b = r.adjusted(i, i, -i, -i);
            if (b.width() <= 0 || b.height() <= 0)
                break;
            p.fillRect(QRect(b.left(), b.top(), b.width(), 1), topLeft);
            p.fillRect(QRect(b.left(), b.top(), 1, b.height()), topLeft);
            p.fillRect(QRect(b.left(), b.bottom(), b.width(), 1), bottomRight);
            p.fillRect(QRect(b.right(), b.top(), 1, b.height()), bottomRight);
        }
    } else {
        p.fillRect(r, face);
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), shadow);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), shadow);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), shadow);
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), shadow);
    }
    for (const QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
        p.fillRect(QRect(corner, QSize(1, 1)), face);
}

void TvkButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    const QColor face = pal.color(QPalette::Active, QPalette::Button);
    const QColor highlight = pal.color(QPalette::Active, QPalette::Light);
    const QColor shadow = pal.color(QPalette::Active, QPalette::Dark);
    const QColor fontColour = pal.color(QPalette::Active, QPalette::ButtonText);
    const bool enabled = isEnabled();
    const bool hot = m_hot && enabled;
    const bool pressed = isDown();
    const QRect r = rect();

    paintFrame(p, hot);

    QRect glyphRect;
    QRect captionRect;
    layoutParts(&glyphRect, &captionRect);
    const QPoint pressShift = pressed ? QPoint(1, 1) : QPoint(0, 0);

    // Glyph.
    if (glyphRect.width() > 0 && !m_glyph.isNull()) {
        const int cellDeviceWidth = m_glyph.width() / m_numGlyphs;
        const QRect source(static_cast<int>(CurrentCell()) * cellDeviceWidth, 0, cellDeviceWidth, m_glyph.height());
        p.drawPixmap(glyphRect.translated(pressShift), m_glyph, source);
    }

    // Caption.
    if (!text().isEmpty()) {
        const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
        auto drawCaption = [&](QPoint offset, const QColor& colour) {
            p.setPen(colour);
            p.drawText(captionRect.translated(offset), flags, text());
        };
        // While hot, the caption effect goes under the caption. A disabled shadowed caption is
        // drawn in the face colour, so it keeps its shadow to stay readable.
        if (hot || (!enabled && m_textStyle == txShadowed)) {
            switch (m_textStyle) {
            case txLowered:
                drawCaption(pressed ? QPoint(2, 2) : QPoint(1, 1), highlight);
                break;
            case txRaised:
                drawCaption(pressed ? QPoint(0, 0) : QPoint(-1, -1), highlight);
                break;
            case txShadowed:
                drawCaption(pressed ? QPoint(3, 3) : QPoint(2, 2), shadow);
                break;
            case txNone:
                break;
            }
        }
        const QColor colour = enabled ? fontColour : (m_textStyle == txShadowed ? face : shadow);
        drawCaption(pressShift, colour);
    }

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = r.adjusted(m_bevelWidth + 2, m_bevelWidth + 2, -m_bevelWidth - 2, -m_bevelWidth - 2);
        option.backgroundColor = face;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}
