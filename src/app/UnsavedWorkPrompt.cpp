#include "UnsavedWorkPrompt.h"

#include "ContentView.h"
#include "QuintarelCommands.h"
#include "state/AppState.h"

#include <QMessageBox>
#include <QPushButton>

bool UnsavedWorkPrompt::confirm(AppState *state, QWidget *window, Reason reason)
{
    if (!state || !state->hasUnsavedChanges())
        return true;
    const QString name = ContentView::titleText(state);
    QString question;
    switch (reason) {
    case Reason::Closing:
        question = tr("Enregistrer « %1 » avant de fermer ?");
        break;
    case Reason::OpeningVideo:
        question = tr("Enregistrer « %1 » avant d'ouvrir une autre vidéo ?");
        break;
    case Reason::OpeningProject:
        question = tr("Enregistrer « %1 » avant d'ouvrir un autre projet ?");
        break;
    }

    QMessageBox box(window);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(name);
    box.setTextFormat(Qt::PlainText);
    box.setText(question.arg(name));
    box.setInformativeText(
        tr("Sinon, les images capturées, leurs notes et leurs annotations seront perdues."));
    QPushButton *save = box.addButton(tr("Enregistrer"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(tr("Ne pas enregistrer"), QMessageBox::DestructiveRole);
    box.addButton(tr("Annuler"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.exec();

    if (box.clickedButton() == discard)
        return true;
    if (box.clickedButton() != save)
        return false;
    QuintarelCommands::save(state, window);
    // A cancelled or failed save keeps the work where it is.
    return !state->hasUnsavedChanges();
}
