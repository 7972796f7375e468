#include "BindVideoCommand.h"

BindVideoCommand::BindVideoCommand(CaptureDocument *document, const QUrl &missingVideo, const QUrl &located)
    : DocumentCommand(document, tr("localisation de la vidéo"), tr("la localisation de la vidéo"))
    , m_missing(missingVideo)
    , m_located(located)
{}
