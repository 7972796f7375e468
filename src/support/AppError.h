#pragma once

#include <QString>

// The failures the user gets to read. Four kinds carry a detail text after a fixed prefix;
// `platformFailure` carries a library's own description, shown as it is.
class AppError
{
public:
    enum class Kind {
        FrameExtractionFailed,
        ExportFailed,
        NoVideoLoaded,
        NoOutputFolder,
        SubjectLiftingUnavailable,
        NoSubjectFound,
        PlatformFailure,
        NoVideoTrack,
        VideoUnreadable,
        VideoNotOpened,
    };

    static AppError frameExtractionFailed(const QString &detail)
    {
        return {Kind::FrameExtractionFailed, detail};
    }
    static AppError exportFailed(const QString &detail) { return {Kind::ExportFailed, detail}; }
    static AppError noVideoLoaded() { return {Kind::NoVideoLoaded, {}}; }
    static AppError noOutputFolder() { return {Kind::NoOutputFolder, {}}; }
    static AppError subjectLiftingUnavailable() { return {Kind::SubjectLiftingUnavailable, {}}; }
    static AppError noSubjectFound() { return {Kind::NoSubjectFound, {}}; }
    static AppError platformFailure(const QString &description)
    {
        return {Kind::PlatformFailure, description};
    }
    // A file opened as a video that holds none; the detail is its name.
    static AppError noVideoTrack(const QString &fileName) { return {Kind::NoVideoTrack, fileName}; }
    // A video whose pictures cannot be read or shown; the detail names the file and the cause.
    static AppError videoUnreadable(const QString &detail) { return {Kind::VideoUnreadable, detail}; }
    // A file chosen as a video that the video library refuses to open; the detail names the file
    // and the cause.
    static AppError videoNotOpened(const QString &detail) { return {Kind::VideoNotOpened, detail}; }

    Kind kind() const { return m_kind; }
    QString detail() const { return m_detail; }
    // The French message shown to the user.
    QString errorDescription() const;

    friend bool operator==(const AppError &, const AppError &) = default;

private:
    AppError(Kind kind, const QString &detail) : m_kind(kind), m_detail(detail) {}

    Kind m_kind;
    QString m_detail;
};
