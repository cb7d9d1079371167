#include "ui/RestoreWindow.h"

#include "core/AppStrings.h"
#include "core/FileOps.h"
#include "core/UiInterfaces.h"
#include "framework/DialogProvider.h"
#include "framework/DialogRunner.h"
#include "framework/FormTexts.h"
#include "framework/TvkLanguage.h"
#include "restore/EntryPaths.h"
#include "restore/RestoreMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <filesystem>
#include <sys/stat.h>

namespace {

enum Column
{
    kName,
    kSize,
    kDate
};
constexpr int kNameRole = Qt::UserRole + 1;

QString fromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The window's progress: the bar follows the archive's position; problems are counted.
class TWindowProgress : public IProgressView
{
public:
    explicit TWindowProgress(TRestoreWindow& window) : m_window(window) {}
    void Show() override {}
    void Hide() override {}
    void SetBatchMax(int) override {}
    void SetBatchPosition(int) override {}
    void StartSection(const std::string&, const std::string&, const std::string&, int) override {}
    void SetZipPosition(int position) override { m_window.pbRestore->setValue(position); }
    void ArchiveComplete() override { m_window.pbRestore->setValue(100); }
    void StartFile(const std::string& text, int) override { m_window.lbStatus->setText(fromUtf8(text)); }
    void SetFilePosition(int) override {}
    void FileComplete() override {}
    void ReportProblem(const std::string& text) override { problems.append(fromUtf8(text)); }
    QStringList problems;

private:
    TRestoreWindow& m_window;
};

class TWindowQuestions : public restore::RestoreQuestions
{
public:
    TWindowQuestions(std::function<restore::ExistingRule(const std::string&)> existing,
                     std::function<std::optional<std::string>()> password)
        : m_existing(std::move(existing)), m_password(std::move(password))
    {
    }
    restore::ExistingRule askExisting(const std::string& path) override { return m_existing(path); }
    std::optional<std::string> askPassword(const std::string&) override { return m_password(); }

private:
    std::function<restore::ExistingRule(const std::string&)> m_existing;
    std::function<std::optional<std::string>()> m_password;
};

} // namespace

TRestoreWindow::TRestoreWindow(const TSource& source, QWidget* parent) : QDialog(parent), m_source(source)
{
    setObjectName(QStringLiteral("TFrmRestore"));
    setWindowTitle(fromUtf8(restore::restoreText(sRestoreTitle, {source.path})));
    MakeControls();
    LayOutControls();
    ConnectHandlers();
    SetQuestions();
    RegisterForm(this);
    AppLanguage().TranslateForm(this);
}

void TRestoreWindow::MakeControls()
{
    lbFilter = new QLabel(QStringLiteral("&Filter"), this);
    lbFilter->setObjectName(QStringLiteral("lbFilter"));
    edFilter = new QLineEdit(this);
    edFilter->setObjectName(QStringLiteral("edFilter"));
    edFilter->setAccessibleName(QStringLiteral("Filter"));
    lbFilter->setBuddy(edFilter);
    tvEntries = new QTreeWidget(this);
    tvEntries->setObjectName(QStringLiteral("tvEntries"));
    tvEntries->setAccessibleName(QStringLiteral("Entries"));
    tvEntries->setColumnCount(3);
    tvEntries->setHeaderLabels({fromUtf8(AppString(sRestoreColumnName)), fromUtf8(AppString(sRestoreColumnSize)),
                                fromUtf8(AppString(sRestoreColumnDate))});
    tvEntries->header()->setSectionResizeMode(kName, QHeaderView::Stretch);
    tvEntries->setSortingEnabled(true);
    tvEntries->sortByColumn(kName, Qt::AscendingOrder);

    rbOriginal = new QRadioButton(QStringLiteral("Restore to the &original place"), this);
    rbOriginal->setObjectName(QStringLiteral("rbOriginal"));
    rbFolder = new QRadioButton(QStringLiteral("Restore to this fol&der:"), this);
    rbFolder->setObjectName(QStringLiteral("rbFolder"));
    edFolder = new QLineEdit(this);
    edFolder->setObjectName(QStringLiteral("edFolder"));
    edFolder->setAccessibleName(QStringLiteral("Folder"));
    sbFolder = new QPushButton(QStringLiteral("&Browse..."), this);
    sbFolder->setObjectName(QStringLiteral("sbFolder"));
    const bool knowsOriginal = !m_source.originalPlace.empty();
    rbOriginal->setEnabled(knowsOriginal);
    (knowsOriginal ? rbOriginal : rbFolder)->setChecked(true);

    pbRestore = new QProgressBar(this);
    pbRestore->setObjectName(QStringLiteral("pbRestore"));
    pbRestore->setAccessibleName(QStringLiteral("Progress"));
    pbRestore->setRange(0, 100);
    lbStatus = new QLabel(this);
    lbStatus->setObjectName(QStringLiteral("_lbStatus"));
    btRestore = new QPushButton(QStringLiteral("&Restore"), this);
    btRestore->setObjectName(QStringLiteral("btRestore"));
    btRestore->setDefault(true);
    btStop = new QPushButton(QStringLiteral("&Stop"), this);
    btStop->setObjectName(QStringLiteral("btStop"));
    btStop->setEnabled(false);
    btClose = new QPushButton(QStringLiteral("&Close"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
}

void TRestoreWindow::LayOutControls()
{
    auto* grid = new QGridLayout(this);
    grid->addWidget(lbFilter, 0, 0);
    grid->addWidget(edFilter, 0, 1, 1, 2);
    grid->addWidget(tvEntries, 1, 0, 1, 3);
    grid->addWidget(rbOriginal, 2, 0, 1, 3);
    grid->addWidget(rbFolder, 3, 0);
    grid->addWidget(edFolder, 3, 1);
    grid->addWidget(sbFolder, 3, 2);
    grid->addWidget(pbRestore, 4, 0, 1, 3);
    grid->addWidget(lbStatus, 5, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btRestore);
    buttons->addWidget(btStop);
    buttons->addWidget(btClose);
    grid->addLayout(buttons, 6, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    resize(640, 480);
}

void TRestoreWindow::ConnectHandlers()
{
    connect(edFilter, &QLineEdit::textChanged, this, &TRestoreWindow::edFilterChange);
    connect(btRestore, &QPushButton::clicked, this, &TRestoreWindow::btRestoreClick);
    connect(btStop, &QPushButton::clicked, this, &TRestoreWindow::btStopClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(sbFolder, &QPushButton::clicked, this, &TRestoreWindow::sbFolderClick);
    connect(edFolder, &QLineEdit::textEdited, this, [this] { rbFolder->setChecked(true); });
    connect(tvEntries, &QTreeWidget::itemChanged, this, [](QTreeWidgetItem* item, int column) {
        // A folder's box carries its contents along.
        if (column != kName)
            return;
        for (int i = 0; i < item->childCount(); ++i)
            item->child(i)->setCheckState(kName, item->checkState(kName));
    });
}

// The questions a restore asks, as windows of this one; tests put their own answers in their place.
void TRestoreWindow::SetQuestions()
{
    AskExisting = [this](const std::string& path, bool& forAll) {
        QMessageBox box(QMessageBox::Question, windowTitle(),
                        fromUtf8(restore::restoreText(sRestoreExistsQuestion, {path})), QMessageBox::NoButton, this);
        box.setObjectName(QStringLiteral("_mbExists"));
        QAbstractButton* replace = box.addButton(fromUtf8(AppString(sReplace)), QMessageBox::AcceptRole);
        QAbstractButton* keepBoth = box.addButton(fromUtf8(AppString(sRestoreKeepBoth)), QMessageBox::AcceptRole);
        box.addButton(fromUtf8(AppString(sRestoreSkip)), QMessageBox::RejectRole);
        auto* all = new QCheckBox(fromUtf8(AppString(sRestoreForAll)), &box);
        box.setCheckBox(all);
        RunModalDialog(box);
        forAll = all->isChecked();
        return box.clickedButton() == replace    ? restore::ExistingRule::Replace
               : box.clickedButton() == keepBoth ? restore::ExistingRule::KeepBoth
                                                 : restore::ExistingRule::Skip;
    };
    AskPassword = [this]() -> std::optional<std::string> {
        // Typed hidden, so not through the plain one-line prompt.
        bool ok = false;
        const QString text = QInputDialog::getText(this, windowTitle(),
                                                   fromUtf8(restore::restoreText(sRestorePassword, {m_source.path})),
                                                   QLineEdit::Password, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return text.toStdString();
    };
    PickFolder = [this] {
        QString folder = edFolder->text();
        return AppDialogs().ExistingFolder(this, fromUtf8(AppString(sRestoreChooseFolder)), folder) ? folder
                                                                                                    : QString();
    };
}

TRestoreWindow::~TRestoreWindow() = default;

QTreeWidgetItem* TRestoreWindow::folderItem(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    if (const auto it = m_folders.find(path); it != m_folders.end())
        return it->second;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QTreeWidgetItem* parent = folderItem(slash < 0 ? QString() : path.left(slash));
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvEntries);
    item->setText(kName, slash < 0 ? path : path.mid(slash + 1));
    item->setData(kName, kNameRole, path + QLatin1Char('/'));
    item->setCheckState(kName, Qt::Unchecked);
    m_folders.emplace(path, item);
    return item;
}

void TRestoreWindow::addItem(const restore::ArchiveItem& entry)
{
    const std::optional<std::string> relative = restore::safeRelativePath(entry.name);
    // Entries that could not be restored are listed under their stored name, at the top.
    QString path = fromUtf8(relative.value_or(entry.name));
    const bool folder = (entry.flags & ZIP_ENTRY_DIRECTORY) != 0;
    QTreeWidgetItem* item = nullptr;
    if (folder && relative) {
        item = folderItem(path);
    } else {
        const qsizetype slash = relative ? path.lastIndexOf(QLatin1Char('/')) : -1;
        QTreeWidgetItem* parent = folderItem(slash < 0 ? QString() : path.left(slash));
        item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvEntries);
        item->setText(kName, slash < 0 ? path : path.mid(slash + 1));
        item->setText(kSize, QLocale().toString(static_cast<qulonglong>(entry.size)));
        item->setTextAlignment(kSize, Qt::AlignRight | Qt::AlignVCenter);
        item->setCheckState(kName, Qt::Unchecked);
    }
    item->setData(kName, kNameRole, fromUtf8(entry.name));
    item->setText(kDate, QLocale().toString(QDateTime::fromSecsSinceEpoch(entry.mtime), QLocale::ShortFormat));
}

bool TRestoreWindow::Load()
{
    tvEntries->clear();
    m_folders.clear();
    std::vector<restore::ArchiveItem> items;
    std::string why;
    bool ok = true;
    if (m_source.archive) {
        ZipEngineLibrary engine;
        ok = engine.Load(ZipEngineLibrary::ChoosePath(std::string())) == ZipEngineLibrary::LoadResult::Loaded;
        why = engine.Error();
        ok = ok && restore::listArchive(engine, m_source.path, items, why);
    } else {
        namespace fs = std::filesystem;
        std::error_code error;
        for (fs::recursive_directory_iterator it(m_source.path, error), end; !error && it != end; it.increment(error)) {
            struct stat st;
            if (::lstat(it->path().c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
                continue;
            restore::ArchiveItem item;
            item.name = it->path().lexically_relative(m_source.path).string() + (S_ISDIR(st.st_mode) ? "/" : "");
            item.size = static_cast<std::uint64_t>(st.st_size);
            item.mtime = st.st_mtim.tv_sec;
            item.flags = S_ISDIR(st.st_mode) ? ZIP_ENTRY_DIRECTORY : 0;
            items.push_back(std::move(item));
        }
        ok = !error;
        why = error.message();
    }
    tvEntries->blockSignals(true);
    for (const restore::ArchiveItem& item : items)
        addItem(item);
    tvEntries->blockSignals(false);
    lbStatus->setText(ok ? fromUtf8(restore::restoreText(sRestoreListed, {std::to_string(items.size())}))
                         : fromUtf8(why));
    btRestore->setEnabled(ok);
    return ok;
}

std::vector<std::string> TRestoreWindow::CheckedNames() const
{
    std::vector<std::string> names;
    // A folder is taken whole only when nothing under it was unchecked or hidden by the filter;
    // otherwise its checked contents are taken one by one.
    std::function<bool(const QTreeWidgetItem*)> whole = [&](const QTreeWidgetItem* item) {
        if (item->isHidden() || item->checkState(kName) != Qt::Checked)
            return false;
        for (int i = 0; i < item->childCount(); ++i)
            if (!whole(item->child(i)))
                return false;
        return true;
    };
    std::function<void(QTreeWidgetItem*)> visit = [&](QTreeWidgetItem* item) {
        if (whole(item)) {
            names.push_back(item->data(kName, kNameRole).toString().toStdString());
            return;
        }
        for (int i = 0; i < item->childCount(); ++i)
            visit(item->child(i));
    };
    for (int i = 0; i < tvEntries->topLevelItemCount(); ++i)
        visit(tvEntries->topLevelItem(i));
    return names;
}

void TRestoreWindow::edFilterChange()
{
    const QString filter = edFilter->text().trimmed();
    std::function<bool(QTreeWidgetItem*)> apply = [&](QTreeWidgetItem* item) {
        bool any = false;
        for (int i = 0; i < item->childCount(); ++i)
            any = apply(item->child(i)) || any;
        const bool shown = any || filter.isEmpty() || item->text(kName).contains(filter, Qt::CaseInsensitive);
        item->setHidden(!shown);
        return shown;
    };
    for (int i = 0; i < tvEntries->topLevelItemCount(); ++i)
        apply(tvEntries->topLevelItem(i));
}

void TRestoreWindow::sbFolderClick()
{
    const QString folder = PickFolder();
    if (!folder.isEmpty()) {
        edFolder->setText(folder);
        rbFolder->setChecked(true);
    }
}

void TRestoreWindow::btStopClick()
{
    m_stop = true;
}

restore::ReadOutcome TRestoreWindow::copyBack(const std::vector<std::string>& names, const std::string& destination)
{
    namespace fs = std::filesystem;
    restore::ReadOutcome outcome;
    restore::RestoreTarget target(destination);
    std::vector<std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(m_source.path)) {
        if (!item.is_regular_file())
            continue;
        const std::string relative = item.path().lexically_relative(m_source.path).string();
        if (names.empty() || std::any_of(names.begin(), names.end(),
                                         [&](const std::string& name) { return restore::nameChosen(relative, name); }))
            files.push_back(relative);
    }
    for (std::size_t i = 0; i < files.size() && !m_stop; ++i) {
        pbRestore->setValue(static_cast<int>(i * 100 / files.size()));
        lbStatus->setText(fromUtf8(files[i]));
        QApplication::processEvents();
        std::string name = files[i];
        if (target.exists(name)) {
            bool forAll = false;
            const restore::ExistingRule rule =
                m_ruleForAll ? *m_ruleForAll : AskExisting(target.fullPath(name), forAll);
            if (forAll)
                m_ruleForAll = rule;
            if (rule == restore::ExistingRule::Skip) {
                ++outcome.skipped;
                continue;
            }
            if (rule == restore::ExistingRule::KeepBoth)
                name = target.freeName(name);
        }
        std::string error;
        std::error_code ignored;
        fs::create_directories(fs::path(target.fullPath(name)).parent_path(), ignored);
        if (CopyFileKeepTime(m_source.path + "/" + files[i], target.fullPath(name), error))
            ++outcome.done;
        else
            ++outcome.problems;
    }
    outcome.stopped = m_stop;
    return outcome;
}

void TRestoreWindow::btRestoreClick()
{
    if (m_running)
        return;
    const std::string destination =
        rbOriginal->isChecked() ? m_source.originalPlace : edFolder->text().trimmed().toStdString();
    if (destination.empty()) {
        sbFolderClick();
        return;
    }
    m_running = true;
    m_stop = false;
    m_ruleForAll.reset();
    btRestore->setEnabled(false);
    btClose->setEnabled(false);
    btStop->setEnabled(true);
    pbRestore->setValue(0);
    const std::vector<std::string> names = CheckedNames();
    TWindowProgress progress(*this);
    restore::ReadOutcome outcome;
    if (m_source.archive) {
        ZipEngineLibrary engine;
        engine.Load(ZipEngineLibrary::ChoosePath(std::string()));
        TWindowQuestions questions(
            [this](const std::string& path) {
                if (m_ruleForAll)
                    return *m_ruleForAll;
                bool forAll = false;
                const restore::ExistingRule rule = AskExisting(path, forAll);
                if (forAll)
                    m_ruleForAll = rule;
                return rule;
            },
            AskPassword);
        restore::RestoreRequest request;
        request.archive = m_source.path;
        request.destination = destination;
        request.password = m_source.password;
        request.patterns = names;
        request.rule = restore::ExistingRule::Ask;
        request.questions = &questions;
        request.stopRequested = [this] {
            QApplication::processEvents();
            return m_stop;
        };
        outcome = restore::restoreArchive(engine, request, progress);
    } else {
        outcome = copyBack(names, destination);
    }
    QString status =
        fromUtf8(restore::restoreText(sRestoreSummary, {std::to_string(outcome.done), std::to_string(outcome.skipped),
                                                        std::to_string(outcome.problems)}));
    if (!progress.problems.isEmpty())
        status += QLatin1Char('\n') + progress.problems.join(QLatin1Char('\n'));
    lbStatus->setText(status);
    pbRestore->setValue(outcome.stopped ? pbRestore->value() : 100);
    btStop->setEnabled(false);
    btRestore->setEnabled(true);
    btClose->setEnabled(true);
    m_running = false;
}
