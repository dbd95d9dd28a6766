#include "dialogs/uvodnizaslon.h"

#include "dialogs/hitra1shared.h"
#include "widgets/custompanel.h"
#include "widgets/gifimage.h"

#include <QCoreApplication>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kFrameWidth = 3;
}

TUvodniZaslon::TUvodniZaslon(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TUvodniZaslon"));
    setAccessibleName(QStringLiteral("Kvado"));
    m_frame = new TCustomPanel(this);
    m_frame->setObjectName(QStringLiteral("Panel1"));
    m_frame->SetBevelOuter(TPanelBevel::bvLowered);
    m_frame->SetBevelWidth(kFrameWidth);
    m_kvadoSplash = new TGIFImage(m_frame);
    m_kvadoSplash->setObjectName(QStringLiteral("KvadoSplash"));
    m_kvadoSplash->LoadFromResource(QStringLiteral("SPLPIC"));
    m_kvadoSplash->setFixedSize(320, 200);

    auto* inner = new QVBoxLayout(m_frame);
    inner->setContentsMargins(kFrameWidth, kFrameWidth, kFrameWidth, kFrameWidth);
    inner->addWidget(m_kvadoSplash);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_frame);
    setFixedSize(320 + 2 * kFrameWidth, 200 + 2 * kFrameWidth);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setSingleShot(true);
    m_timer1->setInterval(kShowMs);
    connect(m_timer1, &QTimer::timeout, this, &TUvodniZaslon::Close);
}

void TUvodniZaslon::Show()
{
    CentreOnScreen(this);
    show();
    raise();
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_timer1->start();
}

void TUvodniZaslon::Close()
{
    m_timer1->stop();
    hide();
}
