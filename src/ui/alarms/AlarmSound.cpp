#include "ui/alarms/AlarmSound.h"

#include <QSoundEffect>

// Resources of a static library are registered by hand; outside any namespace.
static int InitAlarmSoundResourceOnce() {
    Q_INIT_RESOURCE(AlarmSound);
    return 0;
}

static void InitAlarmSoundResource() {
    static const int done = InitAlarmSoundResourceOnce();
    (void)done;
}

namespace zm {

CAlarmSound::CAlarmSound(QObject* parent) : QObject(parent) {
    InitAlarmSoundResource();
    effect_ = new QSoundEffect(this);
    effect_->setObjectName("alarmSoundEffect");
    effect_->setLoopCount(1);
    connect(effect_, &QSoundEffect::playingChanged, this, [this] {
        if (effect_->isPlaying()) {
            started_ = true;
        } else if (started_) {
            // The sound has played to its end.
            started_ = false;
            SetPlaying(false);
        }
    });
}

CAlarmSound::~CAlarmSound() = default;

bool CAlarmSound::IsLoadFinished() const {
    return effect_->source().isEmpty() || effect_->status() == QSoundEffect::Ready ||
           effect_->status() == QSoundEffect::Error;
}

QUrl CAlarmSound::SoundUrl() {
    return QUrl(QStringLiteral("qrc") + QString::fromLatin1(kResource));
}

void CAlarmSound::Play() {
    if (effect_->source().isEmpty()) {
        // Read at the first alarm: a run without one never starts Qt's reader thread.
        effect_->setSource(SoundUrl());
    }
    // Cleared first: the stop below is ours, not the end of the sound.
    started_ = false;
    effect_->stop();
    ++plays_;
    effect_->play();
    SetPlaying(true);
}

void CAlarmSound::Stop() {
    started_ = false;
    effect_->stop();
    SetPlaying(false);
}

void CAlarmSound::SetPlaying(bool playing) {
    if (playing != playing_) {
        playing_ = playing;
        emit PlayingChanged(playing);
    }
}

}  // namespace zm
