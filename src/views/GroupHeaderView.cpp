#include "GroupHeaderView.h"

#include "ElidedLineEdit.h"
#include "SymbolIcons.h"
#include "ViewStyle.h"
#include "state/CaptureDocument.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The symbol painted in one colour.
QIcon tinted(const QString &symbolName, const QColor &color)
{
    QPixmap pixmap = SymbolIcons::icon(symbolName).pixmap(32, 32);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

GroupHeaderView::GroupHeaderView(CaptureDocument *document, const QUuid &groupId, QWidget *parent)
    : QWidget(parent)
    , m_document(document)
    , m_groupId(groupId)
    , m_activeButton(new QToolButton(this))
    , m_nameField(new ElidedLineEdit(this))
    , m_countLabel(new QLabel(this))
    , m_notesButton(new QToolButton(this))
    , m_deleteButton(new QToolButton(this))
{
    setAutoFillBackground(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(6);

    m_activeButton->setAutoRaise(true);
    connect(m_activeButton, &QToolButton::clicked, this, [this] { m_document->setActiveGroup(m_groupId); });
    row->addWidget(m_activeButton);

    m_nameField->setFrame(false);
    m_nameField->setPlaceholderText(tr("Nom du groupe"));
    m_nameField->setFont(ViewStyle::subheadline());
    m_nameField->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette fieldPalette = m_nameField->palette();
    fieldPalette.setColor(QPalette::Base, Qt::transparent);
    m_nameField->setPalette(fieldPalette);
    connect(m_nameField, &QLineEdit::textEdited, this,
            [this](const QString &name) { m_document->setGroupName(m_groupId, name); });
    row->addWidget(m_nameField, 1);

    m_countLabel->setFont(ViewStyle::caption());
    ViewStyle::setTextColor(m_countLabel, ViewStyle::secondary());
    row->addWidget(m_countLabel);

    m_notesButton->setAutoRaise(true);
    m_notesButton->setToolTip(tr("Description du groupe"));
    connect(m_notesButton, &QToolButton::clicked, this,
            [this] { setNotesShown(!(m_notesPopup && m_notesPopup->isVisible())); });
    row->addWidget(m_notesButton);

    m_deleteButton->setAutoRaise(true);
    m_deleteButton->setIcon(SymbolIcons::icon(QStringLiteral("trash")));
    m_deleteButton->setToolTip(tr("Supprimer le groupe"));
    connect(m_deleteButton, &QToolButton::clicked, this, [this] { m_document->deleteGroup(m_groupId); });
    row->addWidget(m_deleteButton);

    connect(m_document, &CaptureDocument::groupsChanged, this, &GroupHeaderView::refresh);
    connect(m_document, &CaptureDocument::activeGroupIDChanged, this, &GroupHeaderView::refresh);
    refresh();
}

const CaptureGroup *GroupHeaderView::group() const
{
    for (const CaptureGroup &group : m_document->groups()) {
        if (group.id == m_groupId)
            return &group;
    }
    return nullptr;
}

bool GroupHeaderView::isActive() const
{
    return m_document->activeGroupID() == m_groupId;
}

bool GroupHeaderView::canDelete() const
{
    return m_document->groups().size() > 1;
}

void GroupHeaderView::refresh()
{
    const CaptureGroup *current = group();
    if (!current)
        return;
    const bool active = isActive();
    m_activeButton->setIcon(active ? tinted(QStringLiteral("largecircle.fill.circle"), ViewStyle::accent())
                                   : tinted(QStringLiteral("circle"), ViewStyle::secondary()));
    m_activeButton->setToolTip(active ? tr("Groupe actif (cible des captures)")
                                      : tr("Définir comme groupe actif"));
    // Written back only when it differs, so that typing keeps its cursor.
    if (m_nameField->text() != current->name)
        m_nameField->setText(current->name);
    m_countLabel->setText(QString::number(current->frames.size()));
    m_notesButton->setIcon(SymbolIcons::icon(current->notes.isEmpty()
                                                 ? QStringLiteral("text.alignleft")
                                                 : QStringLiteral("text.badge.checkmark")));
    m_deleteButton->setVisible(canDelete());
    if (m_notesPopup) {
        m_notesTitle->setText(tr("Description — ") + current->name);
        if (m_notesEditor->toPlainText() != current->notes) {
            const QSignalBlocker blocker(m_notesEditor);
            m_notesEditor->setPlainText(current->notes);
        }
    }
}

QFrame *GroupHeaderView::makeNotesPopup()
{
    auto *popup = new QFrame(this, Qt::Popup);
    popup->setFrameShape(QFrame::StyledPanel);
    auto *column = new QVBoxLayout(popup);
    column->setSpacing(6);

    m_notesTitle = new QLabel(popup);
    m_notesTitle->setTextFormat(Qt::PlainText);
    m_notesTitle->setFont(ViewStyle::headline());
    column->addWidget(m_notesTitle);

    m_notesEditor = new QPlainTextEdit(popup);
    m_notesEditor->setFixedSize(280, 120);
    m_notesEditor->setFrameShape(QFrame::NoFrame);
    m_notesEditor->setStyleSheet(QStringLiteral("QPlainTextEdit { border: 1px solid %1; }")
                                     .arg(ViewStyle::quaternary().name(QColor::HexArgb)));
    connect(m_notesEditor, &QPlainTextEdit::textChanged, this,
            [this] { m_document->setGroupNotes(m_groupId, m_notesEditor->toPlainText()); });
    column->addWidget(m_notesEditor);

    auto *hint = new QLabel(tr("Exportée en Markdown avec le groupe."), popup);
    hint->setFont(ViewStyle::caption());
    ViewStyle::setTextColor(hint, ViewStyle::secondary());
    column->addWidget(hint);
    return popup;
}

void GroupHeaderView::setNotesShown(bool shown)
{
    if (!shown) {
        if (m_notesPopup)
            m_notesPopup->hide();
        return;
    }
    if (!m_notesPopup) {
        m_notesPopup = makeNotesPopup();
        refresh();
    }
    m_notesPopup->adjustSize();
    // Above the button, its bottom edge pointing at it; below it where the screen has no room
    // above; kept inside the screen either way.
    const QRect button(m_notesButton->mapToGlobal(QPoint(0, 0)), m_notesButton->size());
    const QSize size = m_notesPopup->size();
    const QRect area = m_notesButton->screen()->availableGeometry();
    QPoint position(button.center().x() - size.width() / 2, button.top() - size.height());
    if (position.y() < area.top())
        position.setY(button.bottom() + 1);
    position.setX(
        std::clamp(position.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width())));
    position.setY(
        std::clamp(position.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
    m_notesPopup->move(position);
    m_notesPopup->show();
    m_notesEditor->setFocus();
}
