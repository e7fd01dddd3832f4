#include "ui/alarms/AlarmSound.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <cstring>

#include "notify/TestPeers.h"
#include "support/TempDir.h"

namespace zm {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t Le32(const QByteArray& bytes, int at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.constData() + at, 4);
    return value;
}

TEST(AlarmSound, BuiltInSoundIsTheGeneratorsPcmWave) {
    CAlarmSound sound;  // registers the resource
    const QByteArray built = ReadAll(QString::fromLatin1(CAlarmSound::kResource));
    ASSERT_GT(built.size(), 44);
    EXPECT_EQ(built.left(4), "RIFF");
    EXPECT_EQ(built.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(built, 24), 22050u);                            // sample rate
    EXPECT_EQ(Le32(built, 40), std::uint32_t(built.size() - 44));  // data chunk size
    EXPECT_EQ(built, ReadAll(QStringLiteral(ZM_ALARM_WAV)));

    // The committed file is what the generator writes today.
    test::TempDir dir;
    const std::string fresh = dir.file("alarm.wav");
    ASSERT_EQ(test::RunProgram({ZM_ALARM_WAV_TOOL, fresh}), 0);
    EXPECT_EQ(ReadAll(QString::fromStdString(fresh)), built);
}

TEST(AlarmSound, PlaysUntilStoppedAndStartsAnewWhilePlaying) {
    CAlarmSound sound;
    QSignalSpy changes(&sound, &CAlarmSound::PlayingChanged);
    EXPECT_FALSE(sound.IsPlaying());
    sound.Play();
    EXPECT_TRUE(sound.IsPlaying());
    sound.Play();
    EXPECT_TRUE(sound.IsPlaying());
    EXPECT_EQ(sound.PlayCount(), 2);
    sound.Stop();
    EXPECT_FALSE(sound.IsPlaying());
    sound.Stop();
    ASSERT_EQ(changes.size(), 2);
    EXPECT_TRUE(changes[0][0].toBool());
    EXPECT_FALSE(changes[1][0].toBool());
    QTRY_VERIFY_WITH_TIMEOUT(sound.IsLoadFinished(), 10000);
}

}  // namespace
}  // namespace zm
