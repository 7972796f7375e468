#include "TestRegistry.h"

#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "persistence/ProjectFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <limits>

namespace {

ProjectFile sampleFile()
{
    Annotation arrow;
    arrow.kind = QStringLiteral("arrow");
    arrow.start = {0.25, 0.5};
    arrow.end = {1.2, -0.1};
    arrow.b = 0.30000000000000004;

    ProjectFile file;
    file.videoBookmark = QByteArray("/home/ana/Vidéos/clip.mov");
    file.videoName = QStringLiteral("clip");
    file.settings.get<OutputFolderSetting>() = QByteArray("\xff\x00/\xfe", 4);
    file.settings.get<CropToSubjectSetting>() = true;
    file.settings.get<SelectedFilterSetting>() = QStringLiteral("comic");
    file.settings.get<EdgeOptionsSetting>() = {1.5, 0.1, true, 6.0, {0.2, 1e-7, 5e-324, 0.5}};
    file.activeGroupIndex = -3;
    file.groups = {
        GroupDTO{QStringLiteral("Vide"), QString(), {}},
        GroupDTO{QStringLiteral("Plans/serrés"),
                 QStringLiteral("Intro\nsuite"),
                 {FrameDTO{1001, 30000, QStringLiteral("regard"), QList<Annotation>{arrow, Annotation()}, {}},
                  FrameDTO{(std::int64_t(1) << 62) + 1,
                           std::numeric_limits<std::int32_t>::max(),
                           {},
                           QList<Annotation>{},
                           {}},
                  FrameDTO{std::numeric_limits<std::int64_t>::min(), 1, {}, QList<Annotation>{}, {}}}},
    };
    return file;
}

// The same file as a QJsonObject tree, with each drawing in its own JSON form.
QJsonObject tree(const ProjectFile &file)
{
    QJsonArray groups;
    for (const GroupDTO &group : file.groups) {
        QJsonArray frames;
        for (const FrameDTO &frame : group.frames) {
            QJsonArray annotations;
            for (const Annotation &annotation : frame.annotations.value_or(QList<Annotation>{}))
                annotations.append(annotation.toJson());
            QJsonObject object{{"annotations", annotations},
                               {"notes", frame.notes},
                               {"timeScale", frame.timeScale},
                               {"timeValue", qint64(frame.timeValue)}};
            QJsonArray corrections;
            for (const CutoutCorrection &correction : frame.corrections)
                corrections.append(correction.toJson());
            if (!corrections.isEmpty())
                object.insert("corrections", corrections);
            frames.append(object);
        }
        groups.append(QJsonObject{{"frames", frames}, {"name", group.name}, {"notes", group.notes}});
    }
    const EdgeOptions &edge = file.settings.get<EdgeOptionsSetting>();
    const RgbaColor &color = edge.outlineColor;
    QJsonObject root{
        {"activeGroupIndex", qint64(file.activeGroupIndex)},
        {"cropToSubject", file.settings.get<CropToSubjectSetting>()},
        {"edge", QJsonObject{{"a", color.a},
                             {"b", color.b},
                             {"feather", edge.feather},
                             {"g", color.g},
                             {"outline", edge.outline},
                             {"outlineWidth", edge.outlineWidth},
                             {"r", color.r},
                             {"shrink", edge.shrink}}},
        {"filter", file.settings.get<SelectedFilterSetting>()},
        {"groups", groups},
        {"version", qint64(file.version)},
        {"videoName", file.videoName},
    };
    if (file.videoBookmark)
        root.insert("videoBookmark", QString::fromLatin1(file.videoBookmark->toBase64()));
    if (file.settings.get<OutputFolderSetting>())
        root.insert("outputFolderBookmark",
                    QString::fromLatin1(file.settings.get<OutputFolderSetting>()->toBase64()));
    return root;
}

// Member names of the objects whose members sit at `indent` spaces, in the order written.
QStringList membersAtIndent(const QByteArray &json, int indent)
{
    QStringList names;
    const QRegularExpression member(QStringLiteral("^( *)\"([^\"]+)\":"));
    for (const QByteArray &line : json.split('\n')) {
        const QRegularExpressionMatch match = member.match(QString::fromUtf8(line));
        if (match.hasMatch() && match.capturedLength(1) == indent && !names.contains(match.captured(2)))
            names.append(match.captured(2));
    }
    return names;
}

// A valid document in which the rows below replace one piece of text.
const QByteArray validDocument = R"({
  "activeGroupIndex": 1,
  "cropToSubject": true,
  "edge": {"a": 1, "b": 0, "feather": 2, "g": 0.5, "outline": true, "outlineWidth": 6, "r": 1, "shrink": 1.5},
  "filter": "comic",
  "groups": [
    {"frames": [], "name": "Vide", "notes": ""},
    {"frames": [{"annotations": [{"a": 1, "b": 0, "end": [0.5, 0.5], "g": 0, "id": "6F9619FF-8B86-D011-B42D-00C04FC964FF", "kind": "arrow", "lineWidth": 0.006, "r": 1, "start": [0.1, 0.2]}], "notes": "regard", "timeScale": 30000, "timeValue": 1001}],
     "name": "Plans", "notes": "Intro"}
  ],
  "outputFolderBookmark": "L3RtcC9vdXQ=",
  "version": 1,
  "videoBookmark": "L3RtcC9jbGlwLm1vdg==",
  "videoName": "clip"
})";

QByteArray replaced(const char *from, const char *to)
{
    QByteArray document = validDocument;
    if (!document.contains(from))
        qFatal("the sample document has no \"%s\"", from);
    return document.replace(from, to);
}

// One field of a read file in text form, for the data-driven rows.
QString field(const ProjectFile &file, const QString &name)
{
    if (name == u"groups")
        return QString::number(file.groups.size());
    if (name == u"version")
        return QString::number(file.version);
    if (name == u"activeGroupIndex")
        return QString::number(file.activeGroupIndex);
    if (file.groups.size() < 2 || file.groups.at(1).frames.isEmpty())
        return QStringLiteral("no frame");
    const FrameDTO &frame = file.groups.at(1).frames.at(0);
    if (name == u"timeValue")
        return QString::number(frame.timeValue);
    if (name == u"timeScale")
        return QString::number(frame.timeScale);
    if (name == u"filter")
        return file.settings.get<SelectedFilterSetting>();
    if (name == u"annotations")
        return frame.annotations ? QString::number(frame.annotations->size()) : QStringLiteral("absent");
    if (name == u"videoBookmark")
        return file.videoBookmark ? QString::fromLatin1(file.videoBookmark->toHex())
                                  : QStringLiteral("absent");
    return QStringLiteral("?");
}

} // namespace

class ProjectFileTest : public QObject
{
    Q_OBJECT

private slots:
    void writesMembersSortedWithoutNulls()
    {
        const ProjectFile sample = sampleFile();
        const QByteArray json = sample.toJson();
        QCOMPARE(membersAtIndent(json, 4),
                 (QStringList{"activeGroupIndex", "cropToSubject", "edge", "filter", "groups",
                              "outputFolderBookmark", "version", "videoBookmark", "videoName"}));
        QCOMPARE(membersAtIndent(json, 8),
                 (QStringList{"a", "b", "feather", "g", "outline", "outlineWidth", "r", "shrink"}));
        QCOMPARE(membersAtIndent(json, 12), (QStringList{"frames", "name", "notes"}));
        QCOMPARE(membersAtIndent(json, 20), (QStringList{"annotations", "notes", "timeScale", "timeValue"}));
        QVERIFY(!json.contains("null"));
        QVERIFY(json.contains("\"timeValue\": 4611686018427387905"));
        QVERIFY(json.contains("\"b\": 5e-324"));
        QVERIFY(json.contains("\"outputFolderBookmark\": \"/wAv/g==\""));
        // Exactly what QJsonDocument writes for these members, drawings in their own JSON form.
        QCOMPARE(json, QJsonDocument(tree(sample)).toJson(QJsonDocument::Indented));
        // Frames without drawings still carry an empty list.
        QCOMPARE(json.count("\"annotations\": ["), 3);
    }

    void roundTripsExactly()
    {
        const ProjectFile written = sampleFile();
        const QByteArray json = written.toJson();
        QString error;
        const std::optional<ProjectFile> read = ProjectFile::fromJson(json, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(read->groups.at(1).frames.at(0).timeValue, 1001);
        QCOMPARE(read->groups.at(1).frames.at(0).timeScale, 30000);
        QCOMPARE(read->groups.at(1).frames.at(1).timeValue, (std::int64_t(1) << 62) + 1);
        QCOMPARE(read->settings.get<EdgeOptionsSetting>().outlineColor.b, 5e-324);
        QVERIFY(*read == written);
        // Encoding what was read gives the same bytes again.
        QCOMPARE(read->toJson(), json);
    }

    void keepsCutoutCorrectionsOnlyWhereThereAreSome()
    {
        ProjectFile file = sampleFile();
        const QByteArray plain = file.toJson();
        const QList<CutoutCorrection> corrections{
            CutoutCorrection::dropSubject({0.7, 0.45}),
            CutoutCorrection::addSubject({0.1, 0.9}, {0.0, 0.75, 0.25, 0.25}),
            CutoutCorrection::addSubjectInBox({0.5, 0.2}, {0.3, 0.6}),
            CutoutCorrection::erase({{0.2, 0.2}, {0.30000000000000004, 0.25}}, 0.02),
            CutoutCorrection::restore({{1.0, 1.0}}, 5e-324),
        };
        file.groups[1].frames[1].corrections = corrections;
        const QByteArray json = file.toJson();
        // The member sits between the drawings and the note, on that frame alone, in QJsonDocument's
        // own layout.
        QCOMPARE(json, QJsonDocument(tree(file)).toJson(QJsonDocument::Indented));
        QCOMPARE(json.count("\"corrections\""), 1);
        QCOMPARE(membersAtIndent(json, 20),
                 (QStringList{"annotations", "notes", "timeScale", "timeValue", "corrections"}));

        QString error;
        const std::optional<ProjectFile> read = ProjectFile::fromJson(json, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(read->groups.at(1).frames.at(1).corrections, corrections);
        QVERIFY(read->groups.at(1).frames.at(0).corrections.isEmpty());
        QVERIFY(*read == file);
        QCOMPARE(read->toJson(), json);

        // Without corrections the file is written as it was before they existed.
        file.groups[1].frames[1].corrections.clear();
        QCOMPARE(file.toJson(), plain);
        QVERIFY(!plain.contains("corrections"));
    }

    // Each kind in its own members, an unread one as it was read, and the file as QJsonDocument would
    // write the same tree.
    void storesEveryKindInItsOwnForm()
    {
        ProjectFile file = sampleFile();
        QList<Annotation> drawings;
        for (const AnnotationShape *shape : AnnotationShapes::all()) {
            Annotation annotation = shape->begin({0.2, 0.3});
            shape->extend(annotation, {0.45, 0.35});
            shape->extend(annotation, {0.7, 0.9});
            annotation.a = 0.25;
            drawings << annotation;
        }
        drawings[3].filled = true;
        const QJsonObject future{{"id", "0F9619FF-8B86-D011-B42D-00C04FC964FF"},
                                 {"kind", "stamp"},
                                 {"number", 3},
                                 {"at", QJsonArray{0.5, 0.5}},
                                 {"big", qint64(-9007199254740993)},
                                 {"label", QJsonValue::Null}};
        drawings << *Annotation::fromJson(future);
        file.groups[1].frames[1].annotations = drawings;

        const QByteArray json = file.toJson();
        QCOMPARE(json, QJsonDocument(tree(file)).toJson(QJsonDocument::Indented));
        QVERIFY(json.contains("\"big\": -9007199254740993"));
        QVERIFY(json.contains("\"label\": null"));
        QString error;
        const std::optional<ProjectFile> read = ProjectFile::fromJson(json, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(read->groups.at(1).frames.at(1).annotations, drawings);
        QCOMPARE(read->groups.at(1).frames.at(1).annotations->last().toJson(), future);
        QCOMPARE(read->toJson(), json);
    }

    void writesEdgeColoursOnlyWhenTheyAreCleaned()
    {
        ProjectFile file = sampleFile();
        QVERIFY(!file.settings.get<EdgeOptionsSetting>().cleanColors);
        const QByteArray plain = file.toJson();
        QVERIFY(!plain.contains("cleanColors"));
        file.settings.get<EdgeOptionsSetting>().cleanColors = true;
        const QByteArray json = file.toJson();
        QVERIFY(json.contains("\"b\": 5e-324,\n        \"cleanColors\": true,\n        \"feather\""));
        // The member is the only difference.
        QCOMPARE(QByteArray(json).replace("        \"cleanColors\": true,\n", ""), plain);
        QString error;
        const std::optional<ProjectFile> read = ProjectFile::fromJson(json, &error);
        QVERIFY2(read, qPrintable(error));
        QVERIFY(read->settings.get<EdgeOptionsSetting>().cleanColors);
        QCOMPARE(read->toJson(), json);
        // An older file, without the member, keeps the colours as they are.
        const std::optional<ProjectFile> older = ProjectFile::fromJson(validDocument, &error);
        QVERIFY2(older, qPrintable(error));
        QVERIFY(!older->settings.get<EdgeOptionsSetting>().cleanColors);
        QVERIFY(!ProjectFile::fromJson(replaced(R"("shrink": 1.5)", R"("shrink": 1.5, "cleanColors": 0)"),
                                       &error));
        QVERIFY2(error.contains("edge : le membre « cleanColors » n'est ni true ni false"),
                 qPrintable(error));
    }

    void leavesAbsentBookmarksOut()
    {
        ProjectFile file = sampleFile();
        file.videoBookmark.reset();
        file.settings.get<OutputFolderSetting>().reset();
        const QByteArray json = file.toJson();
        QVERIFY(!json.contains("Bookmark"));
        const std::optional<ProjectFile> read = ProjectFile::fromJson(json);
        QVERIFY(read);
        QVERIFY(!read->videoBookmark);
        QVERIFY(!read->settings.get<OutputFolderSetting>());
    }

    void readsEveryAllowedForm_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");

        QTest::newRow("as written") << validDocument << "timeValue"
                                    << "1001";
        QTest::newRow("empty groups") << replaced(R"("groups": [)", R"("groups": [], "old": [)") << "groups"
                                      << "0";
        QTest::newRow("annotations missing")
            << replaced(R"("annotations": [{)", R"("unknown": [{)") << "annotations"
            << "absent";
        QTest::newRow("annotations null")
            << replaced(R"("notes": "regard")", R"("notes": "regard", "annotations": null)") << "annotations"
            << "absent";
        QTest::newRow("version 7") << replaced(R"("version": 1)", R"("version": 7)") << "version"
                                   << "7";
        QTest::newRow("unknown filter") << replaced(R"("comic")", R"("Poster")") << "filter"
                                        << "Poster";
        QTest::newRow("negative active group")
            << replaced(R"("activeGroupIndex": 1)", R"("activeGroupIndex": -3)") << "activeGroupIndex"
            << "-3";
        QTest::newRow("video bookmark null")
            << replaced(R"("L3RtcC9jbGlwLm1vdg==")", "null") << "videoBookmark"
            << "absent";
        QTest::newRow("video bookmark") << validDocument << "videoBookmark"
                                        << "2f746d702f636c69702e6d6f76";
        QTest::newRow("escaped slash in base64")
            << replaced(R"("L3RtcC9jbGlwLm1vdg==")", R"("\/\/\/\/")") << "videoBookmark"
            << "ffffff";
        QTest::newRow("unknown members")
            << replaced(R"("version": 1)", R"("version": 1, "extra": {"deep": [1, 2.5e40]})") << "version"
            << "1";
        QTest::newRow("largest time value") << replaced("1001", "9223372036854775807") << "timeValue"
                                            << "9223372036854775807";
        QTest::newRow("smallest time value") << replaced("1001", "-9223372036854775808") << "timeValue"
                                             << "-9223372036854775808";
        QTest::newRow("integer as 2.0e1") << replaced("1001", "2.0e1") << "timeValue"
                                          << "20";
        QTest::newRow("integer as 1001.000") << replaced("1001", "1001.000") << "timeValue"
                                             << "1001";
        // Beyond 2^53 a double cannot hold it; the text can.
        QTest::newRow("integer beyond 2^53 as decimal")
            << replaced("1001", "9007199254740993.0") << "timeValue"
            << "9007199254740993";
        QTest::newRow("integer as 9.223372036854775807e18")
            << replaced("1001", "9.223372036854775807e18") << "timeValue"
            << "9223372036854775807";
        QTest::newRow("escaped member name")
            << replaced(R"("timeValue": 1001)", R"("time\u0056alue": 9007199254740993.0)") << "timeValue"
            << "9007199254740993";
        QTest::newRow("repeated member, last counts")
            << replaced(R"("timeValue": 1001)", R"("timeValue": 3, "timeValue": 9007199254740995.0)")
            << "timeValue"
            << "9007199254740995";
        QTest::newRow("repeated member, plain integer last")
            << replaced(R"("timeValue": 1001)", R"("timeValue": 9007199254740995.0, "timeValue": 3)")
            << "timeValue"
            << "3";
        // Unknown members never reach the known ones, whatever their names look like.
        QTest::newRow("unknown member named after a frame's place")
            << replaced(R"("version": 1)", R"("version": 1, "groups[1].frames[0]": {"timeValue": 99.0})")
            << "timeValue"
            << "1001";
        QTest::newRow("unknown member shaped like the groups")
            << replaced(R"("version": 1)", R"("version": 1, "groups[1]": {"frames": [{"timeValue": 2.5}]})")
            << "timeValue"
            << "1001";
        QTest::newRow("unknown member inside a frame")
            << replaced(R"("timeValue": 1001)", R"("timeValue": 1001, "x": {"timeValue": 7.0})")
            << "timeValue"
            << "1001";
        QTest::newRow("unknown root member holding a version")
            << replaced(R"("version": 1)", R"("version": 1, "x": [{"version": 5.0}])") << "version"
            << "1";
        QTest::newRow("negative time scale") << replaced("30000", "-30000") << "timeScale"
                                             << "-30000";
        QTest::newRow("largest time scale") << replaced("30000", "2147483647") << "timeScale"
                                            << "2147483647";
    }

    void readsEveryAllowedForm()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        QString error;
        const std::optional<ProjectFile> read = ProjectFile::fromJson(document, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(::field(*read, field), expected);
    }

    void rejectsDamagedFiles_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("expected"); // part of the description

        QTest::newRow("empty file") << QByteArray() << "le fichier est vide";
        QTest::newRow("only white space") << QByteArray(" \n\t ") << "le fichier est vide";
        QTest::newRow("truncated") << validDocument.left(validDocument.size() / 2)
                                   << "le fichier n'est pas du JSON valide : texte non terminé (octet ";
        QTest::newRow("not JSON") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10)
                                  << "le fichier n'est pas du JSON valide : ";
        QTest::newRow("trailing garbage") << validDocument + "}"
                                          << "des données suivent la fin du document";
        QTest::newRow("root is an array") << QByteArray("[1, 2]") << "le document n'est pas un objet JSON";
        QTest::newRow("root is a string")
            << QByteArray("\"project\"") << "le fichier n'est pas du JSON valide";
        QTest::newRow("deeply nested")
            << QByteArray(100000, '[') + QByteArray(100000, ']') << "imbrication trop profonde";
        QTest::newRow("deeply nested member")
            << replaced(R"("version": 1)",
                        QByteArray("\"version\": 1, \"x\": " + QByteArray(5000, '[') + QByteArray(5000, ']'))
                            .constData())
            << "imbrication trop profonde";
        QTest::newRow("invalid UTF-8") << replaced("\"clip\"", "\"cl\xff\xfe\"") << "texte UTF-8 non valide";
        QTest::newRow("missing groups")
            << replaced(R"("groups": [)", R"("old": [)") << "le membre « groups » est absent";
        QTest::newRow("groups not an array") << replaced(R"("groups": [)", R"("groups": {}, "old": [)")
                                             << "le membre « groups » n'est pas un tableau";
        QTest::newRow("group not an object")
            << replaced(R"({"frames": [], "name": "Vide", "notes": ""})", "7")
            << "groups[0] n'est pas un objet";
        QTest::newRow("timeScale as text")
            << replaced("30000", "\"30000\"")
            << "groups[1].frames[0] : le membre « timeScale » n'est pas un nombre";
        QTest::newRow("timeScale missing") << replaced(R"("timeScale": 30000,)", "")
                                           << "groups[1].frames[0] : le membre « timeScale » est absent";
        QTest::newRow("timeScale beyond 32 bits")
            << replaced("30000", "2147483648") << "ne tient pas sur 32 bits";
        QTest::newRow("timeScale below 32 bits")
            << replaced("30000", "-2147483649") << "ne tient pas sur 32 bits";
        QTest::newRow("timeValue beyond 64 bits")
            << replaced("1001", "9223372036854775808") << "le membre « timeValue » ne tient pas sur 64 bits";
        QTest::newRow("timeValue below 64 bits")
            << replaced("1001", "-9223372036854775809") << "ne tient pas sur 64 bits";
        QTest::newRow("timeValue of 1e30") << replaced("1001", "1e30") << "ne tient pas sur 64 bits";
        QTest::newRow("timeValue with a fraction")
            << replaced("1001", "1001.5") << "n'est pas un nombre entier";
        QTest::newRow("timeValue with a fraction beyond 2^53")
            << replaced("1001", "9007199254740993.5") << "n'est pas un nombre entier";
        QTest::newRow("timeValue of 1e-3") << replaced("1001", "1e-3") << "n'est pas un nombre entier";
        QTest::newRow("version as text") << replaced(R"("version": 1)", R"("version": "1")")
                                         << "le membre « version » n'est pas un nombre";
        QTest::newRow("active group as true")
            << replaced(R"("activeGroupIndex": 1)", R"("activeGroupIndex": true)")
            << "le membre « activeGroupIndex » n'est pas un nombre";
        QTest::newRow("cropToSubject as 1") << replaced(R"("cropToSubject": true)", R"("cropToSubject": 1)")
                                            << "le membre « cropToSubject » n'est ni true ni false";
        QTest::newRow("edge member missing") << replaced(R"("shrink": 1.5)", R"("shrinkage": 1.5)")
                                             << "edge : le membre « shrink » est absent";
        QTest::newRow("edge not an object")
            << replaced(R"("edge": {)", R"("edge": 0, "old": {)") << "le membre « edge » n'est pas un objet";
        QTest::newRow("filter missing")
            << replaced(R"("filter": "comic",)", "") << "le membre « filter » est absent";
        QTest::newRow("frame notes null") << replaced(R"("notes": "regard")", R"("notes": null)")
                                          << "le membre « notes » n'est pas un texte";
        QTest::newRow("invalid base64")
            << replaced("L3RtcC9vdXQ=", "L3Rt*C9vdXQ=") << "n'est pas du base64 valide";
        QTest::newRow("base64 without padding")
            << replaced("L3RtcC9vdXQ=", "L3RtcC9vdXQ") << "n'est pas du base64 valide";
        QTest::newRow("base64 with a line break")
            << replaced("L3RtcC9vdXQ=", "L3Rt\\ncC9vdXQ=") << "n'est pas du base64 valide";
        QTest::newRow("base64 beyond Latin-1")
            << replaced("L3RtcC9vdXQ=", "L3RtcC9vdX\\u0141=") << "n'est pas du base64 valide";
        QTest::newRow("bookmark as number")
            << replaced(R"("L3RtcC9vdXQ=")", "12") << "le membre « outputFolderBookmark » n'est pas un texte";
        QTest::newRow("annotations as object")
            << replaced(R"("annotations": [{)", R"("annotations": {}, "x": [{)")
            << "le membre « annotations » n'est pas un tableau";
        QTest::newRow("a rectangle without its fill")
            << replaced(R"("kind": "arrow")", R"("kind": "rectangle")")
            << "groups[1].frames[0].annotations[0] : le membre « filled » est absent";
        QTest::newRow("an overlong identifier is quoted shortened")
            << replaced(R"("id": "6F9619FF-8B86-D011-B42D-00C04FC964FF")",
                        ("\"id\": \"" + QByteArray(100000, 'x') + "\"").constData())
            << "l'identifiant « xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx… » n'est";
        QTest::newRow("corrections as object")
            << replaced(R"("notes": "regard")", R"("corrections": {}, "notes": "regard")")
            << "le membre « corrections » n'est pas un tableau";
        QTest::newRow("correction of an unknown kind")
            << replaced(
                   R"("notes": "regard")",
                   R"("corrections": [{"kind": "dropSubject", "points": [[0.5, 0.5]]}, {"kind": "paint", "points": []}], "notes": "regard")")
            << "groups[1].frames[0].corrections[1] : ";
        QTest::newRow("stroke without size")
            << replaced(R"("notes": "regard")",
                        R"("corrections": [{"kind": "erase", "points": [[0.5, 0.5]]}], "notes": "regard")")
            << "groups[1].frames[0].corrections[0] : ";
        QTest::newRow("annotation without lineWidth")
            << replaced(R"("lineWidth": 0.006,)", "") << "le membre « lineWidth » est absent";
    }

    void rejectsDamagedFiles()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, expected);
        QString error;
        const std::optional<ProjectFile> read = ProjectFile::fromJson(document, &error);
        QVERIFY(!read);
        QVERIFY2(error.contains(expected), qPrintable(error));
    }

    void findsNumbersJsonCannotHold()
    {
        ProjectFile file = sampleFile();
        QCOMPARE(file.firstNonFiniteNumber(), QString());
        file.groups[1].frames[0].annotations->last().lineWidth = std::numeric_limits<double>::infinity();
        QCOMPARE(file.firstNonFiniteNumber(), QStringLiteral("groups[1].frames[0].annotations[1]"));
        // The points of a stroke count as well.
        file.groups[1].frames[0].annotations->last().lineWidth = 0.006;
        Annotation stroke = AnnotationShapes::find(QStringLiteral("pen"))->begin({0.1, 0.1});
        stroke.points.append({0.2, std::numeric_limits<double>::quiet_NaN()});
        file.groups[1].frames[1].annotations = QList<Annotation>{stroke};
        QCOMPARE(file.firstNonFiniteNumber(), QStringLiteral("groups[1].frames[1].annotations[0]"));
        file.settings.get<EdgeOptionsSetting>().feather = std::numeric_limits<double>::quiet_NaN();
        QCOMPARE(file.firstNonFiniteNumber(), QStringLiteral("edge.feather"));
    }
};

QUINTAREL_TEST(ProjectFileTest)
#include "ProjectFileTest.moc"
