#include "framework/vk_fBaseAPropos.h"

#include "controls/vk_Button.h"
#include "controls/vk_Component.h"
#include "framework/AppVersion.h"
#include "framework/Artwork.h"
#include "framework/CaptionFile.h"
#include "framework/FormTexts.h"
#include "framework/Picture.h"
#include "framework/TvkLanguage.h"
#include "framework/WindowTools.h"
#include "framework/vk_contexte.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kDesignWidth = 423;
constexpr int kDesignHeight = 380;
constexpr int kMinimumWidth = 380;
constexpr int kIconSize = 48;
constexpr int kProductNameHeight = 18;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

TvkLabelLink* makeLink(QWidget* parent, const char* name, TvkLabelLink::TLinkKind kind)
{
    auto* link = new TvkLabelLink(parent);
    link->setObjectName(QString::fromLatin1(name));
    link->SetLinkKind(kind);
    return link;
}

} // namespace

TfrmBaseAboutBox::TfrmBaseAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TfrmBaseAboutBox"));
    setWindowTitle(QStringLiteral("About"));
    RegisterForm(this);

    auto* outer = new QVBoxLayout(this);
    _pnAbout = new QFrame(this);
    _pnAbout->setObjectName(QStringLiteral("_pnAbout"));
    _pnAbout->setFrameStyle(QFrame::Panel | QFrame::Raised);
    outer->addWidget(_pnAbout, 1);
    auto* grid = new QGridLayout(_pnAbout);
    makeTitleRow(grid);
    makeAboutText(grid, makeFieldRows(grid));
    makeButtons(outer);
    makePopupMenu();

    resize(kDesignWidth, kDesignHeight);
    setMinimumWidth(kMinimumWidth);
    FormCreate();
    // Enter closes the box: the focus starts on OK, not on the first link (Enter would open it).
    OKButton->setFocus();
}

void TfrmBaseAboutBox::makeTitleRow(QGridLayout* grid)
{
    ProgramIcon = makeLabel(_pnAbout, "ProgramIcon", QString());
    ProgramIcon->setAlignment(Qt::AlignCenter);
    ProgramIcon->setFixedSize(kIconSize + 8, kIconSize + 8);
    _ProductName = new TvkLabel(_pnAbout);
    _ProductName->setObjectName(QStringLiteral("_ProductName"));
    QFont bold = _ProductName->font();
    bold.setBold(true);
    bold.setPixelSize(kProductNameHeight);
    _ProductName->setFont(bold);
    _ProductName->SetOptions(TvkLabel::loShadow);
    _ProductName->SetShadowX(3);
    _ProductName->SetShadowY(3);
    ImageBrand = makeLabel(_pnAbout, "ImageBrand", QString());
    ImageBrand->setAlignment(Qt::AlignCenter);
    ImageBrand->installEventFilter(this);
    grid->addWidget(ProgramIcon, 0, 0);
    grid->addWidget(_ProductName, 0, 1);
    grid->addWidget(ImageBrand, 0, 2, 1, 1, Qt::AlignRight);
}

int TfrmBaseAboutBox::makeFieldRows(QGridLayout* grid)
{
    _lbVersion = makeLabel(_pnAbout, "_lbVersion", QStringLiteral("Version"));
    _lbNoVersion = makeLabel(_pnAbout, "_lbNoVersion", QString());
    _lbVersion->setBuddy(_lbNoVersion);
    lbMailTo = makeLabel(_pnAbout, "lbMailTo", QStringLiteral("Mail"));
    _LbMailTo = makeLink(_pnAbout, "_LbMailTo", TvkLabelLink::lkMailTo);
    lbHomePage = makeLabel(_pnAbout, "lbHomePage", QStringLiteral("Home page"));
    _lbLink = makeLink(_pnAbout, "_lbLink", TvkLabelLink::lkNone);
    lbLicense = makeLabel(_pnAbout, "lbLicense", QStringLiteral("Licence"));
    lbLicenseName = makeLabel(_pnAbout, "lbLicenseName",
                              QStringLiteral("GNU General Public License, version 3 or later (GPL-3.0-or-later)"));
    lbLicenseName->setWordWrap(true);
    int row = 1;
    for (auto [caption, value] :
         {std::pair<QLabel*, QLabel*>{_lbVersion, _lbNoVersion}, std::pair<QLabel*, QLabel*>{lbMailTo, _LbMailTo},
          std::pair<QLabel*, QLabel*>{lbHomePage, _lbLink}, std::pair<QLabel*, QLabel*>{lbLicense, lbLicenseName}}) {
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1, 1, 2);
        ++row;
    }
    return row;
}

void TfrmBaseAboutBox::makeAboutText(QGridLayout* grid, int row)
{
    moAPropos = new QPlainTextEdit(_pnAbout);
    moAPropos->setObjectName(QStringLiteral("moAPropos"));
    moAPropos->setReadOnly(true);
    moAPropos->setFrameShape(QFrame::NoFrame);
    moAPropos->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    moAPropos->setContextMenuPolicy(Qt::CustomContextMenu);
    grid->addWidget(moAPropos, row, 0, 1, 3);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
}

void TfrmBaseAboutBox::makeButtons(QVBoxLayout* outer)
{
    OKButton = new TvkButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->SetDefault(true);
    OKButton->SetModalResult(TvkButton::mrOk);
    outer->addWidget(OKButton, 0, Qt::AlignHCenter);

    ImageBottom = makeLabel(this, "ImageBottom", QString());
    ImageBottom->setAlignment(Qt::AlignCenter);
    outer->addWidget(ImageBottom);
}

void TfrmBaseAboutBox::makePopupMenu()
{
    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    cmEdit = new QAction(QStringLiteral("Edit about file"), this);
    cmEdit->setObjectName(QStringLiteral("cmEdit"));
    PopupMenu->addAction(cmEdit);
    connect(cmEdit, &QAction::triggered, this, &TfrmBaseAboutBox::cmEditClick);
    connect(moAPropos, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { PopupMenu->popup(moAPropos->viewport()->mapToGlobal(position)); });
}

void TfrmBaseAboutBox::FormCreate()
{
    const QImage icon = ArtworkImage(QStringLiteral("Vorland.png"));
    if (!icon.isNull()) {
        ProgramIcon->setPixmap(
            QPixmap::fromImage(icon.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    const QImage brand = ArtworkImage(QStringLiteral("AboutBrand.jpg"));
    if (!brand.isNull()) {
        ImageBrand->setPixmap(QPixmap::fromImage(brand));
    }
    const QImage banner = ArtworkImage(QStringLiteral("AboutBanner.jpg"));
    if (!banner.isNull()) {
        ImageBottom->setPixmap(QPixmap::fromImage(banner));
    }

    QStringList lines;
    if (ReadTextLines(AppLanguage().AboutFileName(), lines)) {
        moAPropos->setPlainText(lines.join(QLatin1Char('\n')));
    }
    _ProductName->setText(AppContexte().ApplicationName());
    // The about text is named after the program for a screen reader (it has no label of its own).
    moAPropos->setAccessibleName(AppContexte().ApplicationName());
    _lbNoVersion->setText(VersionText());

    const QString mail = MailAddress();
    _LbMailTo->SetCaption(mail);
    lbMailTo->setVisible(!mail.isEmpty());
    _LbMailTo->setVisible(!mail.isEmpty());
    const QString home = HomeAddress();
    // A local page shows as its file name; the link opens the whole address.
    const QUrl homeUrl = QUrl::fromUserInput(home);
    _lbLink->SetCaption(homeUrl.isLocalFile() ? QFileInfo(homeUrl.toLocalFile()).fileName() : home);
    _lbLink->OnExecute = [home](TvkLabelLink&, QString& prefix, QString& link) {
        prefix.clear();
        link = home;
    };
    _lbLink->setToolTip(homeUrl.isLocalFile() ? homeUrl.toLocalFile() : home);
    lbHomePage->setVisible(!home.isEmpty());
    _lbLink->setVisible(!home.isEmpty());

    // The box translates its own captions too, so no English text stays in a translated window.
    AppLanguage().TranslateForm(this);
}

QString TfrmBaseAboutBox::VersionText()
{
    return QStringLiteral("%1.%2.%3.%4").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionPatch).arg(kVersionTweak);
}

QString TfrmBaseAboutBox::HomeAddress()
{
    return AppLanguage().HelpAddress();
}

QString TfrmBaseAboutBox::MailAddress()
{
    return {};
}

void TfrmBaseAboutBox::cmEditClick()
{
    OpenDocument(AppLanguage().EditableAboutFileName());
}

void TfrmBaseAboutBox::BrandClick()
{
    const QString home = HomeAddress();
    if (!home.isEmpty()) {
        OpenDocument(home);
    }
}

bool TfrmBaseAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ImageBrand && event->type() == QEvent::MouseButtonDblClick) {
        BrandClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
