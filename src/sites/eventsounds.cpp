#include "sites/eventsounds.h"

#include "sites/programpaths.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>

TEventSounds& TEventSounds::Shared()
{
    static TEventSounds sounds;
    return sounds;
}

TEventSounds::TEventSounds()
{
    BeepOutput = [] { QApplication::beep(); };
    PlayOutput = [this](const QUrl& source) { play(source); };
}

void TEventSounds::Efekti(int index, quint8 mode, const QStringList& files)
{
    if (mode == 1)
        Beep();
    else if (mode == 2)
        PlayFile(files.value(index));
}

void TEventSounds::Beep()
{
    if (BeepOutput)
        BeepOutput();
}

void TEventSounds::PlayFile(const QString& fileName)
{
    const QUrl source = SoundSource(fileName);
    if (!source.isEmpty() && PlayOutput)
        PlayOutput(source);
}

QUrl TEventSounds::SoundSource(const QString& fileName)
{
    static const bool shippedSounds = [] {
        Q_INIT_RESOURCE(sounds); // the resources of a static library are registered by hand
        return true;
    }();
    Q_UNUSED(shippedSounds);
    if (fileName.trimmed().isEmpty())
        return {};
    const QFileInfo given(fileName);
    if (given.isAbsolute())
        return given.isFile() ? QUrl::fromLocalFile(given.filePath()) : QUrl();
    const QFileInfo local(ProgramFilePath(fileName));
    if (local.isFile())
        return QUrl::fromLocalFile(local.filePath());
    const QString shipped = ":/sounds/" + fileName;
    if (QFileInfo(shipped).isFile())
        return QUrl("qrc" + shipped);
    return {};
}

void TEventSounds::play(const QUrl& source)
{
    if (!m_effect) {
        if (!QCoreApplication::instance())
            return;
        // Owned by the application object and deleted while it still exists, so the
        // audio system can still end the stream then.
        m_effect = new QSoundEffect(QCoreApplication::instance());
        qAddPostRoutine([] { delete Shared().m_effect.data(); });
    }
    m_effect->stop();
    m_effect->setSource(source);
    m_effect->play();
}
