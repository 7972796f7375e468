#include "AppError.h"

#include <QCoreApplication>

QString AppError::errorDescription() const
{
    switch (m_kind) {
    case Kind::FrameExtractionFailed:
        return QCoreApplication::translate("AppError", "Échec de l'extraction de l'image : %1").arg(m_detail);
    case Kind::ExportFailed:
        return QCoreApplication::translate("AppError", "Échec de l'export : %1").arg(m_detail);
    case Kind::NoVideoLoaded:
        return QCoreApplication::translate("AppError", "Aucune vidéo chargée.");
    case Kind::NoOutputFolder:
        return QCoreApplication::translate("AppError", "Aucun dossier de sortie sélectionné.");
    case Kind::SubjectLiftingUnavailable:
        return QCoreApplication::translate(
            "AppError", "Le modèle de détourage est introuvable. Réinstallez le programme pour le "
                        "rétablir.");
    case Kind::NoSubjectFound:
        return QCoreApplication::translate("AppError", "Aucun sujet détecté dans cette image.");
    case Kind::PlatformFailure:
        return m_detail;
    case Kind::NoVideoTrack:
        return QCoreApplication::translate("AppError", "Ce fichier ne contient aucune image vidéo : %1")
            .arg(m_detail);
    case Kind::VideoUnreadable:
        return QCoreApplication::translate("AppError", "Impossible de lire cette vidéo : %1").arg(m_detail);
    case Kind::VideoNotOpened:
        return QCoreApplication::translate("AppError", "Impossible d'ouvrir la vidéo : %1").arg(m_detail);
    }
    return {};
}
