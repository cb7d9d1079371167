#include "ui/p_fprogress.h"

#include "batch/p_BatchList.h"
#include "controls/vk_Button.h"
#include "controls/vk_Component.h"
#include "core/AppStrings.h"
#include "framework/TvkLanguage.h"
#include "framework/WindowTools.h"
#include "framework/vk_contexte.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Widgets follow the run at most this often. A person cannot read faster; a run that reports
// thousands of files a second would otherwise spend most of its time repainting.
constexpr int kRefreshInterval = 80; // milliseconds

// Design sizes of the form at 96 pixels per inch.
constexpr int kClientWidth = 530;
constexpr int kFieldHeight = 17;
constexpr int kBarHeight = 15;
constexpr int kAbortWidth = 59;
constexpr int kAbortHeight = 48;

QString fromLocal(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* captionLabel(QWidget* parent, const char* name, const char* text)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

TvkLabel* fieldLabel(QWidget* parent, const char* name)
{
    auto* field = new TvkLabel(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->SetAutoSize(false);
    // File names may hold "&"; it is shown, not taken as an accelerator.
    field->SetShowAccelChar(false);
    field->SetBorderStyle(TvkLabel::lbsSunken);
    field->SetBorderWidth(1);
    field->SetLayout(TvkLabel::tlCenter);
    field->setMinimumHeight(kFieldHeight);
    // The text never changes the field's size: a long file name is cut at the right edge instead
    // of widening the window.
    field->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    return field;
}

QProgressBar* bar(QWidget* parent, const char* name)
{
    auto* progress = new QProgressBar(parent);
    progress->setObjectName(QString::fromLatin1(name));
    progress->setTextVisible(false);
    progress->setFixedHeight(kBarHeight);
    progress->setRange(0, 100);
    progress->setValue(0);
    return progress;
}

// Bars take any maximum the runner gives. A maximum of 0 (a copy section without files, a batch
// without sections) shows a full bar: a range of 0 to 0 would turn the bar into a busy indicator.
void setBar(QProgressBar* progress, int position, int maximum)
{
    const int top = std::max(maximum, 1);
    if (progress->maximum() != top || progress->minimum() != 0) {
        progress->setRange(0, top);
    }
    const int value = maximum <= 0 ? top : std::clamp(position, 0, top);
    if (progress->value() != value) {
        progress->setValue(value);
    }
}

void setText(TvkLabel* label, const QString& text)
{
    label->SetCaption(text);
}

} // namespace

TFrmSaveProgress::TFrmSaveProgress() : TvkForm(nullptr, Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TFrmSaveProgress"));
    buildForm();
    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(kRefreshInterval);
    connect(m_flushTimer, &QTimer::timeout, this, &TFrmSaveProgress::Flush);
    OnTranslate = [this](TvkForm*) { RetranslateState(); };
    // FormCreate: placement, translation, then an empty batch of 100.
    LoadPlacement();
    AppLanguage().TranslateForm(this);
    SetBatchMax(100);
}

TFrmSaveProgress::~TFrmSaveProgress() = default;

void TFrmSaveProgress::buildForm()
{
    QFont formFont = font();
    formFont.setPointSize(8);
    setFont(formFont);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    PnSuivi = new QFrame(this);
    PnSuivi->setObjectName(QStringLiteral("PnSuivi"));
    outer->addWidget(PnSuivi);

    lbSection = captionLabel(PnSuivi, "lbSection", "Zip");
    lbFile = captionLabel(PnSuivi, "lbFile", "File");
    lbRepertoire = captionLabel(PnSuivi, "lbRepertoire", "Directory");
    _idSection = fieldLabel(PnSuivi, "_idSection");
    _idFichier = fieldLabel(PnSuivi, "_idFichier");
    _idRepertoire = fieldLabel(PnSuivi, "_idRepertoire");
    lbBatch = captionLabel(PnSuivi, "lbBatch", "Batch");
    lbZip = captionLabel(PnSuivi, "lbZip", "Zip");
    lbProcessFile = captionLabel(PnSuivi, "lbProcessFile", "File");
    Bevel1 = new QFrame(PnSuivi);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    auto* abort = new TvkButton(PnSuivi);
    abort->setObjectName(QStringLiteral("tsbZipIt"));
    abort->SetCaption(QStringLiteral("Abort"));
    abort->SetGlyph(style()->standardIcon(QStyle::SP_BrowserStop).pixmap(24, 24));
    abort->SetGlyphLayout(TvkButton::lyTop);
    abort->SetTextStyle(TvkButton::txRaised);
    abort->SetFlat(true);
    tsbZipIt = abort;
    fitAbortButton();
    connect(tsbZipIt, &QAbstractButton::clicked, this, [this] { tsbZipItClick(); });

    ProgressBar = bar(PnSuivi, "ProgressBar");
    Gauge = bar(PnSuivi, "Gauge");
    ProgressFile = bar(PnSuivi, "ProgressFile");

    // The captions name the fields and bars for a screen reader (and follow the translation).
    lbSection->setBuddy(_idSection);
    lbRepertoire->setBuddy(_idRepertoire);
    lbFile->setBuddy(_idFichier);
    lbBatch->setBuddy(Gauge);
    lbZip->setBuddy(ProgressBar);
    lbProcessFile->setBuddy(ProgressFile);

    auto* grid = new QGridLayout(PnSuivi);
    grid->setContentsMargins(5, 5, 5, 5);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(1);
    // Rows: archive, directory, file, line, then the button beside the three bars.
    grid->addWidget(lbSection, 0, 0, 1, 2);
    grid->addWidget(_idSection, 0, 2, 1, 2);
    grid->addWidget(lbRepertoire, 1, 0, 1, 2);
    grid->addWidget(_idRepertoire, 1, 2, 1, 2);
    grid->addWidget(lbFile, 2, 0, 1, 2);
    grid->addWidget(_idFichier, 2, 2, 1, 2);
    grid->addWidget(Bevel1, 3, 0, 1, 4);
    grid->addWidget(tsbZipIt, 4, 0, 3, 1, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(lbBatch, 4, 1, 1, 2);
    grid->addWidget(Gauge, 4, 3);
    grid->addWidget(lbZip, 5, 1, 1, 2);
    grid->addWidget(ProgressBar, 5, 3);
    grid->addWidget(lbProcessFile, 6, 1, 1, 2);
    grid->addWidget(ProgressFile, 6, 3);
    grid->setColumnStretch(3, 1);
    grid->setRowMinimumHeight(3, 6);

    setMinimumWidth(kClientWidth / 2);
    resize(kClientWidth, sizeHint().height());
}

void TFrmSaveProgress::Show()
{
    FormShow();
    show();
    raise();
    Flush();
}

void TFrmSaveProgress::Hide()
{
    Flush();
    if (isVisible()) {
        SavePlacement();
    }
    hide();
}

void TFrmSaveProgress::SetBatchMax(int count)
{
    m_state.batchMax = count;
    m_state.batchPosition = 0;
    StartSection("", "", "", 100);
    Flush();
}

void TFrmSaveProgress::SetBatchPosition(int position)
{
    m_state.batchPosition = position;
    Flush();
}

void TFrmSaveProgress::StartSection(const std::string& name, const std::string& archive, const std::string& directory,
                                    int maximum)
{
    m_state.sectionName = name;
    m_state.archive = archive;
    m_state.directory = directory;
    m_state.zipPosition = 0;
    m_state.zipMax = maximum;
    StartFile(AppString(sInitializingFileList), 100);
    m_state.fileString = sInitializingFileList;
    Flush();
}

void TFrmSaveProgress::SetZipPosition(int position)
{
    m_state.zipPosition = position;
    changed();
}

void TFrmSaveProgress::ArchiveComplete()
{
    m_state.file = AppString(sArchiveComplete);
    m_state.fileString = sArchiveComplete;
    m_state.zipPosition = m_state.zipMax;
    FileComplete();
    Flush();
}

void TFrmSaveProgress::StartFile(const std::string& text, int maximum)
{
    m_state.file = text;
    m_state.fileString = -1;
    m_state.filePosition = 0;
    m_state.fileMax = maximum;
    changed();
}

void TFrmSaveProgress::SetFilePosition(int position)
{
    m_state.filePosition = position;
    changed();
}

void TFrmSaveProgress::FileComplete()
{
    m_state.filePosition = m_state.fileMax;
    changed();
}

void TFrmSaveProgress::ReportProblem(const std::string& text)
{
    if (m_problemSink) {
        m_problemSink(text);
    }
}

void TFrmSaveProgress::changed()
{
    m_dirty = true;
    if (!m_sinceFlush.isValid() || m_sinceFlush.elapsed() >= kRefreshInterval) {
        Flush();
    } else if (!m_flushTimer->isActive()) {
        m_flushTimer->start();
    }
}

void TFrmSaveProgress::Flush()
{
    m_flushTimer->stop();
    m_dirty = false;
    m_sinceFlush.start();
    setWindowTitle(titleText());
    setText(_idSection, fromLocal(m_state.archive));
    setText(_idFichier, fileText());
    showDirectory();
    setBar(Gauge, m_state.batchPosition, m_state.batchMax);
    setBar(ProgressBar, m_state.zipPosition, m_state.zipMax);
    setBar(ProgressFile, m_state.filePosition, m_state.fileMax);
}

void TFrmSaveProgress::showDirectory()
{
    const QFontMetrics metrics(_idRepertoire->font());
    // The text area of the field: its width less the frame and a little air.
    const int room = std::max(_idRepertoire->contentsRect().width() - 4, 1);
    setText(_idRepertoire, ShortenPath(fromLocal(m_state.directory), metrics, room));
    _idRepertoire->setToolTip(fromLocal(m_state.directory));
}

QString TFrmSaveProgress::titleText() const
{
    QString title = fromLocal(AppString(sProcessingArchive));
    if (m_state.sectionName) {
        title += QLatin1Char(' ') + fromLocal(*m_state.sectionName);
    }
    return title;
}

QString TFrmSaveProgress::fileText() const
{
    return m_state.fileString >= 0 ? fromLocal(AppString(m_state.fileString)) : fromLocal(m_state.file);
}

void TFrmSaveProgress::fitAbortButton()
{
    // The design size, wider when a translated caption needs it (the caption is never cut).
    const int width = std::max(kAbortWidth, tsbZipIt->minimumSizeHint().width() + 6);
    tsbZipIt->setFixedSize(width, kAbortHeight);
}

void TFrmSaveProgress::RetranslateState()
{
    fitAbortButton();
    // Only the texts that come from the numbered strings; the names and paths stay.
    if (m_flushTimer != nullptr) {
        Flush();
    }
}

void TFrmSaveProgress::tsbZipItClick()
{
    if (BatchList != nullptr) {
        BatchList->QueryStop();
    }
}

void TFrmSaveProgress::FormShow()
{
    m_state.sectionName.reset();
    setWindowTitle(titleText());
}

void TFrmSaveProgress::FormClose()
{
    SavePlacement();
}

void TFrmSaveProgress::closeEvent(QCloseEvent* event)
{
    // Closing only hides the window; a run goes on and shows it again at its next start.
    FormClose();
    event->accept();
}

void TFrmSaveProgress::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    showDirectory();
}

void TFrmSaveProgress::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showDirectory();
}

void TFrmSaveProgress::LoadPlacement()
{
    AppContexte().LoadFormPlacement(this);
}

void TFrmSaveProgress::SavePlacement()
{
    AppContexte().SaveFormPlacement(this);
}
