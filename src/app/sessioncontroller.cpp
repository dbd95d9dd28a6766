#include "app/sessioncontroller.h"

#include "app/prompts.h"
#include "core/exception.h"

TSessionController::TSessionController(TSejaView& view, TPrompts& prompts)
    : m_view(view), m_prompts(prompts), m_seja(&view)
{
}

TSejaParametri TSessionController::ParametersOf(const TSettings& settings, quint8 serverKind)
{
    TSejaParametri p;
    p.host = settings.ZNaslov;
    p.user = settings.ZUporIme;
    p.password = settings.ZUporGeslo;
    p.port = settings.ZVrata;
    p.readBufferSize = settings.Branje;
    p.writeBufferSize = settings.Pisanje;
    p.remoteDirectory = settings.FTPMapa;
    p.transferType = settings.TipPre <= tpTekst ? TTipPrenosa(settings.TipPre) : tpSamodejno;
    p.loginKind = settings.TipPri;
    p.anonymousPassword = settings.PrivGeslo;
    p.serverKind = serverKind;
    p.dataConnection = settings.PodatkovnaPovezava == 1 ? 1 : 0;
    p.nameEncoding = settings.KodiranjeImen <= 2 ? settings.KodiranjeImen : 0;
    p.encryption = settings.Sifriranje <= 3 ? settings.Sifriranje : 0;
    return p;
}

void TSessionController::Connect(const TSettings& settings, quint8 serverKind, const QString& contactingLine,
                                 const QString& connectedLine)
{
    m_seja.Parametri() = ParametersOf(settings, serverKind);
    m_seja.SetTimeOut(settings.TimeOut);
    m_view.KvadoUkazi(lkStatus, contactingLine, {});
    try {
        m_seja.Povezi();
    } catch (const Exception& error) {
        // The connection could not even be started: say so, and leave the
        // buttons as they are without a connection.
        m_view.KvadoUkazi(lkStatus, m_view.GetWord(QStringLiteral("@idNiUsp")), {});
        for (TSejaItem item : {siHitriGumb2, siSTOPFTP, siGumbTipPrenosa}) {
            m_view.SetItemEnabled(item, false);
        }
        m_prompts.MessageBox(m_view.GetWord(QStringLiteral("@idNapaka")) + error.Message(),
                             m_view.GetWord(QStringLiteral("@idOpo")), miExclamation, mbOk);
        return;
    }
    m_view.KvadoUkazi(lkStatus, connectedLine, {});
    m_view.Efekti(0);
    m_view.SetItemEnabled(siPla1Skoci, true);
}

void TSessionController::CloseConnection()
{
    if (m_seja.Connected()) {
        m_seja.Odjemalec1.Close();
    }
}
