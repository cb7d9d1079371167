#include "framework/vk_fbaseMain.h"

#include "controls/StyledMenu.h"
#include "core/AppStrings.h"
#include "core/Questions.h"
#include "core/UiInterfaces.h"
#include "framework/Artwork.h"
#include "framework/DialogProvider.h"
#include "framework/FirstPaint.h"
#include "framework/FormTexts.h"
#include "framework/TvkLanguage.h"
#include "framework/WindowTools.h"
#include "framework/vk_contexte.h"
#include "framework/vk_fBaseAPropos.h"
#include "framework/vk_fBaseDialogueListe.h"
#include "framework/vk_fbaseSelectList.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QSessionManager>
#include <QShortcut>
#include <QUrl>

namespace {

// The languages submenu holds "Add a new language", "Edit the language" and a separator before the
// language items, so the language with index i sits at position i + 3.
constexpr int kFixedLanguageEntries = 3;

QAction* makeAction(QObject* owner, const char* name, const QString& caption)
{
    auto* action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QAction* makeSeparator(QObject* owner, const char* name)
{
    QAction* action = makeAction(owner, name, QString());
    action->setSeparator(true);
    return action;
}

} // namespace

TFrmBaseMain::TFrmBaseMain(QWidget* parent) : TvkForm(parent)
{
    setObjectName(QStringLiteral("TFrmBaseMain"));
    setWindowTitle(QStringLiteral("FrmBaseMain"));

    auto* styled = new TvkStyledMenu(this);
    styled->setObjectName(QStringLiteral("PopupMenu"));
    // The side bar's caption is the derived window's (its product name); the bar is as wide as the
    // icon column and carries the program's emblem at its foot.
    styled->SetBarWidth(0);
    QFont barFont = styled->font();
    barFont.setBold(true);
    barFont.setPixelSize(19);
    styled->SetBarFont(barFont);
    styled->SetBarPicture(QPixmap::fromImage(ArtworkImage(QStringLiteral("MenuBar.png"))));
    styled->SetBarTransparent(true);
    PopupMenu = styled;
    cmAbout = makeAction(this, "cmAbout", QStringLiteral("Abo&ut"));
    cmOnlineHelp = makeAction(this, "cmOnlineHelp", QStringLiteral("Online &Help"));
    cmLanguageList = makeAction(this, "cmLanguageList", QStringLiteral("&Languages"));
    LanguageMenu = new TvkStyledMenu(PopupMenu);
    cmLanguageList->setMenu(LanguageMenu);
    cmNewLanguage = makeAction(this, "cmNewLanguage", QStringLiteral("&Add a new language"));
    cmEditLanguage = makeAction(this, "cmEditLanguage", QStringLiteral("&Edit the language"));
    _N0 = makeSeparator(this, "_N0");
    _NClose = makeSeparator(this, "_NClose");
    cmClose = makeAction(this, "cmClose", QStringLiteral("&Close"));
    LanguageMenu->addActions({cmNewLanguage, cmEditLanguage, _N0});
    PopupMenu->addActions({cmAbout, cmOnlineHelp, cmLanguageList, _NClose, cmClose});

    connect(cmAbout, &QAction::triggered, this, &TFrmBaseMain::cmAboutClick);
    connect(cmOnlineHelp, &QAction::triggered, this, &TFrmBaseMain::cmOnlineHelpClick);
    connect(cmNewLanguage, &QAction::triggered, this, &TFrmBaseMain::cmNewLanguageClick);
    connect(cmEditLanguage, &QAction::triggered, this, &TFrmBaseMain::cmEditLanguageClick);
    connect(cmClose, &QAction::triggered, this, &TFrmBaseMain::cmCloseClick);
    // Shift+F10 is the other context-menu key: it does what the Menu key does.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    menuKey->setObjectName(QStringLiteral("_scContextMenu"));
    connect(menuKey, &QShortcut::activated, this, &TFrmBaseMain::contextMenuKeyPressed);

    // The framework's dialogs are in every language template, open or not.
    RegisterTemplateForm(QStringLiteral("frmBaseAboutBox"), [] { return std::make_unique<TfrmBaseAboutBox>(); });
    RegisterTemplateForm(QStringLiteral("FrmBaseDialogList"), [] { return std::make_unique<TFrmBaseDialogList>(); });
    RegisterTemplateForm(QStringLiteral("FrmBaseSelectList"), [] { return std::make_unique<TFrmBaseSelectList>(); });

    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, &TFrmBaseMain::sessionCommitData);
    }
}

void TFrmBaseMain::FormCreate()
{
    TvkLanguage& language = AppLanguage();
    language.LoadLanguageList();
    RegisterStrings();
    AppContexte().LoadFormPlacement(this);
    language.RequestReload();
    language.SetLanguageIndex(AppContexte().ReadInitialInteger(QStringLiteral("Language"), language.LanguageIndex()));
    BuildLanguageMenu();
    m_created = true;
}

void TFrmBaseMain::RegisterStrings() {}

void TFrmBaseMain::ShowPopupMenu(const QPoint& globalPosition)
{
    PopupMenuTaskPopup();
    PopupMenu->popup(globalPosition);
}

void TFrmBaseMain::PopupMenuTaskPopup()
{
    cmOnlineHelp->setVisible(!AppLanguage().HelpAddress().isEmpty());
    const QList<QAction*> items = LanguageMenu->actions();
    if (items.size() > kFixedLanguageEntries) {
        const int current = AppLanguage().LanguageIndex() + kFixedLanguageEntries;
        for (int i = kFixedLanguageEntries; i < items.size(); ++i) {
            items.at(i)->setChecked(i == current);
        }
    }
}

void TFrmBaseMain::ClearLanguageMenu()
{
    QList<QAction*> items = LanguageMenu->actions();
    for (qsizetype i = items.size() - 1; i >= kFixedLanguageEntries; --i) {
        LanguageMenu->removeAction(items.at(i));
        delete items.at(i);
    }
}

void TFrmBaseMain::BuildLanguageMenu()
{
    for (const QString& name : AppLanguage().Languages()) {
        auto* item = new QAction(name, this);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, item] { LanguageItemClick(item); });
        LanguageMenu->addAction(item);
    }
}

void TFrmBaseMain::LanguageItemClick(QAction* sender)
{
    const int position = static_cast<int>(LanguageMenu->actions().indexOf(sender));
    if (position >= kFixedLanguageEntries) {
        AppLanguage().SetLanguageIndex(position - kFixedLanguageEntries);
    }
}

void TFrmBaseMain::cmAboutClick()
{
    TfrmBaseAboutBox box(this);
    box.setWindowTitle(QString::fromStdString(AppString(sAbout)));
    box.cmEdit->setText(QString::fromStdString(AppString(sEditAboutFile)));
    box.exec();
}

void TFrmBaseMain::cmOnlineHelpClick()
{
    const QString address = AppLanguage().HelpAddress();
    if (address.isEmpty()) {
        return;
    }
    try {
        OpenDocument(address);
    } catch (const EShellError& error) {
        IPrompter* prompter = AppPrompter();
        if (error.Code() != kShellNoAssociation || prompter == nullptr) {
            throw;
        }
        // Without a browser the page can still be read: say where it is.
        const QUrl url(address);
        const QString where = url.isLocalFile() ? url.toLocalFile() : address;
        const QString text =
            QString::fromStdString(AppString(sHelpPageWithoutBrowser)).replace(QStringLiteral("%s"), where);
        prompter->ShowMessage(text.toStdString(), false);
    }
}

void TFrmBaseMain::cmNewLanguageClick()
{
    QString name;
    if (!AppDialogs().InputText(this, QString::fromStdString(AppString(sLanguageToAdd)),
                                QString::fromStdString(AppString(sLanguageName)), name)) {
        return;
    }
    // The menu shows the new language even when its file cannot be opened.
    try {
        AppLanguage().CreateLanguage(name);
    } catch (...) {
        ClearLanguageMenu();
        BuildLanguageMenu();
        throw;
    }
    ClearLanguageMenu();
    BuildLanguageMenu();
}

void TFrmBaseMain::cmEditLanguageClick()
{
    const int count = static_cast<int>(AppLanguage().Languages().size());
    try {
        AppLanguage().EditLanguage();
    } catch (...) {
        if (AppLanguage().Languages().size() != count) {
            ClearLanguageMenu();
            BuildLanguageMenu();
        }
        throw;
    }
    if (AppLanguage().Languages().size() != count) {
        ClearLanguageMenu();
        BuildLanguageMenu();
    }
}

void TFrmBaseMain::cmCloseClick()
{
    close();
}

bool TFrmBaseMain::CloseQuery()
{
    return true;
}

void TFrmBaseMain::FormClose()
{
    AppContexte().WriteInitialInteger(QStringLiteral("Language"), AppLanguage().LanguageIndex());
    // By name too: runs without windows (a timer's) find the caption file by it for their notifications.
    AppContexte().WriteInitialString(QStringLiteral("LanguageName"), AppLanguage().CurrentLanguageName());
    AppContexte().SaveFormPlacement(this);
}

void TFrmBaseMain::closeEvent(QCloseEvent* event)
{
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    // The settings of a window that was never set up are not worth storing.
    if (m_created) {
        FormClose();
    }
    event->accept();
}

void TFrmBaseMain::contextMenuEvent(QContextMenuEvent* event)
{
    ShowPopupMenu(event->globalPos());
    event->accept();
}

void TFrmBaseMain::contextMenuKeyPressed()
{
    // The widget with the focus gets the request first, as with the Menu key: a text field shows its
    // own menu, everything else passes it up to the window.
    QWidget* target = focusWidget();
    if (target == nullptr || (target != this && !isAncestorOf(target))) {
        target = this;
    }
    const QPoint local = target->rect().center();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, local, target->mapToGlobal(local));
    QCoreApplication::sendEvent(target, &request);
}

void TFrmBaseMain::paintEvent(QPaintEvent* event)
{
    TvkForm::paintEvent(event);
    NoteFirstPaint();
}

void TFrmBaseMain::EndSession()
{
    close();
}

void TFrmBaseMain::sessionCommitData(QSessionManager& /*manager*/)
{
    // The session may end: nothing is cancelled, and the window closes as the user would close it.
    EndSession();
}
