#pragma once

#include "models/ExportMode.h"
#include "models/ImageFormat.h"

#include <QPointer>
#include <QWidget>

class CaptureDocument;
class ElidedLabel;
class ExportRun;
class QCheckBox;
class QLabel;
class QMessageBox;
class QPushButton;
class QVBoxLayout;

// The export settings and actions: output folder, crop to subject, the style in force, the export
// menu with its two modes, the failures of the window's last run and the alert at the end of a
// run. The settings are the document's; the run is the one the window shows (see `setRun`).
// Starting an export is asked of the window with `exportRequested`. The export button and the line
// asking for a folder make the panel's footer, which the window may keep in sight apart from the
// rest (see `detachFooter`).
class ExportPanelView : public QWidget
{
    Q_OBJECT

public:
    explicit ExportPanelView(CaptureDocument *document, QWidget *parent = nullptr);
    ~ExportPanelView() override;

    // Takes the export button and the line under it out of the panel and returns them, for the
    // caller to place; the panel still drives them and deletes them with itself.
    QWidget *detachFooter();

    // The window's export run, going on or ended; null for none.
    void setRun(ExportRun *run);
    ExportRun *run() const;

    // Frames exist, an output folder is chosen and no run is going on.
    bool canExport() const;
    // "N image(s) exportée(s)." or "N image(s) exportée(s), M échec(s)." for the last run, followed
    // by ", 1 fichier Markdown non écrit" or ", K fichiers Markdown non écrits" before the full stop
    // when group descriptions could not be written.
    QString exportSummary() const;
    // The same for a run of `total` frames with `failures` failures, `failedFrames` of them frames
    // (the others are Markdown files).
    // Images in another format than PNG are named by it: "N image(s) WebP exportée(s)…".
    static QString summary(int total, int failures, int failedFrames, ImageFormat format = ImageFormat::Png);

    QPushButton *exportButton() const { return m_exportButton; }
    // The failures of the last run: a title and one line per failure, with room for five lines.
    QWidget *failuresList() const { return m_failuresBox; }
    // The end-of-export alert while it is shown; null otherwise.
    QMessageBox *finishedAlert() const { return m_finishedAlert; }

signals:
    void exportRequested(ExportMode mode);

private:
    void chooseFolder();
    void refresh();
    void refreshFailures();
    void showFinishedAlert();

    CaptureDocument *m_document;
    QPointer<ExportRun> m_run;
    QPointer<QWidget> m_footer;
    ElidedLabel *m_folderName;
    QCheckBox *m_cropToggle;
    QLabel *m_styleName;
    QPushButton *m_exportButton;
    QLabel *m_folderWarning;
    QWidget *m_failuresBox;
    QLabel *m_failuresTitle;
    QLabel *m_failuresIcon;
    QVBoxLayout *m_failureLines;
    QMessageBox *m_finishedAlert = nullptr;
};
