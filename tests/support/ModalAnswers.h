#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QDialog;
class QWidget;

// Answers the modal dialogs that a test's action brings up, one answer per dialog, in the order
// they appear (each modal dialog runs its own event loop, so the answers come from a timer). What
// each dialog said is kept for the test to check.
class ModalAnswers : public QObject
{
    Q_OBJECT

public:
    using Answer = std::function<void(QWidget *dialog)>;

    explicit ModalAnswers(const QList<Answer> &answers);
    ~ModalAnswers() override;

    // Clicks the message box's button labelled `label`.
    static Answer click(const QString &label);
    // Chooses the file at `path` in a file dialog.
    static Answer choose(const QString &path);
    // Closes the dialog without choosing anything.
    static Answer dismiss();

    // The text of each message box answered so far, in order.
    QStringList questions() const { return m_questions; }
    bool allAnswered() const { return m_answers.isEmpty(); }

private:
    void poll();

    QTimer m_timer;
    QList<Answer> m_answers;
    QList<QPointer<QDialog>> m_answered;
    QStringList m_questions;
};
