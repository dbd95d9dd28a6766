#include "app/qttranslator.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

QString TQtTranslator::translate(const char* context, const char* sourceText, const char* disambiguation,
                                 int n) const
{
    QString text = QTranslator::translate(context, sourceText, disambiguation, n);
    if (!text.isEmpty() || (qstrcmp(context, "QPlatformTheme") != 0 && qstrcmp(context, "QGnomeTheme") != 0))
        return text;
    text = QTranslator::translate("QDialogButtonBox", sourceText, disambiguation, n);
    if (text.isEmpty()) {
        const QByteArray plain = QByteArray(sourceText).replace('&', "");
        text = QTranslator::translate("QDialogButtonBox", plain.constData(), disambiguation, n);
    }
    return text;
}

QLocale InterfaceLocale(int language)
{
    if (language == 0)
        return QLocale(QLocale::Slovenian, QLocale::Slovenia);
    const QLocale system = QLocale::system();
    return system.language() == QLocale::English ? system : QLocale(QLocale::English, QLocale::UnitedStates);
}

bool SetInterfaceLanguage(int language)
{
    static TQtTranslator* installed = nullptr;
    QLocale::setDefault(InterfaceLocale(language));
    if (installed != nullptr) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (language != 0)
        return true;
    auto* translator = new TQtTranslator;
    if (!translator->load(QLocale(QLocale::Slovenian, QLocale::Slovenia), QStringLiteral("qt"),
                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}
