#include "ExportPanelView.h"

#include "ElidedLabel.h"
#include "ExportFormatChoice.h"
#include "KeyboardShortcuts.h"
#include "ProminentButton.h"
#include "SymbolIcons.h"
#include "ViewStyle.h"
#include "state/CaptureDocument.h"
#include "state/ExportRun.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <QDir>
#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace {

// How often, in milliseconds, an ended export looks again whether the question in its way has been
// answered.
constexpr int questionPoll = 150;
// The failures list is at most this high, unless its five lines need more.
constexpr int failuresMaximumHeight = 120;
// How many failure lines the list shows without being scrolled.
constexpr int failureLinesShown = 5;
constexpr int failuresSpacing = 4;

QLabel *symbolLabel(const QString &symbolName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(SymbolIcons::icon(symbolName).pixmap(16, 16));
    return label;
}

} // namespace

ExportPanelView::ExportPanelView(CaptureDocument *document, QWidget *parent)
    : QWidget(parent)
    , m_document(document)
    , m_folderName(new ElidedLabel(this))
    , m_cropToggle(new QCheckBox(tr("Recadrer sur le sujet"), this))
    , m_styleName(new QLabel(this))
    , m_exportButton(new ProminentButton(SymbolIcons::icon(QStringLiteral("square.and.arrow.up")),
                                         tr("Exporter"), ProminentButton::Size::Large, this))
    , m_folderWarning(new QLabel(tr("Choisissez un dossier de sortie pour exporter."), this))
    , m_failuresBox(new QWidget(this))
    , m_failuresTitle(new QLabel(m_failuresBox))
    , m_failuresIcon(symbolLabel(QStringLiteral("exclamationmark.triangle.fill"), m_failuresBox))
    , m_failureLines(new QVBoxLayout)
{
    // The window pads the panel.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto *headerRow = new QHBoxLayout;
    auto *title = new QLabel(tr("Export"), this);
    title->setFont(ViewStyle::headline());
    headerRow->addWidget(symbolLabel(QStringLiteral("square.and.arrow.up"), this));
    headerRow->addWidget(title);
    headerRow->addStretch();
    layout->addLayout(headerRow);

    auto *folderRow = new QHBoxLayout;
    folderRow->setSpacing(6);
    auto *folderButton = new QPushButton(SymbolIcons::icon(QStringLiteral("folder")), tr("Dossier…"), this);
    connect(folderButton, &QPushButton::clicked, this, &ExportPanelView::chooseFolder);
    m_folderName->setFont(ViewStyle::caption());
    folderRow->addWidget(folderButton);
    folderRow->addWidget(m_folderName, 1);
    layout->addLayout(folderRow);

    m_cropToggle->setToolTip(tr("Rogne le PNG exporté au plus près du sujet détouré"));
    connect(m_cropToggle, &QCheckBox::toggled, m_document, &CaptureDocument::setCropToSubject);
    layout->addWidget(m_cropToggle);
    layout->addWidget(new ExportFormatChoice(m_document, this));

    auto *styleRow = new QHBoxLayout;
    auto *styleCaption = new QLabel(tr("Filtre :"), this);
    styleCaption->setFont(ViewStyle::caption());
    ViewStyle::setTextColor(styleCaption, ViewStyle::secondary());
    QFont styleFont = ViewStyle::caption();
    styleFont.setWeight(QFont::Medium);
    m_styleName->setFont(styleFont);
    styleRow->addWidget(styleCaption);
    styleRow->addWidget(m_styleName);
    styleRow->addStretch();
    layout->addLayout(styleRow);

    auto *exportMenu = new QMenu(m_exportButton);
    // The keys are the menu bar's; these items only name them.
    exportMenu->addAction(SymbolIcons::icon(QStringLiteral("square.and.arrow.down")),
                          KeyboardShortcuts::withKeys(tr("Fusionné"), KeyboardShortcuts::exportMerged()),
                          this, [this] { emit exportRequested(ExportMode::Merged); });
    exportMenu->addAction(SymbolIcons::icon(QStringLiteral("square.on.square")),
                          KeyboardShortcuts::withKeys(tr("Par sujet"), KeyboardShortcuts::exportPerSubject()),
                          this, [this] { emit exportRequested(ExportMode::PerSubject); });
    m_exportButton->setMenu(exportMenu);
    m_exportButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    m_folderWarning->setFont(ViewStyle::caption());
    m_folderWarning->setWordWrap(true);
    ViewStyle::setTextColor(m_folderWarning, ViewStyle::secondary());

    m_footer = new QWidget(this);
    auto *footer = new QVBoxLayout(m_footer);
    footer->setContentsMargins(0, 0, 0, 0);
    footer->setSpacing(layout->spacing());
    footer->addWidget(m_exportButton);
    footer->addWidget(m_folderWarning);
    layout->addWidget(m_footer);

    auto *failuresColumn = new QVBoxLayout(m_failuresBox);
    failuresColumn->setContentsMargins(0, 0, 0, 0);
    failuresColumn->setSpacing(failuresSpacing);
    auto *failuresHeader = new QHBoxLayout;
    QFont bold = ViewStyle::caption();
    bold.setBold(true);
    m_failuresTitle->setFont(bold);
    ViewStyle::setTextColor(m_failuresTitle, QColor(255, 149, 0));
    failuresHeader->addWidget(m_failuresIcon);
    failuresHeader->addWidget(m_failuresTitle);
    failuresHeader->addStretch();
    failuresColumn->addLayout(failuresHeader);
    auto *linesArea = new QScrollArea(m_failuresBox);
    linesArea->setFrameShape(QFrame::NoFrame);
    linesArea->setWidgetResizable(true);
    // The lines wrap to the panel's width.
    linesArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *lines = new QWidget(linesArea);
    m_failureLines->setParent(nullptr);
    lines->setLayout(m_failureLines);
    m_failureLines->setContentsMargins(0, 0, 0, 0);
    m_failureLines->setSpacing(failuresSpacing);
    linesArea->setWidget(lines);
    // Room for five one-line failures, measured on such a line; more scroll in their own area.
    QLabel sample(QStringLiteral("00:00.000 — Ag"));
    sample.setFont(ViewStyle::caption());
    sample.setWordWrap(true);
    const int lineHeight =
        std::max(sample.heightForWidth(sample.sizeHint().width()), sample.sizeHint().height());
    linesArea->setMinimumHeight(failureLinesShown * lineHeight + (failureLinesShown - 1) * failuresSpacing);
    failuresColumn->addWidget(linesArea);
    const int titleHeight = std::max({QFontMetrics(bold).height(), m_failuresIcon->sizeHint().height(),
                                      m_failuresTitle->sizeHint().height()});
    m_failuresBox->setMaximumHeight(
        std::max(failuresMaximumHeight, titleHeight + failuresSpacing + linesArea->minimumHeight()));
    layout->addWidget(m_failuresBox);
    layout->addStretch();

    connect(m_document, &CaptureDocument::groupsChanged, this, &ExportPanelView::refresh);
    connect(m_document, &CaptureDocument::settingChanged, this, [this](DocumentSetting setting) {
        if (setting == DocumentSetting::OutputFolder || setting == DocumentSetting::CropToSubject ||
            setting == DocumentSetting::SelectedFilter)
            refresh();
    });
    refresh();
    refreshFailures();
}

ExportPanelView::~ExportPanelView()
{
    // Wherever the footer went, it goes with the panel that drives it.
    delete m_footer;
}

QWidget *ExportPanelView::detachFooter()
{
    layout()->removeWidget(m_footer);
    return m_footer;
}

ExportRun *ExportPanelView::run() const
{
    return m_run;
}

void ExportPanelView::setRun(ExportRun *run)
{
    if (m_run == run)
        return;
    if (m_run)
        m_run->disconnect(this);
    m_run = run;
    if (run) {
        connect(run, &ExportRun::progressChanged, this, &ExportPanelView::refresh);
        connect(run, &ExportRun::failuresChanged, this, &ExportPanelView::refreshFailures);
        connect(run, &ExportRun::finishedFolderChanged, this, &ExportPanelView::showFinishedAlert);
        connect(run, &QObject::destroyed, this, [this] {
            refresh();
            refreshFailures();
        });
    }
    refresh();
    refreshFailures();
    showFinishedAlert();
}

bool ExportPanelView::canExport() const
{
    return m_document->frameCount() > 0 && !m_document->outputFolder().isEmpty() &&
           !(m_run && m_run->isRunning());
}

QString ExportPanelView::exportSummary() const
{
    if (!m_run)
        return summary(0, 0, 0);
    const QList<ExportFailure> &failures = m_run->failures();
    const int failedFrames = int(std::count_if(failures.cbegin(), failures.cend(),
                                               [](const ExportFailure &failure) { return failure.isFrame; }));
    return summary(m_run->progress().total, int(failures.size()), failedFrames, m_run->format());
}

QString ExportPanelView::summary(int total, int failures, int failedFrames, ImageFormat format)
{
    // Images first, as many as were written and the frames that failed; the Markdown files that
    // could not be written are told apart, as they are no images.
    const int exported = std::max(total - failedFrames, 0);
    const int markdownFailures = std::max(failures - failedFrames, 0);
    QString text = QString::number(exported);
    // PNG images are plain images; others are named by their format.
    const bool png = format == ImageFormat::Png;
    text += png ? tr(" image(s) exportée(s)") : tr(" image(s) WebP exportée(s)");
    if (failedFrames != 0)
        text += QStringLiteral(", ") + QString::number(failedFrames) + tr(" échec(s)");
    if (markdownFailures == 1)
        text += tr(", 1 fichier Markdown non écrit");
    else if (markdownFailures > 1)
        text += tr(", %1 fichiers Markdown non écrits").arg(markdownFailures);
    return text + QLatin1Char('.');
}

void ExportPanelView::chooseFolder()
{
    QFileDialog dialog(window(), tr("Sélectionnez le dossier de sortie des PNG"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, tr("Choisir"));
    if (!m_document->outputFolder().isEmpty())
        dialog.setDirectoryUrl(m_document->outputFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty())
        return;
    m_document->setOutputFolder(dialog.selectedUrls().constFirst());
}

void ExportPanelView::refresh()
{
    const QUrl folder = m_document->outputFolder();
    if (folder.isEmpty()) {
        m_folderName->setText(tr("Aucun dossier"));
        ViewStyle::setTextColor(m_folderName, ViewStyle::secondary());
    } else {
        const QString path = folder.toLocalFile();
        const QString name = folder.fileName().isEmpty() ? QDir(path).dirName() : folder.fileName();
        m_folderName->setText(name.isEmpty() ? path : name);
        ViewStyle::setTextColor(m_folderName, palette().color(QPalette::WindowText));
    }
    if (m_cropToggle->isChecked() != m_document->cropToSubject()) {
        const QSignalBlocker blocker(m_cropToggle);
        m_cropToggle->setChecked(m_document->cropToSubject());
    }
    m_styleName->setText(FilterStyles::displayName(m_document->selectedFilter()));
    if (m_footer) {
        m_exportButton->setEnabled(canExport());
        m_folderWarning->setVisible(folder.isEmpty());
    }
}

void ExportPanelView::refreshFailures()
{
    const QList<ExportFailure> failures = m_run ? m_run->failures() : QList<ExportFailure>();
    m_failuresBox->setVisible(!failures.isEmpty());
    m_failuresTitle->setText(QString::number(failures.size()) + tr(" échec(s)"));
    while (QLayoutItem *item = m_failureLines->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const ExportFailure &failure : failures) {
        auto *line = new QLabel;
        // Messages quote file names and library texts, shown as they are.
        line->setTextFormat(Qt::PlainText);
        line->setText(failure.timestamp + QStringLiteral(" — ") + failure.message);
        line->setFont(ViewStyle::caption());
        line->setWordWrap(true);
        ViewStyle::setTextColor(line, ViewStyle::secondary());
        m_failureLines->addWidget(line);
    }
    m_failureLines->addStretch();
}

void ExportPanelView::showFinishedAlert()
{
    if (!m_run || m_run->finishedFolder().isEmpty()) {
        if (m_finishedAlert)
            m_finishedAlert->close();
        return;
    }
    if (m_finishedAlert) {
        m_finishedAlert->setText(exportSummary());
        return;
    }
    // A question or an alert is open (closing the window, say): the end of the export waits for
    // its answer instead of landing on top of it, where a click meant for it would open the folder.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(questionPoll, this, &ExportPanelView::showFinishedAlert);
        return;
    }
    // A run that left something unwritten ends with a warning.
    const bool failed = !m_run->failures().isEmpty();
    m_finishedAlert = new QMessageBox(failed ? QMessageBox::Warning : QMessageBox::Information,
                                      tr("Export terminé"), exportSummary(), QMessageBox::NoButton, this);
    m_finishedAlert->setAttribute(Qt::WA_DeleteOnClose);
    m_finishedAlert->setTextFormat(Qt::PlainText);
    QPushButton *open = m_finishedAlert->addButton(tr("Ouvrir le dossier"), QMessageBox::AcceptRole);
    m_finishedAlert->addButton(tr("OK"), QMessageBox::RejectRole);
    connect(m_finishedAlert, &QMessageBox::finished, this, [this, open] {
        const bool openFolder = m_finishedAlert && m_finishedAlert->clickedButton() == open;
        m_finishedAlert = nullptr;
        // However the alert closes, the finished folder is cleared.
        if (!m_run)
            return;
        if (openFolder)
            m_run->openFinishedFolder();
        else
            m_run->acknowledgeFinish();
    });
    m_finishedAlert->open();
}
