#pragma once

#include <QUuid>
#include <QWidget>

class AppState;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
struct CaptureGroup;

// The header row of one capture group in the frames list: active-group marker, editable name, frame
// count, description popup and delete button. Every edit goes to the window state at once.
class GroupHeaderView : public QWidget
{
    Q_OBJECT

public:
    GroupHeaderView(AppState *state, const QUuid &groupId, QWidget *parent = nullptr);

    QUuid groupId() const { return m_groupId; }
    bool isActive() const;
    bool canDelete() const;

    QLineEdit *nameField() const { return m_nameField; }
    QToolButton *activeButton() const { return m_activeButton; }
    QToolButton *notesButton() const { return m_notesButton; }
    QToolButton *deleteButton() const { return m_deleteButton; }
    // The description popup, made on first opening; null before.
    QFrame *notesPopup() const { return m_notesPopup; }
    void setNotesShown(bool shown);

private:
    void refresh();
    const CaptureGroup *group() const;
    QFrame *makeNotesPopup();

    AppState *m_state;
    QUuid m_groupId;
    QToolButton *m_activeButton;
    QLineEdit *m_nameField;
    QLabel *m_countLabel;
    QToolButton *m_notesButton;
    QToolButton *m_deleteButton;
    QFrame *m_notesPopup = nullptr;
    QLabel *m_notesTitle = nullptr;
    QPlainTextEdit *m_notesEditor = nullptr;
};
