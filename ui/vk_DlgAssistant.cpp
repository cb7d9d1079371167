#include "ui/vk_DlgAssistant.h"

#include "controls/vk_Button.h"
#include "framework/FormTexts.h"
#include "framework/TvkLanguage.h"
#include "framework/vk_contexte.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kLeftWidth = 171;
constexpr int kBottomHeight = 36;
const QColor kTeal(0, 128, 128);

TvkButton* WizardButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new TvkButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QLatin1String(name));
    // The buttons never take the focus: it stays in the page's field while the user moves on.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

TDlgAssistant::TDlgAssistant(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TDlgAssistant"));
    RegisterForm(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowContextHelpButtonHint);

    MakeLeftPanel();

    pnlRight = new QWidget(this);
    pnlRight->setObjectName(QStringLiteral("pnlRight"));
    pgcMain = new QStackedWidget(pnlRight);
    pgcMain->setObjectName(QStringLiteral("pgcMain"));
    auto* rightLayout = new QVBoxLayout(pnlRight);
    rightLayout->addWidget(pgcMain);

    pnlBevel = new QWidget(this);
    pnlBevel->setObjectName(QStringLiteral("pnlBevel"));
    bvlPied = new QFrame(pnlBevel);
    bvlPied->setObjectName(QStringLiteral("bvlPied"));
    bvlPied->setFrameShape(QFrame::HLine);
    bvlPied->setFrameShadow(QFrame::Sunken);
    auto* bevelLayout = new QVBoxLayout(pnlBevel);
    bevelLayout->setContentsMargins(0, 0, 0, 0);
    bevelLayout->addWidget(bvlPied);

    MakeButtonPanel();

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    top->addWidget(pnlLeft);
    top->addWidget(pnlRight, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top, 1);
    layout->addWidget(pnlBevel);
    layout->addWidget(pnlBottom);

    connect(btPrecedent, &TvkButton::clicked, this, &TDlgAssistant::btPrecedentClick);
    connect(btSuivant, &TvkButton::clicked, this, &TDlgAssistant::btSuivantClick);
    connect(btAnnuler, &TvkButton::clicked, this, &TDlgAssistant::btAnnulerClick);
    connect(btTerminer, &TvkButton::clicked, this, &TDlgAssistant::btTerminerClick);
    connect(pgcMain, &QStackedWidget::currentChanged, this, [this](int index) { PageChanged(index); });
}

void TDlgAssistant::MakeLeftPanel()
{
    pnlLeft = new QFrame(this);
    pnlLeft->setObjectName(QStringLiteral("pnlLeft"));
    pnlLeft->setFixedWidth(kLeftWidth);
    pnlLeft->setAutoFillBackground(true);
    QPalette teal = pnlLeft->palette();
    teal.setColor(QPalette::Window, kTeal);
    pnlLeft->setPalette(teal);
    pnlBitmap = new QFrame(pnlLeft);
    pnlBitmap->setObjectName(QStringLiteral("pnlBitmap"));
    pnlBitmap->setFrameShape(QFrame::Box);
    pnlBitmap->setFrameShadow(QFrame::Sunken);
    imgExpert = new QLabel(pnlBitmap);
    imgExpert->setObjectName(QStringLiteral("imgExpert"));
    imgExpert->setScaledContents(true);
    imgExpert->setFixedSize(125, 193);
    auto* bitmapLayout = new QVBoxLayout(pnlBitmap);
    bitmapLayout->setContentsMargins(2, 2, 2, 2);
    bitmapLayout->addWidget(imgExpert);
    auto* leftLayout = new QVBoxLayout(pnlLeft);
    leftLayout->addWidget(pnlBitmap, 0, Qt::AlignHCenter | Qt::AlignTop);
    leftLayout->addStretch();
}

void TDlgAssistant::MakeButtonPanel()
{
    pnlBottom = new QWidget(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFixedHeight(kBottomHeight);
    btPrecedent = WizardButton(pnlBottom, "btPrecedent", "< &Prior");
    btSuivant = WizardButton(pnlBottom, "btSuivant", "&Next>");
    btSuivant->SetDefault(true);
    btTerminer = WizardButton(pnlBottom, "btTerminer", "&Close");
    btTerminer->SetDefault(true);
    btAnnuler = WizardButton(pnlBottom, "btAnnuler", "Cancel");
    auto* bottomLayout = new QHBoxLayout(pnlBottom);
    bottomLayout->setContentsMargins(8, 4, 8, 4);
    bottomLayout->addStretch();
    bottomLayout->addWidget(btPrecedent);
    bottomLayout->addWidget(btSuivant);
    bottomLayout->addWidget(btTerminer);
    bottomLayout->addSpacing(12);
    bottomLayout->addWidget(btAnnuler);
}

void TDlgAssistant::FormCreate()
{
    AppContexte().LoadFormPlacement(this);
    AppLanguage().TranslateForm(this);
}

void TDlgAssistant::done(int result)
{
    AppContexte().SaveFormPlacement(this);
    QDialog::done(result);
}

void TDlgAssistant::SetPicture(const QImage& picture)
{
    imgExpert->setPixmap(QPixmap::fromImage(picture));
}

void TDlgAssistant::Loaded()
{
    if (pgcMain->count() > 0)
        SetActivePage(0);
}

void TDlgAssistant::SetActivePage(int index)
{
    if (pgcMain->currentIndex() == index)
        PageChanged(index);
    else
        pgcMain->setCurrentIndex(index);
    UpdateButtons();
}

int TDlgAssistant::ActivePage() const
{
    return pgcMain->currentIndex();
}

void TDlgAssistant::UpdateButtons()
{
    const int page = pgcMain->currentIndex();
    const bool last = page >= 0 && page == pgcMain->count() - 1;
    btPrecedent->setEnabled(page > 0);
    btSuivant->setEnabled(!last);
    btSuivant->setVisible(!last);
    btTerminer->setEnabled(last);
    btTerminer->setVisible(last);
}

void TDlgAssistant::btSuivantClick()
{
    int page = pgcMain->currentIndex();
    const int last = pgcMain->count() - 1;
    do
        ++page;
    while (page < last && !pgcMain->widget(page)->isEnabledTo(pgcMain));
    if (page <= last)
        SetActivePage(page);
}

void TDlgAssistant::btPrecedentClick()
{
    int page = pgcMain->currentIndex();
    do
        --page;
    while (page > 0 && !pgcMain->widget(page)->isEnabledTo(pgcMain));
    if (page >= 0)
        SetActivePage(page);
}

void TDlgAssistant::btAnnulerClick()
{
    reject();
}

void TDlgAssistant::btTerminerClick()
{
    Finish();
    accept();
}

void TDlgAssistant::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && (modifiers == Qt::NoModifier || modifiers == Qt::ControlModifier)) {
        if (btSuivant->isEnabled() && btSuivant->isVisibleTo(this))
            btSuivant->click();
        else if (btTerminer->isEnabled() && btTerminer->isVisibleTo(this))
            btTerminer->click();
        event->accept();
        return;
    }
    if (enter) {
        // Shift+Enter or Alt+Enter: left alone, and not taken by the dialog's default button.
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDlgAssistant::closeEvent(QCloseEvent* event)
{
    // Whatever ends the dialog other than Close ends it as Cancel.
    if (result() != QDialog::Accepted)
        setResult(QDialog::Rejected);
    QDialog::closeEvent(event);
}
