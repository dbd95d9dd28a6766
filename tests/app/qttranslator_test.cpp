// Qt's own texts and the locale follow the interface's language, also in boxes already open.
#include "app/qttranslator.h"

#include <QCoreApplication>
#include <QDate>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

TEST(QtTranslator, StandardButtonsDatesAndBackToEnglish)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Kvado"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    const struct {
        int language;
        QStringList buttons; // Yes, No, Cancel
        QString date;        // 28 December 2026 in the short format
    } languages[] = {
        {0,
         {QStringLiteral("&Da"), QStringLiteral("&Ne"), QStringLiteral("Prekliči")},
         QStringLiteral("28. 12. 26")},
        {1, {QStringLiteral("&Yes"), QStringLiteral("&No"), QStringLiteral("Cancel")}, {}},
    };
    for (const auto& l : languages) {
        ASSERT_TRUE(SetInterfaceLanguage(l.language)) << "Qt's Slovenian catalogue (qt6-translations-l10n)";
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange); // Qt posts it to every widget
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), l.buttons[0]) << l.language;
        EXPECT_EQ(box.button(QMessageBox::No)->text(), l.buttons[1]) << l.language;
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), l.buttons[2]) << l.language;
        if (!l.date.isEmpty())
            EXPECT_EQ(QLocale().toString(QDate(2026, 12, 28), QLocale::ShortFormat), l.date);
        EXPECT_EQ(QLocale().language(), InterfaceLocale(l.language).language());
    }
}
