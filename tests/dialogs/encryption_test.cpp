// The encryption choice in quick connect and the site editor, and the
// question about an unverified or changed server certificate, driven as a
// user drives them.
#include "dialogs/hitra1.h"
#include "dialogs/potrdilo.h"
#include "dialogs/sistemobrazec.h"
#include "dialogs/urediobrazec.h"
#include "lang/multilang.h"
#include "sites/sitelist.h"
#include "widgets/button3d.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

template <typename T> T* Child(QObject* window, const char* name)
{
    T* child = window->findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// The user picks entry `choice` of the list (as a click in its pop-up does).
void Pick(QComboBox* list, int choice)
{
    list->setCurrentIndex(choice);
    emit list->activated(choice);
}

// The next control the Tab key reaches after widget.
QWidget* NextTabStop(QWidget* widget)
{
    do
        widget = widget->nextInFocusChain();
    while ((widget->focusPolicy() & Qt::TabFocus) == 0 || widget->objectName().isEmpty());
    return widget;
}

QStringList Items(QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

TAskBox AnswerYes()
{
    return [](QMessageBox::Icon, const QString&, const QString&, QMessageBox::StandardButtons,
              QMessageBox::StandardButton) { return QMessageBox::Yes; };
}

TCertificateInfo Certificate()
{
    TCertificateInfo info;
    info.host = "ftp.example.org";
    info.port = 990;
    info.subject = "CN=ftp.example.org, O=Zorvek";
    info.issuer = "CN=Zorvek CA";
    info.notBefore = QDateTime::currentDateTimeUtc().addDays(-30);
    info.notAfter = QDateTime::currentDateTimeUtc().addDays(300);
    info.sha256 = QCryptographicHash::hash("new", QCryptographicHash::Sha256);
    info.reason = "self-signed certificate; host name mismatch";
    info.problems = {cpSelfSigned, cpNameMismatch};
    return info;
}

} // namespace

TEST(EncryptionChoice, QuickConnectShowsAndReturnsItAndThePortFollowsOnlyTheUsersChoice)
{
    for (quint8 stored : {0, 1, 2, 3, 7}) {
        TSettings settings;
        settings.Jezik = 1;
        settings.ZNaslov = "ftp.example.org";
        settings.ZVrata = "21";
        settings.Sifriranje = stored;
        THitra1 quick(settings, false);
        auto* list = Child<QComboBox>(&quick, "Sifriranje1");
        EXPECT_EQ(list->currentIndex(), stored <= 3 ? stored : 0) << int(stored);
        EXPECT_EQ(Child<QLineEdit>(&quick, "VnosVrata1")->text(), "21") << "opening never moves the port";
        TSettings after = settings;
        quick.ApplyTo(after);
        EXPECT_EQ(after.Sifriranje, stored <= 3 ? stored : 0);
    }

    TSettings settings;
    settings.Jezik = 2;
    THitra1 quick(settings, false);
    auto* list = Child<QComboBox>(&quick, "Sifriranje1");
    auto* port = Child<QLineEdit>(&quick, "VnosVrata1");
    EXPECT_EQ(Items(list),
              QStringList({"None", "Explicit TLS if offered", "Explicit TLS required", "Implicit TLS"}));
    EXPECT_EQ(list->accessibleName(), "Encryption");
    EXPECT_EQ(NextTabStop(Child<QComboBox>(&quick, "KodiranjeImen1")), list);
    EXPECT_EQ(NextTabStop(list), Child<QCheckBox>(&quick, "Pasivno1"));

    port->setText("21");
    Pick(list, 3);
    EXPECT_EQ(port->text(), "990");
    Pick(list, 1);
    EXPECT_EQ(port->text(), "21");
    port->setText("990");
    Pick(list, 0);
    EXPECT_EQ(port->text(), "21");
    port->setText("2121"); // a port the user typed stays
    Pick(list, 3);
    EXPECT_EQ(port->text(), "2121");
    Pick(list, 2);
    EXPECT_EQ(port->text(), "2121");
    list->setCurrentIndex(3); // the window's own setting of the list moves nothing
    port->setText("21");
    list->setCurrentIndex(0);
    EXPECT_EQ(port->text(), "21");
    // From the keyboard, as a user moves through the list.
    list->setCurrentIndex(2);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex(), 3);
    EXPECT_EQ(port->text(), "990");

    // The recommended settings give the port of the chosen encryption.
    quick.AskUser = AnswerYes();
    port->setText("4000");
    Child<QAbstractButton>(&quick, "PriporNastavitve")->click();
    EXPECT_EQ(port->text(), "990");
    Pick(list, 0);
    Child<QAbstractButton>(&quick, "PriporNastavitve")->click();
    EXPECT_EQ(port->text(), "21");

    Pick(list, 3);
    TSettings after;
    quick.ApplyTo(after);
    EXPECT_EQ(after.Sifriranje, 3);
    EXPECT_EQ(after.ZVrata, "990");
}

TEST(EncryptionChoice, SiteEditorKeepsItInTheRecordThroughTheFileIntoTheSession)
{
    QTemporaryDir home;
    qputenv("KVADO_HOME", home.path().toLocal8Bit());
    TSiteList sites;
    TUrediObrazec editor;
    auto* list = Child<QComboBox>(&editor, "Sifriranje2");
    auto* port = Child<QLineEdit>(&editor, "VnosVrata2");

    editor.Begin(sites, 0, false, 1, "gost@example.org");
    EXPECT_EQ(Items(list), QStringList({"Brez", "Izrecni TLS, če ga strežnik ponudi", "Izrecni TLS, obvezno",
                                        "Implicitni TLS"}));
    EXPECT_EQ(list->currentIndex(), 0);
    Child<QLineEdit>(&editor, "ImePov2")->setText("Varni");
    Child<QLineEdit>(&editor, "VnosNaslov2")->setText("ftps.example.org");
    Child<QCheckBox>(&editor, "Pasivno2")->setChecked(true);
    Child<QComboBox>(&editor, "KodiranjeImen2")->setCurrentIndex(1);
    Pick(list, 3);
    EXPECT_EQ(port->text(), "990");
    ASSERT_TRUE(editor.Povezi2Click());
    EXPECT_EQ(sites.SiteTable(1).Encryption(), 3);
    EXPECT_EQ(sites.SiteTable(1).Port(), 990);
    EXPECT_EQ(sites.SiteTable(1).DataConnection(), 1);
    EXPECT_EQ(sites.SiteTable(1).NameEncoding(), 1);

    // An add starts without encryption even after an implicit one.
    editor.Begin(sites, 1, false, 1, "gost@example.org");
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(port->text(), "21");

    // Editing shows the stored choice and port as they are; the user's change moves 990 back to 21.
    editor.Begin(sites, 1, true, 2, "gost@example.org");
    EXPECT_EQ(list->currentIndex(), 3);
    EXPECT_EQ(port->text(), "990");
    EXPECT_EQ(list->itemText(2), "Explicit TLS required");
    Pick(list, 2);
    EXPECT_EQ(port->text(), "21");
    ASSERT_TRUE(editor.Povezi2Click());
    EXPECT_EQ(sites.SiteTable(1).Encryption(), 2);
    EXPECT_EQ(sites.SiteTable(1).Port(), 21);
    EXPECT_EQ(sites.SiteTable(1).DataConnection(), 1);

    TSiteRecord odd = sites.SiteTable(1); // implicit TLS on port 21, as someone stored it
    odd.SetEncryption(3);
    sites.SiteTable(1) = odd;
    editor.Begin(sites, 1, true, 1, "gost@example.org");
    EXPECT_EQ(port->text(), "21");
    editor.AskUser = AnswerYes();
    Child<QAbstractButton>(&editor, "PriporNastavitve2")->click();
    EXPECT_EQ(port->text(), "990");

    sites.WriteSiteList();
    TSiteList reread;
    reread.OpenSiteList();
    ASSERT_EQ(reread.SiteCount(), 1);
    TSettings session;
    TakeSiteAsSession(reread.SiteTable(1), session);
    EXPECT_EQ(session.Sifriranje, 3);
    EXPECT_EQ(session.PodatkovnaPovezava, 1);
    EXPECT_EQ(session.ZVrata, "21");
}

TEST(CertificateQuestion, AFirstMeetingShowsTheCertificateAndOnlyADeliberateClickTrusts)
{
    const TCertificateInfo info = Certificate();
    for (int language : {0, 1}) {
        TPotrdilo dialog(info, QByteArray(), language);
        dialog.show();
        EXPECT_FALSE(dialog.Changed());
        EXPECT_EQ(dialog.windowTitle(),
                  language == 0 ? "Kvado - Potrdilo strežnika" : "Kvado - Server certificate");
        EXPECT_EQ(Child<QLabel>(&dialog, "Naslov")->text(),
                  language == 0 ? "Potrdila strežnika ftp.example.org:990 ni mogoče preveriti."
                                : "The certificate of ftp.example.org:990 could not be verified.");
        EXPECT_EQ(Child<QLabel>(&dialog, "Subjekt")->text(), info.subject);
        EXPECT_EQ(Child<QLabel>(&dialog, "Izdajatelj")->text(), info.issuer);
        EXPECT_EQ(Child<QLabel>(&dialog, "Razlog")->text(),
                  language == 0 ? "Potrdilo je podpisalo samo sebe. Potrdilo je izdano za drugo ime strežnika."
                                : "The certificate is signed by itself. The certificate was issued for another "
                                  "server name.");
        EXPECT_EQ(Child<QLabel>(&dialog, "VeljaOd")->text(),
                  info.notBefore.toLocalTime().toString("yyyy-MM-dd HH:mm:ss"));
        QString fingerprint = Child<QLabel>(&dialog, "Odtis")->text();
        EXPECT_EQ(fingerprint, TPotrdilo::GroupedFingerprint(info.sha256));
        EXPECT_EQ(fingerprint.remove('\n').remove(':'), QString::fromLatin1(info.sha256.toHex().toUpper()));
        EXPECT_EQ(Child<QLabel>(&dialog, "OznakaOdtis")->text(),
                  language == 0 ? "Prstni odtis SHA-256:" : "SHA-256 fingerprint:");
        EXPECT_EQ(dialog.findChild<QLabel*>("ShranjeniOdtis"), nullptr);
        EXPECT_TRUE(Child<QLabel>(&dialog, "Vprasanje")->isVisible());
        EXPECT_FALSE(Child<QLabel>(&dialog, "Razlaga")->isVisible());
        EXPECT_EQ(Child<TButton3D>(&dialog, "ZaupajVedno")->text(),
                  language == 0 ? "Zaupaj &vedno" : "Trust &always");
    }

    TCertificateInfo other = info;
    other.problems = {cpExpired, cpOther};
    other.reason = "certificate has expired; unsupported certificate purpose";
    TPotrdilo unknown(other, QByteArray(), 0);
    EXPECT_EQ(Child<QLabel>(&unknown, "Razlog")->text(), other.reason)
        << "a problem without a word of its own keeps the library's text";

    TPotrdilo dialog(info, info.sha256, 1); // the stored one is this one: no warning
    EXPECT_FALSE(dialog.Changed());
    dialog.show();
    auto* cancel = Child<TButton3D>(&dialog, "Preklici");
    auto* once = Child<TButton3D>(&dialog, "ZaupajEnkrat");
    auto* always = Child<TButton3D>(&dialog, "ZaupajVedno");
    EXPECT_TRUE(cancel->isDefault());
    EXPECT_FALSE(once->isDefault() || once->autoDefault() || always->isDefault() || always->autoDefault());
    EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget() : dialog.focusWidget(), cancel);

    const struct {
        std::function<void()> act;
        int result;
    } cases[] = {
        {[&] { once->click(); }, pzEnkrat},
        {[&] { always->click(); }, pzVedno},
        {[&] { cancel->click(); }, pzPreklici},
        {[&] { QTest::keyClick(&dialog, Qt::Key_Escape); }, pzPreklici},
        {[&] { dialog.close(); }, pzPreklici},
        {[&] { QTest::keyClick(always, Qt::Key_Return); }, pzPreklici}, // Enter on a trust button is Cancel
    };
    for (const auto& [act, result] : cases) {
        dialog.show();
        dialog.setResult(99);
        act();
        EXPECT_EQ(dialog.result(), result);
        EXPECT_FALSE(dialog.isVisible());
    }
}

TEST(CertificateQuestion, AChangedCertificateIsALoudWarningWithBothFingerprints)
{
    TCertificateInfo info = Certificate();
    const QByteArray stored = QCryptographicHash::hash("old", QCryptographicHash::Sha256);
    for (int language : {0, 1}) {
        TPotrdilo dialog(info, stored, language);
        dialog.show();
        EXPECT_TRUE(dialog.Changed());
        auto* heading = Child<QLabel>(&dialog, "Naslov");
        EXPECT_EQ(heading->text(),
                  language == 0 ? "POZOR: potrdilo strežnika ftp.example.org:990 se je SPREMENILO, odkar ste "
                                  "mu zaupali!"
                                : "WARNING: the certificate of ftp.example.org:990 has CHANGED since you "
                                  "trusted it!");
        EXPECT_EQ(heading->palette().color(QPalette::WindowText), QColor(0xC0, 0, 0));
        EXPECT_TRUE(heading->font().bold());
        EXPECT_TRUE(Child<QLabel>(&dialog, "Razlaga")->isVisible());
        EXPECT_FALSE(Child<QLabel>(&dialog, "Vprasanje")->isVisible());
        EXPECT_EQ(Child<QLabel>(&dialog, "ShranjeniOdtis")->text(), TPotrdilo::GroupedFingerprint(stored));
        EXPECT_EQ(Child<QLabel>(&dialog, "Odtis")->text(), TPotrdilo::GroupedFingerprint(info.sha256));
        EXPECT_EQ(Child<QLabel>(&dialog, "OznakaOdtis")->text(),
                  language == 0 ? "Novi prstni odtis:" : "New fingerprint:");
        EXPECT_TRUE(Child<TButton3D>(&dialog, "Preklici")->isDefault());
        dialog.setResult(99);
        QTest::keyClick(Child<TButton3D>(&dialog, "ZaupajEnkrat"), Qt::Key_Return);
        EXPECT_EQ(dialog.result(), pzPreklici);

        // Every key of the word table names a part of the window, every text exists in both languages.
        const QStringList& words = dialog.ML8()->Words();
        ASSERT_EQ(words.size() % 3, 0);
        for (qsizetype i = 0; i < words.size(); i += 3) {
            EXPECT_FALSE(words[i + 1].isEmpty() || words[i + 2].isEmpty()) << words[i].toStdString();
            if (!words[i].startsWith("@id") && words[i] != "%Form%") {
                EXPECT_NE(dialog.findChild<QObject*>(words[i]), nullptr) << words[i].toStdString();
            }
        }
    }

    // The end of the validity the clock is outside is marked; an unknown date says so.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    info.notBefore = now.addDays(-400);
    info.notAfter = now.addDays(-35);
    {
        TPotrdilo dialog(info, QByteArray(), 0);
        auto* until = Child<QLabel>(&dialog, "VeljaDo");
        EXPECT_TRUE(until->text().endsWith("(poteklo)")) << until->text().toStdString();
        EXPECT_EQ(until->palette().color(QPalette::WindowText), QColor(0xC0, 0, 0));
        EXPECT_FALSE(Child<QLabel>(&dialog, "VeljaOd")->text().contains('('));
    }
    info.notBefore = now.addDays(2);
    info.notAfter = QDateTime();
    {
        TPotrdilo dialog(info, QByteArray(), 1);
        EXPECT_TRUE(Child<QLabel>(&dialog, "VeljaOd")->text().endsWith("(not yet valid)"));
        EXPECT_EQ(Child<QLabel>(&dialog, "VeljaDo")->text(), "unknown");
    }
}
