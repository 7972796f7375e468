#pragma once

#include <QWidget>

class AppState;
class ElidedLabel;
class QCheckBox;
class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

// The export settings and actions: output folder, crop to subject, the style in force, the export
// menu with its two modes, the progress of the running or last run, its failures, and the alert at
// the end of a run.
class ExportPanelView : public QWidget
{
    Q_OBJECT

public:
    explicit ExportPanelView(AppState *state, QWidget *parent = nullptr);

    // Frames exist, an output folder is chosen and no run is going on.
    bool canExport() const;
    // "N image(s) exportée(s)." or "N image(s) exportée(s), M échec(s)." for the last run.
    QString exportSummary() const;

    QPushButton *exportButton() const { return m_exportButton; }
    // The row with the progress bar and its count, shown from the first run on.
    QWidget *progressRow() const { return m_progressBox; }
    // The end-of-export alert while it is shown; null otherwise.
    QMessageBox *finishedAlert() const { return m_finishedAlert; }

signals:
    // A run has started: its progress row is shown and should be in sight.
    void runStarted();

private:
    void chooseFolder();
    void refresh();
    void refreshFailures();
    void showFinishedAlert();

    AppState *m_state;
    ElidedLabel *m_folderName;
    QCheckBox *m_cropToggle;
    QLabel *m_styleName;
    QPushButton *m_exportButton;
    QLabel *m_folderWarning;
    QWidget *m_progressBox;
    QProgressBar *m_progressBar;
    QLabel *m_progressLabel;
    QWidget *m_failuresBox;
    QLabel *m_failuresTitle;
    QLabel *m_failuresIcon;
    QVBoxLayout *m_failureLines;
    QMessageBox *m_finishedAlert = nullptr;
    bool m_running = false;
};
