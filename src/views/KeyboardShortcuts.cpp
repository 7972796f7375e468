#include "KeyboardShortcuts.h"

#include <QStringList>

QKeySequence KeyboardShortcuts::newProject()
{
    return QKeySequence(Qt::CTRL | Qt::Key_N);
}

QKeySequence KeyboardShortcuts::openVideo()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O);
}

QKeySequence KeyboardShortcuts::openProject()
{
    return QKeySequence(Qt::CTRL | Qt::Key_O);
}

QKeySequence KeyboardShortcuts::save()
{
    return QKeySequence(Qt::CTRL | Qt::Key_S);
}

QKeySequence KeyboardShortcuts::saveAs()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
}

QKeySequence KeyboardShortcuts::exportMerged()
{
    return QKeySequence(Qt::CTRL | Qt::Key_E);
}

QKeySequence KeyboardShortcuts::exportPerSubject()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E);
}

QKeySequence KeyboardShortcuts::quit()
{
    return QKeySequence(Qt::CTRL | Qt::Key_Q);
}

QKeySequence KeyboardShortcuts::undo()
{
    return QKeySequence(Qt::CTRL | Qt::Key_Z);
}

QKeySequence KeyboardShortcuts::redo()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
}

QKeySequence KeyboardShortcuts::copyImage()
{
    return QKeySequence(Qt::CTRL | Qt::Key_C);
}

QKeySequence KeyboardShortcuts::playPause()
{
    return QKeySequence(Qt::Key_Space);
}

QKeySequence KeyboardShortcuts::previousFrame()
{
    return QKeySequence(Qt::Key_Left);
}

QKeySequence KeyboardShortcuts::nextFrame()
{
    return QKeySequence(Qt::Key_Right);
}

QKeySequence KeyboardShortcuts::intervalBack()
{
    return QKeySequence(Qt::SHIFT | Qt::Key_Left);
}

QKeySequence KeyboardShortcuts::intervalForward()
{
    return QKeySequence(Qt::SHIFT | Qt::Key_Right);
}

QKeySequence KeyboardShortcuts::previousShot()
{
    return QKeySequence(Qt::Key_PageUp);
}

QKeySequence KeyboardShortcuts::nextShot()
{
    return QKeySequence(Qt::Key_PageDown);
}

QKeySequence KeyboardShortcuts::capture()
{
    return QKeySequence(Qt::Key_C);
}

QKeySequence KeyboardShortcuts::captureSharpest()
{
    return QKeySequence(Qt::SHIFT | Qt::Key_C);
}

QKeySequence KeyboardShortcuts::showShortcuts()
{
    return QKeySequence(Qt::Key_F1);
}

QList<QKeySequence> KeyboardShortcuts::deleteAnnotation()
{
    return {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)};
}

QKeySequence KeyboardShortcuts::duplicateAnnotation()
{
    return QKeySequence(Qt::CTRL | Qt::Key_D);
}

QKeySequence KeyboardShortcuts::copyAnnotation()
{
    return QKeySequence(Qt::CTRL | Qt::Key_C);
}

QKeySequence KeyboardShortcuts::pasteAnnotation()
{
    return QKeySequence(Qt::CTRL | Qt::Key_V);
}

QKeySequence KeyboardShortcuts::bringAnnotationToFront()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up);
}

QKeySequence KeyboardShortcuts::sendAnnotationToBack()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down);
}

QList<QKeySequence> KeyboardShortcuts::nudgeAnnotation()
{
    return {QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Up),
            QKeySequence(Qt::Key_Down)};
}

QList<QKeySequence> KeyboardShortcuts::nudgeAnnotationFurther()
{
    return {QKeySequence(Qt::SHIFT | Qt::Key_Left), QKeySequence(Qt::SHIFT | Qt::Key_Right),
            QKeySequence(Qt::SHIFT | Qt::Key_Up), QKeySequence(Qt::SHIFT | Qt::Key_Down)};
}

QKeySequence KeyboardShortcuts::editFrame()
{
    return QKeySequence(Qt::Key_E);
}

QKeySequence KeyboardShortcuts::closeEditing()
{
    return QKeySequence(Qt::Key_Escape);
}

QKeySequence KeyboardShortcuts::zoomToFit()
{
    return QKeySequence(Qt::CTRL | Qt::Key_0);
}

QKeySequence KeyboardShortcuts::zoomToActualSize()
{
    return QKeySequence(Qt::CTRL | Qt::Key_1);
}

QList<QKeySequence> KeyboardShortcuts::zoomIn()
{
    return {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)};
}

QKeySequence KeyboardShortcuts::zoomOut()
{
    return QKeySequence(Qt::CTRL | Qt::Key_Minus);
}

QList<QKeySequence> KeyboardShortcuts::deleteFrames()
{
    return {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)};
}

QString KeyboardShortcuts::text(const QKeySequence &keys)
{
    return keys.toString(QKeySequence::NativeText);
}

QString KeyboardShortcuts::text(const QList<QKeySequence> &keys)
{
    QStringList texts;
    for (const QKeySequence &sequence : keys)
        texts << text(sequence);
    return texts.join(QStringLiteral(" / "));
}

QString KeyboardShortcuts::withKeys(const QString &label, const QKeySequence &keys)
{
    return withKeys(label, QList<QKeySequence>{keys});
}

QString KeyboardShortcuts::withKeys(const QString &label, const QList<QKeySequence> &keys)
{
    return QStringLiteral("%1 (%2)").arg(label, text(keys));
}
