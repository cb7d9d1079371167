#include "framework/vk_fBaseDialog.h"

#include "controls/vk_Button.h"
#include "framework/FormTexts.h"
#include "framework/TvkLanguage.h"
#include "framework/vk_contexte.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

constexpr int kDesignWidth = 336;
constexpr int kDesignHeight = 242;

} // namespace

TFrmBaseDialog::TFrmBaseDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFrmBaseDialog"));
    setWindowTitle(QStringLiteral("FrmBaseDialog"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    RegisterForm(this);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    pnXP = new QFrame(this);
    pnXP->setObjectName(QStringLiteral("pnXP"));
    pnXP->setFrameShape(QFrame::NoFrame);
    outer->addWidget(pnXP);

    auto* panel = new QVBoxLayout(pnXP);
    ClientArea = new QWidget(pnXP);
    panel->addWidget(ClientArea, 1);
    BevelBottom = new QFrame(pnXP);
    BevelBottom->setObjectName(QStringLiteral("BevelBottom"));
    BevelBottom->setFrameShape(QFrame::HLine);
    BevelBottom->setFrameShadow(QFrame::Sunken);
    panel->addWidget(BevelBottom);

    auto* buttons = new QHBoxLayout;
    auto* ok = new TvkButton(QStringLiteral("OK"), pnXP);
    ok->setObjectName(QStringLiteral("BtOK"));
    ok->SetModalResult(TvkButton::mrOk);
    ok->SetDefault(true);
    ok->SetTextStyle(TvkButton::txRaised);
    auto* cancel = new TvkButton(QStringLiteral("Cancel"), pnXP);
    cancel->setObjectName(QStringLiteral("BtCancel"));
    cancel->SetModalResult(TvkButton::mrCancel);
    cancel->SetCancel(true);
    cancel->SetTextStyle(TvkButton::txRaised);
    BtOK = ok;
    BtCancel = cancel;
    buttons->addWidget(BtOK);
    buttons->addStretch(1);
    buttons->addWidget(BtCancel);
    panel->addLayout(buttons);

    resize(kDesignWidth, kDesignHeight);
}

void TFrmBaseDialog::FormCreate()
{
    AppContexte().LoadFormPlacement(this);
    AppLanguage().TranslateForm(this);
}

void TFrmBaseDialog::done(int result)
{
    AppContexte().SaveFormPlacement(this);
    QDialog::done(result);
}
