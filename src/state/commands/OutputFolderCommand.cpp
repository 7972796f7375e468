#include "OutputFolderCommand.h"

OutputFolderCommand::OutputFolderCommand(CaptureDocument *document, const QUrl &before, const QUrl &after)
    : DocumentCommand(document, tr("choix du dossier de sortie"), tr("le choix du dossier de sortie"))
    , m_before(before)
    , m_after(after)
{}
