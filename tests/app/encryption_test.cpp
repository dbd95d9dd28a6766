// The encryption as the main window handles it: the choice from Kvado.ini and
// the connect forms into the engine's parameters, the certificate decisions
// of the engine's view with a scripted question, and the caption and log of
// an encrypted session.
#include "app/prompts.h"
#include "app/sejaokno.h"
#include "app/sessioncontroller.h"
#include "dialogs/hitra1.h"
#include "ftp/sessionlog.h"
#include "lang/multilang.h"
#include "sites/possaver.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <deque>

namespace {

// Answers the certificate question from a script and records each one asked.
class CertificatePrompts : public TPrompts {
public:
    struct Asked {
        QByteArray shown;  // the certificate's fingerprint
        QByteArray stored; // the one trusted before (the warning), or empty
        int language;
    };
    std::deque<TPotrdiloIzbira> answers;
    std::vector<Asked> asked;
    QStringList errors;

    TMsgResult MessageBox(const QString&, const QString&, TMsgIcon, TMsgButtons) override { return mrOk; }
    bool InputBox(const QString&, const QString&, QString&) override { return false; }
    void ErrorBox(const QString& text) override { errors << text; }
    TPotrdiloIzbira AskCertificate(const TCertificateInfo& info, const QByteArray& stored,
                                   int language) override
    {
        asked.push_back({info.sha256, stored, language});
        if (answers.empty())
            return pzPreklici;
        const TPotrdiloIzbira answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// The parts of a main window the certificate and encryption calls use.
struct TViewParts {
    QWidget window;
    TMultiLang* words;
    TSessionLog log;
    QStringList lines;
    CertificatePrompts prompts;

    explicit TViewParts(quint8 language = 0) : words(new TMultiLang(&window))
    {
        words->LoadWords("ML1");
        words->SetActiveLanguage(language);
        log.OnLine = [this](TSessionLog*, TLogColour, const QString& line) { lines << line; };
    }
    TSejaOknoDeli Parts()
    {
        TSejaOknoDeli parts;
        parts.window = &window;
        parts.words = words;
        parts.log = &log;
        parts.prompts = &prompts;
        return parts;
    }
};

TCertificateInfo Certificate(const char* seed, quint16 port = 990)
{
    TCertificateInfo info;
    info.host = "ftp.example.org";
    info.port = port;
    info.subject = "CN=ftp.example.org";
    info.sha256 = QCryptographicHash::hash(seed, QCryptographicHash::Sha256);
    info.reason = "self-signed certificate";
    info.protocol = "TLSv1.3";
    info.cipher = "TLS_AES_256_GCM_SHA384";
    return info;
}

} // namespace

TEST(Encryption, TheChoiceTravelsFromKvadoIniThroughQuickConnectIntoTheEngine)
{
    QTemporaryDir home;
    qputenv("KVADO_HOME", home.path().toLocal8Bit());
    TPosSaver saver;
    TSettings settings;
    settings.Jezik = 1;
    settings.ZNaslov = "ftp.example.org";
    settings.Sifriranje = 1;
    saver.SaveSettings(settings, TWindowState());
    TSettings loaded;
    saver.LoadSettings(loaded);
    EXPECT_EQ(loaded.Sifriranje, 1);
    EXPECT_EQ(TSessionController::ParametersOf(loaded, 0).encryption, 1);

    {
        THitra1 quick(loaded, false);
        auto* list = quick.findChild<QComboBox*>("Sifriranje1");
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->currentIndex(), 1);
        list->setCurrentIndex(3);
        emit list->activated(3);
        quick.ApplyTo(loaded);
    }
    EXPECT_EQ(loaded.ZVrata, "990");
    saver.SaveSettings(loaded, TWindowState());
    EXPECT_EQ(QSettings(home.filePath("Kvado.ini"), QSettings::IniFormat).value("Sifriranje").toString(),
              "3");
    TSettings again;
    saver.LoadSettings(again);
    const TSejaParametri parameters = TSessionController::ParametersOf(again, 0);
    EXPECT_EQ(parameters.encryption, 3);
    EXPECT_EQ(parameters.port, "990");

    again.Sifriranje = 200; // whatever the field holds, the engine gets a choice it knows
    EXPECT_EQ(TSessionController::ParametersOf(again, 0).encryption, 0);
}

TEST(Encryption, TheViewTrustsStoredCertificatesWarnsOfChangedOnesAndAsksOtherwise)
{
    QTemporaryDir home;
    qputenv("KVADO_HOME", home.path().toLocal8Bit());
    const QString trustFile = home.filePath("Potrdila.kvp");
    TViewParts parts(1);
    auto view = std::make_unique<TSejaOkno>(parts.Parts());
    CertificatePrompts& prompts = parts.prompts;

    // Nothing stored: the question; once goes on without storing, so it is asked again.
    prompts.answers = {pzEnkrat, pzPreklici};
    EXPECT_TRUE(view->AcceptCertificate(Certificate("a")));
    EXPECT_FALSE(view->AcceptCertificate(Certificate("a")));
    ASSERT_EQ(prompts.asked.size(), 2u);
    EXPECT_TRUE(prompts.asked[0].stored.isEmpty());
    EXPECT_EQ(prompts.asked[0].shown, Certificate("a").sha256);
    EXPECT_EQ(prompts.asked[0].language, 1);
    EXPECT_FALSE(QFile::exists(trustFile));

    // Always: stored, not asked again, also not after a restart.
    prompts.answers = {pzVedno};
    EXPECT_TRUE(view->AcceptCertificate(Certificate("a")));
    EXPECT_TRUE(view->AcceptCertificate(Certificate("a")));
    view = std::make_unique<TSejaOkno>(parts.Parts());
    EXPECT_TRUE(view->AcceptCertificate(Certificate("a")));
    EXPECT_EQ(prompts.asked.size(), 3u);

    // Another port of the same host is another server.
    prompts.answers = {pzPreklici};
    EXPECT_FALSE(view->AcceptCertificate(Certificate("a", 21)));
    EXPECT_TRUE(prompts.asked.back().stored.isEmpty());

    // A changed certificate: the warning with the trusted fingerprint; cancel keeps the old trust.
    prompts.answers = {pzPreklici, pzVedno};
    EXPECT_FALSE(view->AcceptCertificate(Certificate("b")));
    EXPECT_EQ(prompts.asked.back().stored, Certificate("a").sha256);
    EXPECT_EQ(prompts.asked.back().shown, Certificate("b").sha256);
    EXPECT_TRUE(view->AcceptCertificate(Certificate("a")));
    EXPECT_EQ(prompts.asked.size(), 5u);
    // Trusting the new one always replaces the old one, which is then the stranger.
    EXPECT_TRUE(view->AcceptCertificate(Certificate("b")));
    EXPECT_TRUE(view->AcceptCertificate(Certificate("b")));
    prompts.answers = {pzEnkrat};
    EXPECT_TRUE(view->AcceptCertificate(Certificate("a")));
    EXPECT_EQ(prompts.asked.back().stored, Certificate("b").sha256);
    EXPECT_EQ(prompts.asked.size(), 7u);
    EXPECT_TRUE(prompts.errors.isEmpty());

    // A damaged trust file: asked as if nothing were trusted, never a crash; trusting keeps the damage aside.
    {
        QFile file(trustFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("Kvado trusted certificates 1\nftp.example.org 990 DEADBEEF\n");
    }
    prompts.answers = {pzVedno};
    EXPECT_TRUE(view->AcceptCertificate(Certificate("b")));
    EXPECT_TRUE(prompts.asked.back().stored.isEmpty());
    EXPECT_TRUE(QFile::exists(trustFile + ".bak"));
    EXPECT_TRUE(view->AcceptCertificate(Certificate("b")));
    EXPECT_EQ(prompts.asked.size(), 8u);

    // A trust file that cannot be written: the error is shown, the session goes on as asked.
    const QString blocked = home.filePath("blocked");
    {
        QFile file(blocked);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    qputenv("KVADO_HOME", (blocked + "/sub").toLocal8Bit());
    TSejaOkno cannotStore(parts.Parts());
    prompts.answers = {pzVedno};
    EXPECT_TRUE(cannotStore.AcceptCertificate(Certificate("c")));
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].startsWith("I/O error ")) << prompts.errors[0].toStdString();
    qputenv("KVADO_HOME", home.path().toLocal8Bit());
}

TEST(Encryption, CaptionAndLogShowAnEncryptedSessionUntilItEnds)
{
    QTemporaryDir home;
    qputenv("KVADO_HOME", home.path().toLocal8Bit());
    for (quint8 language : {0, 1}) {
        TViewParts parts(language);
        TSejaOkno view(parts.Parts());
        const QString encrypted = language == 0 ? " - šifrirano (TLSv1.3)" : " - encrypted (TLSv1.3)";

        // Encrypted before the engine set any caption of its own: the window's title gets the mark.
        TCertificateInfo info = Certificate("a");
        view.ShowEncryption(&info);
        EXPECT_EQ(parts.window.windowTitle(), "Kvado" + encrypted);
        ASSERT_FALSE(parts.lines.isEmpty());
        EXPECT_TRUE(parts.lines.last().trimmed().endsWith(
            (language == 0 ? "Povezava je šifrirana: " : "The connection is encrypted: ") +
            QString("TLSv1.3, TLS_AES_256_GCM_SHA384")))
            << parts.lines.last().toStdString();

        view.SetCaption("Kvado - [ftp.example.org/pub]"); // every caption of the session keeps the mark
        EXPECT_EQ(parts.window.windowTitle(), "Kvado - [ftp.example.org/pub]" + encrypted);
        view.ShowEncryption(nullptr);
        EXPECT_EQ(parts.window.windowTitle(), "Kvado - [ftp.example.org/pub]");
        view.SetCaption("Kvado");
        EXPECT_EQ(parts.window.windowTitle(), "Kvado");

        info.protocol.clear(); // a version the TLS layer could not name still says encrypted
        info.cipher.clear();
        const qsizetype before = parts.lines.size();
        view.ShowEncryption(&info);
        EXPECT_EQ(parts.window.windowTitle(), "Kvado" + QString(encrypted).replace("TLSv1.3", "TLS"));
        EXPECT_EQ(parts.lines.size(), before + 1);
        EXPECT_TRUE(parts.lines.last().trimmed().endsWith(": TLS"));
    }
}
