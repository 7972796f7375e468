#include "ModalAnswers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

#include <algorithm>

ModalAnswers::ModalAnswers(const QList<Answer> &answers) : m_answers(answers)
{
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswers::poll);
    m_timer.start();
}

ModalAnswers::~ModalAnswers() = default;

void ModalAnswers::poll()
{
    if (m_answers.isEmpty())
        return;
    // The dialogs that wait for an answer are the ones run with exec(): application-modal. Alerts
    // opened beside the window (window-modal) are not questions to this object. A modal dialog that
    // asks a question of its own waits for that question's answer: the question is answered first.
    QList<QDialog *> waiting;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (dialog && dialog->isVisible() && dialog->windowModality() == Qt::ApplicationModal &&
            !m_answered.contains(dialog))
            waiting << dialog;
    }
    const auto asksOver = [&waiting](const QDialog *dialog) {
        return std::any_of(waiting.begin(), waiting.end(), [dialog](const QDialog *other) {
            for (const QWidget *owner = other->parentWidget(); owner; owner = owner->parentWidget()) {
                if (owner == dialog)
                    return true;
            }
            return false;
        });
    };
    const auto top = std::find_if(waiting.begin(), waiting.end(),
                                  [&asksOver](const QDialog *dialog) { return !asksOver(dialog); });
    if (top == waiting.end())
        return;
    QDialog *dialog = *top;
    m_answered << dialog;
    if (const auto *box = qobject_cast<QMessageBox *>(dialog))
        m_questions << box->text();
    const Answer answer = m_answers.takeFirst();
    answer(dialog);
    // A dialog that did not take its answer is closed, so that the test fails instead of hanging.
    if (dialog->isVisible())
        dialog->reject();
}

ModalAnswers::Answer ModalAnswers::click(const QString &label)
{
    return [label](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (!box)
            return;
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == label) {
                button->click();
                return;
            }
        }
    };
}

ModalAnswers::Answer ModalAnswers::choose(const QString &path)
{
    return [path](QWidget *dialog) {
        auto *files = qobject_cast<QFileDialog *>(dialog);
        if (!files)
            return;
        files->setDirectory(QFileInfo(path).absolutePath());
        if (auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(QFileInfo(path).fileName());
        static_cast<QDialog *>(files)->accept(); // QFileDialog checks the name, then closes
    };
}

ModalAnswers::Answer ModalAnswers::dismiss()
{
    return [](QWidget *dialog) { static_cast<QDialog *>(dialog)->reject(); };
}
