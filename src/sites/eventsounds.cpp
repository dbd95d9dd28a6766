#include "sites/eventsounds.h"

#include "sites/programpaths.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QtEndian>

namespace {
// The samples of a PCM WAV file (8, 16 or 32-bit integers, or 32-bit float)
// and their format; an invalid format for anything else.
QAudioFormat readWav(const QByteArray& file, QByteArray& samples)
{
    QAudioFormat format;
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "WAVE")
        return format;
    bool haveFormat = false;
    for (qsizetype at = 12; at + 8 <= file.size();) {
        const QByteArray id = file.mid(at, 4);
        const qint64 size = qFromLittleEndian<quint32>(file.constData() + at + 4);
        const qsizetype body = at + 8;
        if (size > file.size() - body)
            return QAudioFormat();
        if (id == "fmt " && size >= 16) {
            const char* f = file.constData() + body;
            const quint16 kind = qFromLittleEndian<quint16>(f);
            const quint16 bits = qFromLittleEndian<quint16>(f + 14);
            format.setChannelCount(qFromLittleEndian<quint16>(f + 2));
            format.setSampleRate(int(qFromLittleEndian<quint32>(f + 4)));
            format.setSampleFormat(kind == 3 && bits == 32 ? QAudioFormat::Float
                                   : kind != 1             ? QAudioFormat::Unknown
                                   : bits == 8             ? QAudioFormat::UInt8
                                   : bits == 16            ? QAudioFormat::Int16
                                   : bits == 32            ? QAudioFormat::Int32
                                                           : QAudioFormat::Unknown);
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            samples = file.mid(body, size);
            return format.isValid() ? format : QAudioFormat();
        }
        at = body + size + (size & 1); // chunks are padded to an even size
    }
    return QAudioFormat();
}
} // namespace

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
    stop();
    if (!QCoreApplication::instance())
        return;
    QFile file(source.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + source.path()
                                                       : source.toLocalFile());
    QByteArray samples;
    const QAudioFormat format =
        file.open(QIODevice::ReadOnly) ? readWav(file.readAll(), samples) : QAudioFormat();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (!format.isValid() || device.isNull())
        return;
    static const bool ended = [] { // before the application object goes
        qAddPostRoutine([] { Shared().stop(); });
        return true;
    }();
    Q_UNUSED(ended);
    m_samples.setData(samples);
    m_samples.open(QIODevice::ReadOnly);
    m_sink = new QAudioSink(device, format, QCoreApplication::instance());
    m_sink->start(&m_samples);
}

void TEventSounds::stop()
{
    if (m_sink) {
        m_sink->stop();
        delete m_sink.data();
    }
    m_samples.close();
}
