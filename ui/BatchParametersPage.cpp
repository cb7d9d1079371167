#include "ui/BatchParametersPage.h"

#include "batch/BatchDocument.h"
#include "batch/p_BatchList.h"
#include "controls/vk_Button.h"
#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "ui/EditorButtons.h"
#include "ui/FilePickers.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QRadioButton>

namespace {

constexpr int kMinWidth = 444;
const char* const kProgramFilter = "*.exe|*.exe|*.bat|*.bat|*.*|*.*";

// Answers "°" as the password character of the field it styles.
class TDegreePasswordStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return 0x00B0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TBatchParametersPage::TBatchParametersPage(TpxBatchList& batch, const TBatchDocument& document, QWidget* parent)
    : QWidget(parent), m_batch(batch), m_document(document)
{
    setObjectName(QStringLiteral("tsBatch"));
    setMinimumWidth(kMinWidth);

    MakeControls();
    LayOutControls();
    ConnectHandlers();
}

void TBatchParametersPage::MakeControls()
{
    lbPasswd = new QLabel(QStringLiteral("Pa&ssword"), this);
    lbPasswd->setObjectName(QStringLiteral("lbPasswd"));
    edPassword = new QLineEdit(this);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    auto* degreeStyle = new TDegreePasswordStyle;
    degreeStyle->setParent(edPassword);
    edPassword->setStyle(degreeStyle);
    edPassword->setEchoMode(QLineEdit::Password);
    lbPasswd->setBuddy(edPassword);
    // Says why a typed password is not kept; its text is set when it shows.
    _lbPasswordProblem = new QLabel(this);
    _lbPasswordProblem->setObjectName(QStringLiteral("_lbPasswordProblem"));
    _lbPasswordProblem->setWordWrap(true);
    _lbPasswordProblem->setForegroundRole(QPalette::Highlight);
    _lbPasswordProblem->hide();

    lbBefore = new QLabel(QStringLiteral("Execute &before"), this);
    lbBefore->setObjectName(QStringLiteral("lbBefore"));
    edBefore = new QLineEdit(this);
    edBefore->setObjectName(QStringLiteral("edBefore"));
    lbBefore->setBuddy(edBefore);
    _sbBefore = MakeGlyphButton(this, "_sbBefore", QStyle::SP_DialogOpenButton, "Select the program to execute before");

    lbAfter = new QLabel(QStringLiteral("Execute &after"), this);
    lbAfter->setObjectName(QStringLiteral("lbAfter"));
    edAfter = new QLineEdit(this);
    edAfter->setObjectName(QStringLiteral("edAfter"));
    lbAfter->setBuddy(edAfter);
    _sbAfter = MakeGlyphButton(this, "_sbAfter", QStyle::SP_DialogOpenButton, "Select the program to execute after");
    // Says why a typed command is not kept.
    _lbCommandProblem = new QLabel(this);
    _lbCommandProblem->setObjectName(QStringLiteral("_lbCommandProblem"));
    _lbCommandProblem->setWordWrap(true);
    _lbCommandProblem->setForegroundRole(QPalette::Highlight);
    _lbCommandProblem->hide();

    rbUpdate = new QRadioButton(QStringLiteral("&Update archive"), this);
    rbUpdate->setObjectName(QStringLiteral("rbUpdate"));
    rbUpdate->setChecked(true);
    rbRebuild = new QRadioButton(QStringLiteral("&Rebuild archive"), this);
    rbRebuild->setObjectName(QStringLiteral("rbRebuild"));
    cbVerify = new QCheckBox(QStringLiteral("&Test archives after writing"), this);
    cbVerify->setObjectName(QStringLiteral("cbVerify"));
}

void TBatchParametersPage::LayOutControls()
{
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    grid->addWidget(lbPasswd, 0, 0);
    grid->addWidget(edPassword, 0, 1);
    grid->addWidget(_lbPasswordProblem, 1, 1);
    grid->addWidget(lbBefore, 2, 0);
    grid->addWidget(edBefore, 2, 1);
    grid->addWidget(_sbBefore, 2, 2);
    grid->addWidget(lbAfter, 3, 0);
    grid->addWidget(edAfter, 3, 1);
    grid->addWidget(_sbAfter, 3, 2);
    grid->addWidget(_lbCommandProblem, 4, 1);
    grid->addWidget(rbUpdate, 5, 1);
    grid->addWidget(rbRebuild, 6, 1);
    grid->addWidget(cbVerify, 7, 1);
    grid->setRowStretch(8, 1);
}

void TBatchParametersPage::ConnectHandlers()
{
    connect(edPassword, &QLineEdit::textChanged, this, &TBatchParametersPage::edPasswordChange);
    connect(edBefore, &QLineEdit::textChanged, this, &TBatchParametersPage::edBeforeChange);
    connect(edAfter, &QLineEdit::textChanged, this, &TBatchParametersPage::edAfterChange);
    // A refused text is not left in its field: leaving it shows the batch's value again.
    for (QLineEdit* text : {edPassword, edBefore, edAfter}) {
        connect(text, &QLineEdit::editingFinished, this, [this] {
            if (!_lbPasswordProblem->isHidden() || !_lbCommandProblem->isHidden())
                Refresh();
        });
    }
    connect(_sbBefore, &TvkButton::clicked, this, &TBatchParametersPage::_sbBeforeClick);
    connect(_sbAfter, &TvkButton::clicked, this, &TBatchParametersPage::_sbAfterClick);
    connect(rbUpdate, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rbUpdateClick();
    });
    connect(rbRebuild, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rbRebuildClick();
    });
    connect(cbVerify, &QCheckBox::toggled, this, &TBatchParametersPage::cbVerifyClick);
}

void TBatchParametersPage::Refresh()
{
    edPassword->setText(QString::fromStdString(m_document.ShownText(m_batch.Password)));
    edBefore->setText(QString::fromStdString(m_document.ShownText(m_batch.Before)));
    edAfter->setText(QString::fromStdString(m_document.ShownText(m_batch.After)));
    (m_batch.UpdateZip ? rbUpdate : rbRebuild)->setChecked(true);
    cbVerify->setChecked(m_batch.Verify);
}

QString TBatchParametersPage::Storable(const QLineEdit* field, std::string& stored) const
{
    const QString typed = field->text();
    if (typed.contains(QLatin1Char('\n')) || typed.contains(QLatin1Char('\r')))
        return QString::fromStdString(AppString(sValueLineBreak));
    try {
        stored = m_document.StoredText(typed.toStdString());
    } catch (const EVorlandError& e) {
        return QString::fromStdString(e.what());
    }
    return {};
}

namespace {

void ShowProblem(QLabel* label, const QString& problem)
{
    label->setText(problem);
    label->setVisible(!problem.isEmpty());
}

} // namespace

void TBatchParametersPage::edPasswordChange()
{
    // A password the batch file cannot hold is not taken; the batch keeps the last one it can.
    std::string typed;
    QString problem = Storable(edPassword, typed);
    if (problem.isEmpty() && !CanStorePassword(typed))
        problem = QString::fromStdString(AppString(sPasswordNotStorable));
    if (problem.isEmpty())
        m_batch.Password = typed;
    ShowProblem(_lbPasswordProblem, problem);
}

void TBatchParametersPage::edBeforeChange()
{
    ShowProblem(_lbCommandProblem, Storable(edBefore, m_batch.Before));
}

void TBatchParametersPage::edAfterChange()
{
    ShowProblem(_lbCommandProblem, Storable(edAfter, m_batch.After));
}

void TBatchParametersPage::rbUpdateClick()
{
    m_batch.UpdateZip = rbUpdate->isChecked();
}

void TBatchParametersPage::rbRebuildClick()
{
    m_batch.UpdateZip = !rbRebuild->isChecked();
}

void TBatchParametersPage::cbVerifyClick()
{
    m_batch.Verify = cbVerify->isChecked();
}

void TBatchParametersPage::PickProgram(QLineEdit* field)
{
    TFileDialogSpec spec;
    spec.fileName = field->text();
    spec.folder = field->text().isEmpty() ? QString() : FolderOf(field->text());
    // No default extension: programs here usually have none, and a typed name must stay as typed.
    spec.filter = QLatin1String(kProgramFilter);
    QString picked;
    if (PickFile(window(), spec, picked))
        field->setText(picked);
}

void TBatchParametersPage::_sbBeforeClick()
{
    PickProgram(edBefore);
}

void TBatchParametersPage::_sbAfterClick()
{
    PickProgram(edAfter);
}
