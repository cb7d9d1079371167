#include "tests/guikit/GuiTestKit.h"

#include "core/Questions.h"
#include "framework/VorlandApplication.h"
#include "framework/vk_contexte.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

// One application object for the whole test program, made before the first test and destroyed
// after the last.
class ApplicationEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "vorland-gui-test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<TVorlandApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<TVorlandApplication> m_app;
};

[[maybe_unused]] const ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace

TQueuedDialogs::TQueuedDialogs()
{
    SetAppDialogs(this);
}

TQueuedDialogs::~TQueuedDialogs()
{
    SetAppDialogs(nullptr);
}

bool TQueuedDialogs::answer(const QString& title, QString& value)
{
    Titles.append(title);
    Proposals.append(value);
    if (m_answers.empty()) {
        ++Unanswered;
        return false;
    }
    const auto [ok, text] = m_answers.front();
    m_answers.pop_front();
    if (ok) {
        value = text;
    }
    return ok;
}

bool TQueuedDialogs::OpenFileName(QWidget* /*parent*/, const QString& title, const QString& /*filter*/,
                                  QString& fileName)
{
    return answer(title, fileName);
}

bool TQueuedDialogs::SaveFileName(QWidget* /*parent*/, const QString& title, const QString& /*filter*/,
                                  QString& fileName)
{
    return answer(title, fileName);
}

bool TQueuedDialogs::ExistingFolder(QWidget* /*parent*/, const QString& title, QString& folder)
{
    return answer(title, folder);
}

bool TQueuedDialogs::InputText(QWidget* /*parent*/, const QString& title, const QString& label, QString& text)
{
    Labels.append(label);
    return answer(title, text);
}

bool TQueuedDialogs::OpenUrl(const QUrl& url)
{
    OpenedUrls.append(url);
    return OpenUrlResult;
}

TTempFolder::TTempFolder()
{
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vorland-gui-XXXXXX"));
    dir.setAutoRemove(false);
    m_path = dir.path();
}

TTempFolder::~TTempFolder()
{
    QDir(m_path).removeRecursively();
}

QString TTempFolder::Write(const QString& name, const QByteArray& bytes) const
{
    const QString path = FilePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return path;
}

void ClearSettings()
{
    QFile::remove(AppContexte().FileName());
}
