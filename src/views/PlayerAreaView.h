#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QStackedLayout;

// The video area of a window, on black: a placeholder inviting to open a video until a player
// view is set, then that view. When the captures wait for a video that could not be found, the
// placeholder says so and offers to locate it instead. Files dragged over it are offered to the drop
// handler, and an accent-coloured frame marks the area while a drag hovers.
class PlayerAreaView : public QWidget
{
    Q_OBJECT

public:
    // Decides what to do with dropped files; returns whether it took them.
    using DropHandler = std::function<bool(const QList<QUrl> &)>;

    explicit PlayerAreaView(QWidget *parent = nullptr);

    void setDropHandler(DropHandler handler) { m_dropHandler = std::move(handler); }
    // Takes `view` as the player picture (once); `showPlayer` switches between it and the placeholder.
    void setPlayerView(QWidget *view);
    QWidget *playerView() const { return m_playerView; }
    void showPlayer(bool show);
    bool isShowingPlayer() const;
    QWidget *placeholder() const { return m_placeholder; }
    // Makes the placeholder ask for the video named `fileName` (any video when it is empty) that the
    // captures were taken from, instead of inviting to open one.
    void showMissingVideo(const QString &fileName);
    // Back to inviting to open a video.
    void showNoVideo();
    bool isAskingForMissingVideo() const { return m_askingForMissingVideo; }
    bool isDropTargeted() const { return m_dropTargeted; }

signals:
    void openVideoRequested();
    void locateVideoRequested();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *makePlaceholder();
    void setDropTargeted(bool targeted);

    QStackedLayout *m_stack;
    QWidget *m_placeholder = nullptr;
    QLabel *m_placeholderTitle = nullptr;
    QLabel *m_placeholderLine = nullptr;
    QPushButton *m_placeholderButton = nullptr;
    bool m_askingForMissingVideo = false;
    QWidget *m_playerView = nullptr;
    QWidget *m_highlight;
    DropHandler m_dropHandler;
    bool m_dropTargeted = false;
};
