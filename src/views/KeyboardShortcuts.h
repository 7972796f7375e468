#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

// The program's keys, in one place: the menus take their shortcuts from here, and every text that
// names a key (tooltips, menu titles, hints, the shortcuts window) spells it the platform's way,
// in the interface's language ("Ctrl+Maj+E", "Maj+Gauche").
namespace KeyboardShortcuts {

QKeySequence newProject();
QKeySequence openVideo();
QKeySequence openProject();
QKeySequence save();
QKeySequence saveAs();
QKeySequence exportMerged();
QKeySequence exportPerSubject();
QKeySequence quit();
QKeySequence undo();
QKeySequence redo();
QKeySequence copyImage();
QKeySequence playPause();
QKeySequence previousFrame();
QKeySequence nextFrame();
QKeySequence intervalBack();
QKeySequence intervalForward();
QKeySequence previousShot();
QKeySequence nextShot();
QKeySequence capture();
QKeySequence captureSharpest();
QKeySequence showShortcuts();
// Both keys that delete the selected annotation.
QList<QKeySequence> deleteAnnotation();
// What the picture's canvas does with the selected annotation while it has the focus.
QKeySequence duplicateAnnotation();
QKeySequence copyAnnotation();
QKeySequence pasteAnnotation();
QKeySequence bringAnnotationToFront();
QKeySequence sendAnnotationToBack();
// The arrows that move it by a pixel, and by ten.
QList<QKeySequence> nudgeAnnotation();
QList<QKeySequence> nudgeAnnotationFurther();
// Opens the previewed frame in the large editing view, and closes it again (as Escape does there).
QKeySequence editFrame();
QKeySequence closeEditing();
// The editing view's zoom.
QKeySequence zoomToFit();
QKeySequence zoomToActualSize();
QList<QKeySequence> zoomIn();
QKeySequence zoomOut();
// Both keys that delete the selected frames while the frames list has the focus.
QList<QKeySequence> deleteFrames();

// The keys as the platform shows them; several are joined with " / ".
QString text(const QKeySequence &keys);
QString text(const QList<QKeySequence> &keys);
// "label (keys)", as tooltips and menu titles name the key of their action.
QString withKeys(const QString &label, const QKeySequence &keys);
QString withKeys(const QString &label, const QList<QKeySequence> &keys);

} // namespace KeyboardShortcuts
