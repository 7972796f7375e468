#include "InPlaceTextEditor.h"

#include "AnnotationCanvas.h"
#include "models/AnnotationGeometry.h"
#include "models/TextFont.h"
#include "models/TextShape.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QStringList>
#include <QTextCursor>

#include <algorithm>
#include <cmath>

InPlaceTextEditor::InPlaceTextEditor(AnnotationCanvas *canvas, const Annotation &text)
    : QPlainTextEdit(canvas)
    , m_canvas(canvas)
    , m_text(text)
    , m_letterPixels(std::max(6.0, text.lineWidth * TextShape::letterScale * canvas->width()))
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(true);
    document()->setDocumentMargin(0);
    setContentsMargins(0, 0, 0, 0);
    setViewportMargins(0, 0, 0, 0);

    QFont font = TextFont::font();
    font.setPixelSize(int(std::lround(m_letterPixels)));
    setFont(font);
    const QColor color = AnnotationGeometry::strokeColor(text);
    QPalette colours = palette();
    colours.setColor(QPalette::Text, text.filled ? AnnotationGeometry::inkOn(color) : color);
    colours.setColor(QPalette::Base, text.filled ? color : QColor(Qt::transparent));
    setPalette(colours);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(text.filled);
    setAccessibleName(tr("Texte de l'annotation"));

    setPlainText(text.text);
    moveCursor(QTextCursor::End);
    connect(this, &QPlainTextEdit::textChanged, this, &InPlaceTextEditor::fitToWords);
    fitToWords();
}

Annotation InPlaceTextEditor::annotation() const
{
    Annotation edited = m_text;
    edited.text = toPlainText();
    return edited;
}

void InPlaceTextEditor::finish()
{
    end(false);
}

void InPlaceTextEditor::end(bool byPress)
{
    if (m_ended)
        return;
    m_ended = true;
    hide();
    emit finished(annotation(), byPress);
}

bool InPlaceTextEditor::event(QEvent *event)
{
    // Escape and Enter are the editor's own, not the window's shortcuts; letters already are.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            event->accept();
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

void InPlaceTextEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        finish();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void InPlaceTextEditor::focusOutEvent(QFocusEvent *event)
{
    QPlainTextEdit::focusOutEvent(event);
    // The focus gone to a menu of the editor itself or while the window is put aside stays.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    end(event->reason() == Qt::MouseFocusReason);
}

void InPlaceTextEditor::fitToWords()
{
    const QFontMetricsF metrics(font());
    const QStringList lines = toPlainText().split(QLatin1Char('\n'));
    double widest = metrics.horizontalAdvance(QLatin1Char('M'));
    for (const QString &line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const double pad = TextShape::margin * m_letterPixels;
    const double height = metrics.height() + double(lines.size() - 1) * metrics.lineSpacing();
    const QPointF corner = m_canvas->toWidget(m_text.start) + QPointF(pad, pad);
    // A letter's width more than the words, for the cursor after the last one.
    setGeometry(QRectF(corner, QSizeF(widest + metrics.averageCharWidth() + 2, height + 2)).toAlignedRect());
}
