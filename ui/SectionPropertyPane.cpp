#include "ui/SectionPropertyPane.h"

#include "batch/BatchDocument.h"
#include "batch/p_BatchList.h"
#include "controls/vk_Button.h"
#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "core/vk_tools.h"
#include "ui/EditorButtons.h"
#include "ui/FilePickers.h"
#include "ui/MaskListDialog.h"
#include "ui/ProposalScan.h"
#include "ui/SectionListModel.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr int kMinWidth = 318;
constexpr int kMinHeight = 181;
const char* const kZipFilter = "Zip (*.zip)|*.zip|*.*|*.*";

QString Numbered(int number)
{
    return QString::fromStdString(AppString(number));
}

} // namespace

TSectionPropertyPane::TSectionPropertyPane(TpxBatchList& batch, const TBatchDocument& document,
                                           TSectionListModel& model, std::function<int()> selected, QWidget* parent)
    : QWidget(parent), m_batch(batch), m_document(document), m_model(model), m_selected(std::move(selected))
{
    setObjectName(QStringLiteral("PnProperties"));
    setMinimumSize(kMinWidth, kMinHeight);

    MakeControls();
    LayOutControls();
    ConnectHandlers();
    UpdateZipNameCaption();
}

void TSectionPropertyPane::MakeControls()
{
    const auto label = [this](const char* name, const char* caption) {
        auto* widget = new QLabel(QString::fromLatin1(caption), this);
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    const auto field = [this](const char* name, QLabel* buddy) {
        auto* widget = new QLineEdit(this);
        widget->setObjectName(QLatin1String(name));
        if (buddy != nullptr)
            buddy->setBuddy(widget);
        return widget;
    };
    const auto check = [this](const char* name, const char* caption) {
        auto* widget = new QCheckBox(QString::fromLatin1(caption), this);
        widget->setObjectName(QLatin1String(name));
        return widget;
    };

    lbName = label("lbName", "&Name");
    edName = field("edName", lbName);
    lbDirName = label("lbDirName", "&Directory");
    edDir = field("edDir", lbDirName);
    _sbDirectory = MakeGlyphButton(this, "_sbDirectory", QStyle::SP_DirOpenIcon, "Select directory to zip");
    cbSaveToZip = check("cbSaveToZip", "&Compress archive");
    _lbZipName = label("_lbZipName", "");
    EdZipName = field("EdZipName", _lbZipName);
    _sbZipName = MakeGlyphButton(this, "_sbZipName", QStyle::SP_DialogOpenButton, "Select Zip file");
    lbSuffix = label("lbSuffix", "&Add files");
    edSuffix = field("edSuffix", lbSuffix);
    _sbAddFiles = MakeGlyphButton(this, "_sbAddFiles", QStyle::SP_FileDialogListView, "Add files");
    lbExclude = label("lbExclude", "&Exclude files");
    edIgnore = field("edIgnore", lbExclude);
    _sbExclude = MakeGlyphButton(this, "_sbExclude", QStyle::SP_FileDialogListView, "Exclude files");
    cbRecurse = check("cbRecurse", "&Recurse");
    cbDirName = check("cbDirName", "S&tore with pathname");
    // Says why a typed text is not kept; its text is set when it shows.
    _lbProblem = label("_lbProblem", "");
    _lbProblem->setWordWrap(true);
    _lbProblem->setForegroundRole(QPalette::Highlight);
    _lbProblem->hide();
}

void TSectionPropertyPane::LayOutControls()
{
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    grid->addWidget(lbName, 0, 0);
    grid->addWidget(edName, 0, 1);
    grid->addWidget(lbDirName, 1, 0);
    grid->addWidget(edDir, 1, 1);
    grid->addWidget(_sbDirectory, 1, 2);
    grid->addWidget(cbSaveToZip, 2, 1);
    grid->addWidget(_lbZipName, 3, 0);
    grid->addWidget(EdZipName, 3, 1);
    grid->addWidget(_sbZipName, 3, 2);
    grid->addWidget(lbSuffix, 4, 0);
    grid->addWidget(edSuffix, 4, 1);
    grid->addWidget(_sbAddFiles, 4, 2);
    grid->addWidget(lbExclude, 5, 0);
    grid->addWidget(edIgnore, 5, 1);
    grid->addWidget(_sbExclude, 5, 2);
    grid->addWidget(cbRecurse, 6, 1);
    grid->addWidget(cbDirName, 7, 1);
    grid->addWidget(_lbProblem, 8, 1, 1, 2);
    grid->setRowStretch(9, 1);

    QWidget* order[] = {edName,   edDir,       _sbDirectory, cbSaveToZip, EdZipName, _sbZipName,
                        edSuffix, _sbAddFiles, edIgnore,     _sbExclude,  cbRecurse, cbDirName};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TSectionPropertyPane::ConnectHandlers()
{
    connect(edName, &QLineEdit::textChanged, this, &TSectionPropertyPane::edNameChange);
    connect(edDir, &QLineEdit::textChanged, this, &TSectionPropertyPane::edDirChange);
    connect(cbSaveToZip, &QCheckBox::toggled, this, &TSectionPropertyPane::cbSaveToZipClick);
    connect(EdZipName, &QLineEdit::textChanged, this, &TSectionPropertyPane::EdZipNameChange);
    connect(edSuffix, &QLineEdit::textChanged, this, &TSectionPropertyPane::edSuffixChange);
    connect(edIgnore, &QLineEdit::textChanged, this, &TSectionPropertyPane::edIgnoreChange);
    connect(cbRecurse, &QCheckBox::toggled, this, &TSectionPropertyPane::cbRecurseClick);
    connect(cbDirName, &QCheckBox::toggled, this, &TSectionPropertyPane::cbDirNameClick);
    connect(_sbDirectory, &TvkButton::clicked, this, &TSectionPropertyPane::_sbDirectoryClick);
    connect(_sbZipName, &TvkButton::clicked, this, &TSectionPropertyPane::_sbZipNameClick);
    connect(_sbAddFiles, &TvkButton::clicked, this, &TSectionPropertyPane::_sbAddFilesClick);
    connect(_sbExclude, &TvkButton::clicked, this, &TSectionPropertyPane::_sbExcludeClick);
    // A refused text is not left in its field: leaving the field shows the section's value again.
    for (QLineEdit* text : {edName, edDir, EdZipName, edSuffix, edIgnore}) {
        connect(text, &QLineEdit::editingFinished, this, [this] {
            if (!_lbProblem->isHidden())
                Fill();
        });
    }
}

int TSectionPropertyPane::EditableRow() const
{
    if (FUpdating)
        return -1;
    const int row = m_selected();
    return row >= 0 && row < m_batch.Count() ? row : -1;
}

void TSectionPropertyPane::Fill()
{
    FUpdating = true;
    struct TClear
    {
        bool& flag;
        ~TClear() { flag = false; }
    } clearAtEnd{FUpdating};
    const int row = m_selected();
    if (row < 0 || row >= m_batch.Count()) {
        for (QLineEdit* field : {edName, EdZipName, edDir, edIgnore, edSuffix})
            field->clear();
        for (QCheckBox* box : {cbRecurse, cbDirName, cbSaveToZip})
            box->setChecked(false);
    } else {
        const TBatchEntry& section = m_batch.Entries(row);
        edName->setText(Shown(section.Name));
        EdZipName->setText(Shown(section.Zip));
        edDir->setText(Shown(section.Dir));
        edIgnore->setText(Shown(section.Ignore));
        edSuffix->setText(Shown(section.Suffix));
        cbRecurse->setChecked(section.Recurse);
        cbDirName->setChecked(section.DirName);
        cbSaveToZip->setChecked(section.Compress);
    }
    ShowProblem({});
    UpdateZipNameCaption();
    m_extensionList.Clear();
}

QString TSectionPropertyPane::Shown(const std::string& stored) const
{
    return QString::fromStdString(m_document.ShownText(stored));
}

bool TSectionPropertyPane::Storable(const QLineEdit* field, std::string& stored)
{
    const QString typed = field->text();
    QString problem;
    if (typed.contains(QLatin1Char('\n')) || typed.contains(QLatin1Char('\r'))) {
        problem = Numbered(sValueLineBreak);
    } else {
        try {
            stored = m_document.StoredText(TrimBlanks(typed.toStdString()));
        } catch (const EVorlandError& e) {
            problem = QString::fromStdString(e.what());
        }
    }
    ShowProblem(problem);
    return problem.isEmpty();
}

void TSectionPropertyPane::ShowProblem(const QString& problem)
{
    _lbProblem->setText(problem);
    _lbProblem->setVisible(!problem.isEmpty());
}

void TSectionPropertyPane::UpdateZipNameCaption()
{
    const bool zip = cbSaveToZip->isChecked();
    _lbZipName->setText(QString::fromStdString(AppString(zip ? sZipName : sDirArchive)));
    cbDirName->setEnabled(zip);
}

void TSectionPropertyPane::edNameChange()
{
    const int row = EditableRow();
    std::string name;
    if (row < 0 || !Storable(edName, name))
        return;
    // A name the section cannot take stays in the field with the reason, and the section keeps its
    // name; leaving the field shows that name again. Another section's name may be typed here (only
    // the list's rename refuses it), but never the parameter section's.
    if (name.empty()) {
        ShowProblem(Numbered(sSectionNameEmpty));
    } else if (edName->text().trimmed().compare(QLatin1String(kParameterSectionName), Qt::CaseInsensitive) == 0) {
        ShowProblem(Numbered(sAlreadyExists).replace(QStringLiteral("%s"), edName->text().trimmed()));
    } else {
        m_storingName = true;
        m_model.SetCaption(row, name);
        m_storingName = false;
    }
}

void TSectionPropertyPane::edDirChange()
{
    if (const int row = EditableRow(); row >= 0 && Storable(edDir, m_batch.Entries(row).Dir))
        m_extensionList.Clear();
}

void TSectionPropertyPane::cbSaveToZipClick()
{
    if (const int row = EditableRow(); row >= 0) {
        m_batch.Entries(row).Compress = cbSaveToZip->isChecked();
        UpdateZipNameCaption();
        m_extensionList.Clear();
    }
}

void TSectionPropertyPane::EdZipNameChange()
{
    if (const int row = EditableRow(); row >= 0)
        Storable(EdZipName, m_batch.Entries(row).Zip);
}

void TSectionPropertyPane::edSuffixChange()
{
    if (const int row = EditableRow(); row >= 0)
        Storable(edSuffix, m_batch.Entries(row).Suffix);
}

void TSectionPropertyPane::edIgnoreChange()
{
    if (const int row = EditableRow(); row >= 0)
        Storable(edIgnore, m_batch.Entries(row).Ignore);
}

void TSectionPropertyPane::cbRecurseClick()
{
    if (const int row = EditableRow(); row >= 0) {
        m_batch.Entries(row).Recurse = cbRecurse->isChecked();
        m_extensionList.Clear();
    }
}

void TSectionPropertyPane::cbDirNameClick()
{
    if (const int row = EditableRow(); row >= 0)
        m_batch.Entries(row).DirName = cbDirName->isChecked();
}

void TSectionPropertyPane::_sbDirectoryClick()
{
    const QString current = edDir->text();
    QString picked;
    if (BrowseForFolder(window(), QFileInfo(current).isDir() ? current : QString(), picked))
        edDir->setText(picked);
}

void TSectionPropertyPane::_sbZipNameClick()
{
    const QString current = EdZipName->text();
    QString picked;
    if (cbSaveToZip->isChecked()) {
        TFileDialogSpec spec;
        spec.fileName = current;
        spec.folder = current.isEmpty() ? QString() : FolderOf(current);
        spec.filter = QLatin1String(kZipFilter);
        spec.defaultSuffix = QStringLiteral("zip");
        if (PickFile(window(), spec, picked))
            EdZipName->setText(picked);
    } else if (BrowseForFolder(window(), current, picked)) {
        EdZipName->setText(picked);
    }
}

void TSectionPropertyPane::_sbAddFilesClick()
{
    const int row = m_selected();
    if (row < 0 || row >= m_batch.Count())
        return;
    std::string text = m_document.ShownText(m_batch.Entries(row).Suffix);
    if (EditMaskList(
            window(), false, [this](QStringList& list) { FillExtensionList(list); }, text))
        edSuffix->setText(QString::fromStdString(text));
}

void TSectionPropertyPane::_sbExcludeClick()
{
    const int row = m_selected();
    if (row < 0 || row >= m_batch.Count())
        return;
    std::string text = m_document.ShownText(m_batch.Entries(row).Ignore);
    if (EditMaskList(
            window(), true, [this](QStringList& list) { FillExtensionList(list); }, text))
        edIgnore->setText(QString::fromStdString(text));
}

void TSectionPropertyPane::FillExtensionList(QStringList& list)
{
    const int row = m_selected();
    if (m_extensionList.Empty() && row >= 0 && row < m_batch.Count()) {
        const TBatchEntry& section = m_batch.Entries(row);
        ScanExtensionsResponsive(m_extensionList, section.Dir, section.Recurse);
    }
    for (const std::string& pattern : m_extensionList.Items())
        list.append(QString::fromStdString(pattern));
}
