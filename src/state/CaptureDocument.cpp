#include "CaptureDocument.h"

#include "models/AnnotationShape.h"

#include "models/AnnotationCopy.h"

#include "state/commands/AddAnnotationCommand.h"
#include "state/commands/AddGroupCommand.h"
#include "state/commands/AnnotationEditCommand.h"
#include "state/commands/BindVideoCommand.h"
#include "state/commands/CaptureFrameCommand.h"
#include "state/commands/CutoutCorrectionCommand.h"
#include "state/commands/DeleteAnnotationCommand.h"
#include "state/commands/DeleteFramesCommand.h"
#include "state/commands/DeleteGroupCommand.h"
#include "state/commands/DocumentCommand.h"
#include "state/commands/MoveFrameToGroupCommand.h"
#include "state/commands/ReorderAnnotationCommand.h"
#include "state/commands/ReorderFramesCommand.h"
#include "state/commands/SettingCommand.h"
#include "state/commands/TextFieldCommand.h"

#include <QCoreApplication>
#include <QUndoStack>

#include <algorithm>
#include <utility>

namespace {

// Marks the values of one longest strictly rising subsequence of `values`.
QList<bool> inRisingOrder(const QList<int> &values)
{
    // ends[k]: the position of the last value of the best rising run of length k + 1 found so far.
    QList<qsizetype> ends;
    QList<qsizetype> previous(values.size(), -1);
    for (qsizetype i = 0; i < values.size(); ++i) {
        const auto slot = std::lower_bound(ends.begin(), ends.end(), values.at(i),
                                           [&](qsizetype end, int value) { return values.at(end) < value; });
        if (slot != ends.begin())
            previous[i] = *(slot - 1);
        if (slot == ends.end())
            ends << i;
        else
            *slot = i;
    }
    QList<bool> marked(values.size(), false);
    for (qsizetype i = ends.isEmpty() ? -1 : ends.last(); i >= 0; i = previous.at(i))
        marked[i] = true;
    return marked;
}

} // namespace

CaptureDocument::CaptureDocument(QObject *parent)
    : QObject(parent), m_content(DocumentContent::fresh()), m_undoStack(new QUndoStack(this))
{
    connect(m_undoStack, &QUndoStack::cleanChanged, this,
            [this](bool clean) { emit modifiedChanged(!clean); });
    connect(m_undoStack, &QUndoStack::indexChanged, this, &CaptureDocument::showStep);
}

CaptureDocument::~CaptureDocument() = default;

// --- Derived values ---------------------------------------------------------------------------

QList<CapturedFrame> CaptureDocument::allFrames() const
{
    QList<CapturedFrame> frames;
    frames.reserve(frameCount());
    for (const CaptureGroup &group : m_content.groups)
        frames += group.frames;
    return frames;
}

qsizetype CaptureDocument::frameCount() const
{
    qsizetype count = 0;
    for (const CaptureGroup &group : m_content.groups)
        count += group.frames.size();
    return count;
}

std::optional<CaptureDocument::FramePlace> CaptureDocument::place(const QUuid &frameId) const
{
    if (!m_placesKnown) {
        m_places.clear();
        m_places.reserve(frameCount());
        m_placesKnown = true;
        renumberGroups(0);
    }
    const auto found = m_places.constFind(frameId);
    return found == m_places.cend() ? std::nullopt : std::optional<FramePlace>(*found);
}

void CaptureDocument::renumberFrames(int group, qsizetype from) const
{
    if (!m_placesKnown)
        return;
    const QList<CapturedFrame> &frames = m_content.groups.at(group).frames;
    for (qsizetype position = std::max<qsizetype>(from, 0); position < frames.size(); ++position)
        m_places.insert(frames.at(position).id, FramePlace{group, int(position)});
}

void CaptureDocument::renumberGroups(int group) const
{
    for (int g = std::max(group, 0); g < m_content.groups.size(); ++g)
        renumberFrames(g, 0);
}

std::optional<CapturedFrame> CaptureDocument::frame(const QUuid &frameId) const
{
    const std::optional<FramePlace> where = place(frameId);
    if (!where)
        return std::nullopt;
    return m_content.groups.at(where->group).frames.at(where->position);
}

std::optional<CapturedFrame> CaptureDocument::previewFrame() const
{
    // A set has no order; which of several selected frames is previewed is not specified.
    if (!m_selection.isEmpty()) {
        if (std::optional<CapturedFrame> selected = frame(*m_selection.constBegin()))
            return selected;
    }
    for (auto group = m_content.groups.crbegin(); group != m_content.groups.crend(); ++group) {
        if (!group->frames.isEmpty())
            return group->frames.last();
    }
    return std::nullopt;
}

QString CaptureDocument::videoName() const
{
    const QUrl url = m_content.videoURL.isEmpty() ? m_content.missingVideoURL : m_content.videoURL;
    if (url.isEmpty())
        return QStringLiteral("video");
    const QString fileName = url.fileName();
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? fileName.left(dot) : fileName;
}

int CaptureDocument::indexOfActiveGroup() const
{
    return std::max(indexOfGroup(m_content.activeGroupID), 0);
}

int CaptureDocument::indexOfGroup(const QUuid &groupId) const
{
    for (int g = 0; g < m_content.groups.size(); ++g) {
        if (m_content.groups.at(g).id == groupId)
            return g;
    }
    return -1;
}

QUuid CaptureDocument::groupOfFrame(const QUuid &frameId) const
{
    const std::optional<FramePlace> where = place(frameId);
    return where ? m_content.groups.at(where->group).id : QUuid();
}

bool CaptureDocument::needsVideo() const
{
    return m_content.videoURL.isEmpty() && frameCount() > 0;
}

const Annotation *CaptureDocument::annotation(const QUuid &frameId, const QUuid &annotationId) const
{
    const std::optional<FramePlace> where = place(frameId);
    if (!where)
        return nullptr;
    for (const Annotation &candidate :
         m_content.groups.at(where->group).frames.at(where->position).annotations) {
        if (candidate.id == annotationId)
            return &candidate;
    }
    return nullptr;
}

// --- Undo -------------------------------------------------------------------------------------

bool CaptureDocument::isModified() const
{
    return !m_undoStack->isClean();
}

void CaptureDocument::markSaved(const QUrl &projectURL)
{
    m_undoStack->setClean();
    if (m_content.projectURL != projectURL) {
        m_content.projectURL = projectURL;
        emit projectURLChanged();
    }
}

void CaptureDocument::markModified()
{
    m_undoStack->resetClean();
}

void CaptureDocument::push(DocumentCommand *command)
{
    m_recording = true;
    m_undoStack->push(command);
    m_recording = false;
    m_stackIndex = m_undoStack->index();
}

void CaptureDocument::pushSetting(const SettingStep &step, const DocumentSettings &after, bool continuing)
{
    push(new SettingCommand(this, step, m_content.settings, after, continuing));
}

void CaptureDocument::showStep(int index)
{
    const int previous = std::exchange(m_stackIndex, index);
    if (m_recording)
        return;
    // One step back undid the command at the new position, one step forward redid the one before it.
    const QUndoCommand *step = nullptr;
    if (index == previous - 1)
        step = m_undoStack->command(index);
    else if (index == previous + 1)
        step = m_undoStack->command(previous);
    if (!step)
        return;

    const DocumentCommand::Focus focus = static_cast<const DocumentCommand *>(step)->focus();
    QSet<QUuid> frames;
    QUuid first;
    for (const QUuid &frameId : focus.frames) {
        if (!place(frameId))
            continue;
        frames.insert(frameId);
        if (first.isNull())
            first = frameId;
    }
    if (!frames.isEmpty()) {
        if (!m_selection.contains(frames))
            setSelection(frames);
        emit changeShown(first, groupOfFrame(first));
    } else if (indexOfGroup(focus.group) >= 0) {
        emit changeShown(QUuid(), focus.group);
    }
}

// --- Changes that are not undo steps ----------------------------------------------------------

void CaptureDocument::reset(const DocumentContent &content)
{
    const DocumentContent before = m_content;
    emit contentAboutToBeReset();
    m_content = content;
    m_places.clear();
    m_placesKnown = false;
    if (m_content.groups.isEmpty()) {
        const CaptureGroup first(DocumentContent::defaultGroupName());
        m_content.groups = {first};
    }
    if (indexOfGroup(m_content.activeGroupID) < 0)
        m_content.activeGroupID = m_content.groups.first().id;
    m_recording = true;
    m_undoStack->clear();
    m_recording = false;
    m_stackIndex = 0;

    // The groups are new even where they look alike: views rebuild them all.
    emit contentReset();
    emit groupsChanged();
    if (before.activeGroupID != m_content.activeGroupID)
        emit activeGroupIDChanged();
    setSelection({});
    ProjectSettings::forEach([&]<typename Setting>() {
        if (!(before.settings.get<Setting>() == m_content.settings.get<Setting>()))
            emit settingChanged(Setting::key);
    });
    if (before.videoURL != m_content.videoURL || before.missingVideoURL != m_content.missingVideoURL)
        emit videoChanged();
    if (before.projectURL != m_content.projectURL)
        emit projectURLChanged();
}

void CaptureDocument::loseVideo()
{
    if (m_content.videoURL.isEmpty())
        return;
    m_content.missingVideoURL = m_content.videoURL;
    m_content.videoURL = QUrl();
    emit videoChanged();
}

void CaptureDocument::placeFrames(const QHash<QUuid, MediaTime> &times)
{
    for (auto it = times.begin(); it != times.end(); ++it) {
        const std::optional<FramePlace> where = place(it.key());
        if (!where)
            continue;
        m_content.groups[where->group].frames[where->position].time = it.value();
        emit frameChanged(it.key());
    }
}

void CaptureDocument::setSelection(const QSet<QUuid> &selection)
{
    if (m_selection == selection)
        return;
    m_selection = selection;
    emit selectionChanged();
}

void CaptureDocument::setActiveGroup(const QUuid &groupId)
{
    writeActiveGroupID(groupId);
}

// --- Edits ------------------------------------------------------------------------------------

QUuid CaptureDocument::captureFrame(const MediaTime &time)
{
    const CapturedFrame frame(time);
    push(new CaptureFrameCommand(this, frame, m_content.groups.at(indexOfActiveGroup()).id));
    return frame.id;
}

void CaptureDocument::setNote(const QString &note, const QUuid &frameId)
{
    const std::optional<CapturedFrame> current = frame(frameId);
    if (current && current->notes != note)
        push(new TextFieldCommand(this, TextFieldCommand::Field::FrameNote, frameId, current->notes, note));
}

void CaptureDocument::deleteFrame(QUuid frameId)
{
    deleteFrames({frameId});
}

void CaptureDocument::deleteFrames(const QSet<QUuid> &frameIds)
{
    // Frames in list order, each with where it was, so that undoing puts them back there.
    QList<DeleteFramesCommand::Removed> removed;
    for (const CaptureGroup &group : m_content.groups) {
        for (int position = 0; position < group.frames.size(); ++position) {
            if (frameIds.contains(group.frames.at(position).id))
                removed << DeleteFramesCommand::Removed{group.id, position, group.frames.at(position)};
        }
    }
    if (!removed.isEmpty())
        push(new DeleteFramesCommand(this, removed));
}

void CaptureDocument::moveFrames(const QUuid &groupId, const QSet<int> &positions, int destination)
{
    const int g = indexOfGroup(groupId);
    if (g < 0)
        return;
    const QList<CapturedFrame> &frames = m_content.groups.at(g).frames;

    QList<int> sorted(positions.cbegin(), positions.cend());
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(
        std::remove_if(sorted.begin(), sorted.end(), [&](int p) { return p < 0 || p >= frames.size(); }),
        sorted.end());
    if (sorted.isEmpty())
        return;

    QList<QUuid> moving;
    QList<QUuid> staying;
    for (int i = 0; i < frames.size(); ++i) {
        if (std::binary_search(sorted.cbegin(), sorted.cend(), i))
            moving << frames.at(i).id;
        else
            staying << frames.at(i).id;
    }
    const int clampedDestination = std::clamp(destination, 0, int(frames.size()));
    const int movedBefore =
        int(std::count_if(sorted.cbegin(), sorted.cend(), [&](int p) { return p < clampedDestination; }));
    const int insertAt = clampedDestination - movedBefore;
    for (int i = 0; i < moving.size(); ++i)
        staying.insert(insertAt + i, moving.at(i));

    QList<QUuid> before;
    for (const CapturedFrame &frame : frames)
        before << frame.id;
    if (staying != before)
        push(new ReorderFramesCommand(this, groupId, before, staying));
}

void CaptureDocument::moveFrame(const QUuid &frameId, const QUuid &groupId)
{
    const int target = indexOfGroup(groupId);
    const std::optional<FramePlace> where = place(frameId);
    if (target < 0 || !where)
        return;
    // Already the last frame of that group: moving it to the end changes nothing.
    const CaptureGroup &source = m_content.groups.at(where->group);
    if (where->group == target && where->position == source.frames.size() - 1)
        return;
    push(new MoveFrameToGroupCommand(this, frameId, source.id, where->position, groupId));
}

void CaptureDocument::addGroup()
{
    const CaptureGroup group(
        QCoreApplication::translate("CaptureDocument", "Groupe %1").arg(m_content.groups.size() + 1));
    push(new AddGroupCommand(this, group));
}

void CaptureDocument::deleteGroup(QUuid groupId)
{
    const int g = indexOfGroup(groupId);
    if (m_content.groups.size() <= 1 || g < 0)
        return;
    push(new DeleteGroupCommand(this, m_content.groups.at(g), g));
}

void CaptureDocument::setGroupName(const QUuid &groupId, const QString &name)
{
    const int g = indexOfGroup(groupId);
    if (g >= 0 && m_content.groups.at(g).name != name)
        push(new TextFieldCommand(this, TextFieldCommand::Field::GroupName, groupId,
                                  m_content.groups.at(g).name, name));
}

void CaptureDocument::setGroupNotes(const QUuid &groupId, const QString &notes)
{
    const int g = indexOfGroup(groupId);
    if (g >= 0 && m_content.groups.at(g).notes != notes)
        push(new TextFieldCommand(this, TextFieldCommand::Field::GroupNotes, groupId,
                                  m_content.groups.at(g).notes, notes));
}

void CaptureDocument::addAnnotation(const QUuid &frameId, const Annotation &annotation,
                                    AnnotationAddition addition)
{
    if (place(frameId))
        push(new AddAnnotationCommand(this, frameId, annotation, addition));
}

QUuid CaptureDocument::duplicateAnnotation(const QUuid &frameId, const QUuid &annotationId)
{
    const Annotation *original = annotation(frameId, annotationId);
    if (!original || original->isUnread())
        return {};
    const Annotation copy = AnnotationCopy::placed(*original, frame(frameId)->annotations);
    addAnnotation(frameId, copy, AnnotationAddition::Duplicated);
    return copy.id;
}

QUuid CaptureDocument::pasteAnnotation(const QUuid &frameId, const Annotation &copied)
{
    const std::optional<CapturedFrame> target = frame(frameId);
    if (!target || copied.isUnread())
        return {};
    const Annotation copy = AnnotationCopy::placed(copied, target->annotations);
    addAnnotation(frameId, copy, AnnotationAddition::Pasted);
    return copy.id;
}

void CaptureDocument::reorderAnnotation(const QUuid &frameId, const QUuid &annotationId,
                                        AnnotationOrder order)
{
    const std::optional<CapturedFrame> target = frame(frameId);
    if (!target)
        return;
    const QList<Annotation> &annotations = target->annotations;
    const qsizetype end = order == AnnotationOrder::Front ? annotations.size() - 1 : 0;
    // Already there: no step.
    if (annotations.isEmpty() || annotations.at(end).id == annotationId || !annotation(frameId, annotationId))
        return;
    push(new ReorderAnnotationCommand(this, frameId, annotationId, order));
}

void CaptureDocument::addCorrection(const QUuid &frameId, const CutoutCorrection &correction)
{
    if (place(frameId))
        push(new CutoutCorrectionCommand(this, frameId, correction));
}

void CaptureDocument::editAnnotation(const QUuid &frameId, const Annotation &after, AnnotationEdit edit,
                                     bool continuing)
{
    const Annotation *current = annotation(frameId, after.id);
    if (!current || *current == after)
        return;
    push(new AnnotationEditCommand(this, frameId, edit, *current, after, continuing));
}

void CaptureDocument::deleteAnnotation(const QUuid &frameId, const QUuid &annotationId)
{
    if (annotation(frameId, annotationId))
        push(new DeleteAnnotationCommand(this, frameId, annotationId));
}

void CaptureDocument::setAnnotationColor(const QUuid &frameId, const QUuid &annotationId, const QColor &color)
{
    const Annotation *current = annotation(frameId, annotationId);
    if (!current)
        return;
    Annotation after = *current;
    const auto [r, g, b, a] = EdgeOptions::components(color);
    after.r = r;
    after.g = g;
    after.b = b;
    after.a = a;
    editAnnotation(frameId, after, AnnotationEdit::Color);
}

void CaptureDocument::setAnnotationLineWidth(const QUuid &frameId, const QUuid &annotationId,
                                             double lineWidth, bool continuing)
{
    const Annotation *current = annotation(frameId, annotationId);
    if (!current)
        return;
    Annotation after = *current;
    after.shape().setLineWidth(after, lineWidth);
    editAnnotation(frameId, after, AnnotationEdit::Width, continuing);
}

void CaptureDocument::bindVideo(const QUrl &videoURL)
{
    if (needsVideo() && !videoURL.isEmpty())
        push(new BindVideoCommand(this, m_content.missingVideoURL, videoURL));
}

// --- Primitives of the undo commands ------------------------------------------------------------

void CaptureDocument::insertFrame(const QUuid &groupId, qsizetype position, const CapturedFrame &frame)
{
    const int g = indexOfGroup(groupId);
    Q_ASSERT(g >= 0);
    const int at = int(std::clamp<qsizetype>(position, 0, m_content.groups.at(g).frames.size()));
    emit frameAboutToBeInserted(g, at);
    m_content.groups[g].frames.insert(at, frame);
    renumberFrames(g, at);
    emit frameInserted(g, at);
    emit groupsChanged();
}

void CaptureDocument::removeFrame(QUuid frameId)
{
    const std::optional<FramePlace> where = place(frameId);
    Q_ASSERT(where);
    emit frameAboutToBeRemoved(where->group, where->position);
    m_content.groups[where->group].frames.removeAt(where->position);
    m_places.remove(frameId);
    renumberFrames(where->group, where->position);
    emit frameRemoved(frameId);
    emit groupsChanged();
}

void CaptureDocument::moveFrameTo(QUuid frameId, const QUuid &groupId, qsizetype position)
{
    const int g = indexOfGroup(groupId);
    Q_ASSERT(g >= 0);
    if (shiftFrame(frameId, g, position))
        emit groupsChanged();
}

bool CaptureDocument::shiftFrame(const QUuid &frameId, int group, qsizetype position)
{
    const std::optional<FramePlace> from = place(frameId);
    Q_ASSERT(from);
    // Where it may land once taken out of its own group.
    const qsizetype last = m_content.groups.at(group).frames.size() - (from->group == group ? 1 : 0);
    const int at = int(std::clamp<qsizetype>(position, 0, last));
    if (from->group == group && from->position == at)
        return false;
    emit frameAboutToBeMoved(from->group, from->position, group, at);
    CapturedFrame moved = m_content.groups[from->group].frames.takeAt(from->position);
    m_content.groups[group].frames.insert(at, std::move(moved));
    if (from->group == group) {
        renumberFrames(group, std::min(from->position, at));
    } else {
        renumberFrames(from->group, from->position);
        renumberFrames(group, at);
    }
    emit frameMoved(frameId);
    return true;
}

void CaptureDocument::setFrameOrder(const QUuid &groupId, const QList<QUuid> &order)
{
    const int g = indexOfGroup(groupId);
    Q_ASSERT(g >= 0);
    const QList<CapturedFrame> &frames = m_content.groups.at(g).frames;
    Q_ASSERT(order.size() == frames.size());
    QHash<QUuid, int> wanted;
    wanted.reserve(order.size());
    for (int i = 0; i < order.size(); ++i)
        wanted.insert(order.at(i), i);
    QList<int> targets;
    targets.reserve(frames.size());
    for (const CapturedFrame &frame : frames)
        targets << wanted.value(frame.id);

    // The longest run of frames already in the order asked stays; each other frame moves, in the
    // order asked, to just after the frame that is to come before it. So only the frames that
    // change places move.
    const QList<bool> staying = inRisingOrder(targets);
    QList<int> moving;
    for (qsizetype p = 0; p < targets.size(); ++p) {
        if (!staying.at(p))
            moving << targets.at(p);
    }
    std::sort(moving.begin(), moving.end());
    bool moved = false;
    for (const int target : std::as_const(moving)) {
        const QUuid &id = order.at(target);
        const qsizetype current = m_content.groups.at(g).indexOfFrame(id);
        const qsizetype after =
            target == 0 ? 0 : m_content.groups.at(g).indexOfFrame(order.at(target - 1)) + 1;
        moved |= shiftFrame(id, g, current < after ? after - 1 : after);
    }
    if (moved)
        emit groupsChanged();
}

void CaptureDocument::writeFrameNotes(const QUuid &frameId, const QString &notes)
{
    const std::optional<FramePlace> where = place(frameId);
    Q_ASSERT(where);
    m_content.groups[where->group].frames[where->position].notes = notes;
    emit frameChanged(frameId);
}

void CaptureDocument::writeAnnotations(const QUuid &frameId, const QList<Annotation> &annotations)
{
    const std::optional<FramePlace> where = place(frameId);
    Q_ASSERT(where);
    m_content.groups[where->group].frames[where->position].annotations = annotations;
    emit frameChanged(frameId);
}

void CaptureDocument::writeCorrections(const QUuid &frameId, const QList<CutoutCorrection> &corrections)
{
    const std::optional<FramePlace> where = place(frameId);
    Q_ASSERT(where);
    m_content.groups[where->group].frames[where->position].corrections = corrections;
    emit correctionsChanged(frameId);
}

void CaptureDocument::insertGroup(qsizetype position, const CaptureGroup &group)
{
    const int at = int(std::clamp<qsizetype>(position, 0, m_content.groups.size()));
    emit groupAboutToBeInserted(at);
    m_content.groups.insert(at, group);
    renumberGroups(at);
    emit groupInserted(at);
    emit groupsChanged();
}

void CaptureDocument::removeGroup(QUuid groupId)
{
    const int g = indexOfGroup(groupId);
    Q_ASSERT(g >= 0 && m_content.groups.size() > 1);
    emit groupAboutToBeRemoved(g);
    const CaptureGroup removed = m_content.groups.takeAt(g);
    for (const CapturedFrame &frame : removed.frames)
        m_places.remove(frame.id);
    renumberGroups(g);
    emit groupRemoved(g, removed);
    emit groupsChanged();
}

void CaptureDocument::writeGroupName(const QUuid &groupId, const QString &name)
{
    const int g = indexOfGroup(groupId);
    Q_ASSERT(g >= 0);
    m_content.groups[g].name = name;
    emit groupChanged(g);
    emit groupsChanged();
}

void CaptureDocument::writeGroupNotes(const QUuid &groupId, const QString &notes)
{
    const int g = indexOfGroup(groupId);
    Q_ASSERT(g >= 0);
    m_content.groups[g].notes = notes;
    emit groupChanged(g);
    emit groupsChanged();
}

void CaptureDocument::writeActiveGroupID(const QUuid &groupId)
{
    if (m_content.activeGroupID == groupId)
        return;
    m_content.activeGroupID = groupId;
    emit activeGroupIDChanged();
}

void CaptureDocument::writeSetting(DocumentSetting setting, const DocumentSettings &values)
{
    ProjectSettings::forEach([&]<typename Setting>() {
        if (Setting::key == setting)
            m_content.settings.set<Setting>(values.get<Setting>());
    });
    emit settingChanged(setting);
}

void CaptureDocument::writeVideoBinding(const QUrl &video, const QUrl &missingVideo)
{
    m_content.videoURL = video;
    m_content.missingVideoURL = missingVideo;
    emit videoChanged();
    emit videoRebound();
}
