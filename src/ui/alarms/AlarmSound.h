#pragma once

#include <QObject>
#include <QUrl>

class QSoundEffect;

namespace zm {

// The alarm sound (our own, built into the program): played once and asynchronously,
// stopped on request; starting it while it plays starts it anew. A machine without an
// audio output plays nothing, and the requests still count.
class CAlarmSound : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kResource = ":/zm/sounds/alarm.wav";

    explicit CAlarmSound(QObject* parent = nullptr);
    ~CAlarmSound() override;

    void Play();
    void Stop();

    // Between Play and Stop, or the end of the sound.
    bool IsPlaying() const { return playing_; }
    int PlayCount() const { return plays_; }
    // The sound has been read (or found unreadable). Qt reads it on a thread of its own,
    // which must not be cut off by the end of the process (tests wait for this).
    bool IsLoadFinished() const;

    static QUrl SoundUrl();

  signals:
    void PlayingChanged(bool playing);

  private:
    void SetPlaying(bool playing);

    QSoundEffect* effect_ = nullptr;
    bool playing_ = false;
    bool started_ = false;  // the effect has reported playing since the last Play
    int plays_ = 0;
};

}  // namespace zm
