#pragma once

#include <QPointer>
#include <QWidget>

class ExportRun;
class QLabel;
class QProgressBar;
class QPushButton;

// The progress of the window's export run, kept in sight under the scrolled controls: a bar, the
// frames done out of all of them, and a button that stops the run after the frame in progress.
// Shown while a run is going on, and after it with its last values, until the window shows no run.
class ExportProgressView : public QWidget
{
    Q_OBJECT

public:
    explicit ExportProgressView(QWidget *parent = nullptr);

    // The window's export run; null hides the view.
    void setRun(ExportRun *run);

    QProgressBar *bar() const { return m_bar; }
    // "completed / total".
    QString countText() const;
    // What became of the run: empty while it goes on and once it has completed; says so when it was
    // stopped.
    QString statusText() const;
    QPushButton *cancelButton() const { return m_cancel; }

private:
    void refresh();

    QPointer<ExportRun> m_run;
    QProgressBar *m_bar;
    QLabel *m_count;
    QLabel *m_status;
    QPushButton *m_cancel;
};
