// Event sounds: what Efekti plays in each mode, where names lead, and one real
// play of a shipped sound that must return at once with or without audio.
#include "sites/eventsounds.h"
#include "support/pump.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class EventSoundsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        qputenv("KVADO_HOME", m_home.path().toLocal8Bit());
        m_beep = m_sounds.BeepOutput;
        m_play = m_sounds.PlayOutput;
        m_sounds.BeepOutput = [this] { m_heard << "beep"; };
        m_sounds.PlayOutput = [this](const QUrl& url) { m_heard << url.toString(); };
    }
    void TearDown() override
    {
        m_sounds.BeepOutput = m_beep;
        m_sounds.PlayOutput = m_play;
    }

    QTemporaryDir m_home;
    TEventSounds& m_sounds = TEventSounds::Shared();
    QStringList m_heard;
    std::function<void()> m_beep;
    std::function<void(const QUrl&)> m_play;
};

TEST_F(EventSoundsTest, EachModeGivesItsFeedback)
{
    const QStringList files{"thudclap.wav", ""};
    m_sounds.Efekti(0, 0, files);
    m_sounds.Efekti(1, 0, files);
    EXPECT_TRUE(m_heard.isEmpty()); // no sounds
    m_sounds.Efekti(0, 7, files);
    EXPECT_TRUE(m_heard.isEmpty()); // an unknown mode is silent too
    m_sounds.Efekti(1, 1, files);
    EXPECT_EQ(m_heard, QStringList{"beep"});
    m_heard.clear();
    m_sounds.Efekti(0, 2, files);
    m_sounds.Efekti(1, 2, files); // an empty name passes silently
    m_sounds.Efekti(5, 2, files); // an event without a name too
    m_sounds.Efekti(0, 2, {"manjka.wav"});
    EXPECT_EQ(m_heard, QStringList{"qrc:/sounds/thudclap.wav"});
}

TEST_F(EventSoundsTest, NamesResolveInTheProgramDirectoryBeforeTheShippedSounds)
{
    EXPECT_EQ(TEventSounds::SoundSource("orchestr.wav"), QUrl("qrc:/sounds/orchestr.wav"));
    QFile own(m_home.filePath("orchestr.wav"));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("RIFF");
    own.close();
    EXPECT_EQ(TEventSounds::SoundSource("orchestr.wav"), QUrl::fromLocalFile(own.fileName()));
    EXPECT_EQ(TEventSounds::SoundSource(own.fileName()), QUrl::fromLocalFile(own.fileName()));
    EXPECT_TRUE(TEventSounds::SoundSource(m_home.filePath("nic.wav")).isEmpty());
    EXPECT_TRUE(TEventSounds::SoundSource(m_home.path()).isEmpty()); // a directory is no sound
    EXPECT_TRUE(TEventSounds::SoundSource("  ").isEmpty());
}

// A process that starts sounds and closes at once must end by itself: the
// test runs itself as that process (this test alone, with KVADO_SOUND_CHILD
// set) again and again; a run that hangs at exit fails at the wait's bound.
TEST(EventSoundsReal, PlayingTheShippedSoundsNeverWaits)
{
    TEventSounds& sounds = TEventSounds::Shared();
    if (qEnvironmentVariableIsSet("KVADO_SOUND_CHILD")) {
        sounds.Efekti(0, 2, {"thudclap.wav", "orchestr.wav"});
        sounds.Efekti(1, 2, {"thudclap.wav", "orchestr.wav"}); // cuts off the first
        PumpFor(qEnvironmentVariableIntValue("KVADO_SOUND_CHILD"));
        sounds.PlayFile("thudclap.wav");
        return;
    }
    for (int run = 0; run < 50; ++run) {
        SCOPED_TRACE(run);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KVADO_SOUND_CHILD",
                           QString::number(run % 5 * 10)); // the close comes at once or later
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=EventSoundsReal.PlayingTheShippedSoundsNeverWaits"});
        ASSERT_TRUE(child.waitForStarted());
        const bool ended = PumpUntil([&] { return child.state() == QProcess::NotRunning; }, 20000);
        if (!ended)
            child.kill();
        ASSERT_TRUE(ended) << "the process did not close";
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
    }
}

} // namespace
