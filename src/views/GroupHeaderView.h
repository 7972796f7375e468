#pragma once

#include <QUuid>
#include <QWidget>

class CaptureDocument;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
struct CaptureGroup;

// The header row of one capture group in the frames list: active-group marker, editable name, frame
// count, description popup and delete button. Every edit goes to the document at once; typing in the
// name or the description makes one undo step per field.
class GroupHeaderView : public QWidget
{
    Q_OBJECT

public:
    GroupHeaderView(CaptureDocument *document, const QUuid &groupId, QWidget *parent = nullptr);

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

    CaptureDocument *m_document;
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
