#include "ui/p_fwizard.h"

#include "batch/BatchDocument.h"
#include "batch/p_BatchList.h"
#include "controls/vk_Button.h"
#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "core/Questions.h"
#include "framework/Artwork.h"
#include "framework/DialogRunner.h"
#include "ui/EditorButtons.h"
#include "ui/FilePickers.h"
#include "ui/MaskListDialog.h"
#include "ui/ProposalScan.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

const char* const kZipFilter = "Zip (*.zip)|*.zip|Tous (*.*)|*.*";

QWidget* AddPage(QStackedWidget* stack, const char* name)
{
    auto* page = new QWidget(stack);
    page->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(page);
    layout->setAlignment(Qt::AlignTop);
    stack->addWidget(page);
    return page;
}

QLabel* AddText(QWidget* page, const char* name, const char* text)
{
    auto* label = new QLabel(QString::fromLatin1(text), page);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    page->layout()->addWidget(label);
    return label;
}

QLineEdit* AddField(QWidget* page, const char* name, QLabel* label, TvkButton** button, const char* buttonName,
                    QStyle::StandardPixmap glyph, const char* hint)
{
    auto* field = new QLineEdit(page);
    field->setObjectName(QLatin1String(name));
    label->setBuddy(field);
    auto* row = new QHBoxLayout;
    row->addWidget(field, 1);
    if (button != nullptr) {
        *button = MakeGlyphButton(page, buttonName, glyph, hint);
        row->addWidget(*button);
    }
    static_cast<QVBoxLayout*>(page->layout())->addLayout(row);
    return field;
}

QRadioButton* AddRadio(QWidget* page, const char* name, const char* caption)
{
    auto* radio = new QRadioButton(QString::fromLatin1(caption), page);
    radio->setObjectName(QLatin1String(name));
    page->layout()->addWidget(radio);
    return radio;
}

} // namespace

TfrmBatchWizard::TfrmBatchWizard(QWidget* parent) : TDlgAssistant(parent)
{
    setObjectName(QStringLiteral("TfrmBatchWizard"));
    setWindowTitle(QStringLiteral("Vorland Wizard"));
    resize(403, 257);
    SetPicture(ArtworkImage(QStringLiteral("WizardSide.jpg")));

    _tsDir = AddPage(pgcMain, "_tsDir");
    QLabel* text = AddText(_tsDir, "lbSelectDir", "Select the directory where the files to save can be found.");
    edSelectDir = AddField(_tsDir, "edSelectDir", text, &_sbDirectory, "_sbDirectory", QStyle::SP_DirOpenIcon,
                           "Select directory");

    _tsZip = AddPage(pgcMain, "_tsZip");
    rbCompress = AddRadio(_tsZip, "rbCompress", "&Zip the selected files");
    rbNoCompress = AddRadio(_tsZip, "rbNoCompress", "Copy the selected files to a &directory");
    rbCompress->setChecked(true);
    lbSelectZip = AddText(_tsZip, "lbSelectZip", "");
    EdZipName = AddField(_tsZip, "EdZipName", lbSelectZip, &_sbZipName, "_sbZipName", QStyle::SP_DialogOpenButton,
                         "Select Zip file");

    _tsRecurse = AddPage(pgcMain, "_tsRecurse");
    AddText(_tsRecurse, "lbSelectRecurse", "Do you want to save files from subdirectories?");
    RbRecurseYes = AddRadio(_tsRecurse, "RbRecurseYes", "Save &subdirectories");
    rbRecurseNo = AddRadio(_tsRecurse, "rbRecurseNo", "Save &only main directory");
    RbRecurseYes->setChecked(true);

    _tsInclude = AddPage(pgcMain, "_tsInclude");
    text = AddText(_tsInclude, "lbSelectSuffix",
                   "Select the list of files to be included in the archive (ex: *.doc;*.txt). You can leave it "
                   "empty to select all files if you want to specify only the files to exclude from the archive.");
    edSelectSuffix = AddField(_tsInclude, "edSelectSuffix", text, &_sbAddFiles, "_sbAddFiles",
                              QStyle::SP_FileDialogListView, "Add files");

    _tsExclude = AddPage(pgcMain, "_tsExclude");
    text = AddText(_tsExclude, "lbSelectIgnore",
                   "Select the list of files to be excluded from the archive (ex: *.~*;*.tmp). You can leave it "
                   "empty if you don't want to exclude files from the archive.");
    edSelectIgnore = AddField(_tsExclude, "edSelectIgnore", text, &_sbExclude, "_sbExclude",
                              QStyle::SP_FileDialogListView, "Exclude files");

    _tsFullName = AddPage(pgcMain, "_tsFullName");
    AddText(_tsFullName, "lbSelectFullName",
            "Do you want to save filenames using full pathname or only relative to the main directory?");
    RbRelativeName = AddRadio(_tsFullName, "RbRelativeName", "&Relative pathnames");
    rbFullName = AddRadio(_tsFullName, "rbFullName", "&Full pathname");
    RbRelativeName->setChecked(true);

    _tsName = AddPage(pgcMain, "_tsName");
    text = AddText(_tsName, "lbSelectName", "Enter the name of this new batch section.");
    edSelectName = AddField(_tsName, "edSelectName", text, nullptr, nullptr, QStyle::SP_CustomBase, nullptr);

    for (QLineEdit* field : {edSelectDir, EdZipName, edSelectSuffix, edSelectIgnore, edSelectName})
        connect(field, &QLineEdit::textChanged, this, &TfrmBatchWizard::edSelectChange);
    for (QRadioButton* radio : {RbRecurseYes, rbRecurseNo, RbRelativeName, rbFullName})
        connect(radio, &QRadioButton::toggled, this, &TfrmBatchWizard::edSelectChange);
    connect(rbCompress, &QRadioButton::toggled, this, &TfrmBatchWizard::rbCompressClick);
    connect(_sbDirectory, &TvkButton::clicked, this, &TfrmBatchWizard::_sbDirectoryClick);
    connect(_sbZipName, &TvkButton::clicked, this, &TfrmBatchWizard::_sbZipNameClick);
    connect(_sbAddFiles, &TvkButton::clicked, this, &TfrmBatchWizard::_sbAddFilesClick);
    connect(_sbExclude, &TvkButton::clicked, this, &TfrmBatchWizard::_sbExcludeClick);

    Loaded();
    UpdateCompressMode();
    UpdateButtons();
    edSelectDir->setFocus();
}

void TfrmBatchWizard::UpdateButtons()
{
    TDlgAssistant::UpdateButtons();
    QWidget* page = pgcMain->currentWidget();
    const auto filled = [](const QLineEdit* field) { return !field->text().trimmed().isEmpty(); };
    if (page == _tsDir) {
        const bool folder = filled(edSelectDir) && QFileInfo(edSelectDir->text()).isDir();
        btSuivant->setEnabled(btSuivant->isEnabled() && folder);
    } else if (page == _tsZip) {
        btSuivant->setEnabled(btSuivant->isEnabled() && filled(EdZipName));
    } else if (page == _tsName) {
        btTerminer->setEnabled(btTerminer->isEnabled() && filled(edSelectName));
    }
}

namespace {

QString Shown(const std::string& stored, const TBatchDocument* document)
{
    return QString::fromStdString(document != nullptr ? document->ShownText(stored) : stored);
}

std::string Stored(const QLineEdit* field, const TBatchDocument* document)
{
    const QString typed = field->text();
    if (typed.contains(QLatin1Char('\n')) || typed.contains(QLatin1Char('\r')))
        throw EVorlandError(AppString(sValueLineBreak));
    return document != nullptr ? document->StoredText(typed.toStdString()) : typed.toStdString();
}

} // namespace

void TfrmBatchWizard::LoadSection(const TBatchEntry& section, const TBatchDocument* document)
{
    edSelectName->setText(Shown(section.Name, document));
    edSelectDir->setText(Shown(section.Dir, document));
    EdZipName->setText(Shown(section.Zip, document));
    edSelectSuffix->setText(Shown(section.Suffix, document));
    edSelectIgnore->setText(Shown(section.Ignore, document));
    (section.Recurse ? RbRecurseYes : rbRecurseNo)->setChecked(true);
    (section.DirName ? rbFullName : RbRelativeName)->setChecked(true);
    (section.Compress ? rbCompress : rbNoCompress)->setChecked(true);
}

void TfrmBatchWizard::StoreSection(TBatchEntry& section, const TBatchDocument* document) const
{
    std::string name = Stored(edSelectName, document);
    std::string zip = Stored(EdZipName, document);
    std::string dir = Stored(edSelectDir, document);
    std::string suffix = Stored(edSelectSuffix, document);
    section.Ignore = Stored(edSelectIgnore, document);
    section.Name = std::move(name);
    section.Zip = std::move(zip);
    section.Dir = std::move(dir);
    section.Suffix = std::move(suffix);
    section.Recurse = RbRecurseYes->isChecked();
    section.DirName = rbFullName->isChecked();
    section.Compress = rbCompress->isChecked();
}

void TfrmBatchWizard::edSelectChange()
{
    UpdateButtons();
}

void TfrmBatchWizard::rbCompressClick()
{
    UpdateCompressMode();
}

void TfrmBatchWizard::UpdateCompressMode()
{
    const bool zip = rbCompress->isChecked();
    lbSelectZip->setText(QString::fromStdString(AppString(zip ? sSelectZipFile : sSelectCopyDirectory)));
    _tsFullName->setEnabled(zip);
}

void TfrmBatchWizard::PageChanged(int index)
{
    QWidget* page = pgcMain->widget(index);
    QWidget* focus = nullptr;
    if (page == _tsDir)
        focus = edSelectDir;
    else if (page == _tsZip)
        focus = EdZipName;
    else if (page == _tsRecurse)
        focus = RbRecurseYes->isChecked() ? RbRecurseYes : rbRecurseNo;
    else if (page == _tsInclude)
        focus = edSelectSuffix;
    else if (page == _tsExclude)
        focus = edSelectIgnore;
    else if (page == _tsFullName)
        focus = rbFullName->isChecked() ? rbFullName : RbRelativeName;
    else if (page == _tsName)
        focus = edSelectName;
    if (focus != nullptr)
        focus->setFocus();
}

void TfrmBatchWizard::_sbDirectoryClick()
{
    const QString current = edSelectDir->text();
    QString picked;
    if (BrowseForFolder(this, QFileInfo(current).isDir() ? current : QString(), picked))
        edSelectDir->setText(picked);
}

void TfrmBatchWizard::_sbZipNameClick()
{
    const QString current = EdZipName->text();
    QString picked;
    if (rbCompress->isChecked()) {
        TFileDialogSpec spec;
        spec.fileName = current;
        spec.folder = current.isEmpty() ? QString() : FolderOf(current);
        spec.filter = QLatin1String(kZipFilter);
        spec.defaultSuffix = QStringLiteral("zip");
        if (PickFile(this, spec, picked))
            EdZipName->setText(picked);
    } else if (BrowseForFolder(this, current, picked)) {
        EdZipName->setText(picked);
    }
}

void TfrmBatchWizard::_sbAddFilesClick()
{
    std::string text = edSelectSuffix->text().toStdString();
    if (EditMaskList(
            this, false, [this](QStringList& list) { FillExtensionList(list); }, text))
        edSelectSuffix->setText(QString::fromStdString(text));
}

void TfrmBatchWizard::_sbExcludeClick()
{
    std::string text = edSelectIgnore->text().toStdString();
    if (EditMaskList(
            this, true, [this](QStringList& list) { FillExtensionList(list); }, text))
        edSelectIgnore->setText(QString::fromStdString(text));
}

void TfrmBatchWizard::FillExtensionList(QStringList& list)
{
    if (m_extensionList.Empty())
        ScanExtensionsResponsive(m_extensionList, edSelectDir->text().toStdString(), RbRecurseYes->isChecked());
    for (const std::string& pattern : m_extensionList.Items())
        list.append(QString::fromStdString(pattern));
}

bool ExecuteBatchWizard(QWidget* parent, TBatchEntry* section, std::unique_ptr<TBatchEntry>& made,
                        const TBatchDocument* document)
{
    TfrmBatchWizard wizard(parent);
    wizard.FormCreate();
    if (section != nullptr)
        wizard.LoadSection(*section, document);
    wizard.SetActivePage(0);
    auto fresh = std::make_unique<TBatchEntry>("", "", "", "", "", false, false, true);
    TBatchEntry& target = section != nullptr ? *section : *fresh;
    for (;;) {
        if (RunModalDialog(wizard) != QDialog::Accepted)
            return false;
        try {
            wizard.StoreSection(target, document);
            break;
        } catch (const EVorlandError& e) {
            if (IPrompter* prompter = AppPrompter())
                prompter->ShowMessage(e.what(), true);
            else
                QMessageBox::critical(&wizard, QString(), QString::fromStdString(e.what()));
        }
    }
    if (section == nullptr)
        made = std::move(fresh);
    return true;
}
