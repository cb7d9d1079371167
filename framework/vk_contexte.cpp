#include "framework/vk_contexte.h"

#include "framework/TvkLanguage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>

namespace {

TvkContexte* g_installed = nullptr;
std::unique_ptr<TvkContexte> g_default;

const char* const kOrganisation = "Orvane";
const char* const kInitial = "Initial";

// Placements are kept within what a window system can represent; anything beyond is damage.
constexpr int kMaxCoordinate = 32767;
// A restored form must show at least this much of itself on some screen to count as reachable.
constexpr int kMinVisiblePart = 48;
// Room left for the window's frame and title bar when a form is fitted to a screen: they are not
// known before the window is first shown.
constexpr int kFrameAllowance = 40;

QString executableName()
{
    QString path = QCoreApplication::instance() != nullptr ? QCoreApplication::applicationFilePath() : QString();
    if (path.isEmpty()) {
        path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    }
    return QFileInfo(path).completeBaseName();
}

// The stored value as a 32-bit integer, or false when it is of another type.
bool toInteger(const QVariant& value, int& result)
{
    bool ok = false;
    qlonglong number = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = value.toLongLong(&ok);
        break;
    case QMetaType::QString:
        // The INI format keeps every value as text: a whole decimal number counts as an integer.
        number = value.toString().toLongLong(&ok, 10);
        break;
    default:
        return false;
    }
    if (!ok || number < INT_MIN || number > INT_MAX) {
        return false;
    }
    result = static_cast<int>(number);
    return true;
}

bool placementReachable(const QRect& frame)
{
    const auto screens = QGuiApplication::screens();
    if (screens.isEmpty()) {
        return true;
    }
    for (const QScreen* screen : screens) {
        const QRect common = screen->availableGeometry().intersected(frame);
        if (common.width() >= std::min(kMinVisiblePart, frame.width()) &&
            common.height() >= std::min(kMinVisiblePart, frame.height())) {
            return true;
        }
    }
    return false;
}

// The free area of the screen a form placed at `frame` shows on: the screen holding its centre, else
// the primary one. Empty without screens.
QRect availableArea(const QRect& frame)
{
    const QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

} // namespace

TvkContexte::TvkContexte()
{
    if (g_installed == nullptr) {
        g_installed = this;
    }
}

TvkContexte::~TvkContexte()
{
    if (g_installed == this) {
        g_installed = nullptr;
    }
}

QString TvkContexte::ApplicationName() const
{
    return m_applicationName.isEmpty() ? executableName() : m_applicationName;
}

QString TvkContexte::KeyNameOf(const QString& name)
{
    QString key = name;
    for (auto& c : key) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) {
            c = QChar(c.unicode() + ('a' - 'A'));
        }
    }
    if (!key.isEmpty() && key[0] >= QLatin1Char('a') && key[0] <= QLatin1Char('z')) {
        key[0] = QChar(key[0].unicode() - ('a' - 'A'));
    }
    return key;
}

QString TvkContexte::KeyName()
{
    if (m_keyName.isEmpty()) {
        m_keyName = KeyNameOf(ApplicationName());
    }
    return m_keyName;
}

QString TvkContexte::KeyPath()
{
    return QStringLiteral("Software/") + kOrganisation + QLatin1Char('/') + KeyName();
}

QString TvkContexte::FileName()
{
    std::unique_ptr<QSettings> settings(openSettings());
    return settings->fileName();
}

QSettings* TvkContexte::openSettings()
{
    return new QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kOrganisation), KeyName());
}

QString TvkContexte::ReadString(const QString& section, const QString& name, const QString& defaultValue)
{
    std::unique_ptr<QSettings> settings(openSettings());
    settings->beginGroup(section);
    const QVariant value = settings->value(name);
    if (value.typeId() != QMetaType::QString) {
        return defaultValue;
    }
    return value.toString();
}

void TvkContexte::WriteString(const QString& section, const QString& name, const QString& value)
{
    std::unique_ptr<QSettings> settings(openSettings());
    settings->beginGroup(section);
    settings->setValue(name, value);
}

int TvkContexte::ReadInteger(const QString& section, const QString& name, int defaultValue)
{
    std::unique_ptr<QSettings> settings(openSettings());
    settings->beginGroup(section);
    int result = defaultValue;
    if (!toInteger(settings->value(name), result)) {
        return defaultValue;
    }
    return result;
}

void TvkContexte::WriteInteger(const QString& section, const QString& name, int value)
{
    std::unique_ptr<QSettings> settings(openSettings());
    settings->beginGroup(section);
    settings->setValue(name, value);
}

bool TvkContexte::ValueExists(const QString& section, const QString& name)
{
    std::unique_ptr<QSettings> settings(openSettings());
    settings->beginGroup(section);
    return settings->contains(name);
}

QString TvkContexte::ReadInitialString(const QString& name)
{
    return ReadString(QString::fromLatin1(kInitial), name, QString());
}

void TvkContexte::WriteInitialString(const QString& name, const QString& value)
{
    WriteString(QString::fromLatin1(kInitial), name, value);
}

int TvkContexte::ReadInitialInteger(const QString& name, int defaultValue)
{
    return ReadInteger(QString::fromLatin1(kInitial), name, defaultValue);
}

void TvkContexte::WriteInitialInteger(const QString& name, int value)
{
    WriteInteger(QString::fromLatin1(kInitial), name, value);
}

QString TvkContexte::FormSection(const QWidget* form)
{
    return QStringLiteral("Settings/") + TvkLanguage::FormKey(form);
}

bool TvkContexte::IsResizable(const QWidget* form)
{
    return form->minimumSize() != form->maximumSize() &&
           !form->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint);
}

void TvkContexte::LoadFormPlacement(QWidget* form)
{
    if (form == nullptr) {
        return;
    }
    const QString section = FormSection(form);
    // A stored value counts only when it is a whole number within its range.
    const auto stored = [&](const char* name, int low, int high) -> std::optional<int> {
        const QString valueName = QString::fromLatin1(name);
        if (!ValueExists(section, valueName)) {
            return std::nullopt;
        }
        const int sentinel = low - 1;
        const int value = ReadInteger(section, valueName, sentinel);
        if (value < low || value > high) {
            return std::nullopt;
        }
        return value;
    };
    const std::optional<int> storedLeft = stored("Left", -kMaxCoordinate, kMaxCoordinate);
    const std::optional<int> storedTop = stored("Top", -kMaxCoordinate, kMaxCoordinate);
    bool moved = storedLeft.has_value() || storedTop.has_value();
    int left = storedLeft.value_or(form->x());
    int top = storedTop.value_or(form->y());
    bool resized = false;
    int width = form->width();
    int height = form->height();
    if (IsResizable(form)) {
        const std::optional<int> storedHeight =
            stored("Height", std::max(1, form->minimumHeight()), std::min(kMaxCoordinate, form->maximumHeight()));
        const std::optional<int> storedWidth =
            stored("Width", std::max(1, form->minimumWidth()), std::min(kMaxCoordinate, form->maximumWidth()));
        resized = storedHeight.has_value() || storedWidth.has_value();
        height = storedHeight.value_or(height);
        width = storedWidth.value_or(width);
    }
    if (!placementReachable(QRect(left, top, width, height))) {
        // Stored on a screen that is gone: keep the design position.
        moved = false;
    }
    // Never larger than the screen it shows on, and wholly on it: a damaged or foreign size would
    // otherwise cost memory for nothing or put the window's buttons out of reach.
    const QRect area = availableArea(moved ? QRect(left, top, width, height) : form->geometry());
    if (area.isValid()) {
        const int fitWidth = std::max(form->minimumWidth(), std::min(width, area.width() - kFrameAllowance));
        const int fitHeight = std::max(form->minimumHeight(), std::min(height, area.height() - kFrameAllowance));
        resized = resized || fitWidth != width || fitHeight != height;
        width = fitWidth;
        height = fitHeight;
        if (moved) {
            left = std::max(area.left(), std::min(left, area.right() + 1 - kFrameAllowance - width));
            top = std::max(area.top(), std::min(top, area.bottom() + 1 - kFrameAllowance - height));
        }
    }
    if (resized) {
        form->resize(width, height);
    }
    // Only a stored position moves the form; otherwise the window system keeps choosing it.
    if (moved) {
        form->move(left, top);
    }
}

void TvkContexte::SaveFormPlacement(QWidget* form)
{
    if (form == nullptr || form->windowHandle() == nullptr) {
        return;
    }
    if ((form->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) != 0) {
        return;
    }
    const QString section = FormSection(form);
    WriteInteger(section, QStringLiteral("Left"), form->x());
    WriteInteger(section, QStringLiteral("Top"), form->y());
    WriteInteger(section, QStringLiteral("Height"), form->height());
    WriteInteger(section, QStringLiteral("Width"), form->width());
}

TvkContexte& AppContexte()
{
    if (g_installed == nullptr) {
        g_default = std::make_unique<TvkContexte>();
    }
    return *g_installed;
}
