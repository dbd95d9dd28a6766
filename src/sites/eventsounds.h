#pragma once
// TEventSounds: the audible feedback of the two session events (Efekti) and
// the options window's Test button, through one shared player.
//
// Efekti(index, mode, files): mode 1 beeps; mode 2 plays files[index]; any
// other mode, an index without a file, an empty name or a file that cannot be
// found is silent. Nothing is ever reported and no call waits: the sound is
// loaded and played by the audio system in the background, and without an
// audio device it simply passes.
//
// A file name is looked up as given when absolute; a relative one first in the
// program directory (ProgramDirectory()), then among Kvado's own sounds (the
// resources ":/sounds/thudclap.wav" and ":/sounds/orchestr.wav"), so the
// default names play on a fresh install.
//
// Shared() is the one player of the program: a new sound stops the one still
// playing before it starts. The outputs are replaceable for tests: BeepOutput
// is called for a beep, PlayOutput with the resolved source for a sound; both
// default to the real output (QApplication::beep, and the file's PCM samples
// read here and handed to one audio sink; a file that is no PCM WAV file is
// silent). Nothing of a sound outlives the application object: the sink is
// stopped and deleted while it still exists, and no loader thread is ever
// started, so closing never waits on a sound. UI thread only.
#include <QBuffer>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QAudioSink;

class TEventSounds {
public:
    static TEventSounds& Shared();

    void Efekti(int index, quint8 mode, const QStringList& files);
    void Beep();
    // Plays the named file asynchronously, cutting off the sound playing; silent when it is not found.
    void PlayFile(const QString& fileName);

    // Where a sound file name leads: a file URL, a qrc URL of a shipped sound, or an empty URL.
    static QUrl SoundSource(const QString& fileName);

    std::function<void()> BeepOutput;
    std::function<void(const QUrl& source)> PlayOutput;

private:
    TEventSounds();
    void play(const QUrl& source);
    void stop();

    QPointer<QAudioSink> m_sink;
    QBuffer m_samples; // what the sink plays
};
