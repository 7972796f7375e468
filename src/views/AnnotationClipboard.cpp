#include "AnnotationClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QMimeData>

QString AnnotationClipboard::mimeType()
{
    return QStringLiteral("application/x-quintarel-annotation+json");
}

void AnnotationClipboard::copy(const Annotation &annotation)
{
    auto *data = new QMimeData;
    data->setData(mimeType(), QJsonDocument(annotation.toJson()).toJson(QJsonDocument::Compact));
    // The clipboard takes the data.
    QGuiApplication::clipboard()->setMimeData(data);
}

std::optional<Annotation> AnnotationClipboard::pasted()
{
    return read(QGuiApplication::clipboard()->mimeData());
}

std::optional<Annotation> AnnotationClipboard::read(const QMimeData *data)
{
    if (!data || !data->hasFormat(mimeType()))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data->data(mimeType()), &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    std::optional<Annotation> annotation = Annotation::fromJson(document.object());
    // A kind this version does not draw is not pasted.
    if (annotation && annotation->isUnread())
        return std::nullopt;
    return annotation;
}
