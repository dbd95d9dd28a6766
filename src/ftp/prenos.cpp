#include "ftp/prenos.h"

#include "core/utf8kept.h"

#include <fcntl.h>
#include <unistd.h>

bool LokalniPodatki(const QString& path, struct stat& info, bool link)
{
    // A remote name that is no valid UTF-8 holds marks for its bytes: the
    // file on disk has those bytes (QFile would write "?" for them).
    const QByteArray bytes = ToUtf8Kept(path);
    return (link ? ::lstat(bytes.constData(), &info) : ::stat(bytes.constData(), &info)) == 0;
}

bool LokalnoObstaja(const QString& path)
{
    struct stat podatki {};
    return LokalniPodatki(path, podatki, true);
}

void TPrenos::Pripravi(TFaza kind, const QString& path)
{
    switch (kind) {
    case fzPrejem:
    case fzNadaljujPrejem:
    case fzOddaja:
    case fzNadaljujOddajo:
    case fzLIST:
        vrsta = kind;
        break;
    default:
        vrsta = fzNic;
        break;
    }
    lokalnaPot = path;
    napaka = false;
    nepotrjen = false;
    koncniOdgovor = 0;
    koncnaVrstica.clear();
    odprt = false;
    retrSprejet = false;
    objavljenaVelikost = -1;
    ponovitve450 = 0;
}

void TPrenos::Pozabi()
{
    vrsta = fzNic;
    podatkovna = nullptr;
    cakaNaslov = false;
    ZapriDatoteko();
    cakaKonec = false;
    neposlano = 0;
    koncniOdgovor = 0;
}

TPrenos::TOdpiranje TPrenos::OdpriPrejem(QString& razlog)
{
    datoteka.close();
    const bool nadaljuj = vrsta == fzNadaljujPrejem;
    const QByteArray pot = ToUtf8Kept(lokalnaPot);
    // A link in the file's place is never written through: a new download
    // replaces the link itself, a resume refuses it.
    struct stat podatki {};
    if (LokalniPodatki(lokalnaPot, podatki, true) && S_ISLNK(podatki.st_mode) &&
        (nadaljuj || ::unlink(pot) != 0))
        return opNapaka;
    // A resumed download extends the very file it was measured on: never
    // created, and still exactly as long as the resume offset.
    const int zastavice = (nadaljuj ? O_RDWR : O_WRONLY | O_CREAT | O_TRUNC) | O_CLOEXEC | O_NOFOLLOW;
    const int opisnik = ::open(pot.constData(), zastavice, 0666);
    if (opisnik < 0) {
        razlog = qt_error_string(errno);
        return opNapaka;
    }
    const QIODevice::OpenMode nacin =
        (nadaljuj ? QIODevice::ReadWrite : QIODevice::WriteOnly) | QIODevice::Unbuffered;
    if (!datoteka.open(opisnik, nacin, QFileDevice::AutoCloseHandle)) {
        ::close(opisnik);
        razlog = datoteka.errorString();
        return opNapaka;
    }
    if (!nadaljuj || (datoteka.size() == zamikPrejema && datoteka.seek(zamikPrejema)))
        return opOdprto;
    datoteka.close();
    return opSpremenjen;
}

bool TPrenos::OdpriOddajo()
{
    datoteka.close();
    neposlano = 0;
    odmik = 0;
    izDatoteke = true;
    polozaj = vrsta == fzNadaljujOddajo ? zamikOddaje : 0;
    // Opened under the name's own bytes, like a download's file: a local name
    // that is no valid UTF-8 is read from the very file it names.
    const int opisnik = ::open(ToUtf8Kept(lokalnaPot).constData(), O_RDONLY | O_CLOEXEC);
    if (opisnik < 0)
        return false;
    struct stat podatki {};
    if (::fstat(opisnik, &podatki) != 0 || !S_ISREG(podatki.st_mode) ||
        !datoteka.open(opisnik, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(opisnik);
        return false;
    }
    if (vrsta != fzNadaljujOddajo || datoteka.seek(zamikOddaje))
        return true;
    datoteka.close();
    return false;
}

void TPrenos::ZapriDatoteko()
{
    if (datoteka.isOpen())
        datoteka.close();
}

bool TPrenos::PrekratekPrejem() const
{
    // The count includes a resume's offset, so either reading of a resumed "(N bytes)" is met.
    const qint64 napovedano = Napovedano();
    return napovedano > 0 && prejeto < napovedano;
}

bool TPrenos::PredolgPrejem() const
{
    // A resumed "(N bytes)" may count the whole file or only what is left of
    // it (the count includes the offset): the larger reading is the bound.
    qint64 meja = Napovedano();
    if (objavljenaVelikost >= 0 && vrsta == fzNadaljujPrejem)
        meja += zamikPrejema;
    return meja > 0 && prejeto > meja;
}

TSodba TPrenos::Sodba(bool prirezan, bool oddajaTece) const
{
    if (vrsta == fzNic || koncniOdgovor == 0)
        return sdCakaj; // the final reply is still awaited (the stall watch bounds the wait)
    if (koncniOdgovor >= 400) {
        if (vrsta == fzLIST && prirezan)
            return sdPrirezanSeznam; // the server complains of the cut
        if (koncniOdgovor == 550 && JeOddaja())
            return sdNiPravic;
        if (koncniOdgovor == 550 && !sprejeto)
            return sdZavrnjeno;
        return sprejeto && JePrejem() ? sdNeuspehDatoteka : sdNeuspehOdgovor;
    }
    if (JeOddaja()) // the data connection is ours to close: the reply decides at once
        return sprejeto && !oddajaTece && !napaka ? sdUspeh : sdNeuspehDatoteka;
    if (!sprejeto || podatkovna)
        return sdCakaj; // its data connection has not come, or still runs
    if (vrsta == fzLIST)
        return nepotrjen ? sdNepotrjen : sdUspeh;
    if (napaka)
        return sdNeuspehDatoteka;
    if (nepotrjen && !(Napovedano() > 0 && prejeto == Napovedano()))
        return sdNepotrjen;
    if (PredolgPrejem())
        return sdPredolg;
    return PrekratekPrejem() ? sdNepopoln : sdUspeh;
}
