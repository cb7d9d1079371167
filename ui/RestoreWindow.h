#pragma once
// The Restore window: the contents of an archive (or of a copy section's target folder) as a tree of
// folders and files with sizes and dates, a filter, check boxes, and restoring the chosen entries
// (or all) to their original place or to a chosen folder, with a progress bar and Stop. Existing
// files are asked about once (replace, skip, keep both, with "do this for all"); an encrypted
// archive asks for its password when the one offered (the batch's) does not open it.

#include "restore/ArchiveRestore.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

class TRestoreWindow : public QDialog
{
    Q_OBJECT
public:
    struct TSource
    {
        std::string path;          // the archive, or the folder copied to
        bool archive = true;       // false: a folder, copied back
        std::string originalPlace; // where its files came from (the section's Dir); may be empty
        std::string password;      // offered first for encrypted entries
    };

    TRestoreWindow(const TSource& source, QWidget* parent = nullptr);
    ~TRestoreWindow() override;

    // Lists the source into the tree; false (with the cause shown in lbStatus) when it cannot.
    bool Load();
    // The names checked, as stored (files and folders whose own box is checked).
    std::vector<std::string> CheckedNames() const;

    void edFilterChange();
    void btRestoreClick();
    void btStopClick();
    void sbFolderClick();

    // Questions, replaceable by tests (no modal loop there).
    std::function<restore::ExistingRule(const std::string& path, bool& forAll)> AskExisting;
    std::function<std::optional<std::string>()> AskPassword;
    std::function<QString()> PickFolder;

    QLabel* lbFilter = nullptr;
    QLineEdit* edFilter = nullptr;
    QTreeWidget* tvEntries = nullptr;
    QRadioButton* rbOriginal = nullptr;
    QRadioButton* rbFolder = nullptr;
    QLineEdit* edFolder = nullptr;
    QPushButton* sbFolder = nullptr;
    QProgressBar* pbRestore = nullptr;
    QLabel* lbStatus = nullptr;
    QPushButton* btRestore = nullptr;
    QPushButton* btStop = nullptr;
    QPushButton* btClose = nullptr;

private:
    void MakeControls();
    void LayOutControls();
    void ConnectHandlers();
    void SetQuestions();
    QTreeWidgetItem* folderItem(const QString& path);
    void addItem(const restore::ArchiveItem& item);
    restore::ReadOutcome copyBack(const std::vector<std::string>& names, const std::string& destination);

    TSource m_source;
    bool m_running = false;
    bool m_stop = false;
    std::optional<restore::ExistingRule> m_ruleForAll;
    std::map<QString, QTreeWidgetItem*> m_folders;
};
