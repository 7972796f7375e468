#include "ContentView.h"

#include "QuintarelCommands.h"
#include "UnsavedWorkPrompt.h"

#include "app/KeyboardCoordinator.h"
#include "app/WindowFocusReporter.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRun.h"
#include "state/Playback.h"
#include "support/AppError.h"
#include "views/AnnotationCanvas.h"
#include "views/CapturedFramesListView.h"
#include "views/CapturedFramesModel.h"
#include "views/EdgeControlsView.h"
#include "views/ExportPanelView.h"
#include "views/ExportProgressView.h"
#include "views/ExtractionPreviewView.h"
#include "views/FrameEditorView.h"
#include "views/IconTextSpacingStyle.h"
#include "views/PlayerAreaView.h"
#include "views/PreviewStage.h"
#include "views/SymbolIcons.h"
#include "views/TimelineControlsView.h"
#include "views/VideoPlayerView.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

constexpr int leftColumnMinimumWidth = 460;
constexpr int leftColumnMinimumHeight = 360;
constexpr int middleColumnMinimumWidth = 260;
constexpr int rightColumnMinimumWidth = 320;
constexpr int controlsMinimumHeight = 150;

bool isVideoType(const QMimeType &type)
{
    static const QString video = QStringLiteral("video/");
    if (type.name().startsWith(video))
        return true;
    const QStringList ancestors = type.allAncestors();
    return std::any_of(ancestors.cbegin(), ancestors.cend(),
                       [](const QString &ancestor) { return ancestor.startsWith(video); });
}

// "Description (*.a *.b)" from the extensions of the given types.
QString nameFilter(const QString &description, const QList<QMimeType> &types)
{
    QStringList patterns;
    for (const QMimeType &type : types) {
        for (const QString &pattern : type.globPatterns()) {
            if (!patterns.contains(pattern))
                patterns << pattern;
        }
    }
    return QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
}

// Movie files of every kind the platform knows, then MPEG-4 and QuickTime alone.
QStringList videoNameFilters()
{
    const QMimeDatabase database;
    QList<QMimeType> movies;
    for (const QMimeType &type : database.allMimeTypes()) {
        if (isVideoType(type) && !type.globPatterns().isEmpty())
            movies << type;
    }
    return {nameFilter(QCoreApplication::translate("ContentView", "Fichiers vidéo"), movies),
            nameFilter(QCoreApplication::translate("ContentView", "Vidéo MPEG-4"),
                       {database.mimeTypeForName(QStringLiteral("video/mp4"))}),
            nameFilter(QCoreApplication::translate("ContentView", "Vidéo QuickTime"),
                       {database.mimeTypeForName(QStringLiteral("video/quicktime"))})};
}

// A widget holding `content` with the style's usual margins around it.
QWidget *padded(QWidget *content)
{
    auto *frame = new QWidget;
    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(content);
    return frame;
}

} // namespace

ContentView::ContentView(ExportRuns *exportRuns, KeyboardCoordinator *coordinator, QWidget *parent)
    : QMainWindow(parent), m_state(new AppState(exportRuns, PlayerOutput::View, this))
{
    auto *columns = new QSplitter(Qt::Horizontal, this);
    columns->setObjectName(QStringLiteral("columns"));
    columns->setChildrenCollapsible(false);

    m_leftColumn = new QStackedWidget;
    m_leftColumn->setObjectName(QStringLiteral("playerOrEditor"));
    m_playerColumn = makeLeftColumn();
    m_leftColumn->addWidget(m_playerColumn);
    QWidget *middle = makeCapturedFramesList();
    middle->setMinimumWidth(middleColumnMinimumWidth);
    QWidget *right = makeRightColumn();
    // The editing view takes the player's place, with the preview's tools.
    m_frameEditor = new FrameEditorView(m_preview->toolbox());
    m_frameEditor->setObjectName(QStringLiteral("frameEditor"));
    // Its tools give way at the window's smallest; the player's minimum holds for both.
    m_frameEditor->setMinimumSize(leftColumnMinimumWidth, leftColumnMinimumHeight);
    m_leftColumn->addWidget(m_frameEditor);
    m_preview->addStage(m_frameEditor->stage());
    connect(m_frameEditor, &FrameEditorView::closeRequested, this, [this] { setEditing(false); });
    columns->addWidget(m_leftColumn);
    columns->addWidget(middle);
    columns->addWidget(right);
    // The video takes what the other two columns leave, now and when the window grows.
    columns->setStretchFactor(0, 1);
    columns->setSizes(
        {4 * leftColumnMinimumWidth, middleColumnMinimumWidth + 40, rightColumnMinimumWidth + 60});
    setCentralWidget(columns);

    makeToolbar();

    if (coordinator)
        new WindowFocusReporter(coordinator, m_state, this);

    CaptureDocument *document = m_state->document();
    connect(m_state->playback(), &Playback::videoURLChanged, this, &ContentView::updateForVideo);
    connect(document, &CaptureDocument::videoChanged, this, &ContentView::updateForVideo);
    connect(document, &CaptureDocument::groupsChanged, this, &ContentView::updateForVideo);
    connect(document, &CaptureDocument::projectURLChanged, this, &ContentView::updateTitle);
    connect(document, &CaptureDocument::modifiedChanged, this, &QWidget::setWindowModified);
    connect(m_state, &AppState::errorMessageChanged, this, &ContentView::updateErrorAlert);
    connect(m_state, &AppState::exportRunChanged, this, &ContentView::showExportRun);
    // The window stays usable while a project is read; the pointer says it works.
    connect(m_state, &AppState::openingProjectChanged, this, [this] {
        if (m_state->isOpeningProject())
            setCursor(Qt::BusyCursor);
        else
            unsetCursor();
    });
    updateForVideo();
    updateErrorAlert();
    showExportRun();
}

ContentView::~ContentView() = default;

QWidget *ContentView::makeLeftColumn()
{
    auto *column = new QWidget;
    column->setObjectName(QStringLiteral("leftColumn"));
    column->setMinimumSize(leftColumnMinimumWidth, leftColumnMinimumHeight);

    m_playerArea = new PlayerAreaView(column);
    // The picture's OpenGL widget is there from the start: adding the first one to a window that is
    // already on screen makes the window system recreate the window, which loses its activation.
    m_playerArea->setPlayerView(makePlayerView());
    m_playerArea->setDropHandler([this](const QList<QUrl> &urls) { return handleDroppedURLs(urls); });
    connect(m_playerArea, &PlayerAreaView::openVideoRequested, this, &ContentView::showVideoImporter);
    connect(m_playerArea, &PlayerAreaView::locateVideoRequested, this,
            [this] { QuintarelCommands::locateVideo(m_state, this); });
    m_timeline = new TimelineControlsView(m_state->playback(), m_state->document(), column);
    connect(m_timeline, &TimelineControlsView::captureRequested, m_state, &AppState::captureCurrentFrame);
    connect(m_state, &AppState::findingSharpestFrameChanged, m_timeline,
            [this] { m_timeline->setFindingSharpestFrame(m_state->isFindingSharpestFrame()); });

    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_playerArea, 1);
    layout->addWidget(m_timeline);
    return column;
}

QWidget *ContentView::makeRightColumn()
{
    auto *column = new QSplitter(Qt::Vertical);
    column->setObjectName(QStringLiteral("rightColumn"));
    column->setChildrenCollapsible(false);
    column->setMinimumWidth(rightColumnMinimumWidth);

    // No fixed minimum height here: the pane's layout asks for room for the toolbar, the style
    // tiles and the note (more than 240 points), and its large picture is what gives way first.
    QWidget *preview = padded(makeExtractionPreview());
    preview->setObjectName(QStringLiteral("previewPane"));

    auto *controls = new QWidget;
    auto *stack = new QVBoxLayout(controls);
    stack->setSpacing(16);
    stack->addWidget(makeEdgeControls());
    auto *divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    stack->addWidget(divider);
    m_exportPanel = makeExportPanel();
    stack->addWidget(m_exportPanel);
    stack->addStretch(1);

    m_controls = new QScrollArea;
    m_controls->setObjectName(QStringLiteral("controlsScrollArea"));
    m_controls->setWidgetResizable(true);
    m_controls->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_controls->setFrameShape(QFrame::NoFrame);
    m_controls->setMinimumHeight(controlsMinimumHeight);
    m_controls->setWidget(controls);

    column->addWidget(preview);
    column->addWidget(m_controls);
    // A taller window gives its height to the preview.
    column->setStretchFactor(0, 1);
    column->setStretchFactor(1, 0);
    m_rightColumn = column;

    // The export button and the export's progress stay in sight, whatever the scrolled controls
    // above them show.
    auto *right = new QWidget;
    right->setMinimumWidth(rightColumnMinimumWidth);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    rightLayout->addWidget(column, 1);
    auto *footer = new QWidget(right);
    footer->setObjectName(QStringLiteral("exportFooter"));
    auto *footerLayout = new QVBoxLayout(footer);
    footerLayout->setSpacing(0);
    footerLayout->addWidget(m_exportPanel->detachFooter());
    m_exportProgress = new ExportProgressView(footer);
    m_exportProgress->setObjectName(QStringLiteral("exportProgress"));
    // The footer pads the bar like the button above it.
    m_exportProgress->layout()->setContentsMargins(0, footerLayout->contentsMargins().top(), 0, 0);
    footerLayout->addWidget(m_exportProgress);
    rightLayout->addWidget(footer);
    // The progress has its room from the start, so that the first export does not grow the window.
    right->setMinimumHeight(column->minimumSizeHint().height() + footer->sizeHint().height() +
                            m_exportProgress->sizeHint().height());
    return right;
}

void ContentView::sizeRightColumn()
{
    const int available = m_rightColumn->height() - m_rightColumn->handleWidth();
    const int previewMinimum = m_rightColumn->widget(0)->minimumSizeHint().height();
    const int controlsNeed = m_controls->widget()->sizeHint().height();
    const int controls =
        std::max(controlsMinimumHeight, std::min(controlsNeed, available - std::max(previewMinimum, 0)));
    m_rightColumn->setSizes({available - controls, controls});
}

void ContentView::makeToolbar()
{
    auto *toolbar = addToolBar(tr("Barre d'outils"));
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    QAction *open = toolbar->addAction(SymbolIcons::icon(QStringLiteral("film")), tr("Ouvrir une vidéo"));
    open->setObjectName(QStringLiteral("openVideoAction"));
    if (auto *button = qobject_cast<QToolButton *>(toolbar->widgetForAction(open)))
        IconTextSpacingStyle::apply(button);
    connect(open, &QAction::triggered, this, &ContentView::showVideoImporter);

    // The video's name, centred between two equal springs.
    auto *leading = new QWidget;
    leading->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto *trailing = new QWidget;
    trailing->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_videoName = new QLabel;
    m_videoName->setObjectName(QStringLiteral("videoName"));
    m_videoName->setTextFormat(Qt::PlainText);
    m_videoName->setForegroundRole(QPalette::PlaceholderText);
    toolbar->addWidget(leading);
    m_videoNameItem = toolbar->addWidget(m_videoName);
    toolbar->addWidget(trailing);
}

// --- Places of the panels ---------------------------------------------------------------------

QWidget *ContentView::makeCapturedFramesList()
{
    auto *list = new CapturedFramesListView(m_state->document(), m_state->images());
    list->model()->setTakeout(&m_state->takeout());
    // Times are read from the video's first frame, which is known once the video has opened.
    const auto followOrigin = [this, list] {
        list->model()->setTimeOrigin(m_state->playback()->startTime());
    };
    connect(m_state->playback(), &Playback::startTimeChanged, list, followOrigin);
    followOrigin();
    return list;
}

QWidget *ContentView::makeExtractionPreview()
{
    m_preview = new ExtractionPreviewView(m_state->document(), m_state->images(), m_state->renderer(),
                                          m_state->correctedCutouts());
    m_preview->setTakeout(&m_state->takeout());
    return m_preview;
}

void ContentView::setEditing(bool editing)
{
    if (editing == isEditing())
        return;
    m_leftColumn->setCurrentWidget(editing ? static_cast<QWidget *>(m_frameEditor) : m_playerColumn);
    if (editing)
        m_frameEditor->stage()->canvas()->setFocus(Qt::OtherFocusReason);
}

bool ContentView::isEditing() const
{
    return m_leftColumn->currentWidget() == m_frameEditor;
}

QWidget *ContentView::makeEdgeControls()
{
    return new EdgeControlsView(m_state->document());
}

ExportPanelView *ContentView::makeExportPanel()
{
    m_exportPanel = new ExportPanelView(m_state->document());
    connect(m_exportPanel, &ExportPanelView::exportRequested, m_state, &AppState::runExport);
    return m_exportPanel;
}

QWidget *ContentView::makePlayerView()
{
    return new VideoPlayerView(m_state->playback()->player());
}

// --- Videos -------------------------------------------------------------------------------------

bool ContentView::isMovieFile(const QUrl &url)
{
    if (!url.isLocalFile())
        return false;
    const QString path = url.toLocalFile();
    if (QFileInfo(path).suffix().isEmpty())
        return false;
    const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName(path);
    return std::any_of(types.cbegin(), types.cend(), isVideoType);
}

bool ContentView::isProjectFile(const QUrl &url)
{
    return url.path().endsWith(QLatin1String(".quintarel"), Qt::CaseInsensitive);
}

bool ContentView::handleDroppedURLs(const QList<QUrl> &urls)
{
    for (const QUrl &url : urls) {
        if (isMovieFile(url)) {
            // Not while the drop is under way: the question that may come first needs its own event
            // loop, and the file manager waits for the drop to end.
            QTimer::singleShot(0, this, [this, url] {
                if (UnsavedWorkPrompt::confirm(m_state, this, UnsavedWorkPrompt::Reason::OpeningVideo))
                    m_state->loadVideo(url);
            });
            return true;
        }
    }
    return false;
}

void ContentView::showVideoImporter()
{
    const QStringList filters = videoNameFilters();
    QString selectedFilter = filters.first();
    const QUrl url =
        QFileDialog::getOpenFileUrl(this, tr("Ouvrir une vidéo"), QUrl(), filters.join(QStringLiteral(";;")),
                                    &selectedFilter, QFileDialog::Options(), {QStringLiteral("file")});
    importVideo(url);
}

void ContentView::importVideo(const QUrl &url)
{
    if (url.isEmpty())
        return;
    // The dialog offers local files only; one that cannot be read is refused with its cause.
    QFile file(url.toLocalFile());
    if (!file.open(QIODevice::ReadOnly)) {
        const QFileInfo info(file.fileName());
        const QString reason = !info.exists() ? tr("fichier ou dossier introuvable")
                               : info.isDir() ? tr("c'est un dossier")
                                              : tr("permission refusée");
        m_state->setErrorMessage(
            AppError::videoNotOpened(QStringLiteral("%1 : %2").arg(info.fileName(), reason))
                .errorDescription());
        return;
    }
    if (UnsavedWorkPrompt::confirm(m_state, this, UnsavedWorkPrompt::Reason::OpeningVideo))
        m_state->loadVideo(url);
}

void ContentView::openFile(const QUrl &url)
{
    if (!url.isLocalFile()) {
        m_state->setErrorMessage(tr("Seuls les fichiers de cet ordinateur peuvent être ouverts : ") +
                                 url.toDisplayString());
        return;
    }
    if (isProjectFile(url)) {
        if (UnsavedWorkPrompt::confirm(m_state, this, UnsavedWorkPrompt::Reason::OpeningProject))
            m_state->openProject(url);
    } else
        importVideo(url);
}

void ContentView::updateForVideo()
{
    const bool hasVideo = !m_state->playback()->videoURL().isEmpty();
    const CaptureDocument *document = m_state->document();
    if (document->needsVideo())
        m_playerArea->showMissingVideo(document->missingVideoURL().fileName());
    else
        m_playerArea->showNoVideo();
    m_playerArea->showPlayer(hasVideo);
    m_videoName->setText(hasVideo ? document->videoName() : QString());
    // A widget in a toolbar shows and hides through its toolbar item.
    m_videoNameItem->setVisible(hasVideo);
    updateTitle();
}

// --- Title and errors ---------------------------------------------------------------------------

QString ContentView::titleText(const AppState *state)
{
    const CaptureDocument *document = state->document();
    if (!document->projectURL().isEmpty())
        return QFileInfo(document->projectURL().path()).completeBaseName();
    if (!document->videoURL().isEmpty())
        return document->videoName();
    return QStringLiteral("Quintarel");
}

void ContentView::updateTitle()
{
    // "[*]" shows where the window system puts the mark of unsaved work; "[*][*]" stands for the
    // three characters themselves.
    QString title = windowTitleText();
    title.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
    setWindowTitle(title + QStringLiteral("[*]"));
    setWindowModified(m_state->document()->isModified());
}

void ContentView::showExportRun()
{
    ExportRun *run = m_state->exportRun();
    m_exportPanel->setRun(run);
    m_exportProgress->setRun(run);
    if (run) {
        // A run that ends with failures brings their list into sight, once the list has been laid
        // out with its lines.
        connect(run, &ExportRun::finished, this, [this, run] {
            if (run != m_state->exportRun() || run->failures().isEmpty())
                return;
            QTimer::singleShot(0, this, [this] {
                QWidget *failures = m_exportPanel->failuresList();
                if (failures->isVisible())
                    m_controls->ensureWidgetVisible(
                        failures, 0, m_controls->widget()->layout()->contentsMargins().bottom());
            });
        });
    }
}

void ContentView::updateErrorAlert()
{
    const std::optional<QString> message = m_state->errorMessage();
    if (!message) {
        if (QMessageBox *alert = m_errorAlert) {
            m_errorAlert = nullptr;
            alert->close();
        }
        return;
    }
    if (m_errorAlert) {
        m_errorAlert->setText(*message);
        return;
    }

    auto *alert = new QMessageBox(this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setIcon(QMessageBox::Warning);
    alert->setWindowTitle(tr("Erreur"));
    // Messages quote file names and library texts, shown as they are.
    alert->setTextFormat(Qt::PlainText);
    alert->setText(*message);
    QPushButton *ok = alert->addButton(tr("OK"), QMessageBox::RejectRole);
    alert->setDefaultButton(ok);
    alert->setEscapeButton(ok);
    connect(alert, &QDialog::finished, this, [this, alert] {
        if (m_errorAlert == alert)
            m_errorAlert = nullptr;
        m_state->clearErrorMessage();
    });
    m_errorAlert = alert;
    alert->open();
}

void ContentView::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        sizeRightColumn();
    }
}

void ContentView::closeEvent(QCloseEvent *event)
{
    // A cancelled or failed save keeps the window open, as does "Annuler".
    if (!UnsavedWorkPrompt::confirm(m_state, this, UnsavedWorkPrompt::Reason::Closing) ||
        !confirmClosingDuringExport()) {
        event->ignore();
        return;
    }
    event->accept();
}

bool ContentView::confirmClosingDuringExport()
{
    ExportRun *run = m_state->exportRun();
    if (!run || !run->isRunning())
        return true;
    QMessageBox question(this);
    question.setIcon(QMessageBox::Question);
    question.setWindowTitle(windowTitleText());
    question.setTextFormat(Qt::PlainText);
    // The count follows the export while the question waits for its answer.
    const auto showProgress = [this, &question, run] {
        question.setText(tr("L'export de « %1 » est en cours (%2 / %3 images).")
                             .arg(windowTitleText())
                             .arg(run->progress().completed)
                             .arg(run->progress().total));
    };
    showProgress();
    const QMetaObject::Connection following =
        connect(run, &ExportRun::progressChanged, &question, showProgress);
    question.setInformativeText(
        tr("Il peut se terminer sans cette fenêtre, ou s'arrêter après l'image en cours."));
    QPushButton *finish = question.addButton(tr("Laisser terminer"), QMessageBox::AcceptRole);
    QPushButton *stop = question.addButton(tr("Arrêter l'export"), QMessageBox::DestructiveRole);
    question.addButton(tr("Annuler"), QMessageBox::RejectRole);
    question.setDefaultButton(finish);
    question.exec();
    disconnect(following);

    if (question.clickedButton() == stop) {
        run->cancel();
        return true;
    }
    return question.clickedButton() == finish;
}
