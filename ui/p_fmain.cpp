#include "ui/p_fmain.h"

#include "batch/BatchDocument.h"
#include "batch/p_BatchList.h"
#include "controls/StyledMenu.h"
#include "controls/vk_Button.h"
#include "core/AppStrings.h"
#include "core/Questions.h"
#include "core/vk_tools.h"
#include "framework/Artwork.h"
#include "framework/FormTexts.h"
#include "framework/HintNames.h"
#include "ui/BatchParametersPage.h"
#include "ui/EditorButtons.h"
#include "ui/LastRunPanel.h"
#include "ui/MainWindowCommands.h"
#include "ui/SectionListModel.h"
#include "ui/SectionListView.h"
#include "ui/SectionNaming.h"
#include "ui/SectionPropertyPane.h"
#include "ui/p_fprogress.h"
#include "ui/p_fwizard.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kListMinWidth = 120;
constexpr int kToolbarHeight = 24;
constexpr int kToolbarGap = 2 * kToolbarHeight;
constexpr int kWizardPage = 0;
constexpr int kSourcePage = 2;

QString Numbered(int number)
{
    return QString::fromStdString(AppString(number));
}

// The menu button's glyph: three bars, drawn in the text colour of the window's palette.
QPixmap MenuGlyph(const QPalette& palette)
{
    constexpr int kSize = 16;
    QPixmap glyph(kSize, kSize);
    glyph.fill(Qt::transparent);
    QPainter painter(&glyph);
    for (int y : {3, 7, 11})
        painter.fillRect(2, y, kSize - 4, 2, palette.color(QPalette::ButtonText));
    return glyph;
}

void ShowError(QWidget* parent, const QString& text)
{
    if (IPrompter* prompter = AppPrompter())
        prompter->ShowMessage(text.toStdString(), true);
    else
        QMessageBox::critical(parent, QString(), text);
}

} // namespace

TFrmSaveZip::TFrmSaveZip(QWidget* parent)
    : TFrmBaseMain(parent), m_batch(std::make_unique<TpxBatchList>()),
      m_document(std::make_unique<TBatchDocument>(*m_batch))
{
    setObjectName(QStringLiteral("TFrmSaveZip"));
    setWindowTitle(QStringLiteral("Vorland"));
    setWindowIcon(ApplicationIcon());
    resize(600, 380);
    OnTranslate = [this](TvkForm*) { TranslateHints(); };
    m_model = std::make_unique<TSectionListModel>(*m_batch);
    m_model->SetIcon(style()->standardIcon(QStyle::SP_DirIcon));
    m_model->SetEditCheck([this](int row, const QString& caption) { return lbBatchListEdited(row, caption); });

    Commands = new TMainWindowCommands(this);
    if (auto* styledMenu = qobject_cast<TvkStyledMenu*>(PopupMenu)) {
        styledMenu->SetBarCaption(QStringLiteral("V o r l a n d"));
    }
    Commands->AddToMenu(PopupMenu);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    BuildWizardPage();
    tsBatch = new TBatchParametersPage(*m_batch, *m_document, PageControl);
    BuildSourcePage();
    PageControl->addTab(tsWizard, QStringLiteral("&Wizard"));
    PageControl->addTab(tsBatch, QStringLiteral("&Parameters"));
    PageControl->addTab(tsSource, QStringLiteral("S&ource"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl);
    PnLastRun = new TLastRunPanel(this);
    layout->addWidget(PnLastRun);

    ConnectCommands();
    connect(lbBatchList, &TSectionListView::SelectionChanged, this, &TFrmSaveZip::lbBatchListClick);
    connect(lbBatchList, &TSectionListView::DeleteRequested, this, &TFrmSaveZip::cmDeleteClick);
    connect(lbBatchList, &TSectionListView::WizardRequested, this, &TFrmSaveZip::cmEditWizardClick);
    connect(m_model.get(), &TSectionListModel::CaptionChanged, this, &TFrmSaveZip::lbBatchListChange);
    connect(PageControl, &QTabWidget::currentChanged, this, &TFrmSaveZip::PageSwitched);
    connect(idBatch->document(), &QTextDocument::modificationChanged, this, [this](bool modified) {
        m_sourcePending = m_sourcePending || modified;
        UpdateEditingCommands();
    });
    connect(idBatch, &QWidget::customContextMenuRequested, this, &TFrmSaveZip::idBatchContextMenu);

    RegisterTemplateForm(QStringLiteral("FrmSaveProgress"), [] { return std::make_unique<TFrmSaveProgress>(); });
    RegisterTemplateForm(QStringLiteral("frmBatchWizard"), [] { return std::make_unique<TfrmBatchWizard>(); });

    TranslateHints();
    RefreshBatch();
}

TFrmSaveZip::~TFrmSaveZip()
{
    // The views go before the model and the batch list they show.
    delete PageControl;
    PageControl = nullptr;
}

void TFrmSaveZip::BuildSourcePage()
{
    tsSource = new QWidget(PageControl);
    tsSource->setObjectName(QStringLiteral("tsSource"));
    idBatch = new QPlainTextEdit(tsSource);
    idBatch->setObjectName(QStringLiteral("idBatch"));
    idBatch->setLineWrapMode(QPlainTextEdit::NoWrap);
    idBatch->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    idBatch->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    idBatch->setToolTip(QStringLiteral("Text of the batch file"));
    NameByHint(idBatch);
    idBatch->setContextMenuPolicy(Qt::CustomContextMenu);
    cmCommands = new QAction(QStringLiteral("Co&mmands"), this);
    cmCommands->setObjectName(QStringLiteral("cmCommands"));
    cmCommands->setMenu(PopupMenu);
    auto* sourceLayout = new QVBoxLayout(tsSource);
    sourceLayout->setContentsMargins(0, 0, 0, 0);
    sourceLayout->addWidget(idBatch);
}

void TFrmSaveZip::ConnectCommands()
{
    TMainWindowCommands& c = *Commands;
    connect(c.cmZipIt, &QAction::triggered, this, &TFrmSaveZip::sbZipItClick);
    connect(c.cmOpen, &QAction::triggered, this, &TFrmSaveZip::sbOpenClick);
    connect(c.cmNew, &QAction::triggered, this, &TFrmSaveZip::sbNouveauClick);
    connect(c.cmSave, &QAction::triggered, this, &TFrmSaveZip::sbSaveClick);
    connect(c.cmSaveAs, &QAction::triggered, this, &TFrmSaveZip::sbEnregistrerSousClick);
    connect(c.cmBatchShortcut, &QAction::triggered, this, &TFrmSaveZip::cmBatchShortcutClick);
    connect(c.cmSchedule, &QAction::triggered, this, &TFrmSaveZip::cmScheduleClick);
    connect(c.cmWizard, &QAction::triggered, this, &TFrmSaveZip::cmWizardClick);
    connect(c.cmAdd, &QAction::triggered, this, &TFrmSaveZip::cmAddClick);
    connect(c.cmEditWizard, &QAction::triggered, this, &TFrmSaveZip::cmEditWizardClick);
    connect(c.cmDelete, &QAction::triggered, this, &TFrmSaveZip::cmDeleteClick);
    connect(c.cmRename, &QAction::triggered, this, &TFrmSaveZip::cmRenameClick);
    connect(c.cmSelectZipfile, &QAction::triggered, PnProperties, &TSectionPropertyPane::_sbZipNameClick);
    connect(c.cmSelectDirectoryToZip, &QAction::triggered, PnProperties, &TSectionPropertyPane::_sbDirectoryClick);
    connect(c.cmZipSection, &QAction::triggered, this, &TFrmSaveZip::cmZipSectionClick);
    connect(c.cmRestore, &QAction::triggered, this, &TFrmSaveZip::cmRestoreClick);
    connect(c.cmView, &QMenu::aboutToShow, this, &TFrmSaveZip::cmViewClick);
    connect(c.cmReport, &QAction::triggered, this, &TFrmSaveZip::cmReportClick);
    connect(c.cmList, &QAction::triggered, this, &TFrmSaveZip::cmListClick);
    connect(c.cmIcon, &QAction::triggered, this, &TFrmSaveZip::cmIconClick);
    connect(c.cmSmallIcon, &QAction::triggered, this, &TFrmSaveZip::cmSmallIconClick);
}

void TFrmSaveZip::BuildWizardPage()
{
    tsWizard = new QWidget(PageControl);
    tsWizard->setObjectName(QStringLiteral("tsWizard"));
    BuildToolbar();
    SplitterWizard = new QSplitter(Qt::Horizontal, tsWizard);
    SplitterWizard->setObjectName(QStringLiteral("SplitterWizard"));
    SplitterWizard->setHandleWidth(4);
    SplitterWizard->setChildrenCollapsible(false);
    PnList = new QWidget(SplitterWizard);
    PnList->setObjectName(QStringLiteral("PnList"));
    PnList->setMinimumWidth(kListMinWidth);
    lbBatchList = new TSectionListView(*m_model, PnList);
    auto* listLayout = new QVBoxLayout(PnList);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(lbBatchList);
    PnProperties = new TSectionPropertyPane(
        *m_batch, *m_document, *m_model, [this] { return SelectedIndex(); }, SplitterWizard);
    SplitterWizard->addWidget(PnList);
    SplitterWizard->addWidget(PnProperties);
    SplitterWizard->setStretchFactor(1, 1);
    SplitterWizard->setSizes({kListMinWidth, 400});
    auto* layout = new QVBoxLayout(tsWizard);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(_pnToolbar);
    layout->addWidget(SplitterWizard, 1);
    setTabOrder(lbBatchList, PnProperties->edName);
}

void TFrmSaveZip::BuildToolbar()
{
    _pnToolbar = new QWidget(tsWizard);
    _pnToolbar->setObjectName(QStringLiteral("_pnToolbar"));
    _pnToolbar->setFixedHeight(kToolbarHeight + 4);
    auto* row = new QHBoxLayout(_pnToolbar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    const auto button = [this, row](const char* name, QStyle::StandardPixmap glyph, QAction* command) {
        // The hint comes from the command's caption (TranslateHints).
        TvkButton* flat = MakeGlyphButton(_pnToolbar, name, glyph, "", kToolbarHeight);
        connect(flat, &TvkButton::clicked, command, &QAction::trigger);
        row->addWidget(flat);
        return flat;
    };
    TMainWindowCommands& c = *Commands;
    _sbOuvrir = button("_sbOuvrir", QStyle::SP_DialogOpenButton, c.cmOpen);
    _sbSave = button("_sbSave", QStyle::SP_DialogSaveButton, c.cmSave);
    _sbZipIt = button("_sbZipIt", QStyle::SP_MediaPlay, c.cmZipIt);
    row->addSpacing(kToolbarGap);
    _sbWizard = button("_sbWizard", QStyle::SP_FileDialogContentsView, c.cmWizard);
    _sbAdd = button("_sbAdd", QStyle::SP_FileDialogNewFolder, c.cmAdd);
    _sbDelete = button("_sbDelete", QStyle::SP_TrashIcon, c.cmDelete);
    _sbZipSection = button("_sbZipSection", QStyle::SP_MediaSeekForward, c.cmZipSection);
    row->addStretch();
    _sbMenu = MakeGlyphButton(_pnToolbar, "_sbMenu", QStyle::SP_TitleBarUnshadeButton, "Menu", kToolbarHeight);
    _sbMenu->SetGlyph(MenuGlyph(palette()));
    connect(_sbMenu, &TvkButton::clicked, this, &TFrmSaveZip::_sbMenuClick);
    row->addWidget(_sbMenu);
}

void TFrmSaveZip::_sbMenuClick()
{
    ShowPopupMenu(_sbMenu->mapToGlobal(QPoint(_sbMenu->width(), _sbMenu->height())) -
                  QPoint(PopupMenu->sizeHint().width(), 0));
}

void TFrmSaveZip::idBatchContextMenu(const QPoint& position)
{
    QMenu* menu = idBatch->createStandardContextMenu();
    menu->setObjectName(QStringLiteral("_mnSource"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    PopupMenuTaskPopup();
    menu->addAction(cmCommands);
    menu->popup(idBatch->mapToGlobal(position));
}

void TFrmSaveZip::TranslateHints()
{
    // The last result is made of numbered strings: it follows the language as the hints do.
    if (PnLastRun != nullptr) {
        PnLastRun->ShowBatch(FileName());
    }
    m_model->SetColumnCaption(QString::fromStdString(StripAmpersands(PnProperties->lbName->text().toStdString())));
    lbBatchList->SetListName(m_model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString());
    const auto hint = [](TvkButton* button, const QAction* command) {
        button->SetHint(QString::fromStdString(StripAmpersands(command->text().toStdString())));
    };
    TMainWindowCommands& c = *Commands;
    hint(_sbZipSection, c.cmZipSection);
    hint(_sbWizard, c.cmWizard);
    hint(_sbDelete, c.cmDelete);
    hint(_sbSave, c.cmSave);
    hint(_sbZipIt, c.cmZipIt);
    hint(_sbAdd, c.cmAdd);
    hint(_sbOuvrir, c.cmOpen);
    PnProperties->UpdateZipNameCaption();
}

int TFrmSaveZip::SelectedIndex() const
{
    return lbBatchList->ItemIndex();
}

bool TFrmSaveZip::CanEdit() const
{
    return !m_batch->Running() && !m_runActive;
}

void TFrmSaveZip::SelectSection(int index)
{
    const int count = m_batch->Count();
    if (index >= count)
        index = count - 1;
    if (index < 0 && count > 0)
        index = 0;
    lbBatchList->SetItemIndex(index);
    PnProperties->Fill();
}

void TFrmSaveZip::RefreshBatch()
{
    const int remembered = SelectedIndex();
    m_model->Rebuild();
    SelectSection(remembered);
    tsBatch->Refresh();
}

void TFrmSaveZip::lbBatchListClick()
{
    PnProperties->Fill();
}

void TFrmSaveZip::lbBatchListChange(int /*index*/)
{
    // When the name field is the source of the change, it keeps the text as the user typed it.
    if (!PnProperties->StoringName())
        PnProperties->Fill();
}

bool TFrmSaveZip::lbBatchListEdited(int index, const QString& caption)
{
    if (caption.trimmed().isEmpty()) {
        ShowError(this, Numbered(sSectionNameEmpty));
        return false;
    }
    if (!SectionNameExists(*m_batch, caption.toStdString(), index))
        return true;
    ShowError(this, Numbered(sAlreadyExists).replace(QStringLiteral("%s"), caption));
    return false;
}

int TFrmSaveZip::AppendNamedSection(std::unique_ptr<TBatchEntry> section, const std::string& base)
{
    const int row = m_model->AppendSection(std::move(section));
    m_model->SetCaption(row, NumberedSectionName(*m_batch, base, row));
    SelectSection(row);
    return row;
}

void TFrmSaveZip::cmAddClick()
{
    if (!CanEdit())
        return;
    const std::string base = AppString(sNew);
    const int row =
        AppendNamedSection(std::make_unique<TBatchEntry>(base, "", "", "*.*", "", false, false, true), base);
    lbBatchList->StartRename(row);
}

void TFrmSaveZip::cmWizardClick()
{
    if (!CanEdit())
        return;
    std::unique_ptr<TBatchEntry> made;
    if (!ExecuteBatchWizard(this, nullptr, made, m_document.get()) || !made)
        return;
    const std::string base = made->Name;
    AppendNamedSection(std::move(made), base);
}

void TFrmSaveZip::cmEditWizardClick()
{
    if (!CanEdit())
        return;
    const int row = SelectedIndex();
    if (row < 0) {
        cmWizardClick();
        return;
    }
    std::unique_ptr<TBatchEntry> unused;
    if (!ExecuteBatchWizard(this, &m_batch->Entries(row), unused, m_document.get()))
        return;
    m_model->SetCaption(row, NumberedSectionName(*m_batch, m_batch->Entries(row).Name, row));
    SelectSection(row);
}

void TFrmSaveZip::cmDeleteClick()
{
    const int row = SelectedIndex();
    if (!CanEdit() || row < 0)
        return;
    m_model->DeleteSection(row);
    SelectSection(row);
}

void TFrmSaveZip::cmRenameClick()
{
    if (!CanEdit())
        return;
    lbBatchList->StartRename(SelectedIndex());
}

void TFrmSaveZip::cmViewClick()
{
    TMainWindowCommands& c = *Commands;
    QAction* styles[] = {c.cmIcon, c.cmSmallIcon, c.cmList, c.cmReport};
    styles[lbBatchList->ViewStyle()]->setChecked(true);
}

void TFrmSaveZip::cmReportClick()
{
    SetViewStyle(3);
}

void TFrmSaveZip::cmListClick()
{
    SetViewStyle(2);
}

void TFrmSaveZip::cmIconClick()
{
    SetViewStyle(0);
}

void TFrmSaveZip::cmSmallIconClick()
{
    SetViewStyle(1);
}

int TFrmSaveZip::ViewStyle() const
{
    return lbBatchList->ViewStyle();
}

void TFrmSaveZip::SetViewStyle(int style)
{
    lbBatchList->SetViewStyle(style);
}

int TFrmSaveZip::ListWidth() const
{
    return PnList->width();
}

void TFrmSaveZip::SetListWidth(int width)
{
    const int total = SplitterWizard->width();
    width = std::max(width, kListMinWidth);
    SplitterWizard->setSizes({width, std::max(total - width, PnProperties->minimumWidth())});
}

void TFrmSaveZip::PopupMenuTaskPopup()
{
    TFrmBaseMain::PopupMenuTaskPopup();
    TMainWindowCommands& c = *Commands;
    const bool wizardPage = PageControl->currentIndex() == kWizardPage;
    const bool editable = CanEdit();
    for (QAction* command : {c.cmAdd, c._cmBatchSection->menuAction(), c.cmView->menuAction(), c.cmWizard})
        command->setEnabled(wizardPage);
    c.cmAdd->setEnabled(wizardPage && editable);
    c.cmWizard->setEnabled(wizardPage && editable);
    c.cmBatchShortcut->setEnabled(!FileName().empty());
    c.cmSchedule->setEnabled(!FileName().empty());
    const int row = SelectedIndex();
    QAction* section = c._cmBatchSection->menuAction();
    section->setVisible(row >= 0);
    if (row >= 0) {
        // Section names are shown as they are: "&" in a name is not an accelerator here.
        QString name = QString::fromStdString(m_batch->Entries(row).Name);
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        section->setText(QLatin1Char('[') + name + QLatin1Char(']'));
    }
    for (QAction* command : {c.cmEditWizard, c.cmDelete, c.cmRename})
        command->setEnabled(editable);
}
